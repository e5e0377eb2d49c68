#include "World.h"

#include <strings.h>

#include "platform/PlatformServices.h"
#include "Text.h"
#include "VectorMath.h"

namespace simhost {

bool CaselessLess::operator()(const std::string& a, const std::string& b) const {
    return strcasecmp(a.c_str(), b.c_str()) < 0;
}

World::World() {
    // Earth at the origin, the Moon at its mean distance; neither moves.
    bodies.push_back(std::make_unique<CelestialBody>("Earth", 3.986004418e14, 6371000.0, 5.972e24, VECTOR3{0, 0, 0}));
    bodies.push_back(
        std::make_unique<CelestialBody>("Moon", 4.9048695e12, 1737400.0, 7.342e22, VECTOR3{384400000.0, 0, 0}));
    CelestialBody* earth = bodies[0].get();
    CelestialBody* moon = bodies[1].get();
    bases.push_back(std::make_unique<SurfaceBase>("Cape", earth, -80.6 * kRadPerDeg, 28.5 * kRadPerDeg));
    bases.push_back(std::make_unique<SurfaceBase>("Harbour", earth, 4.4 * kRadPerDeg, 51.9 * kRadPerDeg));
    bases.push_back(std::make_unique<SurfaceBase>("Crater", moon, 23.5 * kRadPerDeg, 0.7 * kRadPerDeg));
    // Plug-ins may replace this entry from the start (reset adds it again).
    ReplaceableEntryAdd(SetAnimationEntry());
}

World& TheWorld() {
    static World world;
    return world;
}

VECTOR3 SurfacePosition(const CelestialBody& body, double lng, double lat) {
    return VECTOR3{std::cos(lat) * std::cos(lng), std::sin(lat), std::cos(lat) * std::sin(lng)} * body.radius;
}

HostObject* LiveObject(OBJHANDLE handle) {
    if (handle == nullptr) return nullptr;
    World& world = TheWorld();
    if (HostVessel* vessel = LiveVessel(handle)) return vessel;
    for (auto& b : world.bodies)
        if (b.get() == handle) return b.get();
    for (auto& b : world.bases)
        if (b.get() == handle) return b.get();
    return nullptr;
}

HostVessel* LiveVessel(OBJHANDLE handle) {
    if (handle == nullptr) return nullptr;
    const World& world = TheWorld();
    if (world.vesselHandles.count(handle) == 0) return nullptr;
    return static_cast<HostVessel*>(handle);
}

CelestialBody* LiveBody(OBJHANDLE handle) {
    if (handle == nullptr) return nullptr;
    for (auto& b : TheWorld().bodies)
        if (b.get() == handle) return b.get();
    return nullptr;
}

SurfaceBase* LiveBase(OBJHANDLE handle) {
    if (handle == nullptr) return nullptr;
    for (auto& b : TheWorld().bases)
        if (b.get() == handle) return b.get();
    return nullptr;
}

HostVessel* VesselNamed(const std::string& name) {
    const World& world = TheWorld();
    auto found = world.vesselsByName.find(LowerCase(name));
    return found == world.vesselsByName.end() ? nullptr : found->second;
}

void IndexVessel(HostVessel* vessel) {
    World& world = TheWorld();
    world.vesselsByName[LowerCase(vessel->name)] = vessel;
    world.vesselHandles.insert(static_cast<const void*>(vessel));
}

void UnindexVessel(HostVessel* vessel) {
    World& world = TheWorld();
    world.vesselsByName.erase(LowerCase(vessel->name));
    world.vesselHandles.erase(static_cast<const void*>(vessel));
}

void ClearVesselIndex() {
    World& world = TheWorld();
    world.vesselsByName.clear();
    world.vesselHandles.clear();
}

HostObject* ObjectNamed(const std::string& name) {
    if (HostVessel* vessel = VesselNamed(name)) return vessel;
    World& world = TheWorld();
    for (auto& b : world.bodies)
        if (EqualNoCase(b->name, name)) return b.get();
    for (auto& b : world.bases)
        if (EqualNoCase(b->name, name)) return b.get();
    return nullptr;
}

void ForEachModule(const std::function<void(oapi::Module&)>& call) {
    // A callback may register further modules; index so growth is safe.
    World& world = TheWorld();
    for (size_t i = 0; i < world.registered.size(); ++i) call(*world.registered[i].module);
}

}  // namespace simhost
