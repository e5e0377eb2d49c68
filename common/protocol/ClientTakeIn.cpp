#include "ClientTakeIn.h"

#include <cstring>

#include "WireRecords.h"

ClientTakeIn::Outcome ClientTakeIn::Screen(const uint8_t* datagram, int length) {
    Outcome outcome;
    const int32_t type = wire::TypeOf(datagram, length);
    if (wire::KnownType(type) && type != wire::kHello && type != wire::kAck && type != wire::kKeyboard) {
        outcome.verdict = Verdict::kNotForMaster;
        return outcome;
    }
    outcome.rejection = wire::CheckDatagram(datagram, length);
    if (outcome.rejection != wire::Rejection::kNone) return outcome;
    switch (type) {
        case wire::kHello:
            outcome.verdict = Verdict::kHello;
            break;
        case wire::kAck:
            outcome.verdict = Verdict::kAck;
            break;
        default: {
            // The checks passed a keyboard record of its exact size.
            wire::KeyboardRecord keys;
            std::memcpy(&keys, datagram, sizeof keys);
            outcome.verdict = Verdict::kKeys;
            outcome.keyEvents = wire::CutCount(keys.keyCount, wire::kMaxKeys);
            break;
        }
    }
    return outcome;
}
