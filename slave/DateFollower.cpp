#include "DateFollower.h"

#include <cmath>

namespace {

double AccelerationScale(double timeAccel) { return std::fabs(timeAccel) > 1.0 ? std::fabs(timeAccel) : 1.0; }

}  // namespace

bool DateFollower::FarOff(double offset, double timeAccel) {
    return std::fabs(offset) > kFarOff * AccelerationScale(timeAccel);
}

bool DateFollower::BeyondCarry(double offset, double timeAccel) {
    return !(std::fabs(offset) <= kMaxCarry * AccelerationScale(timeAccel));
}

bool DateFollower::Follow(double now, double offset, double timeAccel) {
    while (!recent_.empty() && (now - recent_.front().time > kWindow || now < recent_.front().time))
        recent_.pop_front();
    recent_.push_back(Sample{now, offset});

    bool follow = FarOff(offset, timeAccel);
    if (!follow && std::fabs(offset) > kTolerance) {
        follow = true;
        for (const Sample& sample : recent_) {
            if (!(std::fabs(sample.offset) > kTolerance) || (sample.offset > 0) != (offset > 0)) {
                follow = false;
                break;
            }
        }
    }
    if (follow) {
        for (Sample& sample : recent_) sample.offset -= offset;
    }
    return follow;
}
