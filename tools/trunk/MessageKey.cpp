#include "MessageKey.h"

#include <cstring>

#include "WireRecords.h"

namespace trunk {
namespace {

// Where the vessel's name lies, or -1 for messages that are not a vessel's.
int NameOffset(int32_t type) {
    switch (type) {
        case wire::kVessel:
        case wire::kVessel2:
        case wire::kVesselState:
            return 16;
        case wire::kAirfoil:
        case wire::kXR:
        case wire::kVesselExtra:
        case wire::kAnimation:
            return 8;
        default:
            // One of each per update: the type alone (a focus that moves is still the focus).
            return -1;
    }
}

constexpr uint64_t kFnvBasis = 14695981039346656037ull;
constexpr uint64_t kFnvPrime = 1099511628211ull;

}  // namespace

uint64_t MessageKey(const uint8_t* message, int length) {
    if (length < static_cast<int>(sizeof(wire::Header))) return 0;
    int32_t type;
    std::memcpy(&type, message, sizeof type);
    uint64_t hash = kFnvBasis;
    for (size_t i = 0; i < sizeof type; ++i) hash = (hash ^ message[i]) * kFnvPrime;
    const int at = NameOffset(type);
    if (at < 0 || length < at + wire::kNameSize) return hash;
    for (int i = 0; i < wire::kNameSize && message[at + i] != 0; ++i) hash = (hash ^ message[at + i]) * kFnvPrime;
    return hash;
}

}  // namespace trunk
