#include "ScopeRun.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "LinkWatch.h"
#include "LinkText.h"
#include "MasterAddress.h"
#include "SnapshotJson.h"
#include "StatusScreen.h"
#include "ProgramLoop.h"

int RunScope(const ScopeOptions& options) {
    LinkWatch watch;
    std::string error;
    if (!watch.Open(options.master, error)) {
        std::fprintf(stderr, "helmscope: %s\n", error.c_str());
        return 2;
    }
    ProgramLoop loop(options.seconds, options.output == ScopeOptions::Output::kLive ? options.refreshHz : 0.0);
    double now = loop.Start();
    while (loop.Running(now)) {
        watch.Service(now);
        if (loop.FrameDue(now)) loop.Draw(StatusScreen(watch.Snapshot(now), "helmscope"), now);
        const double wake = loop.Wake(watch.NextRenewal());
        const int timeoutMs = static_cast<int>(std::clamp((wake - now) * 1000.0, 0.0, 1000.0));
        UdpSocket::Waiting readable{&watch.Socket()};
        UdpSocket::WaitReadable(&readable, 1, timeoutMs);
        now = SteadySeconds();
    }
    watch.Service(now);
    const LinkSnapshot snapshot = watch.Snapshot(now);
    switch (options.output) {
        case ScopeOptions::Output::kLive:
            loop.Draw(StatusScreen(snapshot, "helmscope"), now);
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
    std::fprintf(stderr, "helmscope: %s\n",
                 NoUpdateText(AddressText(options.master), now - loop.Start(), snapshot.link.datagrams > 0).c_str());
    return 1;
}
