#include "RelayRun.h"

#include <algorithm>
#include <cstdio>

#include "LinkText.h"
#include "MasterAddress.h"
#include "Relay.h"
#include "RelayScreen.h"
#include "ProgramLoop.h"
#include "ProgramPlatform.h"

namespace {

// Waits no longer than this between turns, so that time-outs and Hellos
// are never late by more.
constexpr double kLongestWait = 0.25;

void SayWhatItRelays(RelayEvents& events, const RelayOptions& options, const Relay& relay) {
    const std::string clients = options.serveClients ? "clients at " + AddressText(relay.ListenAddress()) +
                                                           " (at most " + std::to_string(options.maxClients) + ")"
                                                     : "no clients of its own";
    const char* seal = options.trunk.insecure ? "insecure: neither authenticated nor encrypted" : "sealed with the key";
    switch (options.trunk.role) {
        case TrunkSettings::Role::kNone:
            events.Say("relaying %s to %s", AddressText(options.master).c_str(), clients.c_str());
            break;
        case TrunkSettings::Role::kNear:
            events.Say("relaying %s to a trunk at %s (%s) and %s", AddressText(options.master).c_str(),
                       AddressText(options.trunk.address).c_str(), seal, clients.c_str());
            break;
        case TrunkSettings::Role::kFar:
            events.Say("relaying the trunk from %s (%s) to %s", AddressText(options.trunk.address).c_str(), seal,
                       clients.c_str());
            break;
    }
}

}  // namespace

int RunRelay(const RelayOptions& options) {
    // The live view has the terminal: event lines go into it, not between its frames.
    const bool live = options.output == RelayOptions::Output::kLive && OutputIsAnsiTerminal();
    RelayEvents events(options.quiet ? RelayEvents::Sink::kNone
                                     : (live ? RelayEvents::Sink::kKept : RelayEvents::Sink::kStandardError));
    Relay relay(events);
    std::string error;
    RelaySettings settings{options.master,         options.listen, options.maxClients,  options.maxClientsPerAddress,
                           options.allowedClients, options.trunk,  options.serveClients};
    if (!relay.Open(settings, error)) {
        std::fprintf(stderr, "helmrelay: %s\n", error.c_str());
        return 2;
    }
    SayWhatItRelays(events, options, relay);

    ProgramLoop loop(options.seconds, live ? options.refreshHz : 0.0);
    double now = loop.Start();
    while (loop.Running(now)) {
        relay.Step(now);
        if (loop.FrameDue(now)) loop.Draw(RelayScreen(relay.WholeSnapshot(now), events.Recent()), now);
        relay.Wait(loop.Wake(std::min(relay.NextRenewal(), now + kLongestWait)) - now);
        now = SteadySeconds();
    }
    relay.Step(now);
    const RelaySnapshot snapshot = relay.WholeSnapshot(now);
    loop.Draw(RelayScreen(snapshot, events.Recent()), now);
    if (options.output == RelayOptions::Output::kJson) std::fputs(RelayJson(snapshot).c_str(), stdout);
    if (options.output == RelayOptions::Output::kOnce) std::fputs(RelayScreen(snapshot, {}).c_str(), stdout);
    std::fflush(stdout);
    if (snapshot.upstream.link.updates > 0) return 0;
    std::fprintf(
        stderr, "helmrelay: %s\n",
        NoUpdateText(AddressText(options.master), now - loop.Start(), snapshot.upstream.link.datagrams > 0).c_str());
    return 1;
}
