#include "ClockSlew.h"

#include <algorithm>
#include <cmath>

double ClockSlew::Steer(double now, double offsetSeconds, double masterAccel) {
    if (!std::isfinite(offsetSeconds) || !std::isfinite(masterAccel) || masterAccel == 0.0) {
        correction_ = 0.0;
        return masterAccel;
    }
    if (!started_ || now < lastTime_) {
        started_ = true;
        average_ = offsetSeconds;
    } else {
        // Samples come at the update rate, not on a fixed beat: weigh each
        // by the time since the last.
        const double weight = 1.0 - std::exp(-(now - lastTime_) / kAverageSeconds);
        average_ += weight * (offsetSeconds - average_);
    }
    lastTime_ = now;
    // The offset in seconds of the host's clock: what a correction of c
    // removes at c per second, whatever the acceleration.
    const double behind = average_ / std::fabs(masterAccel);
    correction_ = std::clamp(behind / kSettleSeconds, -kMaxCorrection, kMaxCorrection);
    return masterAccel * (1.0 + correction_);
}

void ClockSlew::DateMoved(double offsetSeconds) {
    if (started_ && std::isfinite(offsetSeconds)) average_ -= offsetSeconds;
}

void ClockSlew::Reset() { *this = ClockSlew(); }
