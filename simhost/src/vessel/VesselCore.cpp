// VESSEL: identity, frames, modes, radios, surfaces, equipment and keys.
#include <algorithm>

#include "VectorMath.h"
#include "VesselAPI.h"
#include "World.h"

using simhost::HostVessel;

namespace {

char emptyName[1] = {'\0'};

template <class Item>
Item* OwnedItem(const std::vector<std::unique_ptr<Item>>& list, void* handle) {
    for (auto& item : list)
        if (item.get() == handle) return item.get();
    return nullptr;
}

}  // namespace

VESSEL::VESSEL(OBJHANDLE hVessel, int fmodel)
    : vessel(simhost::LiveVessel(hVessel)), flightmodel(static_cast<short>(fmodel)), version(0) {}

VESSEL::~VESSEL() = default;

OBJHANDLE VESSEL::GetHandle() const { return vessel; }

char* VESSEL::GetName() const { return vessel != nullptr ? vessel->name.data() : emptyName; }

char* VESSEL::GetClassNameA() const { return vessel != nullptr ? vessel->className.data() : emptyName; }

void VESSEL::GetRelativePos(OBJHANDLE hRef, VECTOR3& pos) const {
    using namespace simhost;
    pos = VECTOR3{0, 0, 0};
    HostObject* ref = LiveObject(hRef);
    if (vessel == nullptr || ref == nullptr) return;
    VECTOR3 refPos{0, 0, 0};
    if (ref->kind == ObjectKind::Body) refPos = static_cast<CelestialBody*>(ref)->globalPos;
    if (ref->kind == ObjectKind::Vessel) refPos = static_cast<HostVessel*>(ref)->globalPos();
    if (ref->kind == ObjectKind::Base) {
        auto* base = static_cast<SurfaceBase*>(ref);
        refPos = base->body->globalPos + SurfacePosition(*base->body, base->lng, base->lat);
    }
    pos = vessel->globalPos() - refPos;
}

void VESSEL::GetRelativeVel(OBJHANDLE hRef, VECTOR3& vel) const {
    using namespace simhost;
    vel = VECTOR3{0, 0, 0};
    HostObject* ref = LiveObject(hRef);
    if (vessel == nullptr || ref == nullptr) return;
    VECTOR3 refVel{0, 0, 0};
    if (ref->kind == ObjectKind::Vessel) refVel = static_cast<HostVessel*>(ref)->rvel;
    vel = vessel->rvel - refVel;
}

OBJHANDLE VESSEL::GetGravityRef() const { return vessel != nullptr ? vessel->rbody : nullptr; }

int VESSEL::GetFlightStatus() const {
    if (vessel == nullptr) return 0;
    return (vessel->landed ? 1 : 0) | (vessel->docked() ? 2 : 0);
}

double VESSEL::GetMass() const { return vessel != nullptr ? vessel->mass() : 0.0; }

void VESSEL::SetEmptyMass(double mass) const {
    if (vessel != nullptr && mass >= 0.0) vessel->emptyMass = mass;
}

void VESSEL::SetSize(double size) const {
    if (vessel != nullptr && size > 0.0) vessel->size = size;
}

// ---- Modes ----

int VESSEL::GetAttitudeMode() const { return vessel != nullptr ? vessel->attitudeMode : RCS_NONE; }

bool VESSEL::SetAttitudeMode(int mode) const {
    if (vessel == nullptr || mode < RCS_NONE || mode > RCS_LIN) return false;
    if (vessel->attitudeMode == mode) return true;
    vessel->attitudeMode = mode;
    if (VESSEL2* callbacks = vessel->callbacks()) callbacks->clbkRCSMode(mode);
    return true;
}

bool VESSEL::GetNavmodeState(int mode) {
    if (vessel == nullptr || mode < 1 || mode > simhost::kNavModes) return false;
    return (vessel->navmodeBits >> mode) & 1u;
}

bool VESSEL::ActivateNavmode(int mode) {
    if (vessel == nullptr || mode < 1 || mode > simhost::kNavModes) return false;
    if (GetNavmodeState(mode)) return true;
    vessel->navmodeBits |= 1u << mode;
    if (VESSEL2* callbacks = vessel->callbacks()) callbacks->clbkNavMode(mode, true);
    return true;
}

bool VESSEL::DeactivateNavmode(int mode) {
    if (vessel == nullptr || mode < 1 || mode > simhost::kNavModes) return false;
    if (!GetNavmodeState(mode)) return true;
    vessel->navmodeBits &= ~(1u << mode);
    if (VESSEL2* callbacks = vessel->callbacks()) callbacks->clbkNavMode(mode, false);
    return true;
}

DWORD VESSEL::GetADCtrlMode() const { return vessel != nullptr ? vessel->adCtrlMode : 0; }

void VESSEL::SetADCtrlMode(DWORD mode) const {
    if (vessel == nullptr || vessel->adCtrlMode == mode) return;
    vessel->adCtrlMode = mode;
    if (VESSEL2* callbacks = vessel->callbacks()) callbacks->clbkADCtrlMode(mode);
}

// ---- Navigation radios ----

void VESSEL::InitNavRadios(DWORD n) const {
    if (vessel != nullptr) vessel->navChannels.assign(n, 0);
}

DWORD VESSEL::GetNavCount() const { return vessel != nullptr ? static_cast<DWORD>(vessel->navChannels.size()) : 0; }

DWORD VESSEL::GetNavChannel(DWORD n) const {
    if (vessel == nullptr || n >= vessel->navChannels.size()) return 0;
    return vessel->navChannels[n];
}

bool VESSEL::SetNavChannel(DWORD n, DWORD ch) const {
    if (vessel == nullptr || n >= vessel->navChannels.size() || ch >= simhost::kNavChannels) return false;
    vessel->navChannels[n] = ch;
    return true;
}

// ---- Control surfaces ----

double VESSEL::GetControlSurfaceLevel(AIRCTRL_TYPE type) const {
    int kind = static_cast<int>(type);
    if (vessel == nullptr || kind < 0 || kind >= simhost::kSurfaceKinds) return 0.0;
    return vessel->surfaces[kind];
}

void VESSEL::SetControlSurfaceLevel(AIRCTRL_TYPE type, double level, bool) const {
    int kind = static_cast<int>(type);
    if (vessel == nullptr || kind < 0 || kind >= simhost::kSurfaceKinds || level != level) return;
    vessel->surfaces[kind] = std::clamp(level, -1.0, 1.0);
}

// ---- Animations ----

UINT VESSEL::CreateAnimation(double initialState) const {
    if (vessel == nullptr) return 0;
    ANIMATION record{};
    record.defstate = initialState;
    record.state = initialState;
    vessel->animations.push_back(record);
    return static_cast<UINT>(vessel->animations.size() - 1);
}

UINT VESSEL::GetAnimPtr(ANIMATION** list) const {
    if (list != nullptr)
        *list = (vessel != nullptr && !vessel->animations.empty()) ? vessel->animations.data() : nullptr;
    return vessel != nullptr ? static_cast<UINT>(vessel->animations.size()) : 0;
}

// ---- Propellant and thrusters ----

PROPELLANT_HANDLE VESSEL::CreatePropellantResource(double maxmass, double mass, double efficiency) const {
    if (vessel == nullptr) return nullptr;
    auto propellant = std::make_unique<simhost::Propellant>();
    propellant->maxMass = std::max(0.0, maxmass);
    propellant->mass = mass < 0.0 ? propellant->maxMass : std::min(mass, propellant->maxMass);
    propellant->efficiency = efficiency;
    vessel->propellants.push_back(std::move(propellant));
    return vessel->propellants.back().get();
}

DWORD VESSEL::GetPropellantCount() const {
    return vessel != nullptr ? static_cast<DWORD>(vessel->propellants.size()) : 0;
}

PROPELLANT_HANDLE VESSEL::GetPropellantHandleByIndex(DWORD i) const {
    if (vessel == nullptr || i >= vessel->propellants.size()) return nullptr;
    return vessel->propellants[i].get();
}

double VESSEL::GetPropellantMaxMass(PROPELLANT_HANDLE ph) const {
    auto* p = vessel != nullptr ? OwnedItem(vessel->propellants, ph) : nullptr;
    return p != nullptr ? p->maxMass : 0.0;
}

double VESSEL::GetPropellantMass(PROPELLANT_HANDLE ph) const {
    auto* p = vessel != nullptr ? OwnedItem(vessel->propellants, ph) : nullptr;
    return p != nullptr ? p->mass : 0.0;
}

void VESSEL::SetPropellantMass(PROPELLANT_HANDLE ph, double mass) const {
    auto* p = vessel != nullptr ? OwnedItem(vessel->propellants, ph) : nullptr;
    if (p != nullptr && mass == mass) p->mass = std::clamp(mass, 0.0, p->maxMass);
}

THRUSTER_HANDLE VESSEL::CreateThruster(const VECTOR3& pos, const VECTOR3& dir, double maxth0, PROPELLANT_HANDLE hp,
                                       double isp0) const {
    if (vessel == nullptr) return nullptr;
    auto thruster = std::make_unique<simhost::Thruster>();
    thruster->pos = pos;
    thruster->dir = dir;
    thruster->maxThrust = maxth0;
    thruster->isp = isp0;
    thruster->source = OwnedItem(vessel->propellants, hp);
    vessel->thrusters.push_back(std::move(thruster));
    return vessel->thrusters.back().get();
}

DWORD VESSEL::GetThrusterCount() const { return vessel != nullptr ? static_cast<DWORD>(vessel->thrusters.size()) : 0; }

THRUSTER_HANDLE VESSEL::GetThrusterHandleByIndex(DWORD i) const {
    if (vessel == nullptr || i >= vessel->thrusters.size()) return nullptr;
    return vessel->thrusters[i].get();
}

double VESSEL::GetThrusterLevel(THRUSTER_HANDLE th) const {
    auto* t = vessel != nullptr ? OwnedItem(vessel->thrusters, th) : nullptr;
    return t != nullptr ? t->level : 0.0;
}

void VESSEL::SetThrusterLevel(THRUSTER_HANDLE th, double level) const {
    auto* t = vessel != nullptr ? OwnedItem(vessel->thrusters, th) : nullptr;
    if (t != nullptr && level == level) t->level = std::clamp(level, 0.0, 1.0);
}

// ---- Docking ----

DOCKHANDLE VESSEL::CreateDock(const VECTOR3& pos, const VECTOR3& dir, const VECTOR3& rot) const {
    if (vessel == nullptr) return nullptr;
    auto dock = std::make_unique<simhost::DockPort>();
    dock->pos = pos;
    dock->dir = dir;
    dock->rot = rot;
    vessel->docks.push_back(std::move(dock));
    return vessel->docks.back().get();
}

UINT VESSEL::DockCount() const { return vessel != nullptr ? static_cast<UINT>(vessel->docks.size()) : 0; }

DOCKHANDLE VESSEL::GetDockHandle(UINT n) const {
    if (vessel == nullptr || n >= vessel->docks.size()) return nullptr;
    return vessel->docks[n].get();
}

OBJHANDLE VESSEL::GetDockStatus(DOCKHANDLE hDock) const {
    auto* d = vessel != nullptr ? OwnedItem(vessel->docks, hDock) : nullptr;
    return d != nullptr ? d->mate : nullptr;
}

// 0 docked; 1 own port missing or taken; 2 the target's port missing or taken.
int VESSEL::Dock(OBJHANDLE target, UINT n, UINT tgtn, UINT) const {
    HostVessel* other = simhost::LiveVessel(target);
    if (vessel == nullptr || other == nullptr || n >= vessel->docks.size() || vessel->docks[n]->mate != nullptr)
        return 1;
    if (tgtn >= other->docks.size() || other->docks[tgtn]->mate != nullptr) return 2;
    return simhost::DockVessels(*vessel, n, *other, tgtn) ? 0 : 1;
}

bool VESSEL::Undock(UINT n, const OBJHANDLE exclude) const {
    if (vessel == nullptr) return false;
    bool any = false;
    for (UINT port = 0; port < vessel->docks.size(); ++port) {
        if (n != port && n != static_cast<UINT>(-1)) continue;
        simhost::DockPort& dock = *vessel->docks[port];
        if (dock.mate == nullptr || (exclude != nullptr && dock.mate == exclude)) continue;
        simhost::UndockPort(*vessel, port);
        any = true;
    }
    return any;
}

// ---- Keys ----

int VESSEL::SendBufferedKey(DWORD key, bool down, char* kstate) {
    if (vessel == nullptr) return 0;
    vessel->keysReceived.push_back(simhost::Host::ReceivedKey{key, down});
    VESSEL2* callbacks = vessel->callbacks();
    if (callbacks == nullptr) return 0;
    return callbacks->clbkConsumeBufferedKey(key, down, kstate != nullptr ? kstate : simhost::TheWorld().keyTable);
}
