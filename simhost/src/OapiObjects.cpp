// The host's object functions: look-ups, names, focus, creation, deletion.
#include <algorithm>
#include <cstring>

#include "World.h"

using namespace simhost;

DWORD oapiGetVesselCount() { return static_cast<DWORD>(TheWorld().vessels.size()); }

OBJHANDLE oapiGetVesselByIndex(int index) {
    World& world = TheWorld();
    if (index < 0 || static_cast<size_t>(index) >= world.vessels.size()) return nullptr;
    return world.vessels[static_cast<size_t>(index)].get();
}

OBJHANDLE oapiGetVesselByName(char* name) { return name != nullptr ? VesselNamed(name) : nullptr; }

OBJHANDLE oapiGetObjectByName(char* name) { return name != nullptr ? ObjectNamed(name) : nullptr; }

void oapiGetObjectName(OBJHANDLE object, char* name, int n) {
    if (name == nullptr || n <= 0) return;
    HostObject* found = LiveObject(object);
    const std::string text = found != nullptr ? found->name : std::string();
    const size_t length = std::min(text.size(), static_cast<size_t>(n) - 1);
    std::memcpy(name, text.data(), length);
    name[length] = '\0';
}

VESSEL* oapiGetVesselInterface(OBJHANDLE vessel) {
    HostVessel* state = LiveVessel(vessel);
    return state != nullptr ? state->object : nullptr;
}

VESSEL* oapiGetFocusInterface() {
    HostVessel* focus = TheWorld().focus;
    return focus != nullptr ? focus->object : nullptr;
}

OBJHANDLE oapiGetFocusObject() { return TheWorld().focus; }

OBJHANDLE oapiSetFocusObject(OBJHANDLE vessel) {
    HostVessel* next = LiveVessel(vessel);
    if (next == nullptr) return nullptr;
    World& world = TheWorld();
    HostVessel* previous = world.focus;
    if (next == previous) return previous;
    world.focus = next;
    if (previous != nullptr)
        if (VESSEL2* callbacks = previous->callbacks()) callbacks->clbkFocusChanged(false, next, previous);
    if (VESSEL2* callbacks = next->callbacks()) callbacks->clbkFocusChanged(true, next, previous);
    ForEachModule([&](oapi::Module& m) { m.clbkFocusChanged(next, previous); });
    return previous;
}

OBJHANDLE oapiCreateVessel(const char* name, const char* classname, const VESSELSTATUS& status) {
    if (name == nullptr || classname == nullptr) return nullptr;
    VesselSource source;
    source.status = &status;
    return CreateVessel(name, classname, source);
}

OBJHANDLE oapiCreateVesselEx(const char* name, const char* classname, const void* status) {
    if (name == nullptr || classname == nullptr) return nullptr;
    VesselSource source;
    source.statusEx = status;
    return CreateVessel(name, classname, source);
}

bool oapiDeleteVessel(OBJHANDLE vessel, OBJHANDLE alternativeCameraTarget) {
    HostVessel* state = LiveVessel(vessel);
    if (state == nullptr) return false;
    World& world = TheWorld();
    if (world.focus == state) {
        HostVessel* alternative = LiveVessel(alternativeCameraTarget);
        if (alternative == nullptr || alternative == state) {
            alternative = nullptr;
            for (auto& v : world.vessels)
                if (v.get() != state) {
                    alternative = v.get();
                    break;
                }
        }
        if (alternative != nullptr)
            oapiSetFocusObject(alternative);
        else
            world.focus = nullptr;
    }
    DeleteVessel(state);
    return true;
}

double oapiGetMass(OBJHANDLE object) {
    HostObject* found = LiveObject(object);
    if (found == nullptr) return 0.0;
    if (found->kind == ObjectKind::Body) return static_cast<CelestialBody*>(found)->mass;
    if (found->kind == ObjectKind::Vessel) return static_cast<HostVessel*>(found)->mass();
    return 0.0;
}

double oapiGetSize(OBJHANDLE object) {
    HostObject* found = LiveObject(object);
    if (found == nullptr) return 0.0;
    if (found->kind == ObjectKind::Body) return static_cast<CelestialBody*>(found)->radius;
    if (found->kind == ObjectKind::Vessel) return static_cast<HostVessel*>(found)->size;
    return 0.0;
}

int oapiGetOrbiterVersion() { return TheWorld().options.orbiterVersion; }

void oapiCameraSetCockpitDir(double polar, double azimuth, bool) {
    World& world = TheWorld();
    world.cockpitPolar = polar;
    world.cockpitAzimuth = azimuth;
}
