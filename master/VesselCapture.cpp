// Capture of a live vessel's state into the messages of an update. Nothing
// here sends, waits or logs: the step loop decides and reports.
#include <algorithm>
#include <cstring>
#include <vector>

#include "Message.h"
#include "VesselCapture.h"
#include "WireCodec.h"
#include "XRVessel.h"

namespace {

constexpr size_t kSendableText = static_cast<size_t>(wire::kMaxSendableText);

constexpr DWORD kListRequest = VS_FUELLIST | VS_THRUSTLIST | VS_DOCKINFOLIST;
// The master's temporary file (in the host's folder) through which a
// vessel's own scenario text is captured: "velocity sync", master's.
constexpr const char* kMasterTextFile = "VELSYNC_m";

// The host writes every list entry a vessel has through the pointers it is
// given, without knowing their room; these lists grow to the vessel's counts
// (once per size, not per update) before the host is asked.
struct StatusScratch {
    std::vector<VESSELSTATUS2::FUELSPEC> fuel;
    std::vector<VESSELSTATUS2::THRUSTSPEC> thrusters;
    std::vector<VESSELSTATUS2::DOCKINFOSPEC> docks;

    void fit(const VESSEL& vessel) {
        fit(fuel, vessel.GetPropellantCount());
        fit(thrusters, vessel.GetThrusterCount());
        fit(docks, vessel.DockCount());
    }
    template <class Entry>
    static void fit(std::vector<Entry>& list, size_t needed) {
        if (list.size() < needed + 1) list.resize(needed + 1);
    }
};

StatusScratch& Scratch() {
    static StatusScratch scratch;
    return scratch;
}

}  // namespace

Message* StateCapture::Capture(OBJHANDLE handle) {
    VESSEL* vessel = oapiGetVesselInterface(handle);
    if (vessel == nullptr) return nullptr;
    const short version = static_cast<short>(vessel->Version());
    if (version < 2) {
        vessel_.Capture(handle);
        return &vessel_;
    }
    if (version <= 3) {
        vessel2_.Capture(handle);
        return &vessel2_;
    }
    return nullptr;
}

void VesselMessage::Capture(OBJHANDLE handle) {
    Clear();
    std::memset(static_cast<void*>(&status), 0, sizeof status);
    wire::VesselRecord& out = record();
    out.mjd = oapiGetSimMJD();
    VESSEL* vessel = oapiGetVesselInterface(handle);
    if (vessel == nullptr) return;
    wire::CopyName(out.vesselName, vessel->GetName());
    wire::CopyName(out.className, vessel->GetClassNameA());
    vessel->GetStatus(status);
    wire::EncodeVessel(status, out);
}

void Vessel2Message::Capture(OBJHANDLE handle) {
    Clear();
    wire::Vessel2Record& out = record();
    out.mjd = oapiGetSimMJD();
    VESSEL* vessel = oapiGetVesselInterface(handle);
    if (vessel == nullptr) return;
    wire::CopyName(out.vesselName, vessel->GetName());
    wire::CopyName(out.className, vessel->GetClassNameA());

    StatusScratch& scratch = Scratch();
    scratch.fit(*vessel);
    VESSELSTATUS2 captured;
    std::memset(&captured, 0, sizeof captured);
    captured.version = 2;
    captured.flag = kListRequest;
    captured.fuel = scratch.fuel.data();
    captured.thruster = scratch.thrusters.data();
    captured.dockinfo = scratch.docks.data();
    vessel->GetStatusEx(&captured);
    wire::EncodeVessel2(captured, out);
}

VesselExtraMessage::VesselExtraMessage(OBJHANDLE handle) {
    wire::VesselExtraRecord& out = record();
    VESSEL* vessel = oapiGetVesselInterface(handle);
    if (vessel == nullptr) return;
    wire::CopyName(out.vesselName, vessel->GetName());
    out.attitudeMode = vessel->GetAttitudeMode();
    out.navmodeBits = 0;
    for (int mode = 1; mode <= 7; ++mode)
        if (vessel->GetNavmodeState(mode)) out.navmodeBits |= 1 << mode;
    out.adCtrlMode = vessel->GetADCtrlMode();
    const DWORD radios = std::min<DWORD>(vessel->GetNavCount(), wire::kMaxNavRadios);
    for (DWORD i = 0; i < radios; ++i) out.navChannels[i] = static_cast<uint16_t>(vessel->GetNavChannel(i));
}

AirfoilMessage::AirfoilMessage(OBJHANDLE handle) {
    wire::AirfoilRecord& out = record();
    VESSEL* vessel = oapiGetVesselInterface(handle);
    if (vessel == nullptr) return;
    wire::CopyName(out.vesselName, vessel->GetName());
    for (int kind = 0; kind < wire::kSurfaceKinds; ++kind)
        out.surfaceLevels[kind] = vessel->GetControlSurfaceLevel(static_cast<AIRCTRL_TYPE>(kind));
}

AnimationMessage::AnimationMessage(OBJHANDLE handle) {
    wire::AnimationRecord& out = record();
    VESSEL* vessel = oapiGetVesselInterface(handle);
    if (vessel == nullptr) return;
    wire::CopyName(out.vesselName, vessel->GetName());
    ANIMATION* animations = nullptr;
    const UINT count = vessel->GetAnimPtr(&animations);
    out.animCount = animations == nullptr ? 0 : static_cast<int32_t>(std::min<UINT>(count, wire::kMaxAnimations));
    for (int32_t i = 0; i < out.animCount; ++i) out.animStates[i] = animations[i].state;
}

void VesselStateMessage::Capture(OBJHANDLE handle) {
    Clear();
    textBytes = 0;
    wire::VesselStateRecord& out = record();
    out.mjd = oapiGetSimMJD();
    VESSEL* vessel = oapiGetVesselInterface(handle);
    if (vessel == nullptr || vessel->Version() < 1) {
        capture = TextCapture::kNoText;
        return;
    }
    wire::CopyName(out.vesselName, vessel->GetName());

    FILEHANDLE file = oapiOpenFile(kMasterTextFile, FILE_OUT, ROOT);
    if (file == nullptr) {
        capture = TextCapture::kFileUnavailable;
        return;
    }
    static_cast<VESSEL2*>(vessel)->clbkSaveState(file);
    oapiCloseFile(file, FILE_OUT);

    file = oapiOpenFile(kMasterTextFile, FILE_IN, ROOT);
    if (file == nullptr) {
        capture = TextCapture::kFileUnavailable;
        return;
    }
    // Lines joined by line feeds; whatever would not fit one datagram is
    // measured but not stored.
    size_t length = 0;
    bool any = false;
    char* line = nullptr;
    while (oapiReadScenario_nextline(file, line)) {
        if (any) {
            if (length < kSendableText) out.text[length] = '\n';
            ++length;
        }
        any = true;
        const size_t lineLength = std::strlen(line);
        if (length < kSendableText) {
            std::memcpy(out.text + length, line, std::min(lineLength, kSendableText - length));
        }
        length += lineLength;
    }
    oapiCloseFile(file, FILE_IN);

    if (length > kSendableText) {
        out.textLength = 0;
        capture = TextCapture::kTooLong;
        textBytes = length;
        return;
    }
    out.textLength = static_cast<int32_t>(length);
    textBytes = length;
    capture = TextCapture::kDone;
}

XRMessage::XRMessage(OBJHANDLE handle) {
    wire::XRRecord& out = record();
    xrValid = false;
    VESSEL* vessel = oapiGetVesselInterface(handle);
    if (vessel == nullptr) return;
    wire::CopyName(out.vesselName, vessel->GetName());

    XRVesselCtrl* xr = XRInterfaceOf(*vessel);
    if (xr == nullptr) return;
    XRSystemsBlock block;
    std::memset(&block, 0, sizeof block);
    xr->GetSystemsBlock(&block);
    std::memcpy(out.xrBlock, &block, sizeof out.xrBlock);
    for (int i = 0; i < wire::kXRByteStates; ++i) out.xrByteStates[i] = xr->GetByteState(i) ? 1 : 0;
    for (int i = 0; i < wire::kXRStates; ++i) out.xrStates[i] = xr->GetStateCode(i, nullptr);
    for (int i = 0; i < wire::kXRRecords; ++i) {
        XRPartRecord part;
        std::memset(&part, 0, sizeof part);
        xr->GetPartRecord(i, &part);
        std::memcpy(out.xrRecords[i], &part, sizeof out.xrRecords[i]);
    }
    out.xrValue = xr->GetValue();
    out.xrByteA = xr->GetByteA() ? 1 : 0;
    out.xrByteB = xr->GetByteB() ? 1 : 0;
    xrValid = true;
}
