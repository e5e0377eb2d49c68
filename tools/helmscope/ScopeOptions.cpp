#include "ScopeOptions.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "MasterAddress.h"

const char* const kScopeUsage =
    "usage: helmscope [MASTER[:PORT]] [--json | --once] [--seconds N] [--refresh HZ]\n"
    "\n"
    "Watches a Helmcast master live: the link (updates per second, datagrams and bytes\n"
    "per update, loss, copies and reordering by sequence number, update spacing and\n"
    "jitter), the master's date, time acceleration and focus, and a table of its vessels.\n"
    "It subscribes the way a slave does (a Hello at once and every second, an Ack for\n"
    "each update), so the master counts it as one client: one of its maxClients.\n"
    "\n"
    "  MASTER[:PORT]  the master's IPv4 address (or localhost) and port;\n"
    "                 default 127.0.0.1:40000\n"
    "  --json         print one JSON snapshot after --seconds (default 3) and exit\n"
    "  --once         print the status view once after --seconds (default 3) and exit\n"
    "  --seconds N    how long to watch; the live view runs until Ctrl-C without it\n"
    "  --refresh HZ   redraws per second of the live view (1 to 20, default 4)\n"
    "\n"
    "Exit status: 0 when at least one update arrived, 1 when none did (a health\n"
    "check), 2 for a bad argument or a socket that cannot be opened.\n";

namespace {

bool ParseNumber(const char* text, double low, double high, double& value) {
    char* end = nullptr;
    value = std::strtod(text, &end);
    return *text != '\0' && *end == '\0' && std::isfinite(value) && value >= low && value <= high;
}

}  // namespace

bool ParseScopeOptions(int argc, char** argv, ScopeOptions& options, std::string& error) {
    bool addressGiven = false;
    std::string address = "127.0.0.1";
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "-h" || arg == "--help") {
            options.help = true;
        } else if (arg == "--json") {
            options.output = ScopeOptions::Output::kJson;
        } else if (arg == "--once") {
            options.output = ScopeOptions::Output::kOnce;
        } else if (arg == "--seconds" || arg == "--refresh") {
            if (!hasValue) {
                error = arg + " needs a value";
                return false;
            }
            const char* value = argv[++i];
            if (arg == "--seconds" && !ParseNumber(value, 0.1, 86400.0, options.seconds)) {
                error = std::string("bad --seconds '") + value + "' (a number from 0.1 to 86400)";
                return false;
            }
            if (arg == "--refresh" && !ParseNumber(value, 1.0, 20.0, options.refreshHz)) {
                error = std::string("bad --refresh '") + value + "' (a number from 1 to 20)";
                return false;
            }
        } else if (!arg.empty() && arg[0] == '-') {
            error = "unknown option " + arg;
            return false;
        } else if (addressGiven) {
            error = "one master only: '" + address + "' and '" + arg + "'";
            return false;
        } else {
            address = arg;
            addressGiven = true;
        }
    }
    if (options.output != ScopeOptions::Output::kLive && options.seconds == 0.0) options.seconds = 3.0;
    return ParseMasterAddress(address, options.master, error);
}
