#include "AppOptions.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace simhost_app {

namespace {

const char kUsage[] =
    "Usage: simhost --scenario FILE [options]\n"
    "Runs the headless host: loads plug-in modules and a scenario, steps the\n"
    "simulation, reports.\n"
    "\n"
    "  --root DIR             host root folder (Config/, Scenarios/); default: current folder\n"
    "  --classes DIR          extra folder of vessel class descriptions (repeatable)\n"
    "  --module-dir DIR       folder of vessel class modules (repeatable);\n"
    "                         default: the folder of this program\n"
    "  --module PATH          plug-in module to load (repeatable); a bare name is\n"
    "                         also looked for as NAME.so (NAME.dll on Windows) in\n"
    "                         the module folders\n"
    "  --scenario FILE        scenario to load (also looked for in ROOT/Scenarios)\n"
    "  --duration SECONDS     length of the run in host system seconds (default 10)\n"
    "  --fps N                steps per second (default 60)\n"
    "  --realtime             steps paced to the real clock (default)\n"
    "  --fast                 virtual clock, as fast as possible\n"
    "  --warp X               initial time acceleration\n"
    "  --key TIME:KEY[:up|:down|:tap][:alt]\n"
    "                         key event TIME seconds after the start; KEY is a letter,\n"
    "                         a digit or a scan code (\"30\", \"0x1E\"); default tap\n"
    "                         (press, release one step later) (repeatable)\n"
    "  --dump FILE            write the final state of every vessel to FILE\n"
    "  --dump-every SECONDS   also append a dump to FILE this often\n"
    "  --orbiter-version N    version the host reports (YYMMDD)\n"
    "  --status               one-line status, refreshed in place\n"
    "  --quiet                no messages except errors\n"
    "  --save NAME            save the scenario under NAME at the end\n"
    "  --help                 this text\n"
    "\n"
    "Exit status: 0 after a run, 1 when the final save fails, 2 for bad arguments,\n"
    "an unreadable scenario or a module that does not load.\n";

bool parseDouble(const char* text, double& value) {
    char* end = nullptr;
    errno = 0;
    value = std::strtod(text, &end);
    return end != text && *end == '\0' && errno == 0 && std::isfinite(value);
}

bool parseInt(const char* text, long minimum, long maximum, int& value) {
    char* end = nullptr;
    errno = 0;
    const long parsed = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || errno != 0 || parsed < minimum || parsed > maximum) return false;
    value = static_cast<int>(parsed);
    return true;
}

bool isFolder(const std::string& path) {
    std::error_code ec;
    return std::filesystem::is_directory(path, ec);
}

}  // namespace

const char* UsageText() { return kUsage; }

ParseOutcome ParseArguments(int argc, const char* const* argv, AppOptions& options, std::string& error) {
    AppOptions o;
    o.host.virtualClock = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") return ParseOutcome::Help;
        if (arg == "--realtime") {
            o.host.virtualClock = false;
            continue;
        }
        if (arg == "--fast") {
            o.host.virtualClock = true;
            continue;
        }
        if (arg == "--status") {
            o.status = true;
            continue;
        }
        if (arg == "--quiet") {
            o.quiet = true;
            continue;
        }
        static const char* const kWithValue[] = {
            "--root", "--classes", "--module-dir", "--module",     "--scenario",        "--duration", "--fps",
            "--warp", "--key",     "--dump",       "--dump-every", "--orbiter-version", "--save"};
        bool known = false;
        for (const char* name : kWithValue) known = known || arg == name;
        if (!known) {
            error = "unknown argument '" + arg + "'";
            return ParseOutcome::Error;
        }
        if (i + 1 >= argc) {
            error = "missing value after " + arg;
            return ParseOutcome::Error;
        }
        const char* value = argv[++i];
        const std::string bad = "bad value '" + std::string(value) + "' for " + arg;
        if (arg == "--root" || arg == "--classes" || arg == "--module-dir") {
            if (!isFolder(value)) {
                error = bad + ": not a folder";
                return ParseOutcome::Error;
            }
            if (arg == "--root")
                o.host.rootDir = value;
            else if (arg == "--classes")
                o.host.classDirs.push_back(value);
            else
                o.host.moduleDirs.push_back(value);
        } else if (arg == "--module") {
            o.modules.push_back(value);
        } else if (arg == "--scenario") {
            o.scenario = value;
        } else if (arg == "--duration") {
            if (!parseDouble(value, o.duration) || o.duration < 0) {
                error = bad + " (seconds, 0 or more)";
                return ParseOutcome::Error;
            }
        } else if (arg == "--fps") {
            if (!parseInt(value, 1, 10000, o.fps)) {
                error = bad + " (steps per second, 1 to 10000)";
                return ParseOutcome::Error;
            }
        } else if (arg == "--warp") {
            if (!parseDouble(value, o.warp) || o.warp <= 0) {
                error = bad + " (a time acceleration above 0)";
                return ParseOutcome::Error;
            }
            o.warpGiven = true;
        } else if (arg == "--key") {
            ScriptedKey key;
            std::string why;
            if (!ParseKeySpec(value, key, why)) {
                error = why;
                return ParseOutcome::Error;
            }
            o.keys.push_back(key);
        } else if (arg == "--dump") {
            o.dumpFile = value;
        } else if (arg == "--dump-every") {
            if (!parseDouble(value, o.dumpEvery) || o.dumpEvery <= 0) {
                error = bad + " (seconds, above 0)";
                return ParseOutcome::Error;
            }
        } else if (arg == "--orbiter-version") {
            if (!parseInt(value, 1, 999999, o.host.orbiterVersion)) {
                error = bad + " (a version number YYMMDD)";
                return ParseOutcome::Error;
            }
        } else if (arg == "--save") {
            if (*value == '\0') {
                error = bad + " (a scenario name)";
                return ParseOutcome::Error;
            }
            o.saveName = value;
        }
    }
    if (o.scenario.empty()) {
        error = "no scenario given (--scenario FILE)";
        return ParseOutcome::Error;
    }
    if (o.dumpEvery > 0 && o.dumpFile.empty()) {
        error = "--dump-every needs --dump FILE";
        return ParseOutcome::Error;
    }
    options = o;
    return ParseOutcome::Run;
}

}  // namespace simhost_app
