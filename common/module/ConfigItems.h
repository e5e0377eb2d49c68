// Reading one module setting through the host's item readers: a key that is
// missing or unreadable leaves the value as it is (its default).
#pragma once

#include <cstddef>
#include <cstdint>

#include "Platform.h"

bool ReadIntItem(FILEHANDLE file, const char* key, int32_t& value);
bool ReadFloatItem(FILEHANDLE file, const char* key, double& value);
// At most capacity - 1 characters are kept; the host's reader itself knows
// no capacity, so it writes into room for any line first.
bool ReadStringItem(FILEHANDLE file, const char* key, char* value, size_t capacity);
