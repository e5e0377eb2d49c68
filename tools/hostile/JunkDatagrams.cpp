#include "JunkDatagrams.h"

#include <cstring>

#include "WireCheck.h"

namespace hostile {

namespace {

// Every type of a fixed size; their sizes come from the protocol core.
constexpr int32_t kFixedSizeTypes[] = {wire::kAck,    wire::kHello,    wire::kEnd,         wire::kStart,
                                       wire::kVessel, wire::kVessel2,  wire::kAirfoil,     wire::kXR,
                                       wire::kFocus,  wire::kKeyboard, wire::kVesselExtra, wire::kAnimation};
constexpr uint32_t kFixedSizeTypeCount = sizeof kFixedSizeTypes / sizeof kFixedSizeTypes[0];

uint32_t SizeOfType(int32_t type) {
    const wire::Header header{type, 0};
    return static_cast<uint32_t>(wire::RecordSize(&header, sizeof header));
}

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
            const int32_t type =
                below(2) == 0 ? 10 + static_cast<int32_t>(below(1u << 30)) : -7 - static_cast<int32_t>(below(1u << 30));
            Put(bytes, 0, type);
            break;
        }
        case JunkKind::kWrongSize: {
            const int32_t type = kFixedSizeTypes[below(kFixedSizeTypeCount)];
            uint32_t length = sizeof(wire::Header) + below(kLongestJunk);
            if (length == SizeOfType(type)) ++length;
            bytes.resize(length);
            fillRandom(bytes);
            Put(bytes, 0, type);
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
