// The relay between a master and slaves played by test sockets on loopback,
// on a clock the test sets: what goes down, what goes up, what is refused.
#include <gtest/gtest.h>

#include <vector>

#include "Datagram.h"
#include "LinkRecords.h"
#include "Relay.h"

namespace {

using namespace linktest;
using Bytes = std::vector<uint8_t>;

sockaddr_in Loopback(int port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<uint16_t>(port));
    return a;
}

Bytes Header(int32_t type, int32_t seq) { return BytesOf(Zeroed<wire::HeaderRecord>(type, seq)); }

Bytes Keys(int32_t seq, int count) {
    auto keys = Zeroed<wire::KeyboardRecord>(wire::kKeyboard, seq);
    keys.keyCount = count;
    for (int i = 0; i < count; ++i) keys.keys[i].keyFlags = (0x26 + i) << 16;
    return BytesOf(keys);
}

// Start, one vessel, End: numbers seq to seq + 2.
std::vector<Bytes> Update(int32_t seq) {
    auto start = Zeroed<wire::StartRecord>(wire::kStart, seq);
    start.mjd = 60000.5;
    return {BytesOf(start), BytesOf(Orbiting(seq + 1, "Orbiter-1", "Earth", 6778000.0, 7668.6)),
            Header(wire::kEnd, seq + 2)};
}

std::vector<Bytes> BytesOfAll(const std::vector<Datagram>& datagrams) {
    std::vector<Bytes> all;
    for (const Datagram& d : datagrams) all.push_back(d.bytes);
    return all;
}

class RelayTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(relay_.Open({master_.address(), Loopback(0), 2, 16, ""}, error)) << error;
        step();
        const std::vector<Datagram> hello = fromRelay();
        ASSERT_EQ(hello.size(), 1u);
        ASSERT_EQ(hello[0].type(), wire::kHello);
    }

    int relayPort() const { return ntohs(relay_.ListenAddress().sin_port); }

    // Steps the relay until what was sent to it is read (bounded).
    void step() {
        relay_.Step(now_);
        for (int i = 0; i < 20; ++i) {
            UdpSocket::Waiting readable[2] = {{&relay_.Socket()}, {&relay_.ListenSocket()}};
            if (UdpSocket::WaitReadable(readable, 2, 20) <= 0) return;
            relay_.Step(now_);
        }
    }

    void fromMaster(const std::vector<Bytes>& datagrams) {
        for (const Bytes& d : datagrams) master_.sendTo(upstreamPort_, d.data(), d.size());
        step();
    }

    // Subscribes slaves as they do: Hellos; the end of the master's next
    // update (numbered 1 to 3) answers them, their Acks confirm them. What
    // they and the master received on the way is read away.
    void subscribe(const std::vector<const PeerSocket*>& slaves) {
        const Bytes hello = Header(wire::kHello, 0);
        for (const PeerSocket* slave : slaves) slave->sendTo(relayPort(), hello.data(), hello.size());
        step();
        fromMaster(Update(1));
        const Bytes ack = Header(wire::kAck, 1);
        for (const PeerSocket* slave : slaves) {
            ReceiveAllNow(*slave);
            slave->sendTo(relayPort(), ack.data(), ack.size());
        }
        step();
        fromRelay();
    }

    // What the master heard from the relay; learns the relay's upstream port.
    std::vector<Datagram> fromRelay() {
        std::vector<Datagram> all;
        Bytes buffer(70000);
        for (;;) {
            sockaddr_in from{};
            socklen_t length = sizeof from;
            const ssize_t n = ::recvfrom(master_.fd(), buffer.data(), buffer.size(), MSG_DONTWAIT,
                                         reinterpret_cast<sockaddr*>(&from), &length);
            if (n < 0) return all;
            upstreamPort_ = ntohs(from.sin_port);
            all.push_back(Datagram{Bytes(buffer.begin(), buffer.begin() + n)});
        }
    }

    RelayEvents events_{RelayEvents::Sink::kNone};
    Relay relay_{events_};
    PeerSocket master_;
    int upstreamPort_ = 0;
    double now_ = 100.0;
};

TEST_F(RelayTest, PassesEveryNewDatagramOnUnchangedAndAcknowledgesUpdates) {
    PeerSocket slave1, slave2;
    subscribe({&slave1, &slave2});
    const RelaySnapshot before = relay_.WholeSnapshot(now_);
    const std::vector<Bytes> first = Update(10);
    fromMaster(first);
    EXPECT_EQ(BytesOfAll(ReceiveAllNow(slave1)), first);
    EXPECT_EQ(BytesOfAll(ReceiveAllNow(slave2)), first);

    // A copy goes nowhere; a number missing on the way stays missing below,
    // so the slaves count the loss themselves; one that comes after the next
    // update began still goes on, so that they count it as arrived.
    const std::vector<Bytes> second = Update(13);
    const std::vector<Bytes> third = Update(16);
    fromMaster({second[0], second[0], second[2]});
    fromMaster(third);
    fromMaster({second[1]});
    const std::vector<Bytes> expected{second[0], second[2], third[0], third[1], third[2], second[1]};
    EXPECT_EQ(BytesOfAll(ReceiveAllNow(slave1)), expected);
    EXPECT_EQ(BytesOfAll(ReceiveAllNow(slave2)), expected);

    std::vector<int32_t> up;
    for (const Datagram& d : fromRelay()) up.push_back(d.type());
    EXPECT_EQ(up, (std::vector<int32_t>{wire::kAck, wire::kAck, wire::kAck}))
        << "one Ack per update, none per datagram";
    const RelaySnapshot s = relay_.WholeSnapshot(now_);
    EXPECT_EQ(s.relay.updates - before.relay.updates, 3);
    EXPECT_EQ(s.relay.sends - before.relay.sends, 2 * 9);
    EXPECT_EQ(s.upstream.link.duplicates, 1);
}

TEST_F(RelayTest, ANewClientGetsItsFirstUpdateWhole) {
    PeerSocket early, late;
    subscribe({&early});
    const std::vector<Bytes> update = Update(20);
    fromMaster({update[0]});
    const Bytes hello = Header(wire::kHello, 0);
    late.sendTo(relayPort(), hello.data(), hello.size());
    step();
    fromMaster({update[1], update[2]});
    EXPECT_EQ(ReceiveAllNow(early).size(), 3u);
    EXPECT_EQ(BytesOfAll(ReceiveAllNow(late)), std::vector<Bytes>{update[2]}) << "the end alone answers its Hello";
    const Bytes ack = Header(wire::kAck, 1);
    late.sendTo(relayPort(), ack.data(), ack.size());
    step();
    fromMaster(Update(23));
    EXPECT_EQ(BytesOfAll(ReceiveAllNow(late)), Update(23));
}

TEST_F(RelayTest, KeysOfClientsGoUpNumberedAsTheRelaysOwn) {
    PeerSocket slave, stranger;
    subscribe({&slave});
    const Bytes typed = Keys(777, 2);
    slave.sendTo(relayPort(), typed.data(), typed.size());
    const Bytes nothing = Keys(778, 0);
    slave.sendTo(relayPort(), nothing.data(), nothing.size());
    stranger.sendTo(relayPort(), typed.data(), typed.size());
    step();
    const std::vector<Datagram> up = fromRelay();
    ASSERT_EQ(up.size(), 1u) << "empty key messages and a stranger's keys stay here";
    EXPECT_EQ(up[0].type(), wire::kKeyboard);
    EXPECT_EQ(up[0].seq(), 2) << "after the relay's Hello (0) and its Ack (1)";
    EXPECT_EQ(Bytes(up[0].bytes.begin() + 8, up[0].bytes.end()), Bytes(typed.begin() + 8, typed.end()));
    const RelaySnapshot s = relay_.WholeSnapshot(now_);
    EXPECT_EQ(s.relay.keyEvents, 2);
    EXPECT_EQ(s.relay.notFromClients, 1);
}

TEST_F(RelayTest, KeepsItsClientsByTheMastersRules) {
    PeerSocket a, b, c;
    subscribe({&a, &b, &c});
    EXPECT_EQ(relay_.WholeSnapshot(now_).relay.refused, 1) << "maxClients is 2";
    fromMaster(Update(30));
    const Bytes ack = Header(wire::kAck, 1);
    now_ += 2.0;
    a.sendTo(relayPort(), ack.data(), ack.size());
    c.sendTo(relayPort(), ack.data(), ack.size());
    step();
    now_ += 1.5;  // b silent for 3.5 s, a for 1.5 s
    step();
    const RelaySnapshot s = relay_.WholeSnapshot(now_);
    ASSERT_EQ(s.clients.size(), 1u);
    EXPECT_EQ(s.clients[0].address, "127.0.0.1:" + std::to_string(a.port()));
    EXPECT_EQ(s.relay.timeouts, 1);
    EXPECT_EQ(s.relay.refused, 2) << "c's Ack: still no room among clients too new to judge";
}

TEST_F(RelayTest, AJunkFloodAtItsPortHoldsNothingUp) {
    PeerSocket slave, flooder;
    subscribe({&slave});
    const Bytes junk(100, 0xEE);
    for (int i = 0; i < Relay::kMaxClientDatagramsPerStep + 500; ++i)
        flooder.sendTo(relayPort(), junk.data(), junk.size());
    const std::vector<Bytes> update = Update(40);
    for (const Bytes& d : update) master_.sendTo(upstreamPort_, d.data(), d.size());
    relay_.Step(now_);
    EXPECT_EQ(BytesOfAll(ReceiveAllNow(slave)), update) << "one step passed the update on";
    const int64_t firstStep = relay_.WholeSnapshot(now_).relay.notMessages;
    EXPECT_EQ(firstStep, Relay::kMaxClientDatagramsPerStep) << "one step reads a bounded number";
    step();
    EXPECT_EQ(relay_.WholeSnapshot(now_).relay.notMessages, Relay::kMaxClientDatagramsPerStep + 500);
}

}  // namespace
