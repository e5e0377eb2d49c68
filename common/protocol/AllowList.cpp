#include "AllowList.h"

#include <cstring>

#include "Endpoint.h"

namespace {

uint32_t HostOrder(uint32_t networkOrder) {
    const unsigned char* b = reinterpret_cast<const unsigned char*>(&networkOrder);
    return (static_cast<uint32_t>(b[0]) << 24) | (static_cast<uint32_t>(b[1]) << 16) |
           (static_cast<uint32_t>(b[2]) << 8) | b[3];
}

bool ParseHostOrder(const std::string& text, uint32_t& address) {
    uint32_t network = 0;
    if (!ParseDottedAddress(text.data(), text.size(), network)) return false;
    address = HostOrder(network);
    return true;
}

bool ParsePrefixLength(const std::string& text, unsigned& bits) {
    if (text.empty() || text.size() > 2) return false;
    bits = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        bits = bits * 10 + static_cast<unsigned>(c - '0');
    }
    return bits <= 32;
}

}  // namespace

AllowList::AllowList(const std::string& entries) {
    size_t at = 0;
    while (at < entries.size()) {
        const size_t start = entries.find_first_not_of(" \t,", at);
        if (start == std::string::npos) break;
        size_t end = entries.find_first_of(" \t,", start);
        if (end == std::string::npos) end = entries.size();
        at = end;
        const std::string entry = entries.substr(start, end - start);

        Range range{0, 0};
        bool usable = false;
        const size_t slash = entry.find('/');
        const size_t dash = entry.find('-');
        unsigned bits = 0;
        if (slash != std::string::npos) {
            usable =
                ParseHostOrder(entry.substr(0, slash), range.first) && ParsePrefixLength(entry.substr(slash + 1), bits);
            const uint32_t mask = !usable || bits == 0 ? 0u : ~0u << (32 - bits);
            range.first &= mask;
            range.last = range.first | ~mask;
        } else if (dash != std::string::npos) {
            usable = ParseHostOrder(entry.substr(0, dash), range.first) &&
                     ParseHostOrder(entry.substr(dash + 1), range.last) && range.first <= range.last;
        } else {
            usable = ParseHostOrder(entry, range.first);
            range.last = range.first;
        }
        if (usable) {
            ranges_.push_back(range);
            entries_.push_back(entry);
        } else {
            unusable_.push_back(entry);
        }
    }
}

bool AllowList::Allows(uint32_t address) const {
    if (Empty()) return true;
    const uint32_t a = HostOrder(address);
    for (const Range& range : ranges_) {
        if (a >= range.first && a <= range.last) return true;
    }
    return false;
}
