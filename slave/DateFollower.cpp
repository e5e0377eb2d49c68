#include "DateFollower.h"

#include <cmath>

namespace {

double AccelerationScale(double timeAccel) { return std::fabs(timeAccel) > 1.0 ? std::fabs(timeAccel) : 1.0; }

}  // namespace

bool DateFollower::FarOff(double offsetSimSeconds, double timeAccel) {
    return std::fabs(offsetSimSeconds) > kFarOffSimSecondsPerTimeAccel * AccelerationScale(timeAccel);
}

bool DateFollower::BeyondCarry(double offsetSimSeconds, double timeAccel) {
    return !(std::fabs(offsetSimSeconds) <= kMaxCarrySimSecondsPerTimeAccel * AccelerationScale(timeAccel));
}

void DateFollower::DropOldest() {
    first_ = (first_ + 1) % kMaxSamples;
    --count_;
}

bool DateFollower::Follow(double nowRealSeconds, double offsetSimSeconds, double timeAccel) {
    while (count_ > 0 &&
           (nowRealSeconds - Recent(0).realSeconds > kWindowRealSeconds || nowRealSeconds < Recent(0).realSeconds))
        DropOldest();
    if (count_ == kMaxSamples) DropOldest();
    Recent(count_++) = Sample{nowRealSeconds, offsetSimSeconds};

    bool follow = FarOff(offsetSimSeconds, timeAccel);
    if (!follow && std::fabs(offsetSimSeconds) > kToleranceSimSeconds) {
        follow = true;
        for (size_t i = 0; i < count_; ++i) {
            const Sample& sample = Recent(i);
            if (!(std::fabs(sample.offsetSimSeconds) > kToleranceSimSeconds) ||
                (sample.offsetSimSeconds > 0) != (offsetSimSeconds > 0)) {
                follow = false;
                break;
            }
        }
    }
    if (follow) {
        for (size_t i = 0; i < count_; ++i) Recent(i).offsetSimSeconds -= offsetSimSeconds;
    }
    return follow;
}
