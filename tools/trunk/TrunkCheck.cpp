#include "TrunkCheck.h"

#include <cstring>

#include "ClientTakeIn.h"
#include "TrunkBytes.h"
#include "WireCheck.h"
#include "WireRecords.h"

namespace trunk {

const char* RefusalText(Refusal why) {
    switch (why) {
        case Refusal::kNone:
            return "none";
        case Refusal::kTooShort:
            return "too short";
        case Refusal::kNotTrunk:
            return "not a trunk datagram";
        case Refusal::kOtherVersion:
            return "another trunk version";
        case Refusal::kUnknownKind:
            return "unknown kind";
        case Refusal::kSealedOtherwise:
            return "sealed otherwise: one end has a key, the other none";
        case Refusal::kWrongLength:
            return "wrong length";
        case Refusal::kBadField:
            return "field out of range";
        case Refusal::kNotAMessage:
            return "not a message of the master";
    }
    return "?";
}

Refusal ReadClearHeader(const uint8_t* datagram, int length, bool sealed, ClearHeader& header) {
    if (length < kClearHeaderSize) return Refusal::kTooShort;
    if (std::memcmp(datagram, kMagic, sizeof kMagic) != 0) return Refusal::kNotTrunk;
    if (datagram[4] != kVersion) return Refusal::kOtherVersion;
    if (((datagram[5] & kSealedBit) != 0) != sealed) return Refusal::kSealedOtherwise;
    const uint8_t kind = datagram[5] & static_cast<uint8_t>(~kSealedBit);
    if (kind < static_cast<uint8_t>(Kind::kData) || kind > static_cast<uint8_t>(Kind::kKeys))
        return Refusal::kUnknownKind;
    header.kind = static_cast<Kind>(kind);
    header.bodyLength = Load<uint16_t>(datagram + 6);
    header.run = Load<uint64_t>(datagram + 8);
    header.counter = Load<uint64_t>(datagram + 16);
    const int minimum = kEchoSize + (sealed ? kTagSize : 0);
    if (header.bodyLength != length - kClearHeaderSize || header.bodyLength < minimum) return Refusal::kWrongLength;
    return Refusal::kNone;
}

Refusal ReadEcho(const uint8_t* body, int length, uint64_t& echo) {
    if (length < kEchoSize) return Refusal::kTooShort;
    echo = Load<uint64_t>(body);
    return Refusal::kNone;
}

Refusal ReadData(const uint8_t* rest, int length, DataBody& data) {
    if (length <= kDataHeaderSize) return Refusal::kTooShort;
    data.update = Load<uint32_t>(rest);
    data.baseline = Load<uint32_t>(rest + 4);
    data.group = Load<uint16_t>(rest + 8);
    data.groups = Load<uint16_t>(rest + 10);
    data.firstMessage = Load<uint16_t>(rest + 12);
    data.messages = Load<uint16_t>(rest + 14);
    data.fragment = rest[16];
    data.fragments = rest[17];
    data.rawLength = Load<uint32_t>(rest + 18);
    data.chunk = rest + kDataHeaderSize;
    data.chunkLength = length - kDataHeaderSize;
    if (data.update == 0) return Refusal::kBadField;
    // A baseline lies behind the update, within the reach both ends keep.
    if (data.baseline != 0 && (data.update - data.baseline == 0 || data.update - data.baseline >= kBaselineReach))
        return Refusal::kBadField;
    if (data.groups != 0 && data.group >= data.groups) return Refusal::kBadField;
    if (data.groups == 0 && (data.group != 0 || data.firstMessage != 0)) return Refusal::kBadField;
    if (data.messages == 0 || data.firstMessage + data.messages > kMaxMessagesPerUpdate) return Refusal::kBadField;
    if (data.fragments == 0 || data.fragment >= data.fragments) return Refusal::kBadField;
    const uint32_t smallest = static_cast<uint32_t>(data.messages) * (kEntryHeaderSize + sizeof(wire::Header));
    if (data.rawLength < smallest || data.rawLength > static_cast<uint32_t>(kMaxGroupBytes))
        return Refusal::kWrongLength;
    if (data.chunkLength > kMaxChunk) return Refusal::kWrongLength;
    return Refusal::kNone;
}

Refusal ReadAck(const uint8_t* rest, int length, AckBody& ack) {
    if (length != 8) return Refusal::kWrongLength;
    ack.newest = Load<uint32_t>(rest);
    ack.earlier = Load<uint32_t>(rest + 4);
    return ack.newest == 0 ? Refusal::kBadField : Refusal::kNone;
}

Refusal ReadKeys(const uint8_t* rest, int length) {
    if (length != static_cast<int>(sizeof(wire::KeyboardRecord))) return Refusal::kWrongLength;
    if (ClientTakeIn::Screen(rest, length).verdict != ClientTakeIn::Verdict::kKeys) return Refusal::kNotAMessage;
    return Refusal::kNone;
}

Refusal ReadEntries(const uint8_t* raw, int length, int messages, int firstIndex, const std::vector<Bytes>* baseline,
                    int baselineCount, std::vector<Entry>& entries) {
    entries.clear();
    if (baseline == nullptr || baselineCount < 0 || baselineCount > static_cast<int>(baseline->size()))
        baselineCount = 0;
    int at = 0;
    for (int i = 0; i < messages; ++i) {
        if (length - at < kEntryHeaderSize) return Refusal::kWrongLength;
        Entry entry;
        const uint16_t stored = Load<uint16_t>(raw + at);
        entry.reference = stored == kNoReference
                              ? kNoReference
                              : static_cast<uint16_t>(stored ^ static_cast<uint16_t>(firstIndex + i));
        if (entry.reference != kNoReference && entry.reference >= baselineCount) return Refusal::kBadField;
        const uint32_t likely =
            entry.reference != kNoReference ? static_cast<uint32_t>((*baseline)[entry.reference].size()) : 0;
        const uint32_t size = Load<uint32_t>(raw + at + 2) ^ likely;
        at += kEntryHeaderSize;
        if (size < sizeof(wire::Header) || size > static_cast<uint32_t>(wire::kMaxDatagram)) return Refusal::kBadField;
        entry.length = static_cast<int>(size);
        if (length - at < entry.length) return Refusal::kWrongLength;
        entry.residual = raw + at;
        at += entry.length;
        entries.push_back(entry);
    }
    return at == length ? Refusal::kNone : Refusal::kWrongLength;
}

}  // namespace trunk
