// The stand-in host's own control interface, for the simhost program and for
// tests that drive modules in-process. Modules never include this.
#pragma once

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "Orbitersdk.h"

namespace simhost {

struct HostOptions {
    int orbiterVersion = 100830;
    // Host system time: a virtual clock that only moves when told to (and on
    // Sleep), or real seconds.
    bool virtualClock = true;
    double virtualClockStart = 1000.0;
    // The folder every path root is below: "" is the current directory.
    // CONFIG is <root>/Config, SCENARIOS is <root>/Scenarios.
    std::string rootDir;
    // Folders searched for vessel class modules ("<Module>.so", ".dll" on Windows).
    std::vector<std::string> moduleDirs;
    // Folders searched for vessel class descriptions ("<Class>.cfg") after
    // CONFIG/Vessels.
    std::vector<std::string> classDirs;
};

// One key event as a keyboard delivers it: the hook chain sees (code, vk,
// flags); the focus vessel sees the scan code and the up/down state.
struct KeyEvent {
    DWORD scanCode = 0;
    DWORD virtualKey = 0;
    bool down = true;
    bool altHeld = false;
};

class Host {
public:
    static Host& instance();

    // Back to a new host: unloads modules, forgets vessels, files opened,
    // hooks, clock. Tests call it between cases.
    void reset(const HostOptions& options = HostOptions());
    // The same, except that vessel class modules already loaded stay loaded
    // (and registered): for fuzz targets that start afresh for every input,
    // where loading a class module each time would cost too much.
    void resetKeepingClassModules(const HostOptions& options = HostOptions());
    const HostOptions& options() const;

    // ---- Modules ----
    // dlopen a plug-in module, record it for GetModuleHandleA, call its
    // InitModule. False (and a reason) when it cannot be loaded.
    bool loadModule(const std::string& path, std::string* error = nullptr);
    // A module compiled into the calling program: its InitModule is called
    // with a handle that GetModuleHandleA finds under `name`.
    HINSTANCE attachInProcessModule(const std::string& name, void (*initModule)(HINSTANCE),
                                    void (*exitModule)(HINSTANCE));
    // Destroys registered module objects, calls ExitModule, unloads.
    void unloadModules();
    std::vector<oapi::Module*> registeredModules() const;

    // ---- Scenario ----
    bool loadScenario(const std::string& path, std::string* error = nullptr);
    bool saveScenario(const std::string& path, const std::string& description);

    // ---- Simulation run ----
    void startSimulation();  // clbkSimulationStart of every module
    // One host step: simulated dt = realDt * time acceleration (0 when
    // paused); advances the virtual clock by realDt, propagates vessels,
    // runs vessel and module pre/post step callbacks.
    void step(double realDt);
    void endSimulation();  // clbkSimulationEnd of every module
    bool running() const;

    // ---- Clock ----
    double sysTime() const;
    void setSysTime(double t);       // virtual clock only
    void advanceSysTime(double dt);  // virtual clock only
    double simTime() const;
    double simMJD() const;
    void setSimMJD(double mjd);
    double timeAcceleration() const;
    bool paused() const;
    void setPaused(bool paused);

    // ---- Keys ----
    // Passes the event through the keyboard hook chain, then (unless a hook
    // swallowed it) to the focus vessel's buffered-key callback.
    void deliverKey(const KeyEvent& key);
    // The lParam a keyboard hook sees for this event (the key message's
    // flags word, as Windows lays it out).
    static LPARAM keyFlags(const KeyEvent& key) {
        uint32_t flags = 1u;                              // repeat count
        flags |= (key.scanCode & 0xFFu) << 16;            // scan code
        if (key.altHeld) flags |= 1u << 29;               // context code
        if (!key.down) flags |= (1u << 30) | (1u << 31);  // previous state, transition
        return static_cast<LPARAM>(flags);
    }

    // ---- Observation ----
    std::string debugString() const;
    double lastCockpitPolar() const;
    double lastCockpitAzimuth() const;
    // Every vessel's state, one JSON object per line. A `wallClock` of 0 or
    // more (seconds since 1970) is written into every line as "wall", so a
    // timeline of dumps can be matched with other processes' clocks even
    // when a dump of an empty world wrote no line.
    void dumpState(std::ostream& out, double wallClock = -1.0) const;
    // Keys each vessel's buffered-key callback received, in order.
    struct ReceivedKey {
        DWORD key;
        bool down;
    };
    std::vector<ReceivedKey> keysReceivedBy(OBJHANDLE vessel) const;

    // Called after every step (the program's status line, test probes).
    void setStepObserver(std::function<void()> observer);

private:
    Host();
};

// The file name extension of module libraries: ".so", or ".dll" on Windows.
const char* ModuleFileExtension();

// Vessel classes the host can make without a module: each class name has a
// description ("Config/Vessels/<Class>.cfg" under the root, or registered
// here in code).
struct GenericClassSpec {
    int interfaceVersion = 2;              // 0 to 4
    std::vector<double> propellantMasses;  // initial = max mass
    int thrusters = 0;
    int dockPorts = 0;
    int navRadios = 0;
    int animations = 0;
    double animationRate = 0.0;  // animation 0 cycles at this rate (per second) on its own
    double emptyMass = 1000.0;
    double size = 10.0;
};
void RegisterGenericClass(const std::string& className, const GenericClassSpec& description);

}  // namespace simhost
