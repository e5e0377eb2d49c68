#include "StatusLine.h"

#include <cstdio>

namespace simhost_app {

namespace {
constexpr auto kRefresh = std::chrono::milliseconds(250);
}

std::string StatusText(const simhost::Host& host) {
    char text[512];
    std::snprintf(text, sizeof text, "t=%.2f s  MJD %.6f  warp %g  vessels %u  %s", host.simTime(), host.simMJD(),
                  host.timeAcceleration(), static_cast<unsigned>(oapiGetVesselCount()), host.debugString().c_str());
    return text;
}

void StatusLine::update(const simhost::Host& host, bool force) {
    const auto now = std::chrono::steady_clock::now();
    if (!force && shown_ && now - lastShown_ < kRefresh) return;
    lastShown_ = now;
    const std::string text = StatusText(host);
    // Blanks over the rest of a longer previous line.
    const size_t pad = shownLength_ > text.size() ? shownLength_ - text.size() : 0;
    std::fprintf(out_, "\r%s%*s", text.c_str(), static_cast<int>(pad), "");
    std::fflush(out_);
    shownLength_ = text.size();
    shown_ = true;
}

void StatusLine::finish() {
    if (!shown_) return;
    std::fputc('\n', out_);
    std::fflush(out_);
    shown_ = false;
    shownLength_ = 0;
}

}  // namespace simhost_app
