#include "RelayRun.h"

#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <memory>

#include "LiveView.h"
#include "MasterAddress.h"
#include "Relay.h"
#include "RelayScreen.h"

namespace {

volatile std::sig_atomic_t interrupted = 0;

void OnInterrupt(int) { interrupted = 1; }

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
    if (!relay.open({options.master, options.listen, options.maxClients}, error)) {
        std::fprintf(stderr, "helmrelay: %s\n", error.c_str());
        return 2;
    }
    std::signal(SIGINT, OnInterrupt);
    std::signal(SIGTERM, OnInterrupt);
    events.say("relaying %s to clients at %s (at most %d)", AddressText(options.master).c_str(),
               AddressText(relay.listenAddress()).c_str(), options.maxClients);

    const double start = SteadySeconds();
    const double end = options.seconds > 0.0 ? start + options.seconds : 1.0e300;
    std::unique_ptr<LiveView> view;
    if (live) view = std::make_unique<LiveView>(options.refreshHz);

    double now = start;
    while (!interrupted && now < end) {
        relay.step(now);
        if (view && now >= view->nextFrame()) view->draw(RelayScreen(relay.relaySnapshot(now), events.recent()), now);
        double wake = std::min({end, relay.nextRenewal(), now + kLongestWait});
        if (view) wake = std::min(wake, view->nextFrame());
        relay.wait(wake - now);
        now = SteadySeconds();
    }
    relay.step(now);
    const RelaySnapshot snapshot = relay.relaySnapshot(now);
    if (view) view->draw(RelayScreen(snapshot, events.recent()), now);
    if (options.output == RelayOptions::Output::kJson) std::fputs(RelayJson(snapshot).c_str(), stdout);
    if (options.output == RelayOptions::Output::kOnce) std::fputs(RelayScreen(snapshot, {}).c_str(), stdout);
    std::fflush(stdout);
    if (snapshot.upstream.link.updates > 0) return 0;
    std::fprintf(stderr, "helmrelay: no update from %s in %.1f s (%s); is a master running there, on that port?\n",
                 AddressText(options.master).c_str(), now - start,
                 snapshot.upstream.link.datagrams > 0 ? "messages, but no complete update" : "no message at all");
    return 1;
}
