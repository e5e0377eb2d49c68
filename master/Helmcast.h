// The master module: publishes every vessel of its simulation to the
// subscribed slaves.
#pragma once

#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "ClientTable.h"
#include "Message.h"
#include "Platform.h"
#include "ThrottledReport.h"
#include "UdpSocket.h"
#include "VesselCapture.h"

// Helmcast.cfg, with each key's default.
struct MasterSettings {
    static constexpr int32_t kDefaultMaxClients = ClientRules::kDefaultMaxClients;
    int32_t debug = 0;
    int32_t waitForClients = 0;
    int32_t waitForACK = 0;
    int32_t maxUpdateRate = 30;  // updates per second of host system time
    int32_t masterPort = kDefaultMasterPort;
    int32_t readOnly = 0;
    // Clients beyond this are refused: a stranger's Hellos from many ports
    // must not grow the table and the fan-out without bound.
    int32_t maxClients = kDefaultMaxClients;
    // Clients from one source address at most (a LAN behind one NAT).
    int32_t maxClientsPerAddress = ClientRules::kDefaultMaxClientsPerAddress;
    // Addresses that may become clients; empty: anyone.
    char allowedClients[1024] = "";
};

class Helmcast : public oapi::Module {
public:
    explicit Helmcast(HINSTANCE instance);
    ~Helmcast() override;

    void clbkSimulationStart(RenderMode mode) override;
    void clbkSimulationEnd() override;
    void clbkPreStep(double simt, double simdt, double mjd) override;
    void clbkPostStep(double simt, double simdt, double mjd) override;

    // What tests and tools may observe of the master; nothing here changes it.
    bool ServerReady() const { return serverReady; }
    const UdpSocket& Socket() const { return udp; }
    double LastSaveTime() const { return lastSaveTime; }
    double LastUpdateTime() const { return lastUpdateTime; }
    const MasterSettings& Settings() const { return settings; }
    const ClientTable& Table() const { return clients; }
    const std::vector<std::string>& TextSyncClasses() const { return textSyncClasses; }

private:
    // Reads "Helmcast.cfg" and opens the server socket; serverReady tells
    // whether it all worked.
    void InitServer();

    void RunUpdate();
    void SendVessel(OBJHANDLE vessel);
    void SendScenarioText(OBJHANDLE vessel, VESSEL& iface);
    bool WantsScenarioText(VESSEL& iface) const;
    void ReceivePhase();
    bool AllAcknowledged() const;
    bool AnyAwaited() const;
    void Drain();
    void Take(const UdpSocket::Datagram& datagram, double now);
    void Confirmed(const Endpoint& from, double now);
    void ReportRejections();
    void ShowStatus() const;
    void DropSilentClients();
    void LogDepartures();
    // A line about one client, unless they come faster than a few a second.
    bool ClientLineAllowed(const Endpoint& about, const char* what, double now);
    void ReadConfiguration();
    bool OpenSocket(int masterPort);
    void CloseSocket();
    void SaveScenario();

    // Vessels whose scenario text was too long for a datagram: reported once.
    std::set<std::string> oversizedTextReported;
    // Vessels of an interface version the capture cannot send: reported once.
    std::set<std::string> unsupportedVersionReported;
    // Datagrams that were no message, clients refused for a full table,
    // Hellos from addresses not allowed, keys from senders that are no
    // client, client lines held back.
    ThrottledReport rejected;
    ThrottledReport refused;
    ThrottledReport notAllowed;
    ThrottledReport strangerKeys;
    ThrottledReport clientLinesHeld;
    LineBudget clientLines{5};
    ReceivedMessages received;                        // one object of each kind, refilled
    StateCapture stateCapture;                        // the same for the vessels' states sent
    std::unique_ptr<VesselStateMessage> textCapture;  // and their scenario text
    bool textFileReported = false;

    bool serverReady = false;
    UdpSocket udp;
    double lastSaveTime = 0.0;
    double lastUpdateTime = 0.0;
    MasterSettings settings;
    ClientTable clients;
    std::vector<std::string> textSyncClasses;
};

// "textSyncClasses": names separated by blanks and commas.
std::vector<std::string> SplitClassList(const char* value);

constexpr const char* kMasterModuleFile = "Helmcast.dll";
constexpr const char* kMasterLogFile = "Helmcast.log";
constexpr const char* kMasterConfigFile = "Helmcast.cfg";
// The scenario the master saves at every start and every ten seconds, so a
// crashed session can be resumed where it was ("velocity sync"; sorted first).
constexpr const char* kSyncScenarioName = "000Velsync";
