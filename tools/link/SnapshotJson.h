// The snapshot as one JSON object, for scripts and health checks. Numbers
// that are not finite appear as null; names are escaped whatever bytes they
// hold, so the text is always valid JSON.
#pragma once

#include <string>

#include "JsonText.h"
#include "LinkSnapshot.h"

std::string SnapshotJson(const LinkSnapshot& snapshot);
