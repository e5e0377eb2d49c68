#include "HookVessel.h"

#include <new>

#include "Log.h"

bool applyingMasterState = false;
bool (VESSEL::*setAnimationEntry)(UINT, double) const = &VESSEL::SetAnimation;
TRACED_HOOK_HANDLE vesselHookHandle = nullptr;
bool hookLogging = false;

namespace {

// The replacement needs no object of its own (its `this` is the vessel's);
// this one is there for the debug line that reports an object's address.
const VesselDetour detour;

}  // namespace

bool VesselDetour::SetAnimation(UINT index, double state) const {
    if (applyingMasterState) return (reinterpret_cast<const VESSEL*>(this)->*setAnimationEntry)(index, state);
    // The vessel's own call: report success, keep the master's state.
    return true;
}

void InstallVesselHook() {
    if (hookLogging) LOG("Hooking vessel...");
    if (oapiGetOrbiterVersion() != kSupportedHostVersion) {
        LOG("ERROR: Unsupported orbiter version!");
        return;
    }

    void* target = MemberFunctionAddress(setAnimationEntry);
    void* replacement = MemberFunctionAddress(&VesselDetour::SetAnimation);
    if (hookLogging) {
        LOG("VESSEL::SetAnimation=%p", MemberFunctionAddress(&VESSEL::SetAnimation));
        LOG("VesselDetour::SetAnimation=%p", replacement);
        LOG("vd=%p", static_cast<const void*>(&detour));
        LOG("target=%p", static_cast<void*>(&setAnimationEntry));
        LOG("*target=%p", target);
        LOG("*hook=%p", replacement);
    }

    // A handle left by an earlier run is not reused.
    delete vesselHookHandle;
    vesselHookHandle = new (std::nothrow) HOOK_TRACE_INFO();
    const NTSTATUS status = LhInstallHook(target, replacement, nullptr, vesselHookHandle);
    if (status != 0) {
        LOG("ERROR: could not hook vessel, error %08x", static_cast<unsigned>(status));
        return;
    }
    ULONG threads[1] = {0};  // 0: the calling thread
    LhSetInclusiveACL(threads, 1, vesselHookHandle);
    if (hookLogging) LOG("Vessel hooked");
}

void RemoveVesselHook() {
    if (hookLogging) LOG("Unhooking vessel...");
    LhUninstallHook(vesselHookHandle);
    delete vesselHookHandle;
    vesselHookHandle = nullptr;
    LhWaitForPendingRemovals();
    if (hookLogging) LOG("Vessel unhooked");
}
