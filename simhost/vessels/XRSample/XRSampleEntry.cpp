// The entry points the host looks for in a vessel class module, and the flag
// that tells other modules this class offers the XR vessel-control interface.
#include "XRSample.h"

// Exported with the SDK's macro: a visibility attribute exports nothing from
// a Windows DLL.
extern "C" {
DLLEXPORT bool XRVesselCtrlFlag = true;
}

DLLCLBK VESSEL* ovcInit(OBJHANDLE hVessel, int flightmodel) { return new XRSample(hVessel, flightmodel); }

// VESSEL has no virtual destructor: delete through the class's own type.
DLLCLBK void ovcExit(VESSEL* vessel) { delete static_cast<XRSample*>(vessel); }
