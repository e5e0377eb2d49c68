// The state of the one stand-in host in this process: clock, objects,
// modules. Private to libsimhost; the public faces are the oapi functions,
// the VESSEL interface and simhost::Host.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "ModuleAPI.h"
#include "vessel/HostVessel.h"

namespace simhost {

// A plug-in module or a vessel class module the host has loaded.
struct LoadedModule {
    std::string name;         // file name, as the module registry knows it
    void* library = nullptr;  // LibraryOpen's handle; null for an in-process module
    HMODULE instance = nullptr;
    void (*exitModule)(HINSTANCE) = nullptr;
    VesselClassInit createVessel = nullptr;
    VesselClassExit destroyVessel = nullptr;
};

struct RegisteredModule {
    oapi::Module* module;
    int owner;  // index into World::modules, or -1
};

struct CaselessLess {
    bool operator()(const std::string& a, const std::string& b) const;
};

struct World {
    World();

    HostOptions options;
    double simTime = 0.0;
    double simStep = 0.0;
    double mjd = 60000.0;
    double warp = 1.0;
    bool paused = false;
    bool running = false;

    std::vector<std::unique_ptr<CelestialBody>> bodies;
    std::vector<std::unique_ptr<SurfaceBase>> bases;
    std::vector<std::unique_ptr<HostVessel>> vessels;  // creation order
    // Look-ups the modules make for every message: by name (lower case) and
    // by handle, without walking every vessel.
    std::unordered_map<std::string, HostVessel*> vesselsByName;
    std::unordered_set<const void*> vesselHandles;
    HostVessel* focus = nullptr;

    std::vector<LoadedModule> modules;       // plug-ins, load order
    std::vector<LoadedModule> classModules;  // vessel class modules
    std::vector<RegisteredModule> registered;
    int loadingModule = -1;

    std::map<std::string, GenericClassSpec, CaselessLess> genericClasses;

    double cockpitPolar = 0.0;
    double cockpitAzimuth = 0.0;
    char keyTable[256] = {};
    std::function<void()> stepObserver;
};

World& TheWorld();

// ---- Handle checks: unknown or stale handles give null ----
HostObject* LiveObject(OBJHANDLE handle);
HostVessel* LiveVessel(OBJHANDLE handle);
CelestialBody* LiveBody(OBJHANDLE handle);
SurfaceBase* LiveBase(OBJHANDLE handle);
HostVessel* VesselNamed(const std::string& name);
// Keep the look-ups of World in step with its vessel list.
void IndexVessel(HostVessel* vessel);
void UnindexVessel(HostVessel* vessel);
void ClearVesselIndex();
HostObject* ObjectNamed(const std::string& name);

// ---- Keys ----
// Types one key event: it passes the keyboard hooks and then, unless a hook
// swallowed it, reaches the focus vessel. The stand-in's hook chain runs at
// once; on Windows the event is keyboard input to the host's window, and
// arrives through the window's messages (PumpKeyInput).
void TypeKey(const KeyEvent& key);
// Delivers the key messages the host's window has received (Windows; the
// stand-in has none waiting).
void PumpKeyInput();
// The key table vessels are given (down: 0x80).
void RecordKeyState(DWORD scanCode, bool down);
void DeliverKeyToFocus(DWORD scanCode, bool down);

// ---- Module callbacks, in registration order ----
void ForEachModule(const std::function<void(oapi::Module&)>& call);

// ---- Vessel life ----
// Where a new vessel's state comes from: a status record of version 1 or 2,
// or the vessel's lines of a scenario (read by its own load callback).
struct VesselSource {
    const VESSELSTATUS* status = nullptr;
    const void* statusEx = nullptr;
    const std::vector<std::string>* scenarioLines = nullptr;
};
// Creates a vessel of a class: the object, its class caps, then its state
// from `source`, then clbkPostCreation. Null when the name is taken.
HostVessel* CreateVessel(const std::string& name, const std::string& className, const VesselSource& source);
void DeleteVessel(HostVessel* vessel);
void DeleteAllVessels();
void UnloadClassModules();
// Docks named in scenario text whose partner has appeared since.
void ResolvePendingDocks();

// ---- Physics ----
// Advances every vessel by dt simulated seconds.
void PropagateAll(double dt);
// Moves one free-flying vessel along its path around its body by dt.
void PropagateFree(HostVessel& vessel, double dt);
// A date jump of dt seconds: per propagation mode nibble (orbital, then
// suborbital), free-flying vessels either keep their state (fixed modes)
// or follow their path (elements).
void JumpAll(double dt, int pmode);

// ---- Text ----
// The lines a vessel's own save callback writes, joined by line feeds.
std::string VesselScenarioText(HostVessel& vessel);
// Writes the whole scenario to an open file.
void WriteScenario(FILEHANDLE file, const std::string& description);

// The host's entry that the function-replacement stand-in may replace.
void* SetAnimationEntry();

}  // namespace simhost
