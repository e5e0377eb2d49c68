// helmrelay: one master's updates passed on to many slaves, without any host.
#include <cstdio>
#include <string>

#include "RelayOptions.h"
#include "RelayRun.h"

int main(int argc, char** argv) {
    RelayOptions options;
    std::string error;
    if (!ParseRelayOptions(argc, argv, options, error)) {
        std::fprintf(stderr, "helmrelay: %s\n%s", error.c_str(), kRelayUsage);
        return 2;
    }
    if (options.help) {
        std::fputs(kRelayUsage, stdout);
        return 0;
    }
    return RunRelay(options);
}
