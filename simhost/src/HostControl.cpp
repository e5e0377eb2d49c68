// simhost::Host: the control interface of the program and of tests.
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <functional>

#include "platform/PlatformServices.h"
#include "World.h"

namespace simhost {

Host::Host() { TheWorld(); }

Host& Host::instance() {
    static Host host;
    return host;
}

void Host::reset(const HostOptions& options) {
    unloadModules();
    DeleteAllVessels();
    UnloadClassModules();
    ModuleRegistryClear();
    resetKeepingClassModules(options);
}

void Host::resetKeepingClassModules(const HostOptions& options) {
    World& world = TheWorld();
    // Plug-ins leave the registry as they unload; class modules stay in it.
    unloadModules();
    DeleteAllVessels();
    KeyHooksClear();
    ReplacementsClear();
    ReplaceableEntryAdd(SetAnimationEntry());
    FilesCloseAll();
    SocketsForgetAll();
    DebugStringBuffer()[0] = '\0';
    world.options = options;
    FilesSetRoot(options.rootDir);
    ClockUseVirtual(options.virtualClock, options.virtualClockStart);
    world.simTime = 0.0;
    world.simStep = 0.0;
    world.mjd = 60000.0;
    world.warp = 1.0;
    world.paused = false;
    world.running = false;
    world.cockpitPolar = 0.0;
    world.cockpitAzimuth = 0.0;
    std::memset(world.keyTable, 0, sizeof world.keyTable);
    world.stepObserver = nullptr;
}

const HostOptions& Host::options() const { return TheWorld().options; }

// ---- Modules ----

bool Host::loadModule(const std::string& path, std::string* error) {
    World& world = TheWorld();
    std::string why;
    void* library = LibraryOpen(path, why);
    if (library == nullptr) {
        if (error != nullptr) *error = why;
        return false;
    }
    auto init = reinterpret_cast<void (*)(HINSTANCE)>(LibrarySymbol(library, "InitModule"));
    if (init == nullptr) {
        if (error != nullptr) *error = path + " exports no InitModule";
        LibraryClose(library);
        return false;
    }
    LoadedModule loaded;
    loaded.name = std::filesystem::path(path).filename().string();
    loaded.library = library;
    loaded.instance = ModuleRegistryAdd(loaded.name, library);
    loaded.exitModule = reinterpret_cast<void (*)(HINSTANCE)>(LibrarySymbol(library, "ExitModule"));
    world.modules.push_back(loaded);
    world.loadingModule = static_cast<int>(world.modules.size() - 1);
    init(loaded.instance);
    world.loadingModule = -1;
    return true;
}

HINSTANCE Host::attachInProcessModule(const std::string& name, void (*initModule)(HINSTANCE),
                                      void (*exitModule)(HINSTANCE)) {
    World& world = TheWorld();
    LoadedModule loaded;
    loaded.name = name;
    loaded.instance = ModuleRegistryAdd(name, nullptr);
    loaded.exitModule = exitModule;
    world.modules.push_back(loaded);
    world.loadingModule = static_cast<int>(world.modules.size() - 1);
    if (initModule != nullptr) initModule(loaded.instance);
    world.loadingModule = -1;
    return loaded.instance;
}

namespace {

// Deletes the module objects registered by `owner`, newest first.
void DeleteModuleObjects(int owner) {
    World& world = TheWorld();
    for (size_t i = world.registered.size(); i-- > 0;) {
        if (world.registered[i].owner != owner) continue;
        oapi::Module* module = world.registered[i].module;
        world.registered.erase(world.registered.begin() + static_cast<long>(i));
        delete module;
    }
}

}  // namespace

void Host::unloadModules() {
    World& world = TheWorld();
    for (size_t i = world.modules.size(); i-- > 0;) {
        DeleteModuleObjects(static_cast<int>(i));
        LoadedModule& loaded = world.modules[i];
        if (loaded.exitModule != nullptr) loaded.exitModule(loaded.instance);
        ModuleRegistryRemove(loaded.instance);
        if (loaded.library != nullptr) LibraryClose(loaded.library);
    }
    DeleteModuleObjects(-1);
    world.modules.clear();
}

std::vector<oapi::Module*> Host::registeredModules() const {
    std::vector<oapi::Module*> modules;
    for (const RegisteredModule& r : TheWorld().registered) modules.push_back(r.module);
    return modules;
}

// ---- Simulation run ----

void Host::startSimulation() {
    SendRound sends;  // what the modules send here leaves by the end, batched where it can
    TheWorld().running = true;
    ForEachModule([](oapi::Module& m) { m.clbkSimulationStart(oapi::Module::RENDER_NONE); });
}

void Host::step(double realDt) {
    SendRound sends;
    World& world = TheWorld();
    // The host's message loop: key input that has arrived reaches the vessels.
    PumpKeyInput();
    ClockAdvance(realDt);
    const double dt = world.paused ? 0.0 : realDt * world.warp;
    world.simStep = dt;
    // Index loops: callbacks may create or delete vessels.
    for (size_t i = 0; i < world.vessels.size(); ++i)
        if (VESSEL2* v = world.vessels[i]->callbacks()) v->clbkPreStep(world.simTime, dt, world.mjd);
    ForEachModule([&](oapi::Module& m) { m.clbkPreStep(world.simTime, dt, world.mjd); });
    PropagateAll(dt);
    world.simTime += dt;
    world.mjd += dt / 86400.0;
    for (size_t i = 0; i < world.vessels.size(); ++i)
        if (VESSEL2* v = world.vessels[i]->callbacks()) v->clbkPostStep(world.simTime, dt, world.mjd);
    ForEachModule([&](oapi::Module& m) { m.clbkPostStep(world.simTime, dt, world.mjd); });
    if (world.stepObserver) world.stepObserver();
}

void Host::endSimulation() {
    SendRound sends;
    ForEachModule([](oapi::Module& m) { m.clbkSimulationEnd(); });
    TheWorld().running = false;
}

bool Host::running() const { return TheWorld().running; }

// ---- Clock ----

double Host::sysTime() const { return ClockNow(); }
void Host::setSysTime(double t) { ClockSet(t); }
void Host::advanceSysTime(double dt) { ClockAdvance(dt); }
double Host::simTime() const { return TheWorld().simTime; }
double Host::simMJD() const { return TheWorld().mjd; }
void Host::setSimMJD(double mjd) { TheWorld().mjd = mjd; }
double Host::timeAcceleration() const { return TheWorld().warp; }
bool Host::paused() const { return TheWorld().paused; }
void Host::setPaused(bool paused) { oapiSetPause(paused); }

// ---- Keys ----

void Host::deliverKey(const KeyEvent& key) { TypeKey(key); }

void RecordKeyState(DWORD scanCode, bool down) {
    TheWorld().keyTable[scanCode & 0xFF] = down ? static_cast<char>(0x80) : 0;
}

void DeliverKeyToFocus(DWORD scanCode, bool down) {
    World& world = TheWorld();
    if (world.focus != nullptr && world.focus->object != nullptr)
        world.focus->object->SendBufferedKey(scanCode, down, world.keyTable);
}

// ---- Observation ----

std::string Host::debugString() const {
    const char* text = DebugStringBuffer();
    return std::string(text, strnlen(text, 256));
}

double Host::lastCockpitPolar() const { return TheWorld().cockpitPolar; }
double Host::lastCockpitAzimuth() const { return TheWorld().cockpitAzimuth; }

std::vector<Host::ReceivedKey> Host::keysReceivedBy(OBJHANDLE vessel) const {
    HostVessel* state = LiveVessel(vessel);
    return state != nullptr ? state->keysReceived : std::vector<ReceivedKey>();
}

void Host::setStepObserver(std::function<void()> observer) { TheWorld().stepObserver = std::move(observer); }

}  // namespace simhost
