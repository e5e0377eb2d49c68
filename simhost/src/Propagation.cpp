// Vessel motion: free flight under the reference body's point gravity
// (RK4, sub-steps of at most one second), landed vessels fixed to their
// spot, docked groups carried rigidly by their first vessel.
#include <algorithm>
#include <cmath>
#include <functional>

#include "VectorMath.h"
#include "World.h"

namespace simhost {
namespace {

constexpr double kMaxSubStep = 1.0;
// Bounds the work of one very long date jump; its sub-steps grow instead.
constexpr double kMaxSubSteps = 1e6;

VECTOR3 Gravity(double gm, const VECTOR3& r) {
    double distance = Length(r);
    if (distance < 1.0) return VECTOR3{0, 0, 0};
    return r * (-gm / (distance * distance * distance));
}

// Dock-connected groups, each led by its earliest-created vessel.
std::vector<std::vector<HostVessel*>> DockGroups() {
    std::vector<std::vector<HostVessel*>> groups;
    std::vector<HostVessel*> seen;
    auto wasSeen = [&](HostVessel* v) { return std::find(seen.begin(), seen.end(), v) != seen.end(); };
    for (auto& owned : TheWorld().vessels) {
        if (wasSeen(owned.get())) continue;
        std::vector<HostVessel*> group{owned.get()};
        seen.push_back(owned.get());
        for (size_t i = 0; i < group.size(); ++i)
            for (auto& dock : group[i]->docks)
                if (dock->mate != nullptr && !wasSeen(dock->mate)) {
                    seen.push_back(dock->mate);
                    group.push_back(dock->mate);
                }
        // Creation order inside the group, so the leader is the earliest.
        std::vector<HostVessel*> ordered;
        for (auto& v : TheWorld().vessels)
            if (std::find(group.begin(), group.end(), v.get()) != group.end()) ordered.push_back(v.get());
        groups.push_back(ordered);
    }
    return groups;
}

bool IsOrbital(const HostVessel& v) {
    if (v.rbody == nullptr) return true;
    const double mu = v.rbody->gm;
    VECTOR3 h = Cross(v.rpos, v.rvel);
    double r = Length(v.rpos);
    if (r <= 0.0) return false;
    VECTOR3 e = Cross(v.rvel, h) * (1.0 / mu) - v.rpos * (1.0 / r);
    double periapsis = Dot(h, h) / mu / (1.0 + Length(e));
    return periapsis > v.rbody->radius;
}

// Moves each group's leader (moveLeader says whether it moved), then puts
// the other members where the leader carried them.
void MoveGroups(const std::function<bool(HostVessel&)>& moveLeader) {
    for (auto& group : DockGroups()) {
        HostVessel& leader = *group.front();
        std::vector<VECTOR3> offsets;
        for (size_t i = 1; i < group.size(); ++i) offsets.push_back(group[i]->globalPos() - leader.globalPos());
        if (!moveLeader(leader) || group.size() == 1) continue;
        for (size_t i = 1; i < group.size(); ++i) {
            HostVessel& member = *group[i];
            member.landed = false;
            member.base = nullptr;
            member.rbody = leader.rbody;
            VECTOR3 origin = leader.rbody != nullptr ? leader.rbody->globalPos : VECTOR3{0, 0, 0};
            member.rpos = leader.globalPos() + offsets[i - 1] - origin;
            member.rvel = leader.rvel;
        }
    }
}

}  // namespace

void PropagateFree(HostVessel& v, double dt) {
    if (v.landed || v.rbody == nullptr || dt == 0.0 || !std::isfinite(dt)) return;
    const double gm = v.rbody->gm;
    double steps = std::min(std::ceil(std::fabs(dt) / kMaxSubStep), kMaxSubSteps);
    const long count = static_cast<long>(steps);
    const double h = dt / static_cast<double>(count);
    VECTOR3 r = v.rpos, u = v.rvel;
    for (long i = 0; i < count; ++i) {
        VECTOR3 k1r = u, k1v = Gravity(gm, r);
        VECTOR3 k2r = u + k1v * (h / 2), k2v = Gravity(gm, r + k1r * (h / 2));
        VECTOR3 k3r = u + k2v * (h / 2), k3v = Gravity(gm, r + k2r * (h / 2));
        VECTOR3 k4r = u + k3v * h, k4v = Gravity(gm, r + k3r * h);
        r = r + (k1r + k2r * 2.0 + k3r * 2.0 + k4r) * (h / 6);
        u = u + (k1v + k2v * 2.0 + k3v * 2.0 + k4v) * (h / 6);
    }
    v.rpos = r;
    v.rvel = u;
}

void PropagateAll(double dt) {
    if (dt == 0.0) return;
    MoveGroups([dt](HostVessel& leader) {
        if (leader.landed) {
            leader.placeOnSurface();
            return false;
        }
        PropagateFree(leader, dt);
        return true;
    });
    for (auto& v : TheWorld().vessels) v->arot = v->arot + v->vrot * dt;
}

void JumpAll(double dt, int pmode) {
    if (dt == 0.0) return;
    MoveGroups([dt, pmode](HostVessel& leader) {
        if (leader.landed) return false;
        int mode = IsOrbital(leader) ? (pmode & 0x0F) : ((pmode >> 4) & 0x0F);
        if (mode != 0) return false;  // fixed state or surface: stays as it is
        PropagateFree(leader, dt);    // along its orbit
        return true;
    });
}

}  // namespace simhost
