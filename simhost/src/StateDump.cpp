// Host::dumpState: every vessel as one JSON object per line, so the states
// of two hosts can be compared field by field.
#include <sstream>

#include "Text.h"
#include "World.h"

namespace simhost {
namespace {

std::string Number(double value) {
    // JSON has no inf/nan; those print as null.
    return value == value && value - value == 0.0 ? ExactNumber(value) : "null";
}

std::string Vector(const VECTOR3& v) { return "[" + Number(v.x) + "," + Number(v.y) + "," + Number(v.z) + "]"; }

template <class Item, class Format>
std::string List(const std::vector<Item>& items, Format format) {
    std::string out = "[";
    for (size_t i = 0; i < items.size(); ++i) out += (i > 0 ? "," : "") + format(items[i]);
    return out + "]";
}

}  // namespace

void Host::dumpState(std::ostream& out, double wallClock) const {
    World& world = TheWorld();
    for (size_t index = 0; index < world.vessels.size(); ++index) {
        HostVessel& v = *world.vessels[index];
        std::ostringstream line;
        line << "{\"name\":" << JsonString(v.name) << ",\"class\":" << JsonString(v.className)
             << ",\"version\":" << v.version() << ",\"mjd\":" << Number(world.mjd)
             << ",\"rbody\":" << JsonString(v.rbody != nullptr ? v.rbody->name : "")
             << ",\"landed\":" << (v.landed ? "true" : "false")
             << ",\"base\":" << JsonString(v.base != nullptr ? v.base->name : "")
             << ",\"surface\":" << Vector(VECTOR3{v.lng, v.lat, v.hdg}) << ",\"rpos\":" << Vector(v.rpos)
             << ",\"rvel\":" << Vector(v.rvel) << ",\"arot\":" << Vector(v.arot) << ",\"vrot\":" << Vector(v.vrot);
        line << ",\"propellant\":"
             << List(v.propellants, [](const std::unique_ptr<Propellant>& p) { return Number(p->mass); });
        line << ",\"thrusters\":"
             << List(v.thrusters, [](const std::unique_ptr<Thruster>& t) { return Number(t->level); });
        line << ",\"docks\":" << List(v.docks, [](const std::unique_ptr<DockPort>& d) {
            return d->mate != nullptr ? JsonString(d->mate->name) : std::string("null");
        });
        line << ",\"animations\":" << List(v.animations, [](const ANIMATION& a) { return Number(a.state); });
        line << ",\"attitudeMode\":" << v.attitudeMode << ",\"navmodes\":" << v.navmodeBits
             << ",\"adCtrlMode\":" << v.adCtrlMode
             << ",\"navChannels\":" << List(v.navChannels, [](DWORD ch) { return std::to_string(ch); });
        line << ",\"surfaces\":[";
        for (int k = 0; k < kSurfaceKinds; ++k) line << (k > 0 ? "," : "") << Number(v.surfaces[k]);
        line << "],\"keys\":" << List(v.keysReceived, [](const ReceivedKey& k) {
            return "[" + std::to_string(k.key) + "," + (k.down ? "true" : "false") + "]";
        });
        line << ",\"focus\":" << (world.focus == &v ? "true" : "false")
             << ",\"scenario\":" << JsonString(VesselScenarioText(v));
        if (wallClock >= 0.0) line << ",\"wall\":" << Number(wallClock);
        line << "}";
        out << line.str() << "\n";
    }
}

}  // namespace simhost
