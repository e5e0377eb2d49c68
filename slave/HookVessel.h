// The animation detour (class VesselDetour; its log lines carry this file's
// name, HookVessel): while the slave runs, a vessel's own calls of
// VESSEL::SetAnimation change nothing, so that its animations show the
// master's states; only the slave's own application of the master's
// messages passes through.
#pragma once

#include "Platform.h"

// True only while the slave applies the master's messages (on the
// simulation thread); the replacement passes calls through then.
extern bool applyingMasterState;
// The host's own entry: the replacement's target, and how the replacement
// reaches the host's function.
extern bool (VESSEL::*setAnimationEntry)(UINT, double) const;
// The installed hook's handle record; null when none is held.
extern TRACED_HOOK_HANDLE vesselHookHandle;
// Copy of the module's debug setting: verbose lines of the detour.
extern bool hookLogging;

class VesselDetour {
public:
    // Replaces VESSEL::SetAnimation: `this` is the vessel the host function
    // was called on.
    bool SetAnimation(UINT index, double state) const;
};

// Installs the replacement for the calling thread (the simulation thread),
// on the supported host version only.
void InstallVesselHook();
// Removes it, whether or not the installation worked.
void RemoveVesselHook();

constexpr int kSupportedHostVersion = 100830;
