// Capture of a vessel's dynamic state (the other messages capture in their
// constructors, declared with the message classes).
#pragma once

#include <cstddef>

#include "Message.h"

// A VesselMessage for interface versions below 2, a Vessel2Message for 2 and
// 3, null for anything else (the caller reports it). The caller owns it.
Message* CaptureVesselMessage(OBJHANDLE vessel);
