// Vessels made and read through the host's API, as a module or a scenario
// makes and reads them.
#pragma once

#include <cstring>
#include <string>

#include "Orbitersdk.h"

// A vessel of `className` in free flight at `rpos`, `rvel` relative to `body`.
inline OBJHANDLE CreateVesselAt(const std::string& name, const std::string& className, const VECTOR3& rpos,
                                const VECTOR3& rvel, std::string body = "Earth") {
    VESSELSTATUS2 status;
    std::memset(static_cast<void*>(&status), 0, sizeof status);
    status.version = 2;
    status.rbody = oapiGetObjectByName(&body[0]);
    status.rpos = rpos;
    status.rvel = rvel;
    return oapiCreateVesselEx(name.c_str(), className.c_str(), &status);
}

// What GetStatusEx reports of a vessel (version 2, no lists asked for).
inline VESSELSTATUS2 StatusOf(VESSEL& vessel) {
    VESSELSTATUS2 status;
    std::memset(static_cast<void*>(&status), 0, sizeof status);
    status.version = 2;
    vessel.GetStatusEx(&status);
    return status;
}
