// The general-purpose stage of the trunk: zstd on a group's residual
// entries, with its contexts kept for reuse.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct ZSTD_CCtx_s;
struct ZSTD_DCtx_s;

namespace trunk {

class GroupCodec {
public:
    explicit GroupCodec(int level);
    ~GroupCodec();
    GroupCodec(const GroupCodec&) = delete;
    GroupCodec& operator=(const GroupCodec&) = delete;

    // The compressed bytes replace `out`'s contents; false on failure.
    bool Compress(const uint8_t* raw, size_t length, std::vector<uint8_t>& out);
    // True when `packed` expands to exactly `expected` bytes, written to `out`.
    bool Expand(const uint8_t* packed, size_t length, size_t expected, std::vector<uint8_t>& out);

private:
    int level_;
    ZSTD_CCtx_s* compressor_;
    ZSTD_DCtx_s* expander_;
};

}  // namespace trunk
