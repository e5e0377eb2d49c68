// The relay's decisions: seeded shares of loss and duplication, delays within
// their bounds, no reordering unless asked, settings and addresses refused
// when they are not what the relay accepts; what it tells of the updates a
// slave was sent.
#include <gtest/gtest.h>

#include "Impairment.h"
#include "LoopbackSocket.h"
#include "PendingDatagrams.h"
#include "UpdateWatch.h"

namespace {

using impair::LinkImpairment;
using impair::LinkSettings;

LinkSettings Parsed(const std::string& text) {
    LinkSettings settings;
    std::string error;
    EXPECT_TRUE(impair::ParseLinkSettings(text, settings, error)) << text << ": " << error;
    return settings;
}

TEST(Impairment, SeededShareOfLossAndDuplicationIsAboutTheOneAsked) {
    LinkImpairment link(Parsed("loss=5,dup=30"), 42);
    const int n = 20000;
    uint64_t copies = 0;
    for (int i = 0; i < n; ++i) copies += link.Schedule(i * 0.001).size();
    const impair::LinkCounts& c = link.Counts();
    EXPECT_EQ(static_cast<uint64_t>(n), c.received);
    EXPECT_NEAR(0.05, static_cast<double>(c.dropped) / n, 0.01);
    // Duplication is decided on the datagrams that were not lost.
    EXPECT_NEAR(0.30 * 0.95, static_cast<double>(c.duplicated) / n, 0.02);
    EXPECT_EQ(n - c.dropped + c.duplicated, copies);

    LinkImpairment again(Parsed("loss=5,dup=30"), 42);
    for (int i = 0; i < n; ++i) again.Schedule(i * 0.001);
    EXPECT_EQ(c.dropped, again.Counts().dropped);
    EXPECT_EQ(c.duplicated, again.Counts().duplicated);
}

TEST(Impairment, DelaysStayWithinMeanPlusMinusJitterAndOnlyReorderingAddsMore) {
    LinkImpairment jittery(Parsed("delay=50:20"), 7);
    LinkImpairment reordering(Parsed("delay=10,reorder=25:40"), 7);
    int held = 0;
    for (int i = 0; i < 5000; ++i) {
        const double now = i * 0.002;
        for (double due : jittery.Schedule(now)) {
            EXPECT_GE(due - now, 0.030 - 1e-9);
            EXPECT_LE(due - now, 0.070 + 1e-9);
        }
        for (double due : reordering.Schedule(now)) {
            const double delay = due - now;
            EXPECT_TRUE(std::abs(delay - 0.010) < 1e-9 || std::abs(delay - 0.050) < 1e-9) << delay;
            held += delay > 0.02;
        }
    }
    EXPECT_EQ(static_cast<uint64_t>(held), reordering.Counts().reordered);
    EXPECT_NEAR(0.25, held / 5000.0, 0.03);
}

TEST(Impairment, WithoutReorderingOrJitterDatagramsLeaveInArrivalOrder) {
    LinkImpairment link(Parsed("loss=10,dup=20,delay=30"), 3);
    impair::PendingDatagrams pending(1 << 20);
    uint8_t label = 0;
    for (int i = 0; i < 200; ++i, ++label) {
        // Several arrivals in one instant, as a burst read in one go.
        for (double due : link.Schedule((i / 4) * 0.001)) {
            impair::PendingDatagram datagram;
            datagram.due = due;
            datagram.bytes = {label};
            ASSERT_TRUE(pending.Push(datagram));
        }
    }
    int previous = -1;
    while (!pending.Empty()) {
        const int current = pending.Pop().bytes[0];
        EXPECT_LE(previous, current);  // a duplicate follows its original, nothing overtakes
        previous = current;
    }
}

TEST(Impairment, QueueRefusesWhatWouldOverflowIt) {
    impair::PendingDatagrams pending(100);
    impair::PendingDatagram big;
    big.bytes.assign(60, 0);
    EXPECT_TRUE(pending.Push(big));
    EXPECT_FALSE(pending.Push(big));
    pending.Pop();
    EXPECT_TRUE(pending.Push(big));
}

TEST(Impairment, SettingsOutsideTheirRangesAreRefused) {
    LinkSettings settings;
    std::string error;
    for (const char* bad : {"loss=101", "loss=-1", "dup=x", "delay=50:", "reorder=10:70000", "jitter=5", "loss"}) {
        EXPECT_FALSE(impair::ParseLinkSettings(bad, settings, error)) << bad;
    }
    const LinkSettings s = Parsed("delay=200:100,reorder=10:40");
    EXPECT_EQ(200.0, s.delayMs);
    EXPECT_EQ(100.0, s.jitterMs);
    EXPECT_EQ(10.0, s.reorderPercent);
    EXPECT_EQ(40.0, s.reorderExtraMs);
    EXPECT_EQ(0.0, Parsed("none").lossPercent);
}

TEST(UpdateWatch, OnlyAStartAndEveryNumberUpToItsEndMakeAWholeUpdate) {
    impair::UpdateWatch watch;
    auto send = [&](int32_t type, int32_t seq, double at) {
        const wire::Header header{type, seq};
        return watch.Sent(reinterpret_cast<const uint8_t*>(&header), sizeof header, at);
    };
    // An answer to a Hello (an end alone), then an update missing a number.
    EXPECT_FALSE(send(wire::kEnd, 9, 1.0));
    EXPECT_FALSE(send(wire::kStart, 10, 1.1));
    EXPECT_FALSE(send(wire::kVessel2, 11, 1.1));
    EXPECT_FALSE(send(wire::kEnd, 13, 1.1));
    EXPECT_EQ(0u, watch.WholeUpdates());
    EXPECT_EQ(0.0, watch.LongestWait());
    // Whole ones, numbers wrapping past the largest.
    EXPECT_FALSE(send(wire::kStart, INT32_MAX, 2.0));
    EXPECT_TRUE(send(wire::kEnd, INT32_MIN, 2.0));
    EXPECT_FALSE(send(wire::kStart, 5, 2.5));
    EXPECT_TRUE(send(wire::kEnd, 6, 2.5));
    EXPECT_EQ(2u, watch.WholeUpdates());
    EXPECT_EQ(2.0, watch.FirstWhole());
    EXPECT_DOUBLE_EQ(0.5, watch.LongestWait());
    // Cut off: only answers come, and the wait goes on growing.
    send(wire::kEnd, 40, 4.0);
    EXPECT_DOUBLE_EQ(1.5, watch.LongestWait());
}

TEST(FaultTools, OnlyLoopbackAddressesAreAccepted) {
    sockaddr_in address;
    std::string error;
    for (const char* good : {"40000", "127.0.0.1:40000", "127.8.9.10:1", "localhost:65535"}) {
        EXPECT_TRUE(faulttools::ParseLoopbackEndpoint(good, address, error)) << good << ": " << error;
        EXPECT_TRUE(faulttools::IsLoopback(address)) << good;
    }
    for (const char* bad : {"10.0.0.1:40000", "0.0.0.0:40000", "192.168.1.2:5", "128.0.0.1:5", "8.8.8.8:53",
                            "127.0.0.1:0", "127.0.0.1:65536", "example.org:80", "127.0.0.1:"}) {
        EXPECT_FALSE(faulttools::ParseLoopbackEndpoint(bad, address, error)) << bad;
    }
}

}  // namespace
