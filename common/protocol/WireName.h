// Reading a 32-byte name field as text, whatever bytes it holds: the text
// ends at the first NUL or at the end of the field, never beyond it.
#pragma once

#include <string>

#include "WireRecords.h"

namespace wire {

std::string NameText(const Name& field);

// A class name from the wire names the class's files on the receiving
// host: false for one that could reach outside the class folders (a
// folder separator, "..", a drive like "C:") or holds control characters.
bool SafeClassName(const char* name);

// The name for a log line: bytes that are no printable ASCII become '?'.
std::string PrintableName(const char* name);

}  // namespace wire
