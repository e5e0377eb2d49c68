// The master module: publishes every vessel of its simulation to the
// subscribed slaves.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "Message.h"
#include "Platform.h"
#include "ThrottledReport.h"
#include "UdpSocket.h"

// Helmcast.cfg, with each key's default.
struct MasterSettings {
    static constexpr int32_t kDefaultMaxClients = 64;
    int32_t debug = 0;
    int32_t waitForClients = 0;
    int32_t waitForACK = 0;
    int32_t maxUpdateRate = 30;  // updates per second of host system time
    int32_t masterPort = kDefaultMasterPort;
    int32_t readOnly = 0;
    // Subscriptions beyond this are refused: a stranger's Hellos from many
    // ports must not grow the table and the fan-out without bound.
    int32_t maxClients = kDefaultMaxClients;
};

// One subscribed slave, as its Hello came (address and port).
struct Client {
    sockaddr_in address;
    double lastContact;  // host system time of the subscription or the last AckMessage
    // AckMessages of this update's receive phase; kNotAwaited for a client
    // that subscribed during it, whose acknowledgement is not waited for.
    int32_t acks;
    static constexpr int32_t kNotAwaited = -1;
};
inline const sockaddr_in& AddressOf(const Client& client) { return client.address; }

class Helmcast : public oapi::Module {
public:
    explicit Helmcast(HINSTANCE instance);
    ~Helmcast() override;

    void clbkSimulationStart(RenderMode mode) override;
    void clbkSimulationEnd() override;
    void clbkPreStep(double simt, double simdt, double mjd) override;
    void clbkPostStep(double simt, double simdt, double mjd) override;

    // Reads "Helmcast.cfg" and opens the server socket; serverReady tells
    // whether it all worked.
    void initServer();

    bool serverReady = false;
    UdpSocket udp;
    double lastSaveTime = 0.0;
    double lastUpdateTime = 0.0;
    MasterSettings settings;
    std::vector<Client> clients;  // in order of subscription
    std::vector<std::string> textSyncClasses;

private:
    void runUpdate();
    void sendVessel(OBJHANDLE vessel);
    void sendScenarioText(OBJHANDLE vessel, VESSEL& iface);
    bool wantsScenarioText(VESSEL& iface) const;
    void receivePhase();
    bool allAcknowledged() const;
    bool anyAwaited() const;
    void drain();
    void dispatch(Message& message, const sockaddr_in& from);
    void subscribe(const sockaddr_in& from);
    void reportRejections();
    int findClient(const sockaddr_in& address) const;
    void showStatus() const;
    void dropSilentClients();
    void readConfiguration();
    bool openSocket(int masterPort);
    void closeSocket();
    void saveScenario();

    // Vessels whose scenario text was too long for a datagram: reported once.
    std::set<std::string> oversizedTextReported;
    // Vessels of an interface version the capture cannot send: reported once.
    std::set<std::string> unsupportedVersionReported;
    // Datagrams that were no message, and Hellos refused for a full table.
    ThrottledReport rejected;
    ThrottledReport refused;
    bool textFileReported = false;
};

// "textSyncClasses": names separated by blanks and commas.
std::vector<std::string> SplitClassList(const char* value);

constexpr const char* kMasterModuleFile = "Helmcast.dll";
constexpr const char* kMasterLogFile = "Helmcast.log";
constexpr const char* kMasterConfigFile = "Helmcast.cfg";
constexpr const char* kSyncScenarioName = "000Velsync";
