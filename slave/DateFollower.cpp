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

void DateFollower::DropOldest() {
    first_ = (first_ + 1) % kMaxSamples;
    --count_;
}

bool DateFollower::Follow(double now, double offset, double timeAccel) {
    while (count_ > 0 && (now - Recent(0).time > kWindow || now < Recent(0).time)) DropOldest();
    if (count_ == kMaxSamples) DropOldest();
    Recent(count_++) = Sample{now, offset};

    bool follow = FarOff(offset, timeAccel);
    if (!follow && std::fabs(offset) > kTolerance) {
        follow = true;
        for (size_t i = 0; i < count_; ++i) {
            const Sample& sample = Recent(i);
            if (!(std::fabs(sample.offset) > kTolerance) || (sample.offset > 0) != (offset > 0)) {
                follow = false;
                break;
            }
        }
    }
    if (follow) {
        for (size_t i = 0; i < count_; ++i) Recent(i).offset -= offset;
    }
    return follow;
}
