#include "RelayRun.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>

#include "LinkText.h"
#include "MasterAddress.h"
#include "Relay.h"
#include "RelayScreen.h"
#include "ProgramLoop.h"

namespace {

// Waits no longer than this between turns, so that time-outs and Hellos
// are never late by more.
constexpr double kLongestWait = 0.25;

}  // namespace

int RunRelay(const RelayOptions& options) {
    // The live view has the terminal: event lines go into it, not between its frames.
    const bool live = options.output == RelayOptions::Output::kLive && ::isatty(STDOUT_FILENO) == 1;
    RelayEvents events(options.quiet ? RelayEvents::Sink::kNone
                                     : (live ? RelayEvents::Sink::kKept : RelayEvents::Sink::kStandardError));
    Relay relay(events);
    std::string error;
    if (!relay.open(
            {options.master, options.listen, options.maxClients, options.maxClientsPerAddress, options.allowedClients},
            error)) {
        std::fprintf(stderr, "helmrelay: %s\n", error.c_str());
        return 2;
    }
    events.say("relaying %s to clients at %s (at most %d)", AddressText(options.master).c_str(),
               AddressText(relay.listenAddress()).c_str(), options.maxClients);

    ProgramLoop loop(options.seconds, live ? options.refreshHz : 0.0);
    double now = loop.start();
    while (loop.running(now)) {
        relay.step(now);
        if (loop.frameDue(now)) loop.draw(RelayScreen(relay.relaySnapshot(now), events.recent()), now);
        relay.wait(loop.wake(std::min(relay.nextRenewal(), now + kLongestWait)) - now);
        now = SteadySeconds();
    }
    relay.step(now);
    const RelaySnapshot snapshot = relay.relaySnapshot(now);
    loop.draw(RelayScreen(snapshot, events.recent()), now);
    if (options.output == RelayOptions::Output::kJson) std::fputs(RelayJson(snapshot).c_str(), stdout);
    if (options.output == RelayOptions::Output::kOnce) std::fputs(RelayScreen(snapshot, {}).c_str(), stdout);
    std::fflush(stdout);
    if (snapshot.upstream.link.updates > 0) return 0;
    std::fprintf(
        stderr, "helmrelay: %s\n",
        NoUpdateText(AddressText(options.master), now - loop.start(), snapshot.upstream.link.datagrams > 0).c_str());
    return 1;
}
