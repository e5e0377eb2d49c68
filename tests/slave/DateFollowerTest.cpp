// When the slave's date follows the master's: not on transit jitter, at once
// when far off, after a second of agreement when slightly off.
#include <gtest/gtest.h>

#include <cmath>

#include "ClockSlew.h"
#include "DateFollower.h"

namespace {

TEST(DateFollower, JitterDoesNotMoveTheDateBackAndForth) {
    DateFollower follower;
    // Transit times of 100 to 300 ms, one update every 33 ms: the offsets
    // swing by up to 0.2 s both ways around the first one followed.
    const double transit[] = {0.30, 0.12, 0.25, 0.10, 0.28, 0.15, 0.21, 0.11, 0.29, 0.18};
    int followed = 0;
    double slaveLag = 0.0;  // how far the slave's date is behind the master's
    for (int i = 0; i < 300; ++i) {
        // The master's date at capture against ours at arrival.
        const double offset = slaveLag - transit[i % 10];
        if (follower.Follow(i / 30.0, offset, 1.0)) {
            ++followed;
            slaveLag -= offset;
        }
    }
    EXPECT_EQ(followed, 1) << "the first offset beyond the tolerance, then never again";
}

TEST(DateFollower, FarOffAtOnceSlightlyOffOnlyWhenASecondAgrees) {
    DateFollower follower;
    EXPECT_FALSE(follower.Follow(0.0, 0.1, 1.0)) << "the tolerance itself is no reason";
    EXPECT_TRUE(follower.Follow(0.1, 86400.0, 1.0)) << "a day behind: at once";
    EXPECT_FALSE(follower.Follow(0.2, 0.15, 1.0)) << "the sample before it, taken against the new date, disagrees";
    EXPECT_TRUE(follower.Follow(1.3, 0.15, 1.0)) << "a second of offsets beyond the tolerance, the same way";
    EXPECT_FALSE(follower.Follow(1.4, -0.5, 1.0));
    EXPECT_FALSE(follower.Follow(1.5, 5.0, 10.0)) << "under time acceleration, far off means more";
}

TEST(DateFollower, AFloodOfStartsKeepsTheNewestSecondsWorth) {
    DateFollower follower;
    const size_t n = DateFollower::kMaxSamples;
    // An offset within the tolerance, then a ring's worth beyond it within
    // the same second: the first holds them back until the ring drops it.
    EXPECT_FALSE(follower.Follow(0.0, 0.0, 1.0));
    for (size_t i = 1; i < n; ++i) EXPECT_FALSE(follower.Follow(i * 1e-4, 0.5, 1.0)) << i;
    EXPECT_TRUE(follower.Follow(n * 1e-4, 0.5, 1.0));
}

TEST(DateFollower, StatesAreCarriedOverFollowedDistancesOnly) {
    EXPECT_FALSE(DateFollower::BeyondCarry(-2.0, 1.0)) << "a late state of a followed date";
    EXPECT_TRUE(DateFollower::BeyondCarry(86400.0, 1.0)) << "a state of a date not yet taken";
    EXPECT_FALSE(DateFollower::BeyondCarry(50.0, 10.0)) << "scaled by time acceleration";
    EXPECT_TRUE(DateFollower::BeyondCarry(std::nan(""), 1.0));
}

TEST(ClockSlew, FollowsAStoppedMasterExactlyAndTurnsWithTheOffset) {
    ClockSlew slew;
    EXPECT_EQ(slew.Steer(0.0, 0.05, 0.0), 0.0) << "stopped";
    EXPECT_EQ(slew.Steer(0.0, std::nan(""), 4.0), 4.0) << "no number: no correction";
    EXPECT_DOUBLE_EQ(slew.Steer(0.1, 0.5, 10.0), 10.0 * 1.01) << "ahead of us by far: the bound";
    slew.DateMoved(0.5);
    EXPECT_NEAR(slew.Steer(0.2, 0.0, 10.0), 10.0, 1e-9) << "the date took the offset";
    for (int i = 0; i < 60; ++i) slew.Steer(0.2 + i / 30.0, -0.004, 1.0);
    EXPECT_LT(slew.Correction(), 0.0) << "ahead of the master: slower";
    EXPECT_GT(slew.Correction(), -0.01);
}

}  // namespace
