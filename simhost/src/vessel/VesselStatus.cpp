// VESSEL status records: reading the vessel into VESSELSTATUS/VESSELSTATUS2
// and applying them back.
#include <algorithm>
#include <cstring>

#include "VesselAPI.h"
#include "World.h"

using simhost::HostVessel;

namespace {

double FirstPropellantLevel(const HostVessel& vessel) {
    if (vessel.propellants.empty() || vessel.propellants[0]->maxMass <= 0.0) return 0.0;
    return vessel.propellants[0]->mass / vessel.propellants[0]->maxMass;
}

void SetPropellantLevelAt(HostVessel& vessel, DWORD index, double level) {
    if (index >= vessel.propellants.size() || level != level) return;
    simhost::Propellant& p = *vessel.propellants[index];
    p.mass = std::min(std::max(level, 0.0), 1.0) * p.maxMass;
}

void SetThrusterLevelAt(HostVessel& vessel, DWORD index, double level) {
    if (index >= vessel.thrusters.size() || level != level) return;
    vessel.thrusters[index]->level = std::min(std::max(level, 0.0), 1.0);
}

// Reference body and surface state shared by both record versions.
void ApplyPlace(HostVessel& vessel, OBJHANDLE rbody, OBJHANDLE base, int status, const VECTOR3& rpos,
                const VECTOR3& rvel, const VECTOR3& surface) {
    simhost::SurfaceBase* landedBase = simhost::LiveBase(base);
    simhost::CelestialBody* body = simhost::LiveBody(rbody);
    if (body == nullptr && landedBase != nullptr) body = landedBase->body;
    if (body != nullptr) vessel.rbody = body;
    if (vessel.rbody == nullptr) vessel.rbody = simhost::TheWorld().bodies[0].get();
    if (status == 1) {
        vessel.landed = true;
        vessel.base = landedBase;
        vessel.lng = surface.x;
        vessel.lat = surface.y;
        vessel.hdg = surface.z;
        vessel.placeOnSurface();
    } else {
        vessel.landed = false;
        vessel.base = nullptr;
        vessel.rpos = rpos;
        vessel.rvel = rvel;
    }
}

}  // namespace

void VESSEL::GetStatus(VESSELSTATUS& status) const {
    std::memset(&status, 0, sizeof status);
    if (vessel == nullptr) return;
    status.rpos = vessel->rpos;
    status.rvel = vessel->rvel;
    status.vrot = vessel->vrot;
    status.arot = vessel->arot;
    status.fuel = FirstPropellantLevel(*vessel);
    status.rbody = vessel->rbody;
    status.base = vessel->base;
    status.status = vessel->landed ? 1 : 0;
    if (vessel->landed) status.vdata[0] = VECTOR3{vessel->lng, vessel->lat, vessel->hdg};
}

void VESSEL::GetStatusEx(void* status) const {
    auto* vs = static_cast<VESSELSTATUS2*>(status);
    if (vs == nullptr || vs->version != 2 || vessel == nullptr) return;
    vs->rbody = vessel->rbody;
    vs->base = vessel->base;
    vs->port = 0;
    vs->status = vessel->landed ? 1 : 0;
    vs->rpos = vessel->rpos;
    vs->rvel = vessel->rvel;
    vs->vrot = vessel->vrot;
    vs->arot = vessel->arot;
    vs->surf_lng = vessel->landed ? vessel->lng : 0.0;
    vs->surf_lat = vessel->landed ? vessel->lat : 0.0;
    vs->surf_hdg = vessel->landed ? vessel->hdg : 0.0;
    vs->xpdr = 0;
    // As the real host: every entry is written, the caller's room unknown.
    vs->nfuel = 0;
    if (vs->flag & VS_FUELLIST) {
        vs->nfuel = static_cast<DWORD>(vessel->propellants.size());
        for (DWORD i = 0; vs->fuel != nullptr && i < vs->nfuel; ++i) {
            vs->fuel[i].idx = i;
            vs->fuel[i].level = vessel->propellants[i]->maxMass > 0.0
                                    ? vessel->propellants[i]->mass / vessel->propellants[i]->maxMass
                                    : 0.0;
        }
    }
    vs->nthruster = 0;
    if (vs->flag & VS_THRUSTLIST) {
        vs->nthruster = static_cast<DWORD>(vessel->thrusters.size());
        for (DWORD i = 0; vs->thruster != nullptr && i < vs->nthruster; ++i) {
            vs->thruster[i].idx = i;
            vs->thruster[i].level = vessel->thrusters[i]->level;
        }
    }
    vs->ndockinfo = 0;
    if (vs->flag & VS_DOCKINFOLIST) {
        vs->ndockinfo = static_cast<DWORD>(vessel->docks.size());
        for (DWORD i = 0; vs->dockinfo != nullptr && i < vs->ndockinfo; ++i) {
            const simhost::DockPort& dock = *vessel->docks[i];
            vs->dockinfo[i].idx = i;
            vs->dockinfo[i].ridx = dock.mate != nullptr ? dock.matePort : 0;
            vs->dockinfo[i].rvessel = dock.mate;
        }
    }
}

void VESSEL::DefSetState(const VESSELSTATUS* status) const {
    if (status == nullptr || vessel == nullptr) return;
    ApplyPlace(*vessel, status->rbody, status->base, status->status, status->rpos, status->rvel, status->vdata[0]);
    vessel->vrot = status->vrot;
    vessel->arot = status->arot;
    SetPropellantLevelAt(*vessel, 0, status->fuel);
}

void VESSEL::DefSetStateEx(const void* status) const {
    const auto* vs = static_cast<const VESSELSTATUS2*>(status);
    if (vs == nullptr || vs->version != 2 || vessel == nullptr) return;
    ApplyPlace(*vessel, vs->rbody, vs->base, vs->status, vs->rpos, vs->rvel,
               VECTOR3{vs->surf_lng, vs->surf_lat, vs->surf_hdg});
    vessel->vrot = vs->vrot;
    vessel->arot = vs->arot;
    if (vs->flag & VS_FUELRESET)
        for (auto& p : vessel->propellants) p->mass = 0.0;
    if ((vs->flag & VS_FUELLIST) && vs->fuel != nullptr)
        for (DWORD i = 0; i < vs->nfuel; ++i) SetPropellantLevelAt(*vessel, vs->fuel[i].idx, vs->fuel[i].level);
    if (vs->flag & VS_THRUSTRESET)
        for (auto& t : vessel->thrusters) t->level = 0.0;
    if ((vs->flag & VS_THRUSTLIST) && vs->thruster != nullptr)
        for (DWORD i = 0; i < vs->nthruster; ++i)
            SetThrusterLevelAt(*vessel, vs->thruster[i].idx, vs->thruster[i].level);
    if ((vs->flag & VS_DOCKINFOLIST) && vs->dockinfo != nullptr) {
        for (DWORD i = 0; i < vs->ndockinfo; ++i) {
            const VESSELSTATUS2::DOCKINFOSPEC& entry = vs->dockinfo[i];
            if (entry.idx >= vessel->docks.size()) continue;
            HostVessel* mate = simhost::LiveVessel(entry.rvessel);
            simhost::DockPort& own = *vessel->docks[entry.idx];
            // A port listed without a partner is free in the source state.
            if (own.mate != nullptr && (own.mate != mate || own.matePort != entry.ridx))
                simhost::UndockPort(*vessel, entry.idx);
            if (mate != nullptr) simhost::DockVessels(*vessel, entry.idx, *mate, entry.ridx);
        }
    }
}
