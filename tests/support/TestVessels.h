// Vessels made and read through the host's API, as a module or a scenario
// makes and reads them.
#pragma once

#include <cstring>
#include <iterator>
#include <string>

#include "Orbitersdk.h"

// A version-2 status record, zero but for `flag`: what to ask for, or apply.
inline VESSELSTATUS2 BlankStatus2(DWORD flag = 0) {
    VESSELSTATUS2 status;
    std::memset(static_cast<void*>(&status), 0, sizeof status);
    status.version = 2;
    status.flag = flag;
    return status;
}

// The record's lists: these arrays (or vectors), whole.
template <class Fuel, class Thrusters, class Docks>
void SetLists(VESSELSTATUS2& status, Fuel& fuel, Thrusters& thrusters, Docks& docks) {
    status.nfuel = static_cast<DWORD>(std::size(fuel));
    status.fuel = std::data(fuel);
    status.nthruster = static_cast<DWORD>(std::size(thrusters));
    status.thruster = std::data(thrusters);
    status.ndockinfo = static_cast<DWORD>(std::size(docks));
    status.dockinfo = std::data(docks);
}

// A vessel of `className` in free flight at `rpos`, `rvel` relative to `body`.
inline OBJHANDLE CreateVesselAt(const std::string& name, const std::string& className, const VECTOR3& rpos,
                                const VECTOR3& rvel, std::string body = "Earth") {
    VESSELSTATUS2 status = BlankStatus2();
    status.rbody = oapiGetObjectByName(&body[0]);
    status.rpos = rpos;
    status.rvel = rvel;
    return oapiCreateVesselEx(name.c_str(), className.c_str(), &status);
}

// What GetStatusEx reports of a vessel (version 2, no lists asked for).
inline VESSELSTATUS2 StatusOf(VESSEL& vessel) {
    VESSELSTATUS2 status = BlankStatus2();
    vessel.GetStatusEx(&status);
    return status;
}
