// The figures of the statistics line, at their edges.
#include <gtest/gtest.h>

#include <cmath>

#include "LinkStatistics.h"

namespace {

// The counters of an interval, in the order the figures need them.
LinkStatistics Compute(int32_t firstSeq, int32_t lastSeq, int32_t lostCount, int32_t droppedCount, int32_t offsetCount,
                       double delaySum, double delaySquareSum) {
    LinkCounters c;
    c.firstSeq = firstSeq;
    c.lastSeq = lastSeq;
    c.lostCount = lostCount;
    c.droppedCount = droppedCount;
    c.offsetCount = offsetCount;
    c.delaySum = delaySum;
    c.delaySquareSum = delaySquareSum;
    return ComputeLinkStatistics(c);
}

TEST(LinkStatistics, NoMessagesGiveZerosWhateverTheOldLastNumber) {
    const LinkStatistics s = Compute(-1, 12345, 0, 0, 0, 0.0, 0.0);
    EXPECT_EQ(s.packets, 0);
    EXPECT_EQ(s.lostPercent, 0.0);
    EXPECT_EQ(s.droppedPercent, 0.0);
    EXPECT_EQ(s.meanDelayMs, 0.0);
    EXPECT_EQ(s.jitterMs, 0.0);
}

TEST(LinkStatistics, OneMessageSpansNothingAndDividesByNothing) {
    const LinkStatistics s = Compute(7, 7, 0, 3, 0, 0.5, 0.25);
    EXPECT_EQ(s.packets, 0);
    EXPECT_EQ(s.droppedPercent, 0.0);
    EXPECT_EQ(s.meanDelayMs, 0.0) << "no update completed";
    EXPECT_TRUE(std::isfinite(s.jitterMs));
}

TEST(LinkStatistics, PercentagesOfTheSpanAndDelaysOfTheUpdates) {
    // Three updates, offsets 10, 20 and 60 ms.
    const double sum = 0.010 + 0.020 + 0.060;
    const double squares = 0.010 * 0.010 + 0.020 * 0.020 + 0.060 * 0.060;
    const LinkStatistics s = Compute(100, 140, 4, 2, 3, sum, squares);
    EXPECT_EQ(s.packets, 40);
    EXPECT_DOUBLE_EQ(s.lostPercent, 10.0);
    EXPECT_DOUBLE_EQ(s.droppedPercent, 5.0);
    EXPECT_NEAR(s.meanDelayMs, 30.0, 1e-9);
    EXPECT_NEAR(s.jitterMs, std::sqrt((400.0 + 100.0 + 900.0) / 3.0), 1e-6);
}

TEST(LinkStatistics, EqualOffsetsHaveNoJitterDespiteRounding) {
    const double d = 0.1;
    const LinkStatistics s = Compute(0, 10, 0, 0, 3, 3 * d, 3 * d * d);
    EXPECT_NEAR(s.jitterMs, 0.0, 1e-3);
    EXPECT_FALSE(std::isnan(s.jitterMs));
}

TEST(LinkStatistics, NumberingThatWrapsStillGivesItsSpan) {
    const LinkStatistics s = Compute(INT32_MAX - 1, INT32_MIN + 1, 0, 0, 0, 0.0, 0.0);
    EXPECT_EQ(s.packets, 3);
}

}  // namespace
