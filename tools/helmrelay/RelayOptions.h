// helmrelay's command line and configuration file. Flags win over the
// file; what neither gives takes the default.
#pragma once

#include <string>

#include "ClientTable.h"
#include "SocketAddress.h"
#include "TrunkSettings.h"

constexpr uint16_t kDefaultListenPort = 40000;
constexpr int kDefaultMaxClients = ClientRules::kDefaultMaxClients;
constexpr int kMostClients = 4096;

struct RelayOptions {
    enum class Output { kLive, kJson, kOnce };
    sockaddr_in master{};
    sockaddr_in listen{};  // all local addresses, port 40000 unless given
    int maxClients = kDefaultMaxClients;
    int maxClientsPerAddress = ClientRules::kDefaultMaxClientsPerAddress;
    std::string allowedClients;  // empty: anyone
    TrunkSettings trunk;
    bool serveClients = true;  // false for a near end of a trunk without a port for clients
    Output output = Output::kLive;
    double seconds = 0.0;  // 0: until interrupted
    double refreshHz = 4.0;
    bool quiet = false;
    bool help = false;
};

// False with a sentence in `error` for a bad argument or a bad file.
bool ParseRelayOptions(int argc, char** argv, RelayOptions& options, std::string& error);

// "PORT" or "ADDRESS:PORT", ADDRESS an IPv4 address of this machine's
// (0.0.0.0 for all of them), PORT 1 to 65535.
bool ParseListenAddress(const std::string& text, sockaddr_in& address, std::string& error);

extern const char* const kRelayUsage;
