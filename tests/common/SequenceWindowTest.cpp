// Which sequence numbers count as new: copies, late numbers, wrap-around.
#include <gtest/gtest.h>

#include <cstdint>

#include "SequenceWindow.h"

namespace {

using Verdict = SequenceWindow::Verdict;

TEST(SequenceWindow, EachNumberIsNewOnceEvenWhenLateOrAcrossTheWrap) {
    for (int32_t base : {0, INT32_MAX - 2}) {
        SequenceWindow window;
        const auto at = [base](int32_t i) { return static_cast<int32_t>(static_cast<uint32_t>(base) + i); };
        EXPECT_EQ(window.Take(at(0)), Verdict::kNew);
        EXPECT_EQ(window.Take(at(5)), Verdict::kNew);
        EXPECT_EQ(window.Take(at(3)), Verdict::kNew) << "late, but not seen";
        EXPECT_EQ(window.Take(at(3)), Verdict::kDuplicate);
        EXPECT_EQ(window.Take(at(5)), Verdict::kDuplicate);
        EXPECT_EQ(window.newest(), at(5));
        EXPECT_TRUE(SequenceAfter(at(5), at(3)));
    }
}

TEST(SequenceWindow, NumbersBehindTheWindowCannotBeJudgedAndAJumpClearsIt) {
    SequenceWindow window;
    window.Take(100);
    window.Take(100 + SequenceWindow::kSpan - 1);
    EXPECT_EQ(window.Take(100), Verdict::kDuplicate) << "still inside";
    window.Take(100 + SequenceWindow::kSpan);
    EXPECT_EQ(window.Take(100), Verdict::kTooOld);
    // A jump further than the window forgets the slots it passed over.
    window.Take(100 + 3 * SequenceWindow::kSpan);
    EXPECT_EQ(window.Take(101 + 2 * SequenceWindow::kSpan), Verdict::kNew);
    window.Reset();
    EXPECT_TRUE(window.empty());
    EXPECT_EQ(window.Take(100), Verdict::kNew);
}

}  // namespace
