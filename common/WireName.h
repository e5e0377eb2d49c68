// Reading a 32-byte name field as text, whatever bytes it holds: the text
// ends at the first NUL or at the end of the field, never beyond it.
#pragma once

#include <string>

#include "WireRecords.h"

namespace wire {

std::string NameText(const Name& field);

}  // namespace wire
