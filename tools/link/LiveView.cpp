#include "LiveView.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "ProgramPlatform.h"

LiveView::LiveView(double refreshHz) : terminal_(OutputIsAnsiTerminal()) {
    period_ = terminal_ ? 1.0 / refreshHz : 1.0;
    if (terminal_) std::fputs("\x1b[?25l", stdout);  // cursor hidden while drawing
}

LiveView::~LiveView() {
    if (terminal_) std::fputs("\x1b[?25h", stdout);
    std::fflush(stdout);
}

void LiveView::Draw(const std::string& screen, double now) {
    if (terminal_) {
        std::fputs("\x1b[H\x1b[2J", stdout);
        std::fputs(screen.c_str(), stdout);
    } else {
        std::fputs((screen + "\n").c_str(), stdout);
    }
    std::fflush(stdout);
    next_ = std::max(next_ + period_, now);
}

double SteadySeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}
