#include "ForgedMessages.h"

#include <cstring>

#include "WireRecords.h"

namespace hostile {

namespace {

template <class Record>
std::vector<uint8_t> Bytes(const Record& record) {
    const uint8_t* start = reinterpret_cast<const uint8_t*>(&record);
    return std::vector<uint8_t>(start, start + sizeof record);
}

void SetName(wire::Name& field, const char* text) {
    std::memset(field, 0, sizeof field);
    std::strncpy(field, text, sizeof field - 1);
}

constexpr int32_t kKeyUpBit = static_cast<int32_t>(0x80000000u);

std::vector<uint8_t> ForgedHeader(int32_t type, int32_t seq) {
    wire::HeaderRecord record{};
    record.header = {type, seq};
    return Bytes(record);
}

}  // namespace

std::vector<uint8_t> ForgedHello(int32_t seq) { return ForgedHeader(wire::kHello, seq); }
std::vector<uint8_t> ForgedAck(int32_t seq) { return ForgedHeader(wire::kAck, seq); }
std::vector<uint8_t> ForgedEnd(int32_t seq) { return ForgedHeader(wire::kEnd, seq); }

std::vector<uint8_t> ForgedStart(int32_t seq, double mjd) {
    wire::StartRecord record{};
    record.header = {wire::kStart, seq};
    record.mjd = mjd;
    record.timeAccel = 1.0;
    record.simStep = 1.0 / 60.0;
    return Bytes(record);
}

std::vector<uint8_t> ForgedVessel(int32_t seq, double mjd, const char* name, const char* className) {
    wire::Vessel2Record record{};
    record.header = {wire::kVessel2, seq};
    record.mjd = mjd;
    SetName(record.vesselName, name);
    SetName(record.className, className);
    record.status2.version = 2;
    record.status2.rbody = 1;  // non-zero: the body named below
    SetName(record.rbodyName, "Earth");
    record.status2.rpos = {7000000.0, 0.0, 0.0};
    record.status2.rvel = {0.0, 7546.0, 0.0};
    return Bytes(record);
}

std::vector<uint8_t> ForgedKeyTap(int32_t seq, uint8_t scanCode) {
    wire::KeyboardRecord record{};
    record.header = {wire::kKeyboard, seq};
    record.keyCount = 2;
    const int32_t flags = 1 | (static_cast<int32_t>(scanCode) << 16);
    record.keys[0] = {0, 0, flags};
    record.keys[1] = {0, 0, flags | kKeyUpBit};
    return Bytes(record);
}

}  // namespace hostile
