#include "ScopeRun.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <memory>
#include <cstdio>
#include <string>

#include "LinkWatch.h"
#include "MasterAddress.h"
#include "SnapshotJson.h"
#include "StatusScreen.h"

namespace {

volatile std::sig_atomic_t interrupted = 0;

void OnInterrupt(int) { interrupted = 1; }

double Now() { return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count(); }

// A terminal gets the view redrawn in place; anything else gets a frame a
// second, one after the other.
class LiveView {
public:
    explicit LiveView(double refreshHz) : terminal_(::isatty(STDOUT_FILENO) == 1) {
        period_ = terminal_ ? 1.0 / refreshHz : 1.0;
        if (terminal_) std::fputs("\x1b[?25l", stdout);  // cursor hidden while drawing
    }
    ~LiveView() {
        if (terminal_) std::fputs("\x1b[?25h", stdout);
        std::fflush(stdout);
    }
    double nextFrame() const { return next_; }
    void draw(const LinkSnapshot& snapshot, double now) {
        const std::string screen = StatusScreen(snapshot, "helmscope");
        if (terminal_) {
            std::fputs("\x1b[H\x1b[2J", stdout);
            std::fputs(screen.c_str(), stdout);
        } else {
            std::fputs((screen + "\n").c_str(), stdout);
        }
        std::fflush(stdout);
        next_ = std::max(next_ + period_, now);
    }

private:
    bool terminal_;
    double period_;
    double next_ = 0.0;
};

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
    const double start = Now();
    const double end = options.seconds > 0.0 ? start + options.seconds : 1.0e300;
    std::unique_ptr<LiveView> view;
    if (live) view = std::make_unique<LiveView>(options.refreshHz);

    double now = start;
    while (!interrupted && now < end) {
        watch.service(now);
        if (view && now >= view->nextFrame()) view->draw(watch.snapshot(now), now);
        double wake = std::min(end, watch.nextRenewal());
        if (view) wake = std::min(wake, view->nextFrame());
        const int timeoutMs = static_cast<int>(std::clamp((wake - now) * 1000.0, 0.0, 1000.0));
        pollfd readable{watch.fd(), POLLIN, 0};
        ::poll(&readable, 1, timeoutMs);
        now = Now();
    }
    watch.service(now);
    const LinkSnapshot snapshot = watch.snapshot(now);
    switch (options.output) {
        case ScopeOptions::Output::kLive:
            view->draw(snapshot, now);
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
