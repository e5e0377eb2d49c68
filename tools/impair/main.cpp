// impair_relay: a UDP relay on loopback that loses, duplicates, reorders and
// delays datagrams between slaves and their master, for the fault suite.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "LoopbackSocket.h"
#include "ImpairmentRelay.h"

namespace {

const char kUsage[] =
    "Usage: impair_relay --listen PORT --master [HOST:]PORT --seconds S [options]\n"
    "Relays UDP datagrams between slaves (which send to PORT) and the master,\n"
    "impairing each direction. Loopback addresses only.\n"
    "\n"
    "  --listen PORT        port on 127.0.0.1 the slaves send to\n"
    "  --master [HOST:]PORT the master's address (127.0.0.0/8)\n"
    "  --seconds S          run time, 0.1 to 86400 (the relay stops by itself)\n"
    "  --seed N             seed of the impairments (default: a fresh one, printed)\n"
    "  --up SETTINGS        slave -> master impairments\n"
    "  --down SETTINGS      master -> slave impairments\n"
    "  --both SETTINGS      both directions\n"
    "                       SETTINGS: loss=P,dup=P,reorder=P:MS,delay=MS:JITTER_MS\n"
    "  --stats FILE         write the counts as JSON at the end\n";

int Fail(const std::string& message) {
    std::fprintf(stderr, "impair_relay: %s\n%s", message.c_str(), kUsage);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    impair::ImpairmentRelayOptions options;
    std::string seedText;
    bool haveListen = false, haveMaster = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::printf("%s", kUsage);
            return 0;
        }
        if (i + 1 >= argc) return Fail("missing value after " + arg);
        const std::string value = argv[++i];
        std::string error;
        if (arg == "--listen") {
            sockaddr_in address;
            if (!faulttools::ParseLoopbackEndpoint(value, address, error)) return Fail(error);
            options.listenPort = ntohs(address.sin_port);
            haveListen = true;
        } else if (arg == "--master") {
            if (!faulttools::ParseLoopbackEndpoint(value, options.master, error)) return Fail(error);
            haveMaster = true;
        } else if (arg == "--seconds") {
            options.seconds = std::strtod(value.c_str(), nullptr);
            if (!(options.seconds >= 0.1 && options.seconds <= 86400.0)) return Fail("bad --seconds " + value);
        } else if (arg == "--seed") {
            seedText = value;
        } else if (arg == "--up" || arg == "--down" || arg == "--both") {
            impair::LinkSettings settings;
            if (!impair::ParseLinkSettings(value, settings, error)) return Fail(error);
            if (arg != "--down") options.toMaster = settings;
            if (arg != "--up") options.toSlave = settings;
        } else if (arg == "--stats") {
            options.statsFile = value;
        } else {
            return Fail("unknown option " + arg);
        }
    }
    if (!haveListen || !haveMaster || options.seconds <= 0.0)
        return Fail("--listen, --master and --seconds are needed");
    if (!faulttools::ChooseSeed(seedText, options.seed)) return Fail("bad --seed " + seedText);

    impair::ImpairmentRelay relay(options);
    const int status = relay.Run();
    const std::string json = relay.StatisticsJson();
    std::printf("impair_relay: done %s\n", json.c_str());
    if (!options.statsFile.empty()) {
        std::ofstream out(options.statsFile, std::ios::trunc);
        out << json << "\n";
        if (!out) {
            std::fprintf(stderr, "impair_relay: cannot write %s\n", options.statsFile.c_str());
            return 1;
        }
    }
    return status;
}
