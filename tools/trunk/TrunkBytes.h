// Little-endian fields in byte buffers, whatever the machine's order.
#pragma once

#include <cstdint>
#include <vector>

namespace trunk {

template <typename T>
T Load(const uint8_t* at) {
    uint64_t value = 0;
    for (size_t i = 0; i < sizeof(T); ++i) value |= static_cast<uint64_t>(at[i]) << (8 * i);
    return static_cast<T>(value);
}

template <typename T>
void Store(uint8_t* at, T value) {
    const uint64_t bits = static_cast<uint64_t>(value);
    for (size_t i = 0; i < sizeof(T); ++i) at[i] = static_cast<uint8_t>(bits >> (8 * i));
}

template <typename T>
void Append(std::vector<uint8_t>& out, T value) {
    const size_t at = out.size();
    out.resize(at + sizeof(T));
    Store<T>(out.data() + at, value);
}

}  // namespace trunk
