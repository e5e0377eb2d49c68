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
// The master's state; a vessel of that name and class is created when
// there is none.
void ApplyVessel(VesselMessage& message);
void ApplyVessel2(Vessel2Message& message);
// The focus goes to the vessel of the name, when there is one.
void ApplyFocus(FocusMessage& message);
void ApplyAnimation(const AnimationMessage& message);
void ApplyAirfoil(const AirfoilMessage& message);
// Only for vessels whose class module exports a true XRVesselCtrlFlag.
void ApplyXR(const XRMessage& message);
void ApplyVesselExtra(const VesselExtraMessage& message);
