// The slave's receive loop: time synchronisation, updates and their
// acknowledgement, sequence accounting, the backlog rule, waiting for the
// master and the statistics line.
#include "SlaveFixture.h"

namespace {

class ReceiveLoop : public SlaveFixture {
protected:
    // A date offset that the slave computes as at most 0.1 s: 0.1 s is not a
    // binary fraction of a day, so step down to the last date that still
    // reads as 0.1 s or less.
    static double DateAtMostTenthAhead() {
        double mjd = Ahead(0.1);
        while ((mjd - kBaseMjd) * kSecondsPerDay > 0.1) mjd = std::nextafter(mjd, 0.0);
        return mjd;
    }

    // `count` Hello datagrams of 8 bytes: filler of a known size.
    void sendFiller(int bytes) const {
        for (int sent = 0; sent < bytes; sent += 8) sendHeader(wire::kHello);
    }
};

TEST_F(ReceiveLoop, OffsetOfATenthOfASecondLeavesTheDateButSetsTheTimeAcceleration) {
    start("debug = 1\nslewDate = 0\n");
    const double mjd = DateAtMostTenthAhead();
    ASSERT_NEAR((mjd - kBaseMjd) * kSecondsPerDay, 0.1, 1e-6);
    send(StartAt(mjd, 0, 10.0));
    step();
    EXPECT_EQ(harness.host().simMJD(), kBaseMjd);
    EXPECT_EQ(harness.host().timeAcceleration(), 10.0);
    for (const auto& text : logTexts()) EXPECT_EQ(text.find("MJD sync"), std::string::npos) << text;
}

TEST_F(ReceiveLoop, ASmallOffsetIsSlewedAwayWithinOnePercentAndWithoutAStep) {
    start();
    // 80 ms behind, below the tolerance that would set the date; updates 30
    // times a second.
    double behind = 0.08;
    double previousAccel = 0.0;
    double largestChange = 0.0;
    for (int update = 0; update < 30 * 20; ++update) {
        // Captured half a step before this step reads it, as on average.
        const double dateBefore = harness.host().simMJD();
        send(StartAt(harness.host().simMJD() + (behind - 0.5 / 30.0) / kSecondsPerDay));
        step();
        ASSERT_EQ(harness.host().simMJD(), dateBefore) << "never a step of the date";
        const double accel = harness.host().timeAcceleration();
        ASSERT_LE(std::fabs(accel - 1.0), 0.01 + 1e-12) << update;
        if (update > 0) largestChange = std::max(largestChange, std::fabs(accel - previousAccel));
        previousAccel = accel;
        // A thirtieth of a second passes; the slave runs at its own rate.
        behind -= (accel - 1.0) / 30.0;
        harness.host().advanceSysTime(1.0 / 30.0);
        ASSERT_GE(behind, -1e-4) << "no overshoot";
    }
    EXPECT_LT(std::fabs(behind), 0.001) << "within a millisecond after 20 s";
    EXPECT_LT(largestChange, 0.001) << "the rate changes smoothly";
}

TEST_F(ReceiveLoop, ChangesOfTheMastersTimeAccelerationAreFollowedWithinTheBound) {
    start();
    for (double accel : {1.0, 10.0, 1.0}) {
        for (int update = 0; update < 30; ++update) {
            send(StartAt(harness.host().simMJD() + 0.02 * accel / kSecondsPerDay, 0, accel));
            step();
            harness.host().advanceSysTime(1.0 / 30.0);
            ASSERT_LE(std::fabs(harness.host().timeAcceleration() / accel - 1.0), 0.01 + 1e-12) << accel;
        }
    }
    send(StartAt(Ahead(3600.0)));
    step();
    // Half a step (the message's likely wait) ahead of the date it carries.
    EXPECT_NEAR((harness.host().simMJD() - Ahead(3600.0)) * kSecondsPerDay, 0.5 / 30.0, 1e-3)
        << "a jump of the master's date is taken at once";
}

TEST_F(ReceiveLoop, OffsetAboveATenthOfASecondSetsTheDateAndLogsIt) {
    start("debug = 1\n");
    const double mjd = Ahead(0.1001);
    const double offset = (mjd - kBaseMjd) * kSecondsPerDay;
    send(StartAt(mjd, 0, 2.0));
    step();
    EXPECT_EQ(harness.host().simMJD(), mjd) << "the master's date, unchanged";
    EXPECT_EQ(harness.host().timeAcceleration(), 2.0);
    char expected[64];
    std::snprintf(expected, sizeof expected, "MJD sync delta=%g s", offset);
    EXPECT_TRUE(harness.logged(expected));

    // Behind by as much a second later: set as well (within the second, the
    // two offsets would disagree, as jitter does).
    harness.host().advanceSysTime(1.1);
    const double behind = kBaseMjd - 0.5 / kSecondsPerDay;
    send(StartAt(behind));
    step();
    EXPECT_EQ(harness.host().simMJD(), behind);
}

TEST_F(ReceiveLoop, ASmallCorrectionCarriesVesselsAlongAFarJumpLeavesThem) {
    simhost::RegisterGenericClass("Drifter2", SlaveClassOfVersion(2));
    start();
    VESSEL* vessel = oapiGetVesselInterface(AddVessel("drifter", "Drifter2"));
    send(StartAt(Ahead(0.2)));
    step();
    EXPECT_NEAR(StatusOf(*vessel).rpos.y, 0.2 * 7500, 1.0) << "moved along its orbit by the correction";
    send(StartAt(Ahead(86400.0)));
    step();
    EXPECT_NEAR(StatusOf(*vessel).rpos.y, 0.2 * 7500, 1.0) << "a day's jump keeps it fixed to the surface";
}

TEST_F(ReceiveLoop, OffsetsAreSummedForTheStatistics) {
    Helmecho& slave = start();
    send(StartAt(Ahead(0.05)));
    send(StartAt(Ahead(-0.03)));
    step();
    EXPECT_NEAR(slave.Link().delaySum, 0.02, 1e-6);
    // A date carries about 1e-6 s of rounding.
    EXPECT_NEAR(slave.Link().delaySquareSum, 0.05 * 0.05 + 0.03 * 0.03, 2e-7);
}

TEST_F(ReceiveLoop, UpdateSplitOverTwoStepsIsAppliedOverBothAndAcknowledgedOnce) {
    Helmecho& slave = start();
    send(StartAt(Ahead(1.0), 1, 4.0));
    sendHeader(wire::kHello, 2);
    step();
    EXPECT_EQ(countReceived(wire::kAck), 0) << "no acknowledgement before the end";
    EXPECT_EQ(harness.host().timeAcceleration(), 4.0) << "the first half is applied at once";
    EXPECT_EQ(slave.Link().updateCount, 0);

    sendHeader(wire::kEnd, 3);
    step();
    const auto datagrams = receiveAll();
    ASSERT_EQ(datagrams.size(), 1u);
    EXPECT_EQ(datagrams[0].type(), wire::kAck);
    EXPECT_EQ(datagrams[0].bytes.size(), 8u);
    EXPECT_EQ(slave.Link().updateCount, 1);
    EXPECT_EQ(slave.Link().lostCount, 0);

    step();
    EXPECT_EQ(countReceived(wire::kAck), 0) << "nothing more to acknowledge";
}

TEST_F(ReceiveLoop, AtMostOneUpdatePerStep) {
    Helmecho& slave = start();
    for (int update = 0; update < 2; ++update) {
        send(StartAt(kBaseMjd, 2 * update + 1));
        sendHeader(wire::kEnd, 2 * update + 2);
    }
    step();
    EXPECT_EQ(slave.Link().updateCount, 1);
    EXPECT_EQ(countReceived(wire::kAck), 1);
    step();
    EXPECT_EQ(slave.Link().updateCount, 2);
    EXPECT_EQ(countReceived(wire::kAck), 1);
}

TEST_F(ReceiveLoop, SequenceGapCountsAsLost) {
    Helmecho& slave = start();
    for (int32_t seq : {10, 11, 13}) sendHeader(wire::kHello, seq);
    step();
    EXPECT_EQ(slave.Link().firstSeq, 10);
    EXPECT_EQ(slave.Link().lastSeq, 13);
    EXPECT_EQ(slave.Link().lostCount, 1);
}

TEST_F(ReceiveLoop, ReorderingCountsAGapThenFillsIt) {
    Helmecho& slave = start();
    sendHeader(wire::kHello, 10);
    sendHeader(wire::kHello, 12);
    step();
    EXPECT_EQ(slave.Link().lostCount, 1);
    sendHeader(wire::kHello, 11);
    step();
    EXPECT_EQ(slave.Link().lostCount, 0) << "each number counts once";
    EXPECT_EQ(slave.Link().lastSeq, 12);
}

TEST_F(ReceiveLoop, BacklogThatGrowsBetweenUpdateEndsIsDiscarded) {
    Helmecho& slave = start();

    // 2,000 bytes behind the first end: below the initial 1,000,000, kept.
    sendHeader(wire::kEnd);
    sendFiller(2000);
    step();
    EXPECT_EQ(slave.PrevBacklog(), 2000);
    EXPECT_EQ(slave.Link().droppedCount, 0);
    step();  // the filler is taken in as ordinary messages
    EXPECT_EQ(slave.Link().droppedCount, 0);

    // 3,000 behind the next end: all of it goes.
    sendHeader(wire::kEnd);
    sendFiller(2400);
    send(StartAt(Ahead(5.0)));  // 32 bytes
    sendFiller(568);
    step();
    EXPECT_EQ(slave.PrevBacklog(), 3000);
    EXPECT_EQ(slave.Link().droppedCount, 300 + 1 + 71);
    EXPECT_EQ(harness.host().simMJD(), kBaseMjd) << "a discarded message is not applied";
    EXPECT_EQ(countReceived(wire::kAck), 2);

    // 1,500 behind the next end: less than before, nothing discarded.
    sendHeader(wire::kEnd);
    wire::VesselExtraRecord extra{};  // 84 bytes, for a vessel nobody has
    extra.header = {wire::kVesselExtra, 0};
    CopyName(extra.vesselName, "nobody");
    send(extra);
    sendFiller(1500 - 84);
    step();
    EXPECT_EQ(slave.PrevBacklog(), 1500);
    EXPECT_EQ(slave.Link().droppedCount, 372);
    step();  // takes the rest in

    // Nothing behind an end: nothing changes.
    sendHeader(wire::kEnd);
    step();
    EXPECT_EQ(slave.PrevBacklog(), 1500);
    EXPECT_EQ(slave.Link().droppedCount, 372);
}

TEST_F(ReceiveLoop, WithoutWaitingAndWithoutMasterAStepReturnsAtOnce) {
    start("debug = 1\n");
    const size_t linesBefore = logTexts().size();
    const double before = harness.host().sysTime();
    for (int i = 0; i < 3; ++i) step();
    EXPECT_EQ(harness.host().sysTime(), before) << "no sleep";
    EXPECT_EQ(logTexts().size(), linesBefore);
    EXPECT_TRUE(receiveAll().empty()) << "no acknowledgement";
}

TEST_F(ReceiveLoop, WaitingWithoutMasterGivesUpAfterOneHundredSleeps) {
    start("debug = 1\nwaitForMaster = 1\n");
    const double before = harness.host().sysTime();
    step();
    EXPECT_NEAR(harness.host().sysTime() - before, 0.100, 1e-9);
    EXPECT_TRUE(harness.logged("ReceiveMessage() timed out"));
    EXPECT_EQ(countReceived(wire::kAck), 0);
}

TEST_F(ReceiveLoop, WaitingTakesAWholeQueuedUpdateWithoutSleeping) {
    Helmecho& slave = start("waitForMaster = 1\n");
    send(StartAt(kBaseMjd, 1));
    sendHeader(wire::kEnd, 2);
    const double before = harness.host().sysTime();
    step();
    EXPECT_EQ(harness.host().sysTime(), before);
    EXPECT_EQ(slave.Link().updateCount, 1);
    EXPECT_EQ(countReceived(wire::kAck), 1);
}

TEST_F(ReceiveLoop, WaitingForTheRestOfAnUpdateIsBoundedPerDatagram) {
    start("waitForMaster = 1\n");
    send(StartAt(kBaseMjd, 1));
    const double before = harness.host().sysTime();
    step();
    EXPECT_NEAR(harness.host().sysTime() - before, 0.100, 1e-9);
    EXPECT_EQ(countReceived(wire::kAck), 0);
    sendHeader(wire::kEnd, 2);
    step();
    EXPECT_EQ(countReceived(wire::kAck), 1);
}

TEST_F(ReceiveLoop, WrongLengthIsReadPastAndReportedOnce) {
    Helmecho& slave = start();
    send(StartAt(kBaseMjd, 1));
    send(StartAt(kBaseMjd, 2), 31);
    uint8_t tooLong[sizeof(wire::StartRecord) + 1] = {};
    const wire::StartRecord third = StartAt(kBaseMjd, 3);
    std::memcpy(tooLong, &third, sizeof third);
    master.sendTo(slavePort, tooLong, sizeof tooLong);
    sendHeader(wire::kEnd, 4);
    step();
    EXPECT_EQ(countReceived(wire::kAck), 1) << "the update completes in the same step";
    EXPECT_EQ(slave.Link().updateCount, 1);
    EXPECT_FALSE(harness.logged("ReceiveMessage() error"));
    int reports = 0;
    for (const auto& text : logTexts())
        reports += text.rfind("Ignored datagrams of the master that are no message: ", 0) == 0 ? 1 : 0;
    EXPECT_EQ(reports, 1) << "the first at once, the second within the same second only counted";
}

class Statistics : public ReceiveLoop {
protected:
    // Ends the current statistics interval.
    void closeInterval() {
        harness.host().advanceSysTime(1.5);
        step();
    }
    std::string lastLine() const { return logTexts().back(); }
};

TEST_F(Statistics, IntervalWithoutMessagesPrintsZeros) {
    start("debug = 1\n");
    closeInterval();
    EXPECT_EQ(lastLine(),
              "Pkts: 0 lost: 0 ( 0.0 %) dropped: 0 ( 0.0 %) 0 upd/sec mean_delay= 0.0 ms jitter= 0.0 ms rms");
    EXPECT_EQ(countReceived(wire::kHello), 1) << "the subscription is renewed";
}

TEST_F(Statistics, DelaysAreAveragedOverTheOffsetsNotTheUpdateEnds) {
    start("debug = 1\n");
    sendHeader(wire::kHello, 7);
    send(StartAt(Ahead(0.05), 9));
    step();
    closeInterval();
    EXPECT_EQ(lastLine(),
              "Pkts: 2 lost: 1 (50.0 %) dropped: 0 ( 0.0 %) 0 upd/sec mean_delay=50.0 ms jitter= 0.0 ms rms");
}

TEST_F(Statistics, LineShowsLossMeanDelayAndJitterThenResets) {
    Helmecho& slave = start("debug = 1\n");
    send(StartAt(Ahead(0.02), 10));
    sendHeader(wire::kEnd, 11);
    step();
    send(StartAt(Ahead(0.06), 13));
    sendHeader(wire::kEnd, 14);
    step();
    closeInterval();
    // Offsets 20 and 60 ms: mean 40, standard deviation 20.
    EXPECT_EQ(lastLine(),
              "Pkts: 4 lost: 1 (25.0 %) dropped: 0 ( 0.0 %) 2 upd/sec mean_delay=40.0 ms jitter=20.0 ms rms");
    EXPECT_EQ(slave.Link().firstSeq, -1);
    EXPECT_EQ(slave.Link().lostCount, 0);
    EXPECT_EQ(slave.Link().updateCount, 0);
    EXPECT_EQ(slave.Link().delaySum, 0.0);
    EXPECT_EQ(slave.Link().delaySquareSum, 0.0);
    EXPECT_EQ(slave.Link().lastSeq, 14) << "kept across intervals";
    EXPECT_EQ(slave.LastReportTime(), harness.host().sysTime());
}

TEST_F(Statistics, IntervalEndsOnlyAfterMoreThanOneSecond) {
    Helmecho& slave = start("debug = 1\n");
    const double opened = slave.LastReportTime();
    harness.host().setSysTime(opened + 1.0);
    step();
    EXPECT_EQ(slave.LastReportTime(), opened);
    EXPECT_EQ(countReceived(wire::kHello), 0);
    harness.host().setSysTime(opened + 1.0 + 1e-6);
    step();
    EXPECT_GT(slave.LastReportTime(), opened);
    EXPECT_EQ(countReceived(wire::kHello), 1);
}

}  // namespace
