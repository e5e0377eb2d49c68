#include "GroupCodec.h"

#include <zstd.h>

namespace trunk {

GroupCodec::GroupCodec(int level) : level_(level), compressor_(ZSTD_createCCtx()), expander_(ZSTD_createDCtx()) {}

GroupCodec::~GroupCodec() {
    ZSTD_freeCCtx(compressor_);
    ZSTD_freeDCtx(expander_);
}

bool GroupCodec::Compress(const uint8_t* raw, size_t length, std::vector<uint8_t>& out) {
    out.resize(ZSTD_compressBound(length));
    const size_t size = ZSTD_compressCCtx(compressor_, out.data(), out.size(), raw, length, level_);
    if (ZSTD_isError(size)) return false;
    out.resize(size);
    return true;
}

bool GroupCodec::Expand(const uint8_t* packed, size_t length, size_t expected, std::vector<uint8_t>& out) {
    out.resize(expected);
    // The frame is hostile: the output is bounded by `expected`, whatever it claims.
    const size_t size = ZSTD_decompressDCtx(expander_, out.data(), out.size(), packed, length);
    return !ZSTD_isError(size) && size == expected;
}

}  // namespace trunk
