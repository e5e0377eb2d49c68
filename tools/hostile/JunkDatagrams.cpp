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

void JunkDatagrams::FillRandom(std::vector<uint8_t>& bytes) {
    for (uint8_t& byte : bytes) byte = static_cast<uint8_t>(random_.Next());
}

std::vector<uint8_t> JunkDatagrams::Next() { return Next(static_cast<JunkKind>(Below(kJunkKinds))); }

std::vector<uint8_t> JunkDatagrams::Next(JunkKind kind) {
    std::vector<uint8_t> bytes;
    switch (kind) {
        case JunkKind::kTruncatedHeader:
            bytes.resize(1 + Below(sizeof(wire::Header) - 1));
            FillRandom(bytes);
            break;
        case JunkKind::kUnknownType: {
            bytes.resize(sizeof(wire::Header) + Below(kLongestJunk));
            FillRandom(bytes);
            // Types above the known range, or below it.
            const int32_t type =
                Below(2) == 0 ? 10 + static_cast<int32_t>(Below(1u << 30)) : -7 - static_cast<int32_t>(Below(1u << 30));
            Put(bytes, 0, type);
            break;
        }
        case JunkKind::kWrongSize: {
            const int32_t type = kFixedSizeTypes[Below(kFixedSizeTypeCount)];
            uint32_t length = sizeof(wire::Header) + Below(kLongestJunk);
            if (length == SizeOfType(type)) ++length;
            bytes.resize(length);
            FillRandom(bytes);
            Put(bytes, 0, type);
            break;
        }
        case JunkKind::kBadTextLength: {
            const uint32_t length = wire::kVesselStateFixedSize + Below(kLongestJunk);
            bytes.resize(length);
            FillRandom(bytes);
            Put(bytes, 0, wire::kVesselState);
            // Any text length but the one the datagram holds: some negative,
            // some past the largest, most merely wrong.
            int32_t textLength = static_cast<int32_t>(random_.Next());
            if (Below(2) == 0) textLength = static_cast<int32_t>(Below(kLongestJunk));
            if (textLength == static_cast<int32_t>(length - wire::kVesselStateFixedSize)) ++textLength;
            Put(bytes, offsetof(wire::VesselStateRecord, textLength), textLength);
            break;
        }
    }
    return bytes;
}

}  // namespace hostile
