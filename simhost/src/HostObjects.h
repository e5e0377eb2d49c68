// The objects behind the host's handles: reference bodies, surface bases
// and vessels. An OBJHANDLE is a pointer to one of these.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "SimHost.h"

namespace simhost {

enum class ObjectKind { Body, Base, Vessel };

class HostObject {
public:
    HostObject(ObjectKind kind, std::string name) : kind(kind), name(std::move(name)) {}
    virtual ~HostObject() = default;
    HostObject(const HostObject&) = delete;
    HostObject& operator=(const HostObject&) = delete;

    const ObjectKind kind;
    std::string name;
};

// Bodies neither move nor rotate: their frames differ from the global one
// by a fixed offset only.
class CelestialBody : public HostObject {
public:
    CelestialBody(std::string name, double gm, double radius, double mass, VECTOR3 globalPos)
        : HostObject(ObjectKind::Body, std::move(name)), gm(gm), radius(radius), mass(mass), globalPos(globalPos) {}
    const double gm;
    const double radius;
    const double mass;
    const VECTOR3 globalPos;
};

class SurfaceBase : public HostObject {
public:
    SurfaceBase(std::string name, CelestialBody* body, double lngRad, double latRad)
        : HostObject(ObjectKind::Base, std::move(name)), body(body), lng(lngRad), lat(latRad) {}
    CelestialBody* const body;
    const double lng;
    const double lat;
};

// The spot on a body's surface at longitude/latitude (radians), relative to
// its centre; y points north.
VECTOR3 SurfacePosition(const CelestialBody& body, double lng, double lat);

}  // namespace simhost
