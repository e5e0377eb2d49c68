#include "JunkDatagrams.h"

#include <cstring>

#include "WireRecords.h"

namespace hostile {

namespace {

struct FixedSize {
    int32_t type;
    uint32_t size;
};
constexpr FixedSize kFixedSizes[] = {
    {wire::kAck, sizeof(wire::HeaderRecord)},          {wire::kHello, sizeof(wire::HeaderRecord)},
    {wire::kEnd, sizeof(wire::HeaderRecord)},          {wire::kStart, sizeof(wire::StartRecord)},
    {wire::kVessel, sizeof(wire::VesselRecord)},       {wire::kVessel2, sizeof(wire::Vessel2Record)},
    {wire::kAirfoil, sizeof(wire::AirfoilRecord)},     {wire::kXR, sizeof(wire::XRRecord)},
    {wire::kFocus, sizeof(wire::FocusRecord)},         {wire::kKeyboard, sizeof(wire::KeyboardRecord)},
    {wire::kVesselExtra, sizeof(wire::VesselExtraRecord)}, {wire::kAnimation, sizeof(wire::AnimationRecord)},
};
constexpr int kFixedSizeCount = sizeof kFixedSizes / sizeof kFixedSizes[0];
// Junk stays small enough for a flood to be cheap to make: a few KB at most.
constexpr uint32_t kLongestJunk = 3000;

void Put(std::vector<uint8_t>& bytes, size_t offset, int32_t value) {
    if (offset + sizeof value <= bytes.size()) std::memcpy(bytes.data() + offset, &value, sizeof value);
}

}  // namespace

void JunkDatagrams::fillRandom(std::vector<uint8_t>& bytes) {
    for (uint8_t& byte : bytes) byte = static_cast<uint8_t>(random_.next());
}

std::vector<uint8_t> JunkDatagrams::next() { return next(static_cast<JunkKind>(below(kJunkKinds))); }

std::vector<uint8_t> JunkDatagrams::next(JunkKind kind) {
    std::vector<uint8_t> bytes;
    switch (kind) {
        case JunkKind::kTruncatedHeader:
            bytes.resize(1 + below(sizeof(wire::Header) - 1));
            fillRandom(bytes);
            break;
        case JunkKind::kUnknownType: {
            bytes.resize(sizeof(wire::Header) + below(kLongestJunk));
            fillRandom(bytes);
            // Types above the known range, or below it.
            const int32_t type = below(2) == 0 ? 10 + static_cast<int32_t>(below(1u << 30))
                                               : -7 - static_cast<int32_t>(below(1u << 30));
            Put(bytes, 0, type);
            break;
        }
        case JunkKind::kWrongSize: {
            const FixedSize& known = kFixedSizes[below(kFixedSizeCount)];
            uint32_t length = sizeof(wire::Header) + below(kLongestJunk);
            if (length == known.size) ++length;
            bytes.resize(length);
            fillRandom(bytes);
            Put(bytes, 0, known.type);
            break;
        }
        case JunkKind::kBadTextLength: {
            const uint32_t length = wire::kVesselStateFixedSize + below(kLongestJunk);
            bytes.resize(length);
            fillRandom(bytes);
            Put(bytes, 0, wire::kVesselState);
            // Any text length but the one the datagram holds: some negative,
            // some past the largest, most merely wrong.
            int32_t textLength = static_cast<int32_t>(random_.next());
            if (below(2) == 0) textLength = static_cast<int32_t>(below(kLongestJunk));
            if (textLength == static_cast<int32_t>(length - wire::kVesselStateFixedSize)) ++textLength;
            Put(bytes, offsetof(wire::VesselStateRecord, textLength), textLength);
            break;
        }
    }
    return bytes;
}

}  // namespace hostile
