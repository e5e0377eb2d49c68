#include "Helmecho.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "HookVessel.h"
#include "ConfigFile.h"
#include "DateFollower.h"
#include "LinkStatistics.h"
#include "Log.h"
#include "ProtocolConstants.h"
#include "Message.h"
#include "ReportLine.h"
#include "UdpSocket.h"
#include "VesselApply.h"
#include "WireCheck.h"
#include "WireName.h"

namespace {

constexpr double kPi = 3.141592653589793;
using protocol::kSecondsPerDay;
// Propagation modes for the date change. A far jump (a start, the master's
// own jump): orbital and suborbital vessels both keep their state fixed
// relative to the surface. A small correction: vessels move along their
// orbits by it, so that a vessel whose next state is late is still where
// the new date has it, not a correction's worth of its path away.
constexpr int kKeepSurfaceState = 0x22;
constexpr int kAlongOrbits = 0x00;
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
    oapiRegisterModule(new (std::nothrow) Helmecho(instance));
}

DLLCLBK void ExitModule(HINSTANCE) { CloseLog(); }

DLLCLBK const char* ModuleDate() { return "Sep 15 2014"; }

// Vessels offering the XR interface export this flag; the module carries it
// as every XR-aware plug-in does, and never reads it.
HELM_EXPORT const bool XRVesselCtrlFlag = true;

// ---- Construction ----

Helmecho::Helmecho(HINSTANCE instance) : oapi::Module(instance) {
    ReadConfiguration();

    // The master's address is known whatever becomes of the socket, so that
    // every later send has a defined target.
    std::memset(&masterAddr, 0, sizeof masterAddr);
    masterAddr.sin_family = AF_INET;
    // Only the low 16 bits of the configured port count.
    masterAddr.sin_port = htons(static_cast<uint16_t>(settings.masterPort));

    // Windows Sockets are started by the socket setup, which name lookups need.
    OpenSocket();
    ResolveMaster(settings.masterIP);
}

Helmecho::~Helmecho() = default;

void Helmecho::ReadConfiguration() {
    ConfigFile config(kSlaveConfigFile);
    // Read in this order; "debug" first, so its own line shows only when set.
    const ConfigKey keys[] = {
        IntKey("debug", settings.debug),
        TextKey("masterIP", settings.masterIP),
        IntKey("masterPort", settings.masterPort),
        IntKey("switchFocus", settings.switchFocus),
        IntKey("waitForMaster", settings.waitForMaster),
        IntKey("sendKeys", settings.sendKeys),
        FloatKey("elevation", settings.elevation),
        FloatKey("azimuth", settings.azimuth),
        IntKey("maxVessels", settings.maxVessels),
        IntKey("slewDate", settings.slewDate),
    };
    for (const ConfigKey& key : keys) {
        config.Read(key);
        if (settings.debug) LOG("Config: %s", ConfigFile::Echo(key).c_str());
    }

    if (settings.maxVessels < 0) {
        LOG("Config: maxVessels=%d is below 0, using %d", settings.maxVessels, SlaveSettings::kDefaultMaxVessels);
        settings.maxVessels = SlaveSettings::kDefaultMaxVessels;
    }
    mirrors.maxCreated = settings.maxVessels;

    // Mistakes are told whatever debug says: a silent typo costs an evening.
    for (const std::string& problem : config.Problems()) LOG("%s", problem.c_str());
}

void Helmecho::ResolveMaster(const char* masterIP) {
    // A dotted address as before; "255.255.255.255" is one too, though
    // inet_addr cannot tell it from a failure.
    masterAddr.sin_addr.s_addr = inet_addr(masterIP);
    if (masterAddr.sin_addr.s_addr != INADDR_NONE || std::strcmp(masterIP, "255.255.255.255") == 0) return;

    addrinfo hints;
    std::memset(&hints, 0, sizeof hints);
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* found = nullptr;
    if (masterIP[0] != '\0' && getaddrinfo(masterIP, nullptr, &hints, &found) == 0 && found != nullptr) {
        masterAddr.sin_addr = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr;
        freeaddrinfo(found);
        if (settings.debug) LOG("masterIP %s is %s", masterIP, inet_ntoa(masterAddr.sin_addr));
        return;
    }
    masterKnown = false;
    LOG("masterIP = %s: neither a dotted IPv4 address nor a host name with an IPv4 address; no subscription "
        "will be sent",
        masterIP);
}

void Helmecho::SendToMaster(Message& message) {
    if (masterKnown) ::SendToMaster(udp, masterAddr, message);
}

void Helmecho::OpenSocket() {
    const SocketSetup setup = udp.Open(0, false);  // the system chooses the port
    if (setup.failed != SocketStep::kDone) {
        LOG(SocketStepFormat(setup.failed), setup.error);
        return;
    }
    const sockaddr_in local = udp.LocalAddress();  // port 0: the system could not say
    if (settings.debug && local.sin_port != 0) {
        LOG("Bound to %s:%d", inet_ntoa(local.sin_addr), ntohs(local.sin_port));
    }
}

// ---- Simulation run ----

void Helmecho::clbkSimulationStart(RenderMode) {
    hookLogging = settings.debug != 0;
    InstallVesselHook();

    HelloMessage hello;
    SendToMaster(hello);

    if (settings.sendKeys) sharedKeyboard.Install(kSlaveModuleFile);

    oapiCameraSetCockpitDir(settings.azimuth * kPi / 180.0, settings.elevation * kPi / 180.0, false);
}

void Helmecho::clbkSimulationEnd() {
    RemoveVesselHook();
    sharedKeyboard.Remove();
}

void Helmecho::clbkPreStep(double, double, double) {}

void Helmecho::clbkPostStep(double, double, double) {
    if (settings.sendKeys) {
        SendToMaster(sharedKeyboard.Recorded());
        sharedKeyboard.Sent();
    }

    applyingMasterState = true;
    ReceiveUpdate();
    applyingMasterState = false;
    ReportSkipped();

    // The statistics interval is the subscription's: a Hello renews it at its end.
    if (subscription.HelloDue(oapiGetSysTime())) EndStatisticsInterval();
}

// ---- Receive loop ----

void Helmecho::ReceiveUpdate() {
    // Without waiting, the step reads only what is queued now (within the
    // socket's bounds), so a flood arriving meanwhile cannot hold it. While
    // waiting for the master, the datagrams it skips are bounded the same way.
    const double previousStep = stepTime;
    stepTime = oapiGetSysTime();
    // A step longer than a second is a pause or a stall, not a step to wait through.
    stepInterval = stepTime > previousStep && stepTime - previousStep < 1.0 ? stepTime - previousStep : 0.0;
    if (!ReceiveQueued(udp)) LOG("ReceiveMessage() error");
    size_t skipped = 0;
    while (const UdpSocket::Datagram* datagram = NextDatagram()) {
        Message* message = Admit(*datagram);
        if (message == nullptr) {
            if (++skipped >= UdpSocket::kMaxHeldDatagrams) return;
            continue;
        }
        const bool endOfUpdate = message->type() == wire::kEnd;
        Dispatch(*message);

        if (endOfUpdate) {
            AckMessage ack;
            SendToMaster(ack);
            return;
        }
    }
}

const UdpSocket::Datagram* Helmecho::NextDatagram() {
    const UdpSocket::Datagram* datagram = udp.Next();
    if (datagram != nullptr || !settings.waitForMaster) return datagram;
    for (int sleeps = 0; sleeps < kMaxWaitSleeps; ++sleeps) {
        Sleep(1);
        if (!ReceiveQueued(udp)) {
            LOG("ReceiveMessage() error");
            return nullptr;
        }
        if ((datagram = udp.Next()) != nullptr) return datagram;
    }
    if (settings.debug) LOG("ReceiveMessage() timed out");
    return nullptr;
}

bool Helmecho::FromMaster(const sockaddr_in& from) const {
    return from.sin_addr.s_addr == masterAddr.sin_addr.s_addr && from.sin_port == masterAddr.sin_port;
}

Message* Helmecho::Admit(const UdpSocket::Datagram& datagram, bool onlyKeys) {
    // Sender, bytes and number are judged before anything is built: a
    // stranger's datagram is not even read, and a copy or a late datagram
    // costs no decoding.
    const sockaddr_in& from = datagram.from;
    const MasterTakeIn::Outcome taken =
        takeIn.Admit(EndpointOf(masterAddr), EndpointOf(from), datagram.bytes, datagram.length, stepTime);
    if (taken.restarted) RestartNumbering();
    Rejection why = Rejection::kNone;
    switch (taken.verdict) {
        case MasterTakeIn::Verdict::kForeign:
            foreign.Count(from.sin_addr.s_addr, from.sin_port);
            return nullptr;
        case MasterTakeIn::Verdict::kNotMessage:
            // Told, with an unknown type's own line, where messages are built.
            why = taken.rejection;
            break;
        case MasterTakeIn::Verdict::kDuplicate:
            ++link.duplicateCount;
            return nullptr;
        case MasterTakeIn::Verdict::kTooOld:
            ++link.staleCount;
            return nullptr;
        case MasterTakeIn::Verdict::kLate:
            // It arrived, only too late to apply: not lost.
            CountSequence(taken);
            ++link.staleCount;
            return nullptr;
        case MasterTakeIn::Verdict::kFresh:
            // Every number taken counts once, also one that a backlog
            // discard takes: the loss figure tells what the link lost.
            CountSequence(taken);
            if (onlyKeys && wire::TypeOf(datagram.bytes, datagram.length) != wire::kKeyboard) return nullptr;
            break;
    }
    Message* message = received.Build(datagram.bytes, datagram.length, why);
    if (message == nullptr) rejected.Count(from.sin_addr.s_addr, from.sin_port, RejectionText(why));
    return message;
}

void Helmecho::RestartNumbering() {
    if (settings.debug) LOG("The master's numbering starts afresh");
    keyOrder.Reset();
    slew.Reset();
    link.firstSeq = -1;
}

void Helmecho::CountSequence(const MasterTakeIn::Outcome& taken) {
    const int32_t seq = taken.seq;
    if (link.firstSeq == -1) {
        link.firstSeq = seq;
        link.lastSeq = seq;
        return;
    }
    if (SequenceAfter(seq, link.lastSeq)) {
        link.lostCount = WrappingAdd(link.lostCount, WrappingSub(WrappingSub(seq, link.lastSeq), 1));
        link.lastSeq = seq;
    } else if (taken.fillsGap && link.lostCount > 0) {
        // A late message fills a gap that was counted as lost.
        --link.lostCount;
    }
}

void Helmecho::ReportSkipped() {
    const double now = oapiGetSysTime();
    LOG_REPORT_IF_DUE(foreign, now, "Ignored datagrams from a sender that is not the master");
    LOG_REPORT_IF_DUE(rejected, now, "Ignored datagrams of the master that are no message");
    LOG_REPORT_IF_DUE(badValues, now, "Messages not applied, their values cannot be applied here");
    if (tooManyVessels.Due(now)) {
        char what[96];
        std::snprintf(what, sizeof what, "Vessels not created, this slave made maxVessels=%d already",
                      settings.maxVessels);
        LOG_REPORT_IF_DUE(tooManyVessels, now, what);
    }
    LOG_REPORT_IF_DUE(unsafeClasses, now, "Vessels not created, their class names are no safe file names");
}

void Helmecho::Dispatch(Message& message) {
    switch (message.type()) {
        case wire::kStart:
            SynchroniseTime(static_cast<StartMessage&>(message));
            break;
        case wire::kEnd:
            ++link.updateCount;
            ApplyBacklogRule();
            break;
        case wire::kVessel: {
            auto& vessel = static_cast<VesselMessage&>(message);
            if (CapturedNearOurDate(vessel.record().mjd))
                Mirrored(ApplyVessel(vessel, mirrors), vessel.record().vesselName, vessel.record().className);
            break;
        }
        case wire::kVessel2: {
            auto& vessel = static_cast<Vessel2Message&>(message);
            if (CapturedNearOurDate(vessel.record().mjd))
                Mirrored(ApplyVessel2(vessel, mirrors), vessel.record().vesselName, vessel.record().className);
            break;
        }
        case wire::kAirfoil:
            ApplyAirfoil(static_cast<AirfoilMessage&>(message));
            break;
        case wire::kXR:
            ApplyXR(static_cast<XRMessage&>(message));
            break;
        case wire::kFocus:
            if (settings.switchFocus) ApplyFocus(static_cast<FocusMessage&>(message));
            break;
        case wire::kVesselState: {
            auto& text = static_cast<VesselStateMessage&>(message);
            if (CapturedNearOurDate(text.record().mjd)) ApplyScenarioText(text);
            break;
        }
        case wire::kKeyboard:
            sharedKeyboard.Replay(static_cast<KeyboardMessage&>(message), &keyOrder);
            break;
        case wire::kVesselExtra:
            ApplyVesselExtra(static_cast<VesselExtraMessage&>(message));
            break;
        case wire::kAnimation:
            ApplyAnimation(static_cast<AnimationMessage&>(message));
            break;
        default:  // Hello, Ack: counted, nothing more
            break;
    }
}

void Helmecho::Mirrored(MirrorOutcome outcome, const char* vesselName, const char* className) {
    switch (outcome) {
        case MirrorOutcome::kTooMany:
            tooManyVessels.Count(masterAddr.sin_addr.s_addr, masterAddr.sin_port, "maxVessels");
            break;
        case MirrorOutcome::kUnsafeClass:
            // Once per name, and for a bounded number of names: a flood of
            // names is counted instead.
            if (unsafeClassesReported.size() < kUnsafeClassLines && unsafeClassesReported.insert(className).second) {
                LOG("vessel %s: class name \"%s\" is no safe file name (folders, \"..\", drives or control "
                    "characters); not created",
                    wire::PrintableName(vesselName).c_str(), wire::PrintableName(className).c_str());
            } else {
                unsafeClasses.Count(masterAddr.sin_addr.s_addr, masterAddr.sin_port, "class name");
            }
            break;
        case MirrorOutcome::kSet:
        case MirrorOutcome::kCreated:
            break;
    }
}

bool Helmecho::CapturedNearOurDate(double capturedMjd) {
    // Admitted dates lie a finite number of seconds from ours.
    const double offset = (capturedMjd - oapiGetSimMJD()) * kSecondsPerDay;
    if (!DateFollower::BeyondCarry(offset, oapiGetTimeAcceleration())) return true;
    ++link.aheadCount;
    return false;
}

void Helmecho::SynchroniseTime(const StartMessage& start) {
    // Admitted dates lie a finite number of seconds from ours.
    const wire::StartRecord& r = start.record();
    const double offset = (r.mjd - oapiGetSimMJD()) * kSecondsPerDay;
    link.delaySquareSum += offset * offset;
    link.delaySum += offset;
    ++link.offsetCount;
    // The master's date moved on while the message waited for this step to
    // read it: half a step on average, none when the step waited for it.
    // (Transit on a LAN is far below a step; nothing on the wire measures it.)
    const double waited = settings.waitForMaster ? 0.0 : 0.5 * stepInterval;
    const double ahead = std::isfinite(r.timeAccel) ? r.timeAccel * waited : 0.0;
    const double estimate = offset + ahead;
    const double now = oapiGetSysTime();
    double remaining = estimate;
    if (dateFollower.Follow(now, estimate, r.timeAccel)) {
        if (settings.debug) LOG("MJD sync delta=%g s", estimate);
        oapiSetSimMJD(r.mjd + ahead / kSecondsPerDay,
                      DateFollower::FarOff(estimate, r.timeAccel) ? kKeepSurfaceState : kAlongOrbits);
        slew.DateMoved(estimate);
        remaining = 0.0;
    }
    oapiSetTimeAcceleration(settings.slewDate ? slew.Steer(now, remaining, r.timeAccel) : r.timeAccel);
}

void Helmecho::ApplyBacklogRule() {
    // What is queued now, in the socket's inbox: a real backlog whatever
    // the platform's FIONREAD would have counted.
    ReceiveQueued(udp);
    const size_t held = udp.Held();
    if (held == 0) return;
    const int32_t backlog = held > static_cast<size_t>(INT32_MAX) ? INT32_MAX : static_cast<int32_t>(held);
    if (backlog > prevBacklog) {
        // The inbox bounds the discards even if the master keeps sending.
        while (const UdpSocket::Datagram* datagram = udp.Next()) {
            if (FromMaster(datagram->from)) ++link.droppedCount;
            // States are replaced by the next update and are not built; keys
            // are events and are still replayed, in order, once.
            Message* message = Admit(*datagram, true);
            if (message != nullptr) sharedKeyboard.Replay(static_cast<KeyboardMessage&>(*message), &keyOrder);
        }
    }
    prevBacklog = backlog;
}

void Helmecho::ApplyScenarioText(VesselStateMessage& message) {
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
        case TextApplication::kBadValues:
            badValues.Count(masterAddr.sin_addr.s_addr, masterAddr.sin_port, "scenario text");
            break;
        case TextApplication::kNotApplicable:
            break;
    }
}

// ---- Statistics ----

void Helmecho::EndStatisticsInterval() {
    HelloMessage hello;
    SendToMaster(hello);
    if (settings.debug) LogStatistics();

    link.StartInterval();
    subscription.HelloSaid(oapiGetSysTime());
}

void Helmecho::LogStatistics() {
    const LinkStatistics s = ComputeLinkStatistics(link);
    LOG("Pkts: %d lost: %d (%4.1f %%) dropped: %d (%4.1f %%) %d upd/sec mean_delay=%4.1f ms jitter=%4.1f ms rms",
        s.packets, link.lostCount, s.lostPercent, link.droppedCount, s.droppedPercent, link.updateCount, s.meanDelayMs,
        s.jitterMs);
    // Only a link that duplicates or reorders has these to tell.
    if (link.duplicateCount != 0 || link.staleCount != 0 || link.aheadCount != 0)
        LOG("Not taken in: %d copies, %d of older updates, %d states of dates not yet ours", link.duplicateCount,
            link.staleCount, link.aheadCount);
}
