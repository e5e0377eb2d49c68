// What makes two messages of different updates "the same message": the
// type and, for a vessel's messages, the vessel's name. A message is
// encoded against the one of the same key in the baseline update.
#pragma once

#include <cstdint>

namespace trunk {

// A hash of the key; messages shorter than their name field hash by type.
uint64_t MessageKey(const uint8_t* message, int length);

}  // namespace trunk
