// When the slave sets its date to the master's.
//
// Each StartMessage gives the offset of the master's date from ours, less
// the time the message spent in transit. Over a link whose transit time
// varies by more than the tolerance, single offsets swing both ways, and
// following each one would move the date back and forth, every move
// leaving the vessels where they were for another date. So a small offset
// is followed only when every offset of the last second agrees that we are
// off, the same way; a large one (a start, a jump of the master's date) at
// once.
#pragma once

#include <array>
#include <cstddef>

class DateFollower {
public:
    static constexpr double kToleranceSimSeconds = 0.1;
    static constexpr double kWindowRealSeconds = 1.0;
    // Offsets beyond this many seconds of simulation per unit of time
    // acceleration are no transit jitter.
    static constexpr double kFarOffSimSecondsPerTimeAccel = 1.0;

    // An offset (master minus slave) measured at `nowRealSeconds` (the
    // host's clock) under time acceleration `timeAccel`: true when the date
    // is to be set to the master's now. The offsets kept are then taken as
    // measured against the new date.
    bool Follow(double nowRealSeconds, double offsetSimSeconds, double timeAccel);

    // An offset no transit jitter explains: followed at once.
    static bool FarOff(double offsetSimSeconds, double timeAccel);

    // A state captured this far from our date belongs
    // to a date we have not taken yet: one whose StartMessage a reordering
    // link holds back, or one sent before we were in step. Carried forward
    // along a straight line over that time, it would put the vessel far off
    // its path until the next update. Followed dates never lie this far apart.
    static bool BeyondCarry(double offsetSimSeconds, double timeAccel);
    static constexpr double kMaxCarrySimSecondsPerTimeAccel = 10.0;

    // Offsets kept at most: a second of StartMessages at any rate a master
    // sends (it caps its own at far less); a flood of them keeps the newest.
    // A fixed ring, so that following costs no heap once running.
    static constexpr size_t kMaxSamples = 256;

private:
    struct Sample {
        double realSeconds;
        double offsetSimSeconds;
    };
    Sample& Recent(size_t i) { return recent_[(first_ + i) % kMaxSamples]; }
    void DropOldest();

    std::array<Sample, kMaxSamples> recent_{};
    size_t first_ = 0;
    size_t count_ = 0;
};
