#include "Run.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <thread>

#include "KeyScript.h"
#include "StatusLine.h"
#include "StopSignal.h"

namespace simhost_app {

namespace fs = std::filesystem;

namespace {

bool isReadableFile(const fs::path& path) {
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) return false;
    std::ifstream probe(path);
    return probe.good();
}

// Writes the state of every vessel; false when the file could not be written.
// A timeline of dumps (appended) carries the wall clock of each.
bool writeDump(const simhost::Host& host, const std::string& file, bool append) {
    // Binary: lines end in a line feed on Windows too, as every reader expects.
    std::ofstream out(file, std::ios::binary | (append ? std::ios::app : std::ios::trunc));
    if (!out) return false;
    const double wall =
        append ? std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count() : -1.0;
    host.dumpState(out, wall);
    out.flush();
    return static_cast<bool>(out);
}

std::string Absolute(const std::string& path) {
    if (path.empty()) return path;
    std::error_code ec;
    const fs::path absolute = fs::absolute(path, ec);
    return ec ? path : absolute.string();
}

// The root folder becomes the working folder too, as on the real host:
// modules write their logs and temporary files into the working folder and
// open them again through the root. Paths given relative to where the
// program started are made absolute first. False when the folder cannot be
// entered.
bool EnterRootFolder(AppOptions& options, std::string& scenario) {
    if (options.host.rootDir.empty()) return true;
    scenario = Absolute(scenario);
    options.dumpFile = Absolute(options.dumpFile);
    std::error_code ec;
    for (std::string& module : options.modules)
        if (fs::is_regular_file(module, ec)) module = Absolute(module);
    for (std::string& dir : options.host.moduleDirs) dir = Absolute(dir);
    for (std::string& dir : options.host.classDirs) dir = Absolute(dir);
    options.host.rootDir = Absolute(options.host.rootDir);
    fs::current_path(options.host.rootDir, ec);
    return !ec;
}

// Ends the simulation and unloads the modules, the way every run ends.
void finishRun(simhost::Host& host) {
    if (host.running()) host.endSimulation();
    // Modules go first (as the host unloads them), then the vessels.
    host.reset(host.options());
}

}  // namespace

std::string ResolveScenarioPath(const std::string& given, const std::string& rootDir) {
    if (given.empty()) return "";
    const fs::path scenarios = fs::path(rootDir.empty() ? "." : rootDir) / "Scenarios";
    for (const fs::path& candidate : {fs::path(given), scenarios / given, scenarios / (given + ".scn")}) {
        if (isReadableFile(candidate)) return candidate.string();
    }
    return "";
}

std::string ResolveModulePath(const std::string& given, const std::vector<std::string>& moduleDirs) {
    std::error_code ec;
    if (fs::is_regular_file(given, ec)) return given;
    for (const std::string& dir : moduleDirs) {
        for (const fs::path& candidate :
             {fs::path(dir) / given, fs::path(dir) / (given + simhost::ModuleFileExtension())}) {
            if (fs::is_regular_file(candidate, ec)) return candidate.string();
        }
    }
    return given;
}

int RunSimulation(const AppOptions& given) {
    simhost::Host& host = simhost::Host::instance();
    AppOptions options = given;
    std::string scenario = ResolveScenarioPath(options.scenario, options.host.rootDir);
    if (scenario.empty()) {
        std::fprintf(stderr, "simhost: cannot read scenario '%s'\n", options.scenario.c_str());
        return 2;
    }
    if (!EnterRootFolder(options, scenario)) {
        std::fprintf(stderr, "simhost: cannot enter root folder '%s'\n", options.host.rootDir.c_str());
        return 2;
    }
    // An unwritable dump file is found out before anything runs.
    if (!options.dumpFile.empty() && !std::ofstream(options.dumpFile, std::ios::trunc)) {
        std::fprintf(stderr, "simhost: cannot write dump file '%s'\n", options.dumpFile.c_str());
        return 2;
    }

    host.reset(options.host);
    for (const std::string& module : options.modules) {
        std::string error;
        if (!host.loadModule(ResolveModulePath(module, options.host.moduleDirs), &error)) {
            std::fprintf(stderr, "simhost: cannot load module '%s': %s\n", module.c_str(), error.c_str());
            finishRun(host);
            return 2;
        }
    }
    std::string error;
    if (!host.loadScenario(scenario, &error)) {
        std::fprintf(stderr, "simhost: cannot load scenario '%s': %s\n", scenario.c_str(), error.c_str());
        finishRun(host);
        return 2;
    }
    if (options.warpGiven) oapiSetTimeAcceleration(options.warp);
    if (!options.quiet) {
        std::printf("simhost: scenario %s, %u vessels, %zu modules, %s clock\n", scenario.c_str(),
                    static_cast<unsigned>(oapiGetVesselCount()), options.modules.size(),
                    options.host.virtualClock ? "virtual" : "real");
        std::fflush(stdout);
    }

    host.startSimulation();
    KeyScript keys(options.keys);
    StatusLine status(stdout);
    const double dt = 1.0 / options.fps;
    const double start = host.sysTime();
    double lastStepTime = start;
    double nextDump = options.dumpEvery;
    auto nextFrame = std::chrono::steady_clock::now();
    const auto frame =
        std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::duration<double>(dt));
    long steps = 0;
    bool dumpFailed = false;

    // Half a step of slack keeps rounding from adding a step at the end.
    while (!StopRequested() && host.sysTime() - start + 0.5 * dt < options.duration) {
        keys.deliverDue(host.sysTime() - start, host);
        if (options.host.virtualClock) {
            host.step(dt);
        } else {
            nextFrame += frame;
            const auto now = std::chrono::steady_clock::now();
            if (now > nextFrame + 5 * frame) nextFrame = now;  // fell behind: do not race to catch up
            std::this_thread::sleep_until(nextFrame);
            const double t = host.sysTime();
            host.step(t - lastStepTime);
            lastStepTime = t;
        }
        ++steps;
        if (options.dumpEvery > 0 && host.sysTime() - start >= nextDump - 1e-9) {
            dumpFailed = !writeDump(host, options.dumpFile, true) || dumpFailed;
            while (nextDump <= host.sysTime() - start + 1e-9) nextDump += options.dumpEvery;
        }
        if (options.status) status.update(host);
    }
    if (options.status) {
        status.update(host, true);
        status.finish();
    }

    int exitCode = 0;
    if (!options.saveName.empty() && !oapiSaveScenario(options.saveName.c_str(), "Saved by simhost")) {
        std::fprintf(stderr, "simhost: cannot save scenario '%s'\n", options.saveName.c_str());
        exitCode = 1;
    }
    if (!options.dumpFile.empty()) dumpFailed = !writeDump(host, options.dumpFile, options.dumpEvery > 0) || dumpFailed;
    if (dumpFailed) {
        std::fprintf(stderr, "simhost: cannot write dump file '%s'\n", options.dumpFile.c_str());
        exitCode = 1;
    }
    if (!options.quiet) {
        std::printf("simhost: %s after %ld steps: sim time %.3f s, MJD %.6f, %u vessels\n",
                    StopRequested() ? "stopped" : "done", steps, host.simTime(), host.simMJD(),
                    static_cast<unsigned>(oapiGetVesselCount()));
    }
    finishRun(host);
    return exitCode;
}

}  // namespace simhost_app
