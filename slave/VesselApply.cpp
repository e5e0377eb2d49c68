#include "VesselApply.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "WireName.h"
#include "XRVessel.h"

namespace {

constexpr DWORD kDirectoryCapacity = 1024;
constexpr int kNavModes = 7;  // modes 1 to 7
// XR state code 12 gates the others (and the XR value): they are applied
// only while it reads 1 in the master's vessel.
constexpr int kGatingStateCode = 12;
constexpr int kGateOpen = 1;

// The vessel of a received name (ended inside its field on admission);
// null when this simulation has none.
VESSEL* VesselNamed(const wire::Name& name) {
    char copy[wire::kNameSize];  // the host's lookup takes a writable name
    std::memcpy(copy, name, sizeof copy);
    OBJHANDLE handle = oapiGetVesselByName(copy);
    return handle != nullptr ? oapiGetVesselInterface(handle) : nullptr;
}

// Records 0 and 1 always; the others only while the subsystem that drives
// them is on in this vessel.
bool PartRecordAllowed(XRVesselCtrl& xr, int index) {
    if (index < 2) return true;
    const int subsystem = index < 4 ? 2 : (index < 6 ? 1 : 5);
    return xr.GetStateCode(subsystem, nullptr) == 1;
}

// Whether a vessel of this class may be made now.
MirrorOutcome MayCreate(const char* className, const MirrorLimits& limits) {
    if (!wire::SafeClassName(className)) return MirrorOutcome::kUnsafeClass;
    if (limits.created >= limits.maxCreated) return MirrorOutcome::kTooMany;
    return MirrorOutcome::kCreated;
}

VESSELSTATUS2 EmptyStatus2() {
    VESSELSTATUS2 status;
    std::memset(static_cast<void*>(&status), 0, sizeof status);
    status.version = 2;
    status.flag = 0;  // no lists
    return status;
}

}  // namespace

TextApplication ApplyVesselState(VesselStateMessage& message) {
    const wire::VesselStateRecord& r = message.record();
    VESSEL* vessel = VesselNamed(r.vesselName);
    if (vessel == nullptr || vessel->Version() < 2) return TextApplication::kNotApplicable;

    char directory[kDirectoryCapacity];
    const DWORD directoryLength = GetCurrentDirectoryA(kDirectoryCapacity, directory);
    if (directoryLength == 0 || directoryLength >= kDirectoryCapacity) return TextApplication::kFileUnavailable;
    char fileName[32];
    std::snprintf(fileName, sizeof fileName, "VELSYNC_%d", static_cast<int>(GetCurrentProcessId()));
    // A forward slash separates folders on every platform the module runs on.
    char path[kDirectoryCapacity + sizeof fileName + 1];
    std::snprintf(path, sizeof path, "%s/%s", directory, fileName);

    // The text is written by its length: no terminator is needed, and none is
    // written behind the largest text.
    const size_t textLength = static_cast<size_t>(r.textLength);  // matched to the datagram on admission
    FILE* out = std::fopen(path, "w");
    if (out == nullptr) return TextApplication::kFileUnavailable;
    const size_t written = std::fwrite(r.text, 1, textLength, out);
    const bool closed = std::fclose(out) == 0;
    if (written != textLength || !closed) {
        DeleteFileA(path);
        return TextApplication::kFileUnavailable;
    }

    VESSELSTATUS2 status = EmptyStatus2();
    vessel->GetStatusEx(&status);
    FILEHANDLE file = oapiOpenFile(fileName, FILE_IN, ROOT);
    if (file == nullptr) {
        DeleteFileA(path);
        return TextApplication::kFileUnavailable;
    }
    static_cast<VESSEL2*>(vessel)->clbkLoadStateEx(file, &status);
    oapiCloseFile(file, FILE_IN);
    DeleteFileA(path);

    // The loaded state is the master's at capture: carry it on to our date.
    status = EmptyStatus2();
    vessel->GetStatusEx(&status);
    CarryForward(status.rpos, status.rvel, r.mjd);
    if (!std::isfinite(status.rpos.x) || !std::isfinite(status.rpos.y) || !std::isfinite(status.rpos.z))
        return TextApplication::kBadValues;
    vessel->DefSetStateEx(&status);
    return TextApplication::kApplied;
}

void ApplyAirfoil(const AirfoilMessage& message) {
    const wire::AirfoilRecord& r = message.record();
    VESSEL* vessel = VesselNamed(r.vesselName);
    if (vessel == nullptr) return;
    for (int kind = 0; kind < wire::kSurfaceKinds; ++kind)
        vessel->SetControlSurfaceLevel(static_cast<AIRCTRL_TYPE>(kind), r.surfaceLevels[kind], true);
}

void ApplyXR(const XRMessage& message) {
    const wire::XRRecord& r = message.record();
    VESSEL* vessel = VesselNamed(r.vesselName);
    XRVesselCtrl* xrInterface = vessel != nullptr ? XRInterfaceOf(*vessel) : nullptr;
    if (xrInterface == nullptr) return;
    XRVesselCtrl& xr = *xrInterface;

    XRSystemsBlock block;
    std::memcpy(&block, r.xrBlock, sizeof block);
    xr.SetSystemsBlock(&block);

    for (int i = 0; i < wire::kXRByteStates; ++i) xr.SetByteState(i, r.xrByteStates[i] != 0);

    const bool gateOpen = r.xrStates[kGatingStateCode] == kGateOpen;
    for (int i = 0; i < wire::kXRStates; ++i) {
        if (i == kGatingStateCode || gateOpen) xr.SetStateCode(i, r.xrStates[i]);
    }

    for (int i = 0; i < wire::kXRRecords; ++i) {
        if (!PartRecordAllowed(xr, i)) continue;
        XRPartRecord part;
        std::memcpy(&part, r.xrRecords[i], sizeof part);
        xr.SetPartRecord(i, &part);
    }

    if (gateOpen) {
        // Applied as a difference, so the vessel's own drift since capture
        // is overridden, not added to.
        const double delta = r.xrValue - xr.GetValue();
        if (std::isfinite(delta)) xr.AdjustValue(delta);
    }

    xr.SetByteA(r.xrByteA != 0);
    xr.SetByteB(r.xrByteB != 0);
}

void ApplyVesselExtra(const VesselExtraMessage& message) {
    const wire::VesselExtraRecord& r = message.record();
    VESSEL* vessel = VesselNamed(r.vesselName);
    if (vessel == nullptr) return;

    vessel->SetAttitudeMode(r.attitudeMode);
    for (int mode = 1; mode <= kNavModes; ++mode) {
        if ((static_cast<uint32_t>(r.navmodeBits) >> mode) & 1u)
            vessel->ActivateNavmode(mode);
        else
            vessel->DeactivateNavmode(mode);
    }
    vessel->SetADCtrlMode(r.adCtrlMode);

    DWORD radios = vessel->GetNavCount();
    if (radios > static_cast<DWORD>(wire::kMaxNavRadios)) radios = wire::kMaxNavRadios;
    for (DWORD i = 0; i < radios; ++i) vessel->SetNavChannel(i, r.navChannels[i]);
}

namespace {

// The host's calls for each kind of state.
OBJHANDLE Create(const char* name, const char* className, VESSELSTATUS& status) {
    return oapiCreateVessel(name, className, status);
}
OBJHANDLE Create(const char* name, const char* className, VESSELSTATUS2& status) {
    return oapiCreateVesselEx(name, className, &status);
}
void SetState(VESSEL& vessel, VESSELSTATUS& status) { vessel.DefSetState(&status); }
void SetState(VESSEL& vessel, VESSELSTATUS2& status) { vessel.DefSetStateEx(&status); }

// A vessel of the master's given its state: made when this host has none of
// that name (within the limits), else set.
template <class Record, class Status>
MirrorOutcome Mirror(Record& r, Status& status, MirrorLimits& limits) {
    OBJHANDLE handle = oapiGetVesselByName(r.vesselName);
    if (handle == nullptr) {
        const MirrorOutcome may = MayCreate(r.className, limits);
        if (may != MirrorOutcome::kCreated) return may;
        if (Create(r.vesselName, r.className, status) != nullptr) ++limits.created;
        return MirrorOutcome::kCreated;
    }
    VESSEL* vessel = oapiGetVesselInterface(handle);
    if (vessel != nullptr) SetState(*vessel, status);
    return MirrorOutcome::kSet;
}

}  // namespace

MirrorOutcome ApplyVessel(VesselMessage& message, MirrorLimits& limits) {
    return Mirror(message.record(), message.status, limits);
}

MirrorOutcome ApplyVessel2(Vessel2Message& message, MirrorLimits& limits) {
    return Mirror(message.record(), message.status2, limits);
}

void ApplyFocus(FocusMessage& message) {
    OBJHANDLE handle = oapiGetVesselByName(message.record().vesselName);
    if (handle != nullptr) oapiSetFocusObject(handle);
}

void ApplyAnimation(const AnimationMessage& message) {
    const wire::AnimationRecord& r = message.record();
    VESSEL* vessel = VesselNamed(r.vesselName);
    if (vessel == nullptr) return;
    // Admission cut the count to the 16 states the record holds.
    for (int32_t i = 0; i < r.animCount; ++i) vessel->SetAnimation(static_cast<UINT>(i), r.animStates[i]);
}
