// Capture of a vessel's dynamic state (the other messages capture in their
// constructors, declared with the message classes).
#pragma once

#include <cstddef>

#include "Message.h"

// The dynamic state of vessel after vessel, captured into one message of
// each kind kept for it: an update allocates nothing for it.
class StateCapture {
public:
    // The VesselMessage for interface versions below 2, the Vessel2Message
    // for 2 and 3, null for anything else (the caller reports it). Valid
    // until the next Capture.
    Message* Capture(OBJHANDLE vessel);

private:
    VesselMessage vessel_;
    Vessel2Message vessel2_;
};
