// Which source addresses may become clients: entries separated by blanks or
// commas, each a dotted IPv4 address ("192.168.1.20"), a prefix
// ("192.168.1.0/24") or a range ("10.0.0.5-10.0.0.9"). An empty list lets
// anyone in. Entries that cannot be read are kept apart, so that the caller
// can name each once; they let nobody in.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class AllowList {
public:
    AllowList() = default;
    explicit AllowList(const std::string& entries);

    // `address` in network byte order.
    bool Allows(uint32_t address) const;
    bool Empty() const { return ranges_.empty() && unusable_.empty(); }
    const std::vector<std::string>& Unusable() const { return unusable_; }
    // The usable entries, as read.
    const std::vector<std::string>& Entries() const { return entries_; }

private:
    struct Range {
        uint32_t first;  // host byte order, inclusive
        uint32_t last;
    };
    std::vector<Range> ranges_;
    std::vector<std::string> entries_;
    std::vector<std::string> unusable_;
};
