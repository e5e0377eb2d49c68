#include "WireCodec.h"

#include <cstring>

namespace wire {

namespace {

// Longest object name the host hands out that we still read whole; longer
// ones are cut by CopyName anyway.
constexpr int kHostNameBuffer = 256;

Vector3 ToWire(const VECTOR3& v) { return Vector3{v.x, v.y, v.z}; }
// _V, not braces: the SDK's VECTOR3 is a union (data[3] or x, y, z).
VECTOR3 ToHost(const Vector3& v) { return _V(v.x, v.y, v.z); }

uint32_t CappedCount(DWORD count, const void* list, int capacity) {
    if (list == nullptr) return 0;
    return count < static_cast<DWORD>(capacity) ? count : static_cast<uint32_t>(capacity);
}

}  // namespace

uint32_t HandleToWire(const void* handle) {
    const uint64_t value = static_cast<uint64_t>(reinterpret_cast<uintptr_t>(handle));
    if (value == 0) return 0;
    // Fold the high half in so that distinct 64-bit handles rarely collide;
    // a fold that gives zero must still read as "a handle".
    const uint32_t folded = static_cast<uint32_t>(value) ^ static_cast<uint32_t>(value >> 32);
    return folded != 0 ? folded : 1u;
}

void CopyName(Name& field, const char* text) {
    std::memset(field, 0, sizeof field);
    if (text == nullptr) return;
    const size_t length = strnlen(text, sizeof field - 1);
    std::memcpy(field, text, length);
}

void ObjectNameToWire(OBJHANDLE object, Name& field) {
    if (object == nullptr) {
        CopyName(field, nullptr);
        return;
    }
    char name[kHostNameBuffer] = {};
    oapiGetObjectName(object, name, kHostNameBuffer);
    name[kHostNameBuffer - 1] = '\0';
    CopyName(field, name);
}

void EncodeStatus(const VESSELSTATUS& in, VesselStatus& out) {
    std::memset(&out, 0, sizeof out);
    out.rpos = ToWire(in.rpos);
    out.rvel = ToWire(in.rvel);
    out.vrot = ToWire(in.vrot);
    out.arot = ToWire(in.arot);
    out.fuel = in.fuel;
    out.eng_main = in.eng_main;
    out.eng_hovr = in.eng_hovr;
    out.rbody = HandleToWire(in.rbody);
    out.base = HandleToWire(in.base);
    out.port = in.port;
    out.status = in.status;
    for (int i = 0; i < 10; ++i) {
        out.vdata[i] = ToWire(in.vdata[i]);
        out.fdata[i] = in.fdata[i];
        out.flag[i] = in.flag[i];
    }
}

void EncodeVessel(const VESSELSTATUS& in, VesselRecord& out) {
    EncodeStatus(in, out.status);
    ObjectNameToWire(in.rbody, out.rbodyName);
    ObjectNameToWire(in.base, out.baseName);
}

void EncodeStatus2(const VESSELSTATUS2& in, VesselStatus2& out) {
    std::memset(&out, 0, sizeof out);
    out.version = in.version;
    out.flag = in.flag;
    out.rbody = HandleToWire(in.rbody);
    out.base = HandleToWire(in.base);
    out.port = in.port;
    out.status = in.status;
    out.rpos = ToWire(in.rpos);
    out.rvel = ToWire(in.rvel);
    out.vrot = ToWire(in.vrot);
    out.arot = ToWire(in.arot);
    out.surf_lng = in.surf_lng;
    out.surf_lat = in.surf_lat;
    out.surf_hdg = in.surf_hdg;
    out.nfuel = CappedCount(in.nfuel, in.fuel, kMaxPropellants);
    out.nthruster = CappedCount(in.nthruster, in.thruster, kMaxThrusters);
    out.ndockinfo = CappedCount(in.ndockinfo, in.dockinfo, kMaxDocks);
    out.xpdr = in.xpdr;
}

void EncodeVessel2(const VESSELSTATUS2& in, Vessel2Record& out) {
    EncodeStatus2(in, out.status2);
    ObjectNameToWire(in.rbody, out.rbodyName);
    ObjectNameToWire(in.base, out.baseName);
    std::memset(out.fuelLevels, 0, sizeof out.fuelLevels);
    std::memset(out.thrusterLevels, 0, sizeof out.thrusterLevels);
    std::memset(out.dockInfo, 0, sizeof out.dockInfo);
    std::memset(out.dockVesselNames, 0, sizeof out.dockVesselNames);
    for (uint32_t i = 0; i < out.status2.nfuel; ++i) {
        out.fuelLevels[i].idx = in.fuel[i].idx;
        out.fuelLevels[i].level = in.fuel[i].level;
    }
    for (uint32_t i = 0; i < out.status2.nthruster; ++i) {
        out.thrusterLevels[i].idx = in.thruster[i].idx;
        out.thrusterLevels[i].level = in.thruster[i].level;
    }
    for (uint32_t i = 0; i < out.status2.ndockinfo; ++i) {
        out.dockInfo[i].idx = in.dockinfo[i].idx;
        out.dockInfo[i].ridx = in.dockinfo[i].ridx;
        out.dockInfo[i].rvessel = HandleToWire(in.dockinfo[i].rvessel);
        ObjectNameToWire(in.dockinfo[i].rvessel, out.dockVesselNames[i]);
    }
}

void DecodeStatus(const VesselStatus& in, VESSELSTATUS& out) {
    std::memset(static_cast<void*>(&out), 0, sizeof out);
    out.rpos = ToHost(in.rpos);
    out.rvel = ToHost(in.rvel);
    out.vrot = ToHost(in.vrot);
    out.arot = ToHost(in.arot);
    out.fuel = in.fuel;
    out.eng_main = in.eng_main;
    out.eng_hovr = in.eng_hovr;
    out.rbody = nullptr;
    out.base = nullptr;
    out.port = in.port;
    out.status = in.status;
    for (int i = 0; i < 10; ++i) {
        out.vdata[i] = ToHost(in.vdata[i]);
        out.fdata[i] = in.fdata[i];
        out.flag[i] = in.flag[i];
    }
}

void DecodeStatus2(const VesselStatus2& in, VESSELSTATUS2& out) {
    std::memset(static_cast<void*>(&out), 0, sizeof out);
    out.version = in.version;
    out.flag = in.flag;
    out.rbody = nullptr;
    out.base = nullptr;
    out.port = in.port;
    out.status = in.status;
    out.rpos = ToHost(in.rpos);
    out.rvel = ToHost(in.rvel);
    out.vrot = ToHost(in.vrot);
    out.arot = ToHost(in.arot);
    out.surf_lng = in.surf_lng;
    out.surf_lat = in.surf_lat;
    out.surf_hdg = in.surf_hdg;
    out.nfuel = in.nfuel;
    out.fuel = nullptr;
    out.nthruster = in.nthruster;
    out.thruster = nullptr;
    out.ndockinfo = in.ndockinfo;
    out.dockinfo = nullptr;
    out.xpdr = in.xpdr;
}

}  // namespace wire
