// The host's own record of one vessel: what the VESSEL interface reads and
// writes, and what the propagator moves.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "HostObjects.h"

namespace simhost {

struct Propellant {
    double maxMass = 0.0;
    double mass = 0.0;
    double efficiency = 1.0;
};

struct Thruster {
    VECTOR3 pos{0, 0, 0};
    VECTOR3 dir{0, 0, 1};
    double maxThrust = 0.0;
    double isp = 0.0;
    Propellant* source = nullptr;
    double level = 0.0;
};

class HostVessel;

struct DockPort {
    VECTOR3 pos{0, 0, 0};
    VECTOR3 dir{0, 0, 1};
    VECTOR3 rot{0, 1, 0};
    HostVessel* mate = nullptr;
    unsigned matePort = 0;
};

// A dock named in a scenario whose partner does not exist yet.
struct PendingDock {
    unsigned port = 0;
    std::string mateName;
    unsigned matePort = 0;
};

constexpr int kSurfaceKinds = 6;
constexpr int kNavModes = 7;
constexpr DWORD kNavChannels = 640;

class HostVessel : public HostObject {
public:
    HostVessel(std::string name, std::string className);
    ~HostVessel() override;

    std::string className;
    // The vessel object of its class, and how it is destroyed.
    VESSEL* object = nullptr;
    void (*destroyObject)(VESSEL*) = nullptr;
    // Position and motion relative to the reference body (free flight), or
    // the surface spot (landed). Attitude and rotation in radians.
    CelestialBody* rbody = nullptr;
    SurfaceBase* base = nullptr;
    bool landed = false;
    double lng = 0.0, lat = 0.0, hdg = 0.0;
    VECTOR3 rpos{0, 0, 0};
    VECTOR3 rvel{0, 0, 0};
    VECTOR3 arot{0, 0, 0};
    VECTOR3 vrot{0, 0, 0};
    double emptyMass = 1000.0;
    double size = 10.0;

    std::vector<std::unique_ptr<Propellant>> propellants;
    std::vector<std::unique_ptr<Thruster>> thrusters;
    std::vector<std::unique_ptr<DockPort>> docks;
    std::vector<PendingDock> pendingDocks;
    // Contiguous as the host's animation list; room is reserved so the
    // array stays put while a class creates its animations.
    std::vector<ANIMATION> animations;

    int attitudeMode = RCS_ROT;
    unsigned navmodeBits = 0;  // bit i: navigation mode i active
    DWORD adCtrlMode = 7;
    std::vector<DWORD> navChannels;
    double surfaces[kSurfaceKinds] = {0, 0, 0, 0, 0, 0};
    std::vector<Host::ReceivedKey> keysReceived;

    int version() const;
    // The callback interface, or null for an object of the plain interface.
    VESSEL2* callbacks() const;
    double mass() const;
    bool docked() const;
    VECTOR3 globalPos() const;
    // Puts the vessel at its landed spot (position and velocity).
    void placeOnSurface();
};

// Connects two ports; false when either is out of range or taken.
bool DockVessels(HostVessel& a, unsigned portA, HostVessel& b, unsigned portB);
void UndockPort(HostVessel& vessel, unsigned port);

}  // namespace simhost
