// What the sequence targets' checks read: the host's state that must stay
// in range whatever a peer sent, and what the datagrams on the link carried.
#pragma once

#include <cstddef>
#include <cstdint>

namespace fuzz {

// Every vessel's motion, the date and the time acceleration are numbers.
void RequireWorldFinite();
// Key events the vessels' buffered-key callbacks have received so far.
size_t KeysReceived();

// The largest key count a keyboard datagram of these bytes can make a
// receiver replay (0 when the bytes are no keyboard message).
int KeysCarried(const uint8_t* bytes, size_t length);
// Whether the bytes are the header-only message (Hello, Ack, End) `type`.
bool IsHeaderMessage(const uint8_t* bytes, size_t length, int32_t type);
int32_t SeqOf(const uint8_t* bytes, size_t length);

}  // namespace fuzz
