// Datagrams no peer may take for a message: what a stranger, a scanner or a
// broken peer throws at a port. Every kind is invalid by construction.
#pragma once

#include <cstdint>
#include <vector>

#include "SeededRandom.h"

namespace hostile {

enum class JunkKind {
    kTruncatedHeader,  // 1 to 7 bytes
    kUnknownType,      // a full header, a type no peer knows, any length
    kWrongSize,        // a known type, any length but its own
    kBadTextLength,    // a scenario-text message whose length field disagrees with the datagram
};
constexpr int kJunkKinds = 4;

class JunkDatagrams {
public:
    explicit JunkDatagrams(uint64_t seed) : random_(seed) {}
    // The next datagram, of the kind given or of a random kind.
    std::vector<uint8_t> Next();
    std::vector<uint8_t> Next(JunkKind kind);

private:
    uint32_t Below(uint32_t bound) { return static_cast<uint32_t>(random_.Next() % bound); }
    void FillRandom(std::vector<uint8_t>& bytes);

    faulttools::SplitMix64 random_;
};

}  // namespace hostile
