// The link's figures from sequence numbers and update boundaries, on a
// clock the test sets.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "LinkTally.h"
#include "WireRecords.h"

namespace {

using Verdict = LinkTally::Verdict;

// One update: Start, `vessels` status records, End, numbered from `first`.
struct Update {
    std::vector<int32_t> types;
    std::vector<int> lengths;
};
Update MakeUpdate(int vessels) {
    Update u{{wire::kStart}, {32}};
    for (int i = 0; i < vessels; ++i) {
        u.types.push_back(wire::kVessel2);
        u.lengths.push_back(2304);
    }
    u.types.push_back(wire::kEnd);
    u.lengths.push_back(8);
    return u;
}

// Feeds the update's messages whose index is not in `skip`; the next number.
int32_t Feed(LinkTally& tally, const Update& u, int32_t first, double now, std::vector<size_t> skip = {}) {
    for (size_t i = 0; i < u.types.size(); ++i) {
        if (std::find(skip.begin(), skip.end(), i) == skip.end())
            tally.Take(first + static_cast<int32_t>(i), u.types[i], u.lengths[i], now);
    }
    return first + static_cast<int32_t>(u.types.size());
}

TEST(LinkTally, SteadyUpdatesGiveRateSizeAndSpacing) {
    LinkTally tally;
    const Update u = MakeUpdate(2);
    int32_t seq = 100;
    for (int i = 0; i < 90; ++i) seq = Feed(tally, u, seq, i / 30.0);
    const LinkFigures f = tally.Figures(89 / 30.0);
    EXPECT_NEAR(f.updatesPerSecond, 30.0, 0.6);
    EXPECT_DOUBLE_EQ(f.datagramsPerUpdate, 4.0);
    EXPECT_DOUBLE_EQ(f.bytesPerUpdate, 32 + 2 * 2304 + 8);
    EXPECT_NEAR(f.spacingMs, 1000.0 / 30.0, 1e-6);
    EXPECT_NEAR(f.jitterMs, 0.0, 1e-3);
    EXPECT_EQ(f.updates, 90);
    EXPECT_EQ(f.datagrams, 360);
    EXPECT_EQ(f.lost + f.duplicates + f.reordered + f.incompleteUpdates, 0);
    // Once the master stops, the rate falls to zero as the window empties.
    EXPECT_EQ(tally.Figures(89 / 30.0 + LinkTally::kRecentSeconds + 0.1).updatesPerSecond, 0.0);
}

TEST(LinkTally, LossCopiesAndLateArrivalsBySequenceNumber) {
    LinkTally tally;
    const Update u = MakeUpdate(3);  // five messages
    Feed(tally, u, 0, 0.0, {2});     // number 2 missing
    LinkFigures f = tally.Figures(0.0);
    EXPECT_EQ(f.lost, 1);
    EXPECT_EQ(f.incompleteUpdates, 1);
    EXPECT_NEAR(f.lostPercent, 20.0, 1e-9);

    Feed(tally, u, 5, 0.03);
    // Number 2 comes after the next update began: new, but behind the picture.
    EXPECT_EQ(tally.Take(2, wire::kVessel2, 2304, 0.04), Verdict::kLate);
    EXPECT_EQ(tally.Take(6, wire::kVessel2, 2304, 0.04), Verdict::kDuplicate);
    f = tally.Figures(0.04);
    EXPECT_EQ(f.lost, 0) << "the late arrival fills its gap";
    EXPECT_EQ(f.reordered, 1);
    EXPECT_EQ(f.duplicates, 1);
    EXPECT_EQ(f.updates, 2);
    // A key event is an event: late or not, it is taken in.
    EXPECT_EQ(tally.Take(12, wire::kStart, 32, 0.06), Verdict::kFresh);
    EXPECT_EQ(tally.Take(10, wire::kKeyboard, 204, 0.06), Verdict::kFresh);
}

TEST(LinkTally, AMasterThatNumbersAfreshAfterSilenceIsFollowed) {
    LinkTally tally;
    const Update u = MakeUpdate(1);
    Feed(tally, u, 5000, 0.0);
    // Behind, and soon after: a copy of something old, not a restart.
    EXPECT_EQ(tally.Take(5000, wire::kStart, 32, 0.5), Verdict::kDuplicate);
    // Behind after more than a second of nothing new: the master restarted.
    EXPECT_EQ(tally.Take(0, wire::kStart, 32, 2.0), Verdict::kFresh);
    Feed(tally, u, 0, 2.0, {0});
    const LinkFigures f = tally.Figures(2.0);
    EXPECT_EQ(f.restarts, 1);
    EXPECT_EQ(f.lost, 0);
    EXPECT_EQ(f.updates, 2);
}

}  // namespace
