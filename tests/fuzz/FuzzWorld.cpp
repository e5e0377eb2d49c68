#include "FuzzWorld.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>

#include "FuzzArguments.h"
#include "Message.h"
#include "SeedMessages.h"
#include "TestKeys.h"
#include "TestPaths.h"
#include "TestVessels.h"

namespace fuzz {

namespace {

namespace fs = std::filesystem;

// The run's working folder: in memory where the machine has a tmpfs, since
// the modules write their logs, configuration reads and scenario texts
// there for every input.
fs::path workspace;
simhost::HostOptions options;

void MakeWorkspace() {
    std::error_code error;
    const char* base = fs::is_directory("/dev/shm", error) ? "/dev/shm" : "/tmp";
    std::string pattern = std::string(base) + "/helm-fuzz-XXXXXX";
    if (mkdtemp(&pattern[0]) == nullptr) {
        std::fprintf(stderr, "fuzz: cannot make a working folder in %s\n", base);
        std::abort();
    }
    workspace = pattern;
    fs::create_directories(workspace / "Config");
    fs::create_directories(workspace / "Scenarios");
    fs::current_path(workspace);
}

void EndRun() {
    simhost::Host::instance().reset();
    std::error_code ignored;
    fs::current_path("/", ignored);
    fs::remove_all(workspace, ignored);
}

}  // namespace

void PrepareRun(int* argc, char*** argv) {
    KeepCallersPaths(argc, argv);
    std::cerr.rdbuf(nullptr);
    MakeWorkspace();
    options.rootDir = workspace.string();
    options.moduleDirs = {BinDir()};
    options.classDirs = {SourceDir() + "/config/Vessels"};

    simhost::GenericClassSpec ship;
    ship.propellantMasses = {1000.0, 500.0};
    ship.thrusters = 4;
    ship.dockPorts = 2;
    ship.navRadios = 3;
    ship.animations = 3;
    ship.animationRate = 0.05;  // the vessel's own animation, which the slave's detour holds
    simhost::RegisterGenericClass("FuzzShip", ship);
    simhost::GenericClassSpec pod;
    pod.interfaceVersion = 1;
    pod.propellantMasses = {300.0};
    pod.thrusters = 2;
    pod.dockPorts = 1;
    pod.navRadios = 1;
    pod.animations = 1;
    simhost::RegisterGenericClass("FuzzPod", pod);
    std::atexit(EndRun);
}

simhost::Host& Host() { return simhost::Host::instance(); }

void StartAfresh() {
    Host().resetKeepingClassModules(options);
    Host().setSimMJD(seeds::kMjd);
}

void StepHost(double seconds) {
    constexpr double kMaxSimulatedStep = 60.0;
    const double warp = oapiGetTimeAcceleration();
    Host().step(warp * seconds > kMaxSimulatedStep ? kMaxSimulatedStep / warp : seconds);
}

oapi::Module* LoadModule(const char* moduleFile, void (*initModule)(HINSTANCE), void (*exitModule)(HINSTANCE),
                         const char* configFile, const std::string& config) {
    StartAfresh();
    std::ofstream(workspace / "Config" / configFile, std::ios::binary) << config;
    sendSequence = 0;
    sharedKeyboard.Sent();
    Host().attachInProcessModule(moduleFile, initModule, exitModule);
    const std::vector<oapi::Module*> modules = Host().registeredModules();
    return modules.empty() ? nullptr : modules.back();
}

OBJHANDLE AddVessel(const char* name, const char* className, double radius) {
    return CreateVesselAt(name, className, _V(radius, 0.0, 0.0), _V(0.0, std::sqrt(3.986004418e14 / radius), 0.0));
}

void PlayScript(ScriptReader& script, const std::function<void(const ScriptEvent&)>& send,
                const std::function<void()>& afterStep, size_t& keysTyped) {
    ScriptEvent event;
    while (script.next(event)) {
        switch (event.kind) {
            case ScriptEvent::Kind::kDatagram:
                send(event);
                break;
            case ScriptEvent::Kind::kHostStep:
                StepHost(event.seconds());
                afterStep();
                break;
            case ScriptEvent::Kind::kClockAdvance:
                Host().advanceSysTime(event.seconds());
                break;
            case ScriptEvent::Kind::kKey: {
                Host().deliverKey(Key(static_cast<DWORD>(event.scanCode()), 0x41, event.keyDown()));
                ++keysTyped;
                break;
            }
        }
    }
}

}  // namespace fuzz
