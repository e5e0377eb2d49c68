// The simhost program's command line.
#pragma once

#include <string>
#include <vector>

#include "KeyScript.h"
#include "SimHost.h"

namespace simhost_app {

struct AppOptions {
    simhost::HostOptions host;  // root, class and module folders, clock, version
    std::vector<std::string> modules;
    std::string scenario;
    double duration = 10.0;  // host system seconds
    int fps = 60;
    bool warpGiven = false;
    double warp = 1.0;
    std::vector<ScriptedKey> keys;
    std::string dumpFile;
    double dumpEvery = 0.0;  // 0: only the final dump
    bool status = false;
    bool quiet = false;
    std::string saveName;
};

enum class ParseOutcome { Run, Help, Error };

// Reads the arguments (argv[0] is the program). On Error, `error` says why.
// Folders given are checked to exist; files are found later.
ParseOutcome ParseArguments(int argc, const char* const* argv, AppOptions& options, std::string& error);

const char* UsageText();

}  // namespace simhost_app
