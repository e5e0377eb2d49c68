#include "Helmcast.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>

#include "ClientTable.h"
#include "ClientTakeIn.h"
#include "ConfigFile.h"
#include "Log.h"
#include "Message.h"
#include "ReportLine.h"
#include "UdpSocket.h"
#include "VesselCapture.h"
#include "WireCodec.h"

namespace {

constexpr double kSaveInterval = 10.0;
constexpr int kMaxAckWaits = 30;
constexpr size_t kStatusLineSize = 256;
constexpr int kClassListCapacity = 1024;

}  // namespace

// ---- Entry points ----

DLLCLBK void InitModule(HINSTANCE instance) {
    OpenLog(kMasterLogFile);
    oapiRegisterModule(new Helmcast(instance));
}

DLLCLBK void ExitModule(HINSTANCE) { CloseLog(); }

DLLCLBK const char* ModuleDate() { return "Sep 15 2014"; }

// Vessels offering the XR interface export this flag; the module carries it
// as every XR-aware plug-in does, and never reads it.
HELM_EXPORT const bool XRVesselCtrlFlag = true;

// ---- Module object ----

Helmcast::Helmcast(HINSTANCE instance) : oapi::Module(instance) {}

Helmcast::~Helmcast() { CloseSocket(); }

void Helmcast::clbkPreStep(double, double, double) {}

std::vector<std::string> SplitClassList(const char* value) {
    std::vector<std::string> names;
    const char* p = value;
    while (*p != '\0') {
        while (*p == ' ' || *p == '\t' || *p == ',') ++p;
        const char* start = p;
        while (*p != '\0' && *p != ' ' && *p != '\t' && *p != ',') ++p;
        if (p > start) names.emplace_back(start, p);
    }
    return names;
}

void Helmcast::ReadConfiguration() {
    ConfigFile config(kMasterConfigFile);
    settings = MasterSettings();
    // Read in this order; "debug" first, so its own line shows only when set.
    const ConfigKey keys[] = {
        IntKey("debug", settings.debug),
        IntKey("waitForClients", settings.waitForClients),
        IntKey("waitForACK", settings.waitForACK),
        IntKey("maxUpdateRate", settings.maxUpdateRate),
        IntKey("masterPort", settings.masterPort),
        IntKey("readOnly", settings.readOnly),
        IntKey("maxClients", settings.maxClients),
        IntKey("maxClientsPerAddress", settings.maxClientsPerAddress),
        TextKey("allowedClients", settings.allowedClients),
    };
    for (const ConfigKey& key : keys) {
        config.Read(key);
        if (settings.debug) LOG("Config: %s", ConfigFile::Echo(key).c_str());
    }
    if (settings.maxClients < 1) {
        LOG("Config: maxClients=%d admits no client, using %d", settings.maxClients,
            MasterSettings::kDefaultMaxClients);
        settings.maxClients = MasterSettings::kDefaultMaxClients;
    }
    if (settings.maxClientsPerAddress < 1) {
        LOG("Config: maxClientsPerAddress=%d admits no client, using %d", settings.maxClientsPerAddress,
            ClientRules::kDefaultMaxClientsPerAddress);
        settings.maxClientsPerAddress = ClientRules::kDefaultMaxClientsPerAddress;
    }
    ClientRules rules;
    rules.maxClients = settings.maxClients;
    rules.maxClientsPerAddress = settings.maxClientsPerAddress;
    rules.allowed = AllowList(settings.allowedClients);
    for (const std::string& entry : rules.allowed.Unusable())
        LOG("Config: allowedClients entry \"%s\" is neither an address, a prefix (a.b.c.d/n) nor a range (a-b); "
            "it admits nobody",
            entry.c_str());
    if (!rules.allowed.Empty() && rules.allowed.Entries().empty())
        LOG("Config: allowedClients has no usable entry: no client is admitted");
    // Clients of an earlier run of this process stay (as do their numbers).
    if (clients.Clients().empty()) clients = ClientTable(rules);

    char value[kClassListCapacity] = {};
    if (config.Text("textSyncClasses", value, sizeof value)) {
        if (settings.debug) LOG("Config: textSyncClasses=%s", value);
        for (const std::string& name : SplitClassList(value)) {
            if (settings.debug) LOG("Config: using text sync for vessel class %s", name.c_str());
            textSyncClasses.push_back(name);
        }
    }

    // Mistakes are told whatever settings.debug says: a silent typo costs an evening.
    for (const std::string& problem : config.Problems()) LOG("%s", problem.c_str());
}

bool Helmcast::OpenSocket(int masterPort) {
    // Only the low 16 bits of the configured port count.
    const SocketSetup setup = udp.Open(static_cast<uint16_t>(masterPort), true);
    if (setup.failed == SocketStep::kDone) return true;
    LOG(SocketStepFormat(setup.failed), setup.error);
    if (setup.failed == SocketStep::kBind && setup.error == WSAEADDRINUSE)
        LOG("UDP port %d is in use by another program (another master?): nothing is sent until a later simulation "
            "start finds it free",
            static_cast<int>(static_cast<uint16_t>(masterPort)));
    return false;
}

void Helmcast::CloseSocket() { udp.Close(); }

void Helmcast::InitServer() {
    serverReady = false;
    ReadConfiguration();

    // A failed attempt leaves no socket behind to hold the port or leak.
    CloseSocket();
    if (!OpenSocket(settings.masterPort)) {
        CloseSocket();
        return;
    }
    if (settings.debug) LOG("UDP server created");
    serverReady = true;
}

void Helmcast::SaveScenario() { oapiSaveScenario(kSyncScenarioName, ""); }

void Helmcast::clbkSimulationStart(RenderMode) {
    if (!serverReady) InitServer();
    SaveScenario();
    lastSaveTime = oapiGetSysTime();
    lastUpdateTime = oapiGetSysTime();
    if (settings.debug) {
        for (DWORD i = 0; i < oapiGetVesselCount(); ++i) {
            VESSEL* vessel = oapiGetVesselInterface(oapiGetVesselByIndex(static_cast<int>(i)));
            if (vessel == nullptr) continue;
            LOG("Vessel #%d: name=%s class=%s", static_cast<int>(i), vessel->GetName(), vessel->GetClassNameA());
        }
    }
    sharedKeyboard.Install(kMasterModuleFile);
}

void Helmcast::clbkSimulationEnd() { sharedKeyboard.Remove(); }

void Helmcast::clbkPostStep(double, double, double) {
    if (!serverReady) return;

    if (oapiGetSysTime() - lastSaveTime > kSaveInterval) {
        SaveScenario();
        lastSaveTime = oapiGetSysTime();
    }

    // A rate of 0 never updates; a negative rate updates at every step.
    const double interval = settings.maxUpdateRate == 0 ? std::numeric_limits<double>::infinity()
                                                        : 1.0 / static_cast<double>(settings.maxUpdateRate);
    const double now = oapiGetSysTime();
    if (!(now - lastUpdateTime > interval)) {
        // Between updates too: a newcomer's Hello is answered by the next
        // update's end, and its Ack confirms it for the update after that.
        Drain();
        ReportRejections();
        return;
    }
    lastUpdateTime = now;
    RunUpdate();
}

void Helmcast::RunUpdate() {
    // Clients confirmed since the last update get this one whole.
    clients.Join();
    StartMessage start;
    start.record().mjd = oapiGetSimMJD();
    start.record().simStep = oapiGetSimStep();
    start.record().timeAccel = oapiGetTimeAcceleration();
    SendToClients(udp, clients.Receivers(), start);

    FocusMessage focus;
    VESSEL* focusVessel = oapiGetFocusInterface();
    wire::CopyName(focus.record().vesselName, focusVessel != nullptr ? focusVessel->GetName() : "");
    SendToClients(udp, clients.Receivers(), focus);

    SendToClients(udp, clients.Receivers(), sharedKeyboard.Recorded());
    sharedKeyboard.Sent();

    // The count is read again after each vessel: a vessel's callbacks may add some.
    for (int i = 0; i < static_cast<int>(oapiGetVesselCount()); ++i) SendVessel(oapiGetVesselByIndex(i));

    // The end also answers the Hellos of addresses not yet confirmed: one
    // datagram the size of their Hello, the same bytes as every client's.
    EndMessage end;
    SendToClients(udp, clients.Receivers(), clients.TakeAnswers(), end);

    // The clients of this update are awaited; those confirmed during its
    // receive phase are not.
    clients.EndSent(oapiGetSysTime());
    ReceivePhase();
    ShowStatus();
    DropSilentClients();
}

void Helmcast::SendVessel(OBJHANDLE handle) {
    VESSEL* iface = oapiGetVesselInterface(handle);
    if (iface == nullptr) return;

    Message* dynamicState = stateCapture.Capture(handle);
    if (dynamicState != nullptr) {
        SendToClients(udp, clients.Receivers(), *dynamicState);
    } else if (unsupportedVersionReported.insert(iface->GetName()).second) {
        LOG("vessel %s: unsupported vessel interface version %d", iface->GetName(),
            static_cast<short>(iface->Version()));
    }

    VesselExtraMessage extra(handle);
    SendToClients(udp, clients.Receivers(), extra);

    if (WantsScenarioText(*iface)) SendScenarioText(handle, *iface);

    AirfoilMessage airfoil(handle);
    SendToClients(udp, clients.Receivers(), airfoil);

    AnimationMessage animation(handle);
    SendToClients(udp, clients.Receivers(), animation);

    XRMessage xr(handle);
    if (xr.xrValid) SendToClients(udp, clients.Receivers(), xr);
}

bool Helmcast::WantsScenarioText(VESSEL& iface) const {
    const char* className = iface.GetClassNameA();
    if (className == nullptr) return false;
    const bool listed = std::any_of(textSyncClasses.begin(), textSyncClasses.end(),
                                    [&](const std::string& name) { return _stricmp(name.c_str(), className) == 0; });
    return listed && static_cast<short>(iface.Version()) >= 2;
}

void Helmcast::SendScenarioText(OBJHANDLE handle, VESSEL& iface) {
    // 64 KiB: made at the first vessel with text, then refilled.
    if (!textCapture) textCapture.reset(new VesselStateMessage);
    VesselStateMessage* text = textCapture.get();
    text->Capture(handle);
    switch (text->capture) {
        case VesselStateMessage::TextCapture::kDone:
            textFileReported = false;
            SendToClients(udp, clients.Receivers(), *text);
            break;
        case VesselStateMessage::TextCapture::kTooLong:
            if (oversizedTextReported.insert(iface.GetName()).second) {
                LOG("vessel %s: scenario text of %zu bytes does not fit a datagram, not sent", iface.GetName(),
                    text->textBytes);
            }
            break;
        case VesselStateMessage::TextCapture::kFileUnavailable:
            if (!textFileReported) LOG("cannot open VELSYNC_m: no scenario text sent");
            textFileReported = true;
            break;
        case VesselStateMessage::TextCapture::kNoText:
            break;
    }
}

void Helmcast::ReceivePhase() {
    for (int waits = 0;;) {
        Drain();
        if (settings.waitForClients && clients.Clients().empty()) oapiSetPause(true);
        if (!settings.waitForACK || !AnyAwaited() || AllAcknowledged()) break;
        Sleep(1);
        if (++waits >= kMaxAckWaits) break;
    }
    ReportRejections();
}

bool Helmcast::AnyAwaited() const {
    const auto& all = clients.Clients();
    return std::any_of(all.begin(), all.end(), [](const ClientTable::Client& client) {
        return client.acksThisUpdate != ClientTable::kNotAwaited;
    });
}

bool Helmcast::AllAcknowledged() const {
    const auto& all = clients.Clients();
    return std::all_of(all.begin(), all.end(), [](const ClientTable::Client& client) {
        return client.acksThisUpdate == ClientTable::kNotAwaited || client.acksThisUpdate >= 1;
    });
}

void Helmcast::Drain() {
    // What is queued now, within the socket's bounds: a flood arriving
    // meanwhile cannot hold the step.
    ReceiveQueued(udp);
    // One reading of the host's clock for the whole drain.
    const double now = oapiGetSysTime();
    while (const UdpSocket::Datagram* datagram = udp.Next()) Take(*datagram, now);
    LogDepartures();
}

void Helmcast::Take(const UdpSocket::Datagram& datagram, double now) {
    const sockaddr_in& from = datagram.from;
    const ClientTakeIn::Outcome taken = ClientTakeIn::Screen(datagram.bytes, datagram.length);
    const Endpoint sender = EndpointOf(from);
    switch (taken.verdict) {
        case ClientTakeIn::Verdict::kHello:
            // A client's Hello changes nothing; anyone else's is answered with
            // the next update's end.
            if (clients.Hello(sender, now) == ClientTable::HelloVerdict::kNotAllowed)
                notAllowed.Count(from.sin_addr.s_addr, from.sin_port);
            return;
        case ClientTakeIn::Verdict::kAck:
            switch (clients.Ack(sender, now)) {
                case ClientTable::AckVerdict::kConfirmed:
                    Confirmed(sender, now);
                    break;
                case ClientTable::AckVerdict::kRefused:
                    refused.Count(from.sin_addr.s_addr, from.sin_port);
                    break;
                case ClientTable::AckVerdict::kCounted:
                case ClientTable::AckVerdict::kStranger:
                    break;
            }
            return;
        case ClientTakeIn::Verdict::kKeys:
            // Keys act on the simulation: only a confirmed client's count.
            if (!clients.IsClient(sender)) {
                if (taken.keyEvents > 0) strangerKeys.Count(from.sin_addr.s_addr, from.sin_port, "keys");
                return;
            }
            if (settings.readOnly != 0) return;
            break;
        case ClientTakeIn::Verdict::kNotMessage:
            // Told, with an unknown type's own line, where messages are built.
            break;
        case ClientTakeIn::Verdict::kNotForMaster:
            return;
    }
    Rejection why = taken.rejection;
    Message* message = received.Build(datagram.bytes, datagram.length, why);
    if (message == nullptr) {
        // Read past it: one bad datagram must not keep the good ones waiting.
        rejected.Count(from.sin_addr.s_addr, from.sin_port, RejectionText(why));
        return;
    }
    sharedKeyboard.Replay(static_cast<KeyboardMessage&>(*message));
}

void Helmcast::Confirmed(const Endpoint& from, double now) {
    if (!settings.debug || !ClientLineAllowed(from, "subscribed", now)) return;
    const sockaddr_in address = AddressOf(from);
    LOG("Client %s:%d subscribed", inet_ntoa(address.sin_addr), ntohs(address.sin_port));
}

bool Helmcast::ClientLineAllowed(const Endpoint& about, const char* what, double now) {
    if (clientLines.Take(now)) return true;
    clientLinesHeld.Count(about.address, about.port, what);
    return false;
}

void Helmcast::LogDepartures() {
    const std::vector<ClientTable::Departure> departures = clients.TakeDepartures();
    if (departures.empty() || !settings.debug) return;
    const double now = oapiGetSysTime();
    for (const ClientTable::Departure& left : departures) {
        switch (left.why) {
            case ClientTable::Leaving::kSilent:
                if (ClientLineAllowed(left.client.endpoint, "timed out", now))
                    LOG("Client #%d timed out", static_cast<int>(left.position));
                break;
            case ClientTable::Leaving::kFewAcks:
                if (ClientLineAllowed(left.client.endpoint, "too few acknowledgements", now))
                    LOG("Client %s acknowledges too few updates: unconfirmed until it answers again",
                        EndpointText(left.client.endpoint).c_str());
                break;
            case ClientTable::Leaving::kDisplaced:
                if (ClientLineAllowed(left.client.endpoint, "displaced", now))
                    LOG("Client %s acknowledges too few updates: its place goes to a newcomer",
                        EndpointText(left.client.endpoint).c_str());
                break;
        }
    }
}

void Helmcast::ReportRejections() {
    const double now = oapiGetSysTime();
    LOG_REPORT_IF_DUE(rejected, now, "Ignored datagrams that are no message");
    LOG_REPORT_IF_DUE(notAllowed, now, "Ignored Hellos from addresses that allowedClients does not admit");
    LOG_REPORT_IF_DUE(strangerKeys, now, "Ignored keys from senders that are no client");
    LOG_REPORT_IF_DUE(clientLinesHeld, now, "Client lines not written one by one");
    if (!refused.Due(now)) return;
    char what[128];
    std::snprintf(what, sizeof what,
                  "Refused subscriptions, the client table is full (maxClients=%d, maxClientsPerAddress=%d)",
                  settings.maxClients, settings.maxClientsPerAddress);
    LOG_REPORT_IF_DUE(refused, now, what);
}

void Helmcast::ShowStatus() const {
    // The line is shown only with debug; without it, it is not built either.
    if (!settings.debug) return;
    char line[kStatusLineSize];
    if (!AnyAwaited()) {
        std::snprintf(line, sizeof line, "NO CLIENTS");
    } else {
        size_t used = static_cast<size_t>(std::snprintf(line, sizeof line, "CLIENTS:"));
        // The awaited clients are the first ones: later confirmations are appended.
        for (const ClientTable::Client& client : clients.Clients()) {
            if (client.acksThisUpdate == ClientTable::kNotAwaited) break;
            const sockaddr_in address = AddressOf(client.endpoint);
            char entry[64];
            const int length =
                std::snprintf(entry, sizeof entry, " %15s:%5d", inet_ntoa(address.sin_addr), ntohs(address.sin_port));
            // Stop before an entry that would not fit.
            if (length < 0 || used + static_cast<size_t>(length) >= sizeof line) break;
            std::memcpy(line + used, entry, static_cast<size_t>(length) + 1);
            used += static_cast<size_t>(length);
        }
    }
    char* debugString = oapiDebugString();
    if (debugString != nullptr) std::snprintf(debugString, kStatusLineSize, "%s", line);
}

void Helmcast::DropSilentClients() {
    clients.DropSilent(oapiGetSysTime());
    LogDepartures();
}
