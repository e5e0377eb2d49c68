// Seed scripts (FuzzScript.h) of the two sequence fuzz targets: valid
// exchanges from which the fuzzer starts.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "SeedMessages.h"

namespace seeds {

using Script = std::pair<std::string, Bytes>;  // file name, bytes

std::vector<Script> SlaveScripts();
std::vector<Script> MasterScripts();

}  // namespace seeds
