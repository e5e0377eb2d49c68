// Which sequence numbers count as new: copies, late numbers, wrap-around.
#include <gtest/gtest.h>

#include <cstdint>

#include "Endpoint.h"
#include "MasterTakeIn.h"
#include "SequenceWindow.h"
#include "WireRecords.h"

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

namespace {

TEST(MasterTakeIn, LateNumbersDoNotKeepAnOldNumberingAliveAndLossIsToldPerNumber) {
    MasterTakeIn takeIn;
    using V = MasterTakeIn::Verdict;
    EXPECT_TRUE(takeIn.Take(500, wire::kStart, 0.0).first);
    EXPECT_EQ(takeIn.Take(503, wire::kEnd, 0.0).skipped, 2);
    const MasterTakeIn::Outcome filler = takeIn.Take(502, wire::kHello, 0.0);
    EXPECT_EQ(filler.verdict, V::kFresh) << "of the newest update begun";
    EXPECT_TRUE(filler.fillsGap);
    EXPECT_EQ(takeIn.Take(502, wire::kHello, 0.0).verdict, V::kDuplicate);
    EXPECT_EQ(takeIn.Take(499, wire::kKeyboard, 0.0).verdict, V::kFresh) << "a key event is taken however late";

    // A master that restarted numbers from 1 and never pauses: its numbers
    // are late, and after a second of nothing fresh they are a numbering.
    int restartedAt = -1;
    for (int i = 1; i <= 30 && restartedAt < 0; ++i) {
        const MasterTakeIn::Outcome o = takeIn.Take(i, i % 3 == 1 ? wire::kStart : wire::kHello, 0.05 * i);
        if (o.restarted) {
            restartedAt = i;
            EXPECT_EQ(o.verdict, V::kFresh);
            EXPECT_TRUE(o.first);
        } else {
            EXPECT_EQ(o.verdict, V::kLate) << i;
        }
    }
    EXPECT_EQ(restartedAt, 21) << "the first number more than a second after the last fresh one";
}

TEST(MasterTakeIn, AdmitsBySenderThenBytesThenNumberAndOnlyAMessageSpendsANumber) {
    MasterTakeIn takeIn;
    using V = MasterTakeIn::Verdict;
    const Endpoint master{0x0100007fu, 0x1a2bu};
    const Endpoint stranger{0x0100007fu, 0x1a2cu};
    wire::StartRecord start{};
    start.header.type = wire::kStart;
    start.header.seq = 7;
    start.mjd = 51544.5;
    const auto* bytes = reinterpret_cast<const uint8_t*>(&start);
    const int length = static_cast<int>(sizeof start);

    EXPECT_EQ(takeIn.Admit(master, stranger, bytes, length, 0.0).verdict, V::kForeign);
    // Not even the bytes of a stranger are judged: a null datagram is safe.
    EXPECT_EQ(takeIn.Admit(master, stranger, nullptr, 0, 0.0).verdict, V::kForeign);
    const MasterTakeIn::Outcome cut = takeIn.Admit(master, master, bytes, length - 1, 0.0);
    EXPECT_EQ(cut.verdict, V::kNotMessage);
    EXPECT_EQ(cut.rejection, wire::Rejection::kWrongLength);

    // Neither took number 7: the master's own message does, once.
    const MasterTakeIn::Outcome first = takeIn.Admit(master, master, bytes, length, 0.0);
    EXPECT_EQ(first.verdict, V::kFresh);
    EXPECT_EQ(first.seq, 7);
    EXPECT_TRUE(first.first);
    EXPECT_EQ(takeIn.Admit(master, master, bytes, length, 0.0).verdict, V::kDuplicate);
}

}  // namespace
