#include "Helmecho.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "HookVessel.h"
#include "ConfigItems.h"
#include "LinkStatistics.h"
#include "Log.h"
#include "Message.h"
#include "UdpSocket.h"
#include "VesselApply.h"
#include "WireCheck.h"

namespace {

HINSTANCE moduleInstance = nullptr;

constexpr double kPi = 3.141592653589793;
constexpr double kSecondsPerDay = 86400.0;
constexpr double kStatisticsInterval = 1.0;
// Offsets up to this are left to drift: setting the date costs a jump.
constexpr double kMaxDateOffset = 0.1;
// Propagation mode for the date change: orbital and suborbital vessels both
// keep their state fixed relative to the surface.
constexpr int kKeepSurfaceState = 0x22;
constexpr int kMaxWaitSleeps = 100;

// Counters wrap rather than overflow: sequence numbers come from the wire.
int32_t WrappingAdd(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}
int32_t WrappingSub(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}

}  // namespace

// ---- Entry points ----

DLLCLBK void InitModule(HINSTANCE instance) {
    OpenLog(kSlaveLogFile);
    moduleInstance = instance;
    oapiRegisterModule(new (std::nothrow) Helmecho(instance));
}

DLLCLBK void ExitModule(HINSTANCE) { CloseLog(); }

DLLCLBK const char* ModuleDate() { return "Sep 15 2014"; }

// Vessels offering the XR interface export this flag; the module carries it
// as every XR-aware plug-in does, and never reads it.
HELM_EXPORT const bool XRVesselCtrlFlag = true;

// ---- Construction ----

Helmecho::Helmecho(HINSTANCE instance) : oapi::Module(instance) {
    char masterIP[kMasterIPCapacity] = "127.0.0.1";
    int32_t masterPort = 40000;
    readConfiguration(masterIP, masterPort);

    // The master's address is known whatever becomes of the socket, so that
    // every later send has a defined target.
    std::memset(&masterAddr, 0, sizeof masterAddr);
    masterAddr.sin_family = AF_INET;
    // Only the low 16 bits of the configured port count.
    masterAddr.sin_port = htons(static_cast<uint16_t>(masterPort));
    masterAddr.sin_addr.s_addr = inet_addr(masterIP);

    openSocket();
}

void Helmecho::readConfiguration(char (&masterIP)[kMasterIPCapacity], int32_t& masterPort) {
    FILEHANDLE file = oapiOpenFile(kSlaveConfigFile, FILE_IN, CONFIG);

    ReadIntItem(file, "debug", debug);
    if (debug) LOG("Config: debug=%d", debug);

    ReadStringItem(file, "masterIP", masterIP, kMasterIPCapacity);
    if (debug) LOG("Config: masterIP=%s", masterIP);
    ReadIntItem(file, "masterPort", masterPort);
    if (debug) LOG("Config: masterPort=%d", masterPort);
    ReadIntItem(file, "switchFocus", switchFocus);
    if (debug) LOG("Config: switchFocus=%d", switchFocus);
    ReadIntItem(file, "waitForMaster", waitForMaster);
    if (debug) LOG("Config: waitForMaster=%d", waitForMaster);
    ReadIntItem(file, "sendKeys", sendKeys);
    if (debug) LOG("Config: sendKeys=%d", sendKeys);
    ReadFloatItem(file, "elevation", elevation);
    if (debug) LOG("Config: elevation=%g", elevation);
    ReadFloatItem(file, "azimuth", azimuth);
    if (debug) LOG("Config: azimuth=%g", azimuth);

    if (file != nullptr) oapiCloseFile(file, FILE_IN);
}

void Helmecho::openSocket() {
    const SocketSetup setup = OpenUdpSocket(sock, 0, false);  // the system chooses the port
    if (setup.failed != SocketStep::kDone) {
        LOG(SocketStepFormat(setup.failed), setup.error);
        return;
    }
    sockaddr_in local;
    std::memset(&local, 0, sizeof local);
    int length = sizeof local;
    if (getsockname(sock, reinterpret_cast<sockaddr*>(&local), &length) == 0 && debug) {
        LOG("Bound to %s:%d", inet_ntoa(local.sin_addr), ntohs(local.sin_port));
    }
}

// ---- Simulation run ----

void Helmecho::clbkSimulationStart(RenderMode) {
    hookLogging = debug != 0;
    InstallVesselHook();

    HelloMessage hello;
    SendToMaster(sock, masterAddr, hello);

    if (sendKeys) InstallKeyboardHook(kSlaveModuleFile);

    oapiCameraSetCockpitDir(azimuth * kPi / 180.0, elevation * kPi / 180.0, false);
}

void Helmecho::clbkSimulationEnd() {
    RemoveVesselHook();
    if (sendKeys) {
        UnhookWindowsHookEx(keyboardHook);
        keyboardHook = nullptr;
    }
}

void Helmecho::clbkPreStep(double, double, double) {}

void Helmecho::clbkPostStep(double, double, double) {
    if (sendKeys) {
        SendToMaster(sock, masterAddr, outgoingKeys);
        outgoingKeys.record().keyCount = 0;
    }

    applyingMasterState = true;
    ReceiveUpdate();
    applyingMasterState = false;

    if (oapiGetSysTime() - lastReportTime > kStatisticsInterval) endStatisticsInterval();
}

// ---- Receive loop ----

u_long Helmecho::pendingBytes() const {
    u_long pending = 0;
    if (ioctlsocket(sock, FIONREAD, &pending) != 0) return 0;
    return pending;
}

void Helmecho::ReceiveUpdate() {
    for (;;) {
        u_long pending = pendingBytes();
        if (!waitForMaster && pending == 0) return;
        for (int sleeps = 0; pending == 0; ++sleeps) {
            if (sleeps == kMaxWaitSleeps) {
                if (debug) LOG("ReceiveMessage() timed out");
                return;
            }
            Sleep(1);
            pending = pendingBytes();
        }

        std::unique_ptr<Message> message(ReceiveMessage(sock));
        if (!message) {
            LOG("ReceiveMessage() error");
            return;
        }
        countSequence(message->seq());
        const bool endOfUpdate = message->type() == wire::kEnd;
        dispatch(*message);
        message.reset();

        if (endOfUpdate) {
            AckMessage ack;
            SendToMaster(sock, masterAddr, ack);
            return;
        }
    }
}

void Helmecho::countSequence(int32_t seq) {
    if (firstSeq == -1) {
        firstSeq = seq;
        lastSeq = seq;
        return;
    }
    // A repeated or older number adds a negative amount.
    lostCount = WrappingAdd(lostCount, WrappingSub(WrappingSub(seq, lastSeq), 1));
    lastSeq = seq;
}

void Helmecho::dispatch(Message& message) {
    switch (message.type()) {
        case wire::kStart:
            synchroniseTime(static_cast<StartMessage&>(message));
            break;
        case wire::kEnd:
            ++updateCount;
            applyBacklogRule();
            break;
        case wire::kVessel:
            applyVessel(static_cast<VesselMessage&>(message));
            break;
        case wire::kVessel2:
            applyVessel2(static_cast<Vessel2Message&>(message));
            break;
        case wire::kAirfoil:
            ApplyAirfoil(static_cast<AirfoilMessage&>(message));
            break;
        case wire::kXR:
            ApplyXR(static_cast<XRMessage&>(message));
            break;
        case wire::kFocus:
            applyFocus(static_cast<FocusMessage&>(message));
            break;
        case wire::kVesselState:
            applyScenarioText(static_cast<VesselStateMessage&>(message));
            break;
        case wire::kKeyboard:
            ReplayKeys(static_cast<KeyboardMessage&>(message));
            break;
        case wire::kVesselExtra:
            ApplyVesselExtra(static_cast<VesselExtraMessage&>(message));
            break;
        case wire::kAnimation:
            applyAnimation(static_cast<AnimationMessage&>(message));
            break;
        default:  // Hello, Ack: counted, nothing more
            break;
    }
}

void Helmecho::synchroniseTime(const StartMessage& start) {
    const wire::StartRecord& r = start.record();
    // Received dates are checked on receipt; a non-finite one must still
    // never reach the clock or the statistics.
    if (std::isfinite(r.mjd)) {
        const double offset = (r.mjd - oapiGetSimMJD()) * kSecondsPerDay;
        delaySquareSum += offset * offset;
        delaySum += offset;
        if (std::fabs(offset) > kMaxDateOffset) {
            if (debug) LOG("MJD sync delta=%g s", offset);
            oapiSetSimMJD(r.mjd, kKeepSurfaceState);
        }
    }
    if (std::isfinite(r.timeAccel)) oapiSetTimeAcceleration(r.timeAccel);
}

void Helmecho::applyBacklogRule() {
    const u_long measured = pendingBytes();
    if (measured == 0) return;
    const int32_t backlog = measured > static_cast<u_long>(INT32_MAX) ? INT32_MAX : static_cast<int32_t>(measured);
    if (backlog > prevBacklog) {
        // Every queued datagram holds at least one byte, so the measured
        // bytes bound the discards even if the master keeps sending.
        for (int32_t discarded = 0; discarded < backlog && pendingBytes() != 0; ++discarded) {
            delete ReceiveMessage(sock);
            ++droppedCount;
        }
    }
    prevBacklog = backlog;
}

void Helmecho::applyVessel(VesselMessage& message) {
    wire::VesselRecord& r = message.record();
    OBJHANDLE handle = oapiGetVesselByName(r.vesselName);
    if (handle == nullptr) {
        oapiCreateVessel(r.vesselName, r.className, message.status);
        return;
    }
    VESSEL* vessel = oapiGetVesselInterface(handle);
    if (vessel != nullptr) vessel->DefSetState(&message.status);
}

void Helmecho::applyVessel2(Vessel2Message& message) {
    wire::Vessel2Record& r = message.record();
    OBJHANDLE handle = oapiGetVesselByName(r.vesselName);
    if (handle == nullptr) {
        oapiCreateVesselEx(r.vesselName, r.className, &message.status2);
        return;
    }
    VESSEL* vessel = oapiGetVesselInterface(handle);
    if (vessel != nullptr) vessel->DefSetStateEx(&message.status2);
}

void Helmecho::applyFocus(FocusMessage& message) {
    if (!switchFocus) return;
    OBJHANDLE handle = oapiGetVesselByName(message.record().vesselName);
    if (handle != nullptr) oapiSetFocusObject(handle);
}

void Helmecho::applyAnimation(AnimationMessage& message) {
    wire::AnimationRecord& r = message.record();
    OBJHANDLE handle = oapiGetVesselByName(r.vesselName);
    if (handle == nullptr) return;
    VESSEL* vessel = oapiGetVesselInterface(handle);
    if (vessel == nullptr) return;
    // The record holds 16 states whatever its count says.
    const int32_t count = wire::CutCount(r.animCount, wire::kMaxAnimations);
    for (int32_t i = 0; i < count; ++i) vessel->SetAnimation(static_cast<UINT>(i), r.animStates[i]);
}

void Helmecho::applyScenarioText(VesselStateMessage& message) {
    switch (ApplyVesselState(message)) {
        case TextApplication::kFileUnavailable:
            if (!textFileReported) {
                LOG("cannot write or open the temporary scenario file: scenario text of %s not applied",
                    message.record().vesselName);
            }
            textFileReported = true;
            break;
        case TextApplication::kApplied:
            textFileReported = false;
            break;
        case TextApplication::kNotApplicable:
            break;
    }
}

// ---- Statistics ----

void Helmecho::endStatisticsInterval() {
    HelloMessage hello;
    SendToMaster(sock, masterAddr, hello);
    if (debug) logStatistics();

    firstSeq = -1;
    lostCount = 0;
    droppedCount = 0;
    updateCount = 0;
    delaySum = 0.0;
    delaySquareSum = 0.0;
    lastReportTime = oapiGetSysTime();
}

void Helmecho::logStatistics() {
    const LinkStatistics s = ComputeLinkStatistics(firstSeq, lastSeq, lostCount, droppedCount, updateCount, delaySum,
                                                   delaySquareSum);
    LOG("Pkts: %d lost: %d (%4.1f %%) dropped: %d (%4.1f %%) %d upd/sec mean_delay=%4.1f ms jitter=%4.1f ms rms",
        s.packets, lostCount, s.lostPercent, droppedCount, s.droppedPercent, updateCount, s.meanDelayMs, s.jitterMs);
}
