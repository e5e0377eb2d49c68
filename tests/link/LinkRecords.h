// Wire records for the link tests, filled as a master fills them.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

#include "WireRecords.h"

namespace linktest {

template <class Record>
Record Zeroed(int32_t type, int32_t seq) {
    Record record;
    std::memset(&record, 0, sizeof record);
    record.header.type = type;
    record.header.seq = seq;
    return record;
}

inline void SetName(wire::Name& field, const char* text) { std::strncpy(field, text, wire::kNameSize - 1); }

template <class Record>
std::vector<uint8_t> BytesOf(const Record& record, size_t size = sizeof(Record)) {
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(&record);
    return std::vector<uint8_t>(bytes, bytes + size);
}

inline wire::Vessel2Record Orbiting(int32_t seq, const char* name, const char* body, double x, double vy) {
    auto r = Zeroed<wire::Vessel2Record>(wire::kVessel2, seq);
    r.mjd = 60000.5;
    SetName(r.vesselName, name);
    SetName(r.className, "Shuttle2");
    r.status2.version = 2;
    r.status2.rbody = 0x1234;
    SetName(r.rbodyName, body);
    r.status2.rpos = {x, 0.0, 0.0};
    r.status2.rvel = {0.0, vy, 0.0};
    return r;
}

}  // namespace linktest
