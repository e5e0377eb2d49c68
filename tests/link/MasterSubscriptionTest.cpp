// The watch as one client of a master played by a test socket on loopback:
// subscription, renewal, acknowledgement, and a junk flood around the updates.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "Datagram.h"
#include "Loopback.h"
#include "LinkRecords.h"
#include "LinkWatch.h"

namespace {

using namespace linktest;

class FakeMaster {
public:
    sockaddr_in address() const { return LoopbackAddress(socket_.port()); }
    // The client's port, from the first datagram it sent.
    std::vector<Datagram> heard() {
        std::vector<uint8_t> buffer(70000);
        std::vector<Datagram> all;
        for (;;) {
            sockaddr_in from{};
            socklen_t length = sizeof from;
            const ssize_t n = ::recvfrom(socket_.fd(), buffer.data(), buffer.size(), MSG_DONTWAIT,
                                         reinterpret_cast<sockaddr*>(&from), &length);
            if (n < 0) break;
            clientPort_ = ntohs(from.sin_port);
            all.push_back(Datagram{std::vector<uint8_t>(buffer.begin(), buffer.begin() + n)});
        }
        return all;
    }
    void send(const std::vector<uint8_t>& bytes) const { socket_.sendTo(clientPort_, bytes.data(), bytes.size()); }
    // Start, one vessel, End: three numbers from `seq` on.
    void sendUpdate(int32_t seq) const {
        auto start = Zeroed<wire::StartRecord>(wire::kStart, seq);
        start.mjd = 60000.5;
        start.timeAccel = 1.0;
        send(BytesOf(start));
        send(BytesOf(Orbiting(seq + 1, "Orbiter-1", "Earth", 6778000.0, 7668.6)));
        send(BytesOf(Zeroed<wire::HeaderRecord>(wire::kEnd, seq + 2)));
    }
    int clientPort() const { return clientPort_; }

private:
    PeerSocket socket_;
    int clientPort_ = 0;
};

// Services the watch until the queued datagrams are read (bounded).
void Drain(LinkWatch& watch, double now) {
    for (int i = 0; i < 50; ++i) {
        UdpSocket::Waiting readable{&watch.Socket()};
        if (UdpSocket::WaitReadable(&readable, 1, i == 0 ? 200 : 20) <= 0) return;
        watch.Service(now);
    }
}

std::vector<int32_t> Types(const std::vector<Datagram>& datagrams) {
    std::vector<int32_t> types;
    for (const Datagram& d : datagrams) types.push_back(d.type());
    return types;
}

TEST(MasterSubscription, SubscribesRenewsAndAcknowledgesLikeASlave) {
    FakeMaster master;
    LinkWatch watch;
    std::string error;
    ASSERT_TRUE(watch.Open(master.address(), error)) << error;

    watch.Service(0.0);
    std::vector<Datagram> heard = master.heard();
    ASSERT_EQ(Types(heard), std::vector<int32_t>{wire::kHello});
    EXPECT_EQ(heard[0].seq(), 0);
    EXPECT_EQ(heard[0].bytes.size(), 8u);

    master.sendUpdate(40);
    Drain(watch, 0.5);
    heard = master.heard();
    ASSERT_EQ(Types(heard), std::vector<int32_t>{wire::kAck}) << "an Ack for the update, no early Hello";
    EXPECT_EQ(heard[0].seq(), 1);

    // A copy of the update's end is no second update.
    master.send(BytesOf(Zeroed<wire::HeaderRecord>(wire::kEnd, 42)));
    Drain(watch, 0.6);
    EXPECT_TRUE(master.heard().empty());

    watch.Service(1.0);
    EXPECT_TRUE(master.heard().empty()) << "renewed once more than a second has passed, as a slave renews";
    watch.Service(1.01);
    EXPECT_EQ(Types(master.heard()), std::vector<int32_t>{wire::kHello});
    const LinkSnapshot s = watch.Snapshot(1.01);
    EXPECT_EQ(s.link.updates, 1);
    EXPECT_EQ(s.link.duplicates, 1);
    EXPECT_EQ(s.acknowledgements, 1);
}

TEST(MasterSubscription, UpdatesAreSeenThroughAJunkFlood) {
    FakeMaster master;
    PeerSocket stranger;
    LinkWatch watch;
    std::string error;
    ASSERT_TRUE(watch.Open(master.address(), error)) << error;
    watch.Service(0.0);
    master.heard();

    // Wrong lengths, unknown types, values that are no numbers, and
    // well-formed updates from a sender that is not the master.
    auto nanStart = Zeroed<wire::StartRecord>(wire::kStart, 9);
    nanStart.mjd = std::numeric_limits<double>::quiet_NaN();
    const std::vector<std::vector<uint8_t>> junk{std::vector<uint8_t>(12, 0),
                                                 BytesOf(Zeroed<wire::HeaderRecord>(77, 1)), BytesOf(nanStart),
                                                 std::vector<uint8_t>(3, 0xFF)};
    constexpr int kRounds = 5;
    constexpr int kJunkPerRound = 400;
    int32_t seq = 1000;
    for (int round = 0; round < kRounds; ++round) {
        for (int i = 0; i < kJunkPerRound; ++i) {
            master.send(junk[i % junk.size()]);
            const std::vector<uint8_t> foreign = BytesOf(Zeroed<wire::HeaderRecord>(wire::kEnd, i));
            stranger.sendTo(master.clientPort(), foreign.data(), foreign.size());
        }
        master.sendUpdate(seq);
        seq += 3;
        Drain(watch, 0.1 * (round + 1));
    }
    const LinkSnapshot s = watch.Snapshot(0.6);
    EXPECT_EQ(s.link.updates, kRounds);
    EXPECT_EQ(s.link.lost, 0);
    EXPECT_EQ(s.ignored.notMessages, kRounds * kJunkPerRound);
    EXPECT_EQ(s.ignored.foreign, kRounds * kJunkPerRound);
    ASSERT_EQ(s.vessels.size(), 1u);
    EXPECT_EQ(s.vessels[0].name, "Orbiter-1");
    EXPECT_EQ(Types(master.heard()), std::vector<int32_t>(kRounds, wire::kAck));
}

}  // namespace
