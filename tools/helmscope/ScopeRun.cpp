#include "ScopeRun.h"

#include <poll.h>

#include <algorithm>
#include <csignal>
#include <memory>
#include <cstdio>
#include <string>

#include "LinkWatch.h"
#include "LiveView.h"
#include "MasterAddress.h"
#include "SnapshotJson.h"
#include "StatusScreen.h"

namespace {

volatile std::sig_atomic_t interrupted = 0;

void OnInterrupt(int) { interrupted = 1; }

}  // namespace

int RunScope(const ScopeOptions& options) {
    LinkWatch watch;
    std::string error;
    if (!watch.open(options.master, error)) {
        std::fprintf(stderr, "helmscope: %s\n", error.c_str());
        return 2;
    }
    std::signal(SIGINT, OnInterrupt);
    std::signal(SIGTERM, OnInterrupt);

    const bool live = options.output == ScopeOptions::Output::kLive;
    const double start = SteadySeconds();
    const double end = options.seconds > 0.0 ? start + options.seconds : 1.0e300;
    std::unique_ptr<LiveView> view;
    if (live) view = std::make_unique<LiveView>(options.refreshHz);

    double now = start;
    while (!interrupted && now < end) {
        watch.service(now);
        if (view && now >= view->nextFrame()) view->draw(StatusScreen(watch.snapshot(now), "helmscope"), now);
        double wake = std::min(end, watch.nextRenewal());
        if (view) wake = std::min(wake, view->nextFrame());
        const int timeoutMs = static_cast<int>(std::clamp((wake - now) * 1000.0, 0.0, 1000.0));
        pollfd readable{watch.fd(), POLLIN, 0};
        ::poll(&readable, 1, timeoutMs);
        now = SteadySeconds();
    }
    watch.service(now);
    const LinkSnapshot snapshot = watch.snapshot(now);
    switch (options.output) {
        case ScopeOptions::Output::kLive:
            view->draw(StatusScreen(snapshot, "helmscope"), now);
            break;
        case ScopeOptions::Output::kJson:
            std::fputs(SnapshotJson(snapshot).c_str(), stdout);
            break;
        case ScopeOptions::Output::kOnce:
            std::fputs(StatusScreen(snapshot, "helmscope").c_str(), stdout);
            break;
    }
    std::fflush(stdout);
    if (snapshot.link.updates > 0) return 0;
    std::fprintf(stderr, "helmscope: no update from %s in %.1f s (%s); is a master running there, on that port?\n",
                 AddressText(options.master).c_str(), now - start,
                 snapshot.link.datagrams > 0 ? "messages, but no complete update" : "no message at all");
    return 1;
}
