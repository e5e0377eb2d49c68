// Application of received messages to the mirror vessel of the same name
// (creating it from a vessel message), and to the focus. Nothing here logs:
// the receive loop reports.
#pragma once

#include "Message.h"

enum class TextApplication {
    kApplied,
    kNotApplicable,    // no such vessel, or its interface has no scenario loader
    kFileUnavailable,  // the temporary file could not be written or opened
    kBadValues,        // the state carried to our date would not be finite: not set
};

// The vessel's own scenario text through the per-process file
// "VELSYNC_<process id>" (deleted afterwards), then its position carried on
// by the time since the master captured it.
TextApplication ApplyVesselState(VesselStateMessage& message);
// How many vessels the slave has made, and may make.
struct MirrorLimits {
    int32_t maxCreated = 1000;
    int32_t created = 0;
};
enum class MirrorOutcome {
    kSet,          // the vessel of that name took the state
    kCreated,      // made with the master's name, class and state
    kTooMany,      // none of that name, and maxCreated are made already
    kUnsafeClass,  // none of that name, and its class name is no safe file name
};
// The master's state; a vessel of that name and class is created when
// there is none, within the limits.
MirrorOutcome ApplyVessel(VesselMessage& message, MirrorLimits& limits);
MirrorOutcome ApplyVessel2(Vessel2Message& message, MirrorLimits& limits);
// The focus goes to the vessel of the name, when there is one.
void ApplyFocus(FocusMessage& message);
void ApplyAnimation(const AnimationMessage& message);
void ApplyAirfoil(const AirfoilMessage& message);
// Only for vessels whose class module exports a true XRVesselCtrlFlag.
void ApplyXR(const XRMessage& message);
void ApplyVesselExtra(const VesselExtraMessage& message);
