// The default scenario lines of a vessel: written by SaveDefaultState, read
// back line by line by ParseScenarioLineEx.
#include <algorithm>
#include <cmath>
#include <string>

#include "Text.h"
#include "VectorMath.h"
#include "VesselAPI.h"
#include "World.h"

using namespace simhost;

namespace {

void WriteText(FILEHANDLE scn, const std::string& line) {
    std::string copy = "  " + line;
    oapiWriteLine(scn, copy.data());
}

std::string Degrees(double radians) { return ExactFactor(radians, kRadPerDeg); }

std::string Vector(const VECTOR3& v) { return ExactNumber(v.x) + " " + ExactNumber(v.y) + " " + ExactNumber(v.z); }

std::string DegreesVector(const VECTOR3& v) { return Degrees(v.x) + " " + Degrees(v.y) + " " + Degrees(v.z); }

bool ReadVector(const std::vector<std::string>& words, double scale, VECTOR3& v) {
    if (words.size() < 4) return false;
    VECTOR3 read{};
    if (!ReadNumber(words[1], read.x) || !ReadNumber(words[2], read.y) || !ReadNumber(words[3], read.z)) return false;
    v = read * scale;
    return true;
}

// "index:value" pairs after the tag; pairs that do not read are skipped.
template <class Apply>
void ForEachIndexed(const std::vector<std::string>& words, Apply apply) {
    for (size_t i = 1; i < words.size(); ++i) {
        std::vector<std::string> parts = SplitAt(words[i], ':');
        unsigned long index = 0;
        double value = 0.0;
        if (parts.size() == 2 && ReadUnsigned(parts[0], index) && ReadNumber(parts[1], value))
            apply(static_cast<DWORD>(index), value);
    }
}

void ParseDocked(HostVessel& vessel, const std::vector<std::string>& words) {
    for (size_t i = 1; i < words.size(); ++i) {
        std::vector<std::string> parts = SplitAt(words[i], ':');
        unsigned long port = 0, matePort = 0;
        if (parts.size() != 3 || !ReadUnsigned(parts[0], port) || !ReadUnsigned(parts[2], matePort)) continue;
        HostVessel* mate = VesselNamed(parts[1]);
        if (mate != nullptr) {
            DockVessels(vessel, static_cast<unsigned>(port), *mate, static_cast<unsigned>(matePort));
        } else {
            // The partner may come later in the scenario.
            vessel.pendingDocks.push_back(
                PendingDock{static_cast<unsigned>(port), parts[1], static_cast<unsigned>(matePort)});
        }
    }
}

}  // namespace

void VESSEL::SaveDefaultState(FILEHANDLE scn) const {
    if (vessel == nullptr || scn == nullptr) return;
    const HostVessel& v = *vessel;
    std::string body = v.rbody != nullptr ? v.rbody->name : "Earth";
    WriteText(scn, std::string("STATUS ") + (v.landed ? "Landed " : "Orbiting ") + body);
    if (v.landed) {
        if (v.base != nullptr) WriteText(scn, "BASE " + v.base->name);
        WriteText(scn, "POS " + Degrees(v.lng) + " " + Degrees(v.lat));
        WriteText(scn, "HEADING " + Degrees(v.hdg));
    } else {
        WriteText(scn, "RPOS " + Vector(v.rpos));
        WriteText(scn, "RVEL " + Vector(v.rvel));
    }
    WriteText(scn, "AROT " + DegreesVector(v.arot));
    WriteText(scn, "VROT " + DegreesVector(v.vrot));
    if (!v.propellants.empty()) {
        std::string line = "PRPLEVEL";
        for (size_t i = 0; i < v.propellants.size(); ++i) {
            const Propellant& p = *v.propellants[i];
            line += " " + std::to_string(i) + ":" + (p.maxMass > 0.0 ? ExactFactor(p.mass, p.maxMass) : "0");
        }
        WriteText(scn, line);
    }
    std::string thrust;
    for (size_t i = 0; i < v.thrusters.size(); ++i)
        if (v.thrusters[i]->level != 0.0) thrust += " " + std::to_string(i) + ":" + ExactNumber(v.thrusters[i]->level);
    if (!thrust.empty()) WriteText(scn, "THLEVEL" + thrust);
    std::string docked;
    for (size_t i = 0; i < v.docks.size(); ++i)
        if (v.docks[i]->mate != nullptr)
            docked +=
                " " + std::to_string(i) + ":" + v.docks[i]->mate->name + ":" + std::to_string(v.docks[i]->matePort);
    if (!docked.empty()) WriteText(scn, "DOCKED" + docked);
    if (!v.navChannels.empty()) {
        std::string line = "NAVFREQ";
        for (DWORD ch : v.navChannels) line += " " + std::to_string(ch);
        WriteText(scn, line);
    }
    WriteText(scn, "ATTMODE " + std::to_string(v.attitudeMode));
    std::string modes;
    for (int mode = 1; mode <= kNavModes; ++mode)
        if ((v.navmodeBits >> mode) & 1u) modes += static_cast<char>('0' + mode);
    if (!modes.empty()) WriteText(scn, "NAVMODES " + modes);
    WriteText(scn, "ADCMODE " + std::to_string(v.adCtrlMode));
    std::string surf = "SURF";
    for (double level : v.surfaces) surf += " " + ExactNumber(level);
    WriteText(scn, surf);
    if (!v.animations.empty()) {
        std::string line = "ANIM";
        for (size_t i = 0; i < v.animations.size(); ++i)
            line += " " + std::to_string(i) + ":" + ExactNumber(v.animations[i].state);
        WriteText(scn, line);
    }
}

bool VESSEL::ParseScenarioLineEx(char* line, void* status) const {
    if (line == nullptr || vessel == nullptr) return false;
    std::vector<std::string> words = Words(line);
    if (words.empty()) return false;
    const std::string& tag = words[0];
    auto* vs = static_cast<VESSELSTATUS2*>(status);
    HostVessel& v = *vessel;

    // Fields of the status record.
    if (EqualNoCase(tag, "STATUS")) {
        if (vs != nullptr && words.size() >= 2) {
            vs->status = EqualNoCase(words[1], "Landed") ? 1 : 0;
            if (words.size() >= 3) {
                HostObject* body = ObjectNamed(words[2]);
                if (body != nullptr && body->kind == ObjectKind::Body) vs->rbody = body;
            }
        }
        return true;
    }
    struct VectorTag {
        const char* tag;
        VECTOR3 VESSELSTATUS2::*field;
        double scale;
    };
    static const VectorTag vectorTags[] = {{"RPOS", &VESSELSTATUS2::rpos, 1.0},
                                           {"RVEL", &VESSELSTATUS2::rvel, 1.0},
                                           {"AROT", &VESSELSTATUS2::arot, kRadPerDeg},
                                           {"VROT", &VESSELSTATUS2::vrot, kRadPerDeg}};
    for (const VectorTag& entry : vectorTags) {
        if (!EqualNoCase(tag, entry.tag)) continue;
        if (vs != nullptr) ReadVector(words, entry.scale, vs->*entry.field);
        return true;
    }
    if (EqualNoCase(tag, "BASE")) {
        HostObject* base = words.size() >= 2 ? ObjectNamed(words[1]) : nullptr;
        if (vs != nullptr && base != nullptr && base->kind == ObjectKind::Base) {
            auto* b = static_cast<SurfaceBase*>(base);
            vs->base = b;
            vs->rbody = b->body;
            // The base's spot, unless a POS line follows.
            vs->surf_lng = b->lng;
            vs->surf_lat = b->lat;
        }
        return true;
    }
    if (EqualNoCase(tag, "POS")) {
        double lng = 0.0, lat = 0.0;
        if (vs != nullptr && words.size() >= 3 && ReadNumber(words[1], lng) && ReadNumber(words[2], lat)) {
            vs->surf_lng = lng * kRadPerDeg;
            vs->surf_lat = lat * kRadPerDeg;
        }
        return true;
    }
    if (EqualNoCase(tag, "HEADING")) {
        double hdg = 0.0;
        if (vs != nullptr && words.size() >= 2 && ReadNumber(words[1], hdg)) vs->surf_hdg = hdg * kRadPerDeg;
        return true;
    }

    // The rest has no field in the record: straight into the vessel.
    if (EqualNoCase(tag, "PRPLEVEL")) {
        ForEachIndexed(words, [&](DWORD i, double level) {
            if (i < v.propellants.size() && level == level)
                v.propellants[i]->mass = std::min(std::max(level, 0.0), 1.0) * v.propellants[i]->maxMass;
        });
        return true;
    }
    if (EqualNoCase(tag, "THLEVEL")) {
        ForEachIndexed(words, [&](DWORD i, double level) {
            if (i < v.thrusters.size() && level == level) v.thrusters[i]->level = std::min(std::max(level, 0.0), 1.0);
        });
        return true;
    }
    if (EqualNoCase(tag, "ANIM")) {
        ForEachIndexed(words, [&](DWORD i, double state) {
            if (i < v.animations.size() && state == state) v.animations[i].state = state;
        });
        return true;
    }
    if (EqualNoCase(tag, "DOCKED")) {
        ParseDocked(v, words);
        return true;
    }
    if (EqualNoCase(tag, "NAVFREQ")) {
        for (size_t i = 1; i < words.size(); ++i) {
            unsigned long ch = 0;
            if (ReadUnsigned(words[i], ch)) SetNavChannel(static_cast<DWORD>(i - 1), static_cast<DWORD>(ch));
        }
        return true;
    }
    if (EqualNoCase(tag, "ATTMODE")) {
        unsigned long mode = 0;
        if (words.size() >= 2 && ReadUnsigned(words[1], mode)) SetAttitudeMode(static_cast<int>(mode));
        return true;
    }
    if (EqualNoCase(tag, "NAVMODES")) {
        unsigned bits = 0;
        for (size_t i = 1; i < words.size(); ++i)
            for (char c : words[i])
                if (c >= '1' && c <= '0' + kNavModes) bits |= 1u << (c - '0');
        v.navmodeBits = bits;
        return true;
    }
    if (EqualNoCase(tag, "ADCMODE")) {
        unsigned long mode = 0;
        if (words.size() >= 2 && ReadUnsigned(words[1], mode)) v.adCtrlMode = static_cast<DWORD>(mode);
        return true;
    }
    if (EqualNoCase(tag, "SURF")) {
        for (size_t i = 1; i < words.size() && i <= static_cast<size_t>(kSurfaceKinds); ++i) {
            double level = 0.0;
            if (ReadNumber(words[i], level)) v.surfaces[i - 1] = std::min(std::max(level, -1.0), 1.0);
        }
        return true;
    }
    return false;
}
