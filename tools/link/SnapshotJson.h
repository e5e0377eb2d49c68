// The snapshot as one JSON object, for scripts and health checks. Numbers
// that are not finite appear as null; names are escaped whatever bytes they
// hold, so the text is always valid JSON.
#pragma once

#include <string>

#include "LinkSnapshot.h"

std::string SnapshotJson(const LinkSnapshot& snapshot);

// A JSON string literal of `text`: quotes, backslashes and control
// characters escaped, bytes above 127 taken as Latin-1 characters.
std::string JsonString(const std::string& text);
