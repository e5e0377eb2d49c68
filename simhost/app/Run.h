// One run of the simhost program: modules and scenario in, steps, dumps and
// the final save out.
#pragma once

#include <string>

#include "AppOptions.h"

namespace simhost_app {

// The file a --scenario argument names: as given, else under the host's
// Scenarios folder, with or without ".scn". Empty when none is readable.
std::string ResolveScenarioPath(const std::string& given, const std::string& rootDir);

// The file a --module argument names: as given, else NAME or NAME.so (.dll
// on Windows) in one of the module folders; the argument itself when none exists (the loader
// then says why).
std::string ResolveModulePath(const std::string& given, const std::vector<std::string>& moduleDirs);

// Runs the simulation as the options say; returns the exit status. Messages
// go to stderr, the summary and status line to stdout.
int RunSimulation(const AppOptions& options);

}  // namespace simhost_app
