#include "HostVessel.h"

#include "VectorMath.h"
#include "VesselAPI.h"

namespace simhost {

HostVessel::HostVessel(std::string name, std::string className)
    : HostObject(ObjectKind::Vessel, std::move(name)), className(std::move(className)) {
    animations.reserve(64);
}

HostVessel::~HostVessel() {
    for (unsigned port = 0; port < docks.size(); ++port) UndockPort(*this, port);
}

int HostVessel::version() const { return object != nullptr ? object->Version() : 0; }

VESSEL2* HostVessel::callbacks() const {
    // Only objects built on VESSEL2 or later carry a version of 1 or more.
    return object != nullptr && object->Version() >= 1 ? static_cast<VESSEL2*>(object) : nullptr;
}

double HostVessel::mass() const {
    double total = emptyMass;
    for (auto& p : propellants) total += p->mass;
    return total;
}

bool HostVessel::docked() const {
    for (auto& d : docks)
        if (d->mate != nullptr) return true;
    return false;
}

VECTOR3 HostVessel::globalPos() const { return rbody != nullptr ? rbody->globalPos + rpos : rpos; }

void HostVessel::placeOnSurface() {
    if (rbody == nullptr) return;
    rpos = SurfacePosition(*rbody, lng, lat);
    rvel = VECTOR3{0, 0, 0};
}

bool DockVessels(HostVessel& a, unsigned portA, HostVessel& b, unsigned portB) {
    if (&a == &b || portA >= a.docks.size() || portB >= b.docks.size()) return false;
    DockPort& pa = *a.docks[portA];
    DockPort& pb = *b.docks[portB];
    if (pa.mate == &b && pa.matePort == portB) return true;  // already so
    if (pa.mate != nullptr || pb.mate != nullptr) return false;
    pa.mate = &b;
    pa.matePort = portB;
    pb.mate = &a;
    pb.matePort = portA;
    return true;
}

void UndockPort(HostVessel& vessel, unsigned port) {
    if (port >= vessel.docks.size()) return;
    DockPort& own = *vessel.docks[port];
    if (own.mate == nullptr) return;
    HostVessel& mate = *own.mate;
    if (own.matePort < mate.docks.size() && mate.docks[own.matePort]->mate == &vessel)
        mate.docks[own.matePort]->mate = nullptr;
    own.mate = nullptr;
}

}  // namespace simhost
