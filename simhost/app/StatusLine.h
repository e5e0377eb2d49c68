// The one-line status on the terminal, rewritten in place at most a few times
// a real second.
#pragma once

#include <chrono>
#include <cstdio>
#include <string>

#include "SimHost.h"

namespace simhost_app {

// The status text: sim time, MJD, time acceleration, vessel count and the
// debug string.
std::string StatusText(const simhost::Host& host);

class StatusLine {
public:
    explicit StatusLine(std::FILE* out) : out_(out) {}
    void update(const simhost::Host& host, bool force = false);
    void finish();  // moves to a fresh line if anything was shown

private:
    std::FILE* out_;
    size_t shownLength_ = 0;
    bool shown_ = false;
    std::chrono::steady_clock::time_point lastShown_{};
};

}  // namespace simhost_app
