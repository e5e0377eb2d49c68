// The host's clock, Sleep on it, and the debug string.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/PlatformServices.h"

namespace {

class VirtualClock : public ::testing::Test {
protected:
    void TearDown() override { simhost::ClockUseVirtual(false, 0.0); }
};

TEST_F(VirtualClock, SetAdvanceAndSleepMoveOnlyTheVirtualTime) {
    simhost::ClockUseVirtual(true, 100.0);
    EXPECT_TRUE(simhost::ClockIsVirtual());
    EXPECT_DOUBLE_EQ(simhost::ClockNow(), 100.0);
    simhost::ClockAdvance(0.25);
    EXPECT_DOUBLE_EQ(simhost::ClockNow(), 100.25);
    simhost::ClockSet(7.0);
    EXPECT_DOUBLE_EQ(simhost::ClockNow(), 7.0);
    // A long sleep returns at once and moves the clock by exactly its length.
    Sleep(3600 * 1000);
    EXPECT_DOUBLE_EQ(simhost::ClockNow(), 3607.0);
    Sleep(5);
    EXPECT_DOUBLE_EQ(simhost::ClockNow(), 3607.005);
}

TEST_F(VirtualClock, RealClockIsMonotonicAndIgnoresSetting) {
    simhost::ClockUseVirtual(false, 0.0);
    EXPECT_FALSE(simhost::ClockIsVirtual());
    double before = simhost::ClockNow();
    simhost::ClockSet(-1e9);
    simhost::ClockAdvance(-1e9);
    Sleep(1);
    double after = simhost::ClockNow();
    EXPECT_GT(after, before);  // it did sleep, and setting did not move it back
}

TEST(DebugString, OneBufferSharedByHostAndModules) {
    char* buffer = oapiDebugString();
    ASSERT_EQ(buffer, simhost::DebugStringBuffer());
    std::memset(buffer, 'x', 255);
    buffer[255] = '\0';
    EXPECT_EQ(std::strlen(simhost::DebugStringBuffer()), 255u);
    buffer[0] = '\0';
}

}  // namespace
