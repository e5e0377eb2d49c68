// Whether a vessel offers the XR vessel-control interface: its class module,
// loaded under the class name, is a vessel class module and exports a true
// XRVesselCtrlFlag.
#pragma once

#include "Platform.h"

// The vessel's XR interface, or null when its class does not offer it.
XRVesselCtrl* XRInterfaceOf(VESSEL& vessel);
