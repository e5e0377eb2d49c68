#include "RelayOptions.h"

#include <cmath>
#include <cstdlib>
#include <map>

#include "MasterAddress.h"
#include "RelayConfigFile.h"
#include "SocketAddress.h"

const char* const kRelayUsage =
    "usage: helmrelay [MASTER[:PORT]] [--listen [ADDRESS:]PORT] [--max-clients N]\n"
    "                 [--max-clients-per-address N] [--allow LIST] [--config FILE]\n"
    "                 [--trunk-listen [ADDRESS:]PORT | --trunk NEAR[:PORT]]\n"
    "                 [--trunk-key FILE | --insecure]\n"
    "                 [--json | --once] [--seconds N] [--refresh HZ] [--quiet]\n"
    "\n"
    "Passes one Helmcast master's updates on to many slaves. To the master it is one\n"
    "client (one of its maxClients); to the slaves it is a master: they subscribe to it\n"
    "as to a master (masterIP and masterPort of the relay), and it keeps them by the\n"
    "master's rules: a Hello is answered by the next update's end alone, whose Ack\n"
    "confirms the client; only confirmed clients get updates and pass keys up. Every datagram goes on with its bytes "
    "unchanged; the slaves' keys\n"
    "go up to the master. A relay can subscribe to a relay.\n"
    "\n"
    "  MASTER[:PORT]       the master's (or an upstream relay's) IPv4 address and port;\n"
    "                      port 40000 unless given\n"
    "  --listen [A:]PORT   where the slaves subscribe; default all local addresses,\n"
    "                      port 40000\n"
    "  --max-clients N     clients at most (1 to 4096, default 64); a newcomer takes the\n"
    "                      place of one that acknowledges fewer than half the updates,\n"
    "                      or is refused\n"
    "  --max-clients-per-address N\n"
    "                      clients from one address at most (1 to 4096, default 16)\n"
    "  --allow LIST        addresses that may subscribe: a.b.c.d, a.b.c.d/n or a-b,\n"
    "                      separated by commas; default anyone\n"
    "  --trunk-listen [A:]PORT\n"
    "                      near end of a trunk (beside the master): a far relay\n"
    "                      subscribes here and gets every update compressed; clients\n"
    "                      of its own only with --listen\n"
    "  --trunk NEAR[:PORT] far end of a trunk (beside the slaves): the near relay\n"
    "                      takes the master's place (no MASTER then)\n"
    "  --trunk-key FILE    the trunk's pre-shared key: 64 hexadecimal digits, the same\n"
    "                      file at both ends (head -c 32 /dev/urandom | xxd -p -c 64)\n"
    "  --insecure          a trunk without a key: neither authenticated nor encrypted\n"
    "  --config FILE       'key = value' lines: master, listen, maxClients,\n"
    "                      maxClientsPerAddress, allowedClients, trunkListen, trunk,\n"
    "                      trunkKey, insecure (flags win)\n"
    "  --json              print a JSON snapshot when the relay stops\n"
    "  --once              print the status view when the relay stops\n"
    "  --seconds N         stop after N seconds; without it the relay runs until\n"
    "                      Ctrl-C or SIGTERM\n"
    "  --refresh HZ        redraws per second of the live view (1 to 20, default 4);\n"
    "                      the view is drawn when standard output is a terminal\n"
    "  --quiet             no event lines (subscriptions, time-outs, refusals)\n"
    "\n"
    "Exit status: 0 when at least one update came from the master, 1 when none did,\n"
    "2 for a bad argument or a port that cannot be had.\n";

namespace {

bool ParseNumber(const std::string& text, double low, double high, double& value) {
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return !text.empty() && *end == '\0' && std::isfinite(value) && value >= low && value <= high;
}

bool ParseWhole(const std::string& text, long low, long high, long& value) {
    if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos) return false;
    value = std::strtol(text.c_str(), nullptr, 10);
    return value >= low && value <= high;
}

// What may come from the flags or the file, as text, and where it came from.
struct Given {
    std::string value;
    std::string source;  // "--listen" or "FILE: listen"
};

bool ApplyRelay(const std::map<std::string, Given>& given, RelayOptions& options, std::string& error, bool checkSelf);

bool ApplyTrunk(const std::map<std::string, Given>& given, RelayOptions& options, std::string& error) {
    const auto nearEnd = given.find("trunk");
    const auto listen = given.find("trunklisten");
    if (nearEnd == given.end() && listen == given.end()) return true;
    if (nearEnd != given.end() && listen != given.end()) {
        error = "a relay is one end of a trunk: --trunk (far end) or --trunk-listen (near end), not both";
        return false;
    }
    TrunkSettings& trunk = options.trunk;
    if (nearEnd != given.end()) {
        trunk.role = TrunkSettings::Role::kFar;
        if (given.count("master") != 0) {
            error = "the far end of a trunk takes the near end as its master: no MASTER with --trunk";
            return false;
        }
        if (!ParseMasterAddress(nearEnd->second.value, trunk.address, error)) {
            error = nearEnd->second.source + ": " + error;
            return false;
        }
    } else {
        trunk.role = TrunkSettings::Role::kNear;
        if (!ParseListenAddress(listen->second.value, trunk.address, error)) {
            error = listen->second.source + ": " + error;
            return false;
        }
        options.serveClients = given.count("listen") != 0;
    }
    const auto insecure = given.find("insecure");
    trunk.insecure = insecure != given.end() && insecure->second.value != "0";
    const auto key = given.find("trunkkey");
    if (key != given.end()) trunk.keyFile = key->second.value;
    if (trunk.insecure && !trunk.keyFile.empty()) {
        error = "a trunk with a key is not insecure: --trunk-key or --insecure, not both";
        return false;
    }
    if (!trunk.insecure && trunk.keyFile.empty()) {
        error = "the trunk needs a key (--trunk-key FILE) to authenticate and encrypt it; --insecure runs it without";
        return false;
    }
    return true;
}

bool Apply(const std::map<std::string, Given>& given, RelayOptions& options, std::string& error) {
    if (!ApplyTrunk(given, options, error)) return false;
    if (options.trunk.role == TrunkSettings::Role::kFar) {
        // Its master is the trunk; the rest applies as to any relay.
        std::map<std::string, Given> rest = given;
        rest["master"] = given.at("trunk");
        return ApplyRelay(rest, options, error, false);
    }
    return ApplyRelay(given, options, error, true);
}

bool ApplyRelay(const std::map<std::string, Given>& given, RelayOptions& options, std::string& error, bool checkSelf) {
    const auto master = given.find("master");
    if (master == given.end()) {
        error = "no master given (MASTER[:PORT] on the command line, or 'master = ...' in the configuration file)";
        return false;
    }
    if (!ParseMasterAddress(master->second.value, options.master, error)) {
        error = master->second.source + ": " + error;
        return false;
    }
    const auto listen = given.find("listen");
    if (listen != given.end() && !ParseListenAddress(listen->second.value, options.listen, error)) {
        error = listen->second.source + ": " + error;
        return false;
    }
    const auto clients = given.find("maxclients");
    long maxClients = kDefaultMaxClients;
    if (clients != given.end() && !ParseWhole(clients->second.value, 1, kMostClients, maxClients)) {
        error = clients->second.source + ": bad client count '" + clients->second.value + "' (1 to 4096)";
        return false;
    }
    options.maxClients = static_cast<int>(maxClients);
    const auto perAddress = given.find("maxclientsperaddress");
    long maxPerAddress = ClientRules::kDefaultMaxClientsPerAddress;
    if (perAddress != given.end() && !ParseWhole(perAddress->second.value, 1, kMostClients, maxPerAddress)) {
        error = perAddress->second.source + ": bad client count '" + perAddress->second.value + "' (1 to 4096)";
        return false;
    }
    options.maxClientsPerAddress = static_cast<int>(maxPerAddress);
    const auto allowed = given.find("allowedclients");
    if (allowed != given.end()) {
        const AllowList list(allowed->second.value);
        if (!list.Unusable().empty()) {
            error = allowed->second.source + ": '" + list.Unusable().front() +
                    "' is neither an address, a prefix (a.b.c.d/n) nor a range (a-b)";
            return false;
        }
        options.allowedClients = allowed->second.value;
    }
    if (!checkSelf) return true;
    const sockaddr_in& m = options.master;
    const sockaddr_in& l = options.listen;
    const bool masterOnLoopback = (ntohl(m.sin_addr.s_addr) >> 24) == 127;
    const bool covers =
        l.sin_addr.s_addr == m.sin_addr.s_addr || (l.sin_addr.s_addr == htonl(INADDR_ANY) && masterOnLoopback);
    if (covers && l.sin_port == m.sin_port) {
        error = "the relay would subscribe to itself on port " + std::to_string(ntohs(l.sin_port)) +
                "; listen on another port (--listen)";
        return false;
    }
    return true;
}

}  // namespace

bool ParseListenAddress(const std::string& text, sockaddr_in& address, std::string& error) {
    const size_t colon = text.rfind(':');
    const std::string host = colon == std::string::npos ? "0.0.0.0" : text.substr(0, colon);
    const std::string port = colon == std::string::npos ? text : text.substr(colon + 1);
    long number = 0;
    if (!ParseWhole(port, 1, 65535, number)) {
        error = "bad listening port '" + port + "' (a number from 1 to 65535)";
        return false;
    }
    in_addr parsed{};
    if (inet_pton(AF_INET, host == "localhost" ? "127.0.0.1" : host.c_str(), &parsed) != 1) {
        error = "bad listening address '" + host + "' (an IPv4 address of this machine, or 0.0.0.0 for all)";
        return false;
    }
    address = sockaddr_in{};
    address.sin_family = AF_INET;
    address.sin_addr = parsed;
    address.sin_port = htons(static_cast<uint16_t>(number));
    return true;
}

bool ParseRelayOptions(int argc, char** argv, RelayOptions& options, std::string& error) {
    options.listen = sockaddr_in{};
    options.listen.sin_family = AF_INET;
    options.listen.sin_addr.s_addr = htonl(INADDR_ANY);
    options.listen.sin_port = htons(kDefaultListenPort);

    std::map<std::string, Given> given;
    std::string configFile;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "-h" || arg == "--help") {
            options.help = true;
            return true;
        }
        if (arg == "--json" || arg == "--once") {
            options.output = arg == "--json" ? RelayOptions::Output::kJson : RelayOptions::Output::kOnce;
            continue;
        }
        if (arg == "--quiet") {
            options.quiet = true;
            continue;
        }
        if (arg == "--insecure") {
            given["insecure"] = {"1", "--insecure"};
            continue;
        }
        if (!arg.empty() && arg[0] == '-') {
            if (arg != "--listen" && arg != "--max-clients" && arg != "--max-clients-per-address" && arg != "--allow" &&
                arg != "--config" && arg != "--seconds" && arg != "--refresh" && arg != "--trunk" &&
                arg != "--trunk-listen" && arg != "--trunk-key") {
                error = "unknown option " + arg;
                return false;
            }
            if (i + 1 >= argc) {
                error = arg + " needs a value";
                return false;
            }
            const std::string value = argv[++i];
            if (arg == "--listen") given["listen"] = {value, "--listen"};
            if (arg == "--max-clients") given["maxclients"] = {value, "--max-clients"};
            if (arg == "--max-clients-per-address")
                given["maxclientsperaddress"] = {value, "--max-clients-per-address"};
            if (arg == "--allow") given["allowedclients"] = {value, "--allow"};
            if (arg == "--config") configFile = value;
            if (arg == "--trunk") given["trunk"] = {value, "--trunk"};
            if (arg == "--trunk-listen") given["trunklisten"] = {value, "--trunk-listen"};
            if (arg == "--trunk-key") given["trunkkey"] = {value, "--trunk-key"};
            if (arg == "--seconds" && !ParseNumber(value, 0.1, 1.0e7, options.seconds)) {
                error = "bad --seconds '" + value + "' (a number from 0.1 on)";
                return false;
            }
            if (arg == "--refresh" && !ParseNumber(value, 1.0, 20.0, options.refreshHz)) {
                error = "bad --refresh '" + value + "' (a number from 1 to 20)";
                return false;
            }
            continue;
        }
        if (given.count("master") != 0) {
            error = "one master only: '" + given["master"].value + "' and '" + arg + "'";
            return false;
        }
        given["master"] = {arg, "master"};
    }
    if (!configFile.empty()) {
        std::map<std::string, std::string> values;
        if (!ReadRelayConfigFile(configFile, values, error)) return false;
        for (const auto& [key, value] : values) given.emplace(key, Given{value, configFile + ": " + key});
    }
    return Apply(given, options, error);
}
