#include "Helmcast.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>

#include "ConfigFile.h"
#include "Log.h"
#include "Message.h"
#include "ReportLine.h"
#include "UdpSocket.h"
#include "VesselCapture.h"
#include "WireCodec.h"

namespace {

constexpr double kSaveInterval = 10.0;
constexpr double kClientTimeout = 3.0;
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

Helmcast::~Helmcast() { closeSocket(); }

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

void Helmcast::readConfiguration() {
    ConfigFile config(kMasterConfigFile);
    settings = MasterSettings();
    // Read in this order; "debug" first, so its own line shows only when set.
    const ConfigKey keys[] = {
        IntKey("debug", settings.debug),           IntKey("waitForClients", settings.waitForClients),
        IntKey("waitForACK", settings.waitForACK), IntKey("maxUpdateRate", settings.maxUpdateRate),
        IntKey("masterPort", settings.masterPort), IntKey("readOnly", settings.readOnly),
        IntKey("maxClients", settings.maxClients),
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

bool Helmcast::openSocket(int masterPort) {
    // Only the low 16 bits of the configured port count.
    const SocketSetup setup = udp.Open(static_cast<uint16_t>(masterPort), true);
    if (setup.failed == SocketStep::kDone) return true;
    LOG(SocketStepFormat(setup.failed), setup.error);
    return false;
}

void Helmcast::closeSocket() { udp.Close(); }

void Helmcast::initServer() {
    serverReady = false;
    readConfiguration();

    // A failed attempt leaves no socket behind to hold the port or leak.
    closeSocket();
    if (!openSocket(settings.masterPort)) {
        closeSocket();
        return;
    }
    if (settings.debug) LOG("UDP server created");
    serverReady = true;
}

void Helmcast::saveScenario() { oapiSaveScenario(kSyncScenarioName, ""); }

void Helmcast::clbkSimulationStart(RenderMode) {
    if (!serverReady) initServer();
    saveScenario();
    lastSaveTime = oapiGetSysTime();
    lastUpdateTime = oapiGetSysTime();
    if (settings.debug) {
        for (DWORD i = 0; i < oapiGetVesselCount(); ++i) {
            VESSEL* vessel = oapiGetVesselInterface(oapiGetVesselByIndex(static_cast<int>(i)));
            if (vessel == nullptr) continue;
            LOG("Vessel #%d: name=%s class=%s", static_cast<int>(i), vessel->GetName(), vessel->GetClassNameA());
        }
    }
    InstallKeyboardHook(kMasterModuleFile);
}

void Helmcast::clbkSimulationEnd() {
    UnhookWindowsHookEx(keyboardHook);
    keyboardHook = nullptr;
}

void Helmcast::clbkPostStep(double, double, double) {
    if (!serverReady) return;

    if (oapiGetSysTime() - lastSaveTime > kSaveInterval) {
        saveScenario();
        lastSaveTime = oapiGetSysTime();
    }

    // A rate of 0 never updates; a negative rate updates at every step.
    const double interval = settings.maxUpdateRate == 0 ? std::numeric_limits<double>::infinity()
                                                        : 1.0 / static_cast<double>(settings.maxUpdateRate);
    const double now = oapiGetSysTime();
    if (!(now - lastUpdateTime > interval)) return;
    lastUpdateTime = now;
    runUpdate();
}

void Helmcast::runUpdate() {
    StartMessage start;
    start.record().mjd = oapiGetSimMJD();
    start.record().simStep = oapiGetSimStep();
    start.record().timeAccel = oapiGetTimeAcceleration();
    SendToClients(udp.Handle(), clients, start);

    FocusMessage focus;
    VESSEL* focusVessel = oapiGetFocusInterface();
    wire::CopyName(focus.record().vesselName, focusVessel != nullptr ? focusVessel->GetName() : "");
    SendToClients(udp.Handle(), clients, focus);

    SendToClients(udp.Handle(), clients, outgoingKeys);
    ResetOutgoingKeys();

    // The count is read again after each vessel: a vessel's callbacks may add some.
    for (int i = 0; i < static_cast<int>(oapiGetVesselCount()); ++i) sendVessel(oapiGetVesselByIndex(i));

    EndMessage end;
    SendToClients(udp.Handle(), clients, end);

    // The clients of this update are awaited; those that subscribe during its
    // receive phase are not.
    for (Client& client : clients) client.acks = 0;
    receivePhase();
    showStatus();
    dropSilentClients();
}

void Helmcast::sendVessel(OBJHANDLE handle) {
    VESSEL* iface = oapiGetVesselInterface(handle);
    if (iface == nullptr) return;

    std::unique_ptr<Message> dynamicState(CaptureVesselMessage(handle));
    if (dynamicState) {
        SendToClients(udp.Handle(), clients, *dynamicState);
    } else if (unsupportedVersionReported.insert(iface->GetName()).second) {
        LOG("vessel %s: unsupported vessel interface version %d", iface->GetName(),
            static_cast<short>(iface->Version()));
    }

    VesselExtraMessage extra(handle);
    SendToClients(udp.Handle(), clients, extra);

    if (wantsScenarioText(*iface)) sendScenarioText(handle, *iface);

    AirfoilMessage airfoil(handle);
    SendToClients(udp.Handle(), clients, airfoil);

    AnimationMessage animation(handle);
    SendToClients(udp.Handle(), clients, animation);

    XRMessage xr(handle);
    if (xr.xrValid) SendToClients(udp.Handle(), clients, xr);
}

bool Helmcast::wantsScenarioText(VESSEL& iface) const {
    const char* className = iface.GetClassNameA();
    if (className == nullptr) return false;
    const bool listed = std::any_of(textSyncClasses.begin(), textSyncClasses.end(),
                                    [&](const std::string& name) { return _stricmp(name.c_str(), className) == 0; });
    return listed && static_cast<short>(iface.Version()) >= 2;
}

void Helmcast::sendScenarioText(OBJHANDLE handle, VESSEL& iface) {
    std::unique_ptr<VesselStateMessage> text(new VesselStateMessage(handle));
    switch (text->capture) {
        case VesselStateMessage::TextCapture::kDone:
            textFileReported = false;
            SendToClients(udp.Handle(), clients, *text);
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

void Helmcast::receivePhase() {
    for (int waits = 0;;) {
        drain();
        if (settings.waitForClients && clients.empty()) oapiSetPause(true);
        if (!settings.waitForACK || !anyAwaited() || allAcknowledged()) break;
        Sleep(1);
        if (++waits >= kMaxAckWaits) break;
    }
    reportRejections();
}

bool Helmcast::anyAwaited() const {
    return std::any_of(clients.begin(), clients.end(),
                       [](const Client& client) { return client.acks != Client::kNotAwaited; });
}

bool Helmcast::allAcknowledged() const {
    return std::all_of(clients.begin(), clients.end(),
                       [](const Client& client) { return client.acks == Client::kNotAwaited || client.acks >= 1; });
}

void Helmcast::drain() {
    // What is queued now, within the socket's bounds: a flood arriving
    // meanwhile cannot hold the step.
    ReceiveQueued(udp);
    while (const UdpSocket::Datagram* datagram = udp.Next()) {
        Rejection why = Rejection::kNone;
        std::unique_ptr<Message> message(CreateMessage(datagram->bytes, datagram->length, why));
        if (!message) {
            // Read past it: one bad datagram must not keep the good ones waiting.
            rejected.Count(datagram->from.sin_addr.s_addr, datagram->from.sin_port, RejectionText(why));
            continue;
        }
        dispatch(*message, datagram->from);
    }
}

void Helmcast::reportRejections() {
    const double now = oapiGetSysTime();
    LOG_REPORT_IF_DUE(rejected, now, "Ignored datagrams that are no message");
    if (!refused.Due(now)) return;
    char what[96];
    std::snprintf(what, sizeof what, "Refused subscriptions, the client table is full (maxClients=%d)",
                  settings.maxClients);
    LOG_REPORT_IF_DUE(refused, now, what);
}

int Helmcast::findClient(const sockaddr_in& address) const {
    for (size_t i = 0; i < clients.size(); ++i) {
        const sockaddr_in& known = clients[i].address;
        if (known.sin_addr.s_addr == address.sin_addr.s_addr && known.sin_port == address.sin_port)
            return static_cast<int>(i);
    }
    return -1;
}

void Helmcast::dispatch(Message& message, const sockaddr_in& from) {
    switch (message.type()) {
        case wire::kHello:
            if (findClient(from) < 0) subscribe(from);
            break;
        case wire::kAck: {
            const int position = findClient(from);
            if (position < 0) break;
            Client& client = clients[static_cast<size_t>(position)];
            if (client.acks != Client::kNotAwaited) ++client.acks;
            client.lastContact = oapiGetSysTime();
            break;
        }
        case wire::kKeyboard:
            if (settings.readOnly == 0) ReplayKeys(static_cast<KeyboardMessage&>(message));
            break;
        default:
            break;
    }
}

void Helmcast::subscribe(const sockaddr_in& from) {
    if (clients.size() >= static_cast<size_t>(settings.maxClients)) {
        refused.Count(from.sin_addr.s_addr, from.sin_port);
        return;
    }
    Client client;
    std::memset(&client.address, 0, sizeof client.address);
    client.address.sin_family = AF_INET;
    client.address.sin_port = from.sin_port;
    client.address.sin_addr = from.sin_addr;
    client.lastContact = oapiGetSysTime();
    client.acks = Client::kNotAwaited;
    clients.push_back(client);
    if (settings.debug) LOG("Client %s:%d subscribed", inet_ntoa(from.sin_addr), ntohs(from.sin_port));
}

void Helmcast::showStatus() const {
    // The line is shown only with debug; without it, it is not built either.
    if (!settings.debug) return;
    char line[kStatusLineSize];
    if (!anyAwaited()) {
        std::snprintf(line, sizeof line, "NO CLIENTS");
    } else {
        size_t used = static_cast<size_t>(std::snprintf(line, sizeof line, "CLIENTS:"));
        // The awaited clients are the first ones: later subscriptions are appended.
        for (const Client& client : clients) {
            if (client.acks == Client::kNotAwaited) break;
            char entry[64];
            const int length = std::snprintf(entry, sizeof entry, " %15s:%5d", inet_ntoa(client.address.sin_addr),
                                             ntohs(client.address.sin_port));
            // Stop before an entry that would not fit.
            if (length < 0 || used + static_cast<size_t>(length) >= sizeof line) break;
            std::memcpy(line + used, entry, static_cast<size_t>(length) + 1);
            used += static_cast<size_t>(length);
        }
    }
    char* debugString = oapiDebugString();
    if (debugString != nullptr) std::snprintf(debugString, kStatusLineSize, "%s", line);
}

void Helmcast::dropSilentClients() {
    for (size_t position = 0; position < clients.size();) {
        if (oapiGetSysTime() - clients[position].lastContact > kClientTimeout) {
            if (settings.debug) LOG("Client #%d timed out", static_cast<int>(position));
            clients.erase(clients.begin() + static_cast<std::ptrdiff_t>(position));
        } else {
            ++position;
        }
    }
}
