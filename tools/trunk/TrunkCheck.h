// The one place where bytes of the trunk are read: every length, count,
// index and kind that came over the network is judged here before anything
// uses it, as common/protocol/WireCheck judges the master's messages.
#pragma once

#include <cstdint>
#include <vector>

#include "TrunkFormat.h"

namespace trunk {

enum class Refusal {
    kNone,
    kTooShort,
    kNotTrunk,  // no magic
    kOtherVersion,
    kUnknownKind,
    kSealedOtherwise,  // sealed where this end has no key, or in clear where it has one
    kWrongLength,      // a length that disagrees with the datagram or the group
    kBadField,         // a count, index or number out of its range
    kNotAMessage,      // restored or carried bytes that fail the master's message checks
};
const char* RefusalText(Refusal why);

// Magic, version, kind, sealed as this end seals, and a body length that is exactly the rest of the
// datagram (and at least a tag, when sealed).
Refusal ReadClearHeader(const uint8_t* datagram, int length, bool sealed, ClearHeader& header);

// The run of the receiver that an opened body names, and the rest after it.
Refusal ReadEcho(const uint8_t* body, int length, uint64_t& echo);

// A data body after its echo: the fields within their ranges, the chunk
// within the datagram.
Refusal ReadData(const uint8_t* rest, int length, DataBody& data);
Refusal ReadAck(const uint8_t* rest, int length, AckBody& ack);
// A KeyboardMessage as the master's receive checks take it.
Refusal ReadKeys(const uint8_t* rest, int length);

// One entry of an uncompressed group.
struct Entry {
    uint16_t reference = kNoReference;  // a message of the baseline update
    int length = 0;                     // of the message, and of its residual
    const uint8_t* residual = nullptr;
};
// Exactly `messages` entries filling `length` bytes, each message as long
// as a header at least and a datagram at most, each reference below
// `baselineCount`. An entry's fields are written relative to what is
// likely, so that they are zero when it holds: its reference XOR its own
// index in the update (`firstIndex` onwards), its length XOR the length of
// the baseline message it refers to.
Refusal ReadEntries(const uint8_t* raw, int length, int messages, int firstIndex, const std::vector<Bytes>* baseline,
                    int baselineCount, std::vector<Entry>& entries);

}  // namespace trunk
