#include "XRVessel.h"

#include <cstdint>

XRVesselCtrl* XRInterfaceOf(VESSEL& vessel) {
    HMODULE module = GetModuleHandleA(vessel.GetClassNameA());
    if (module == nullptr) return nullptr;
    // Only a vessel class module (it has the class entry point) speaks for
    // the vessel: a plug-in exports the flag too, and a vessel class named
    // after one must not be taken for an XR vessel.
    if (GetProcAddress(module, "ovcInit") == nullptr) return nullptr;
    const void* flag = reinterpret_cast<const void*>(GetProcAddress(module, "XRVesselCtrlFlag"));
    if (flag == nullptr || *static_cast<const uint8_t*>(flag) == 0) return nullptr;
    // The flag promises that the vessel's own object derives from the interface.
    return static_cast<XRVesselCtrl*>(&vessel);
}
