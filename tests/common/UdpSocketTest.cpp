// The modules' socket on 127.0.0.1: what is queued is taken in whole,
// whatever FIONREAD counts (these tests also run with the first-datagram
// count), in order and with senders, within the inbox's bounds.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Loopback.h"
#include "UdpSocket.h"
#include "WireRecords.h"

namespace {

class UdpSocketInbox : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(inbox.Open(0, false).failed, SocketStep::kDone);
        port = LocalPort(static_cast<int>(inbox.Handle()));
    }

    void send(const PeerSocket& from, size_t length, char fill) {
        const std::string bytes(length, fill);
        from.sendTo(port, bytes.data(), bytes.size());
    }

    UdpSocket inbox;
    int port = 0;
};

TEST_F(UdpSocketInbox, TakesEveryQueuedDatagramInOrderWithItsSenderAndCountsWhatIsHeld) {
    PeerSocket a;
    PeerSocket b;
    send(a, 100, 'a');
    send(b, 0, '-');  // an empty datagram at the head of the rest stalls nothing
    send(b, 250, 'b');
    send(a, 1200, 'c');
    EXPECT_EQ(inbox.Receive().datagrams, 4);
    EXPECT_EQ(inbox.Held(), 1550u);
    EXPECT_EQ(inbox.HeldDatagrams(), 4u);

    const struct {
        int length;
        char fill;
        int port;
    } expected[] = {{100, 'a', a.port()}, {0, '-', b.port()}, {250, 'b', b.port()}, {1200, 'c', a.port()}};
    size_t held = 1550;
    for (const auto& e : expected) {
        const UdpSocket::Datagram* d = inbox.Next();
        ASSERT_NE(d, nullptr);
        EXPECT_EQ(d->length, e.length);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(d->bytes), static_cast<size_t>(d->length)),
                  std::string(static_cast<size_t>(e.length), e.fill));
        EXPECT_EQ(ntohs(d->from.sin_port), e.port);
        held -= static_cast<size_t>(e.length);
        EXPECT_EQ(inbox.Held(), held);
    }
    EXPECT_EQ(inbox.Next(), nullptr);
    EXPECT_EQ(inbox.Receive().datagrams, 0) << "nothing queued: no wait, no error";
}

TEST_F(UdpSocketInbox, DatagramsNotYetHandedOutSurviveTheNextReceive) {
    PeerSocket peer;
    for (char fill : {'a', 'b', 'c'}) send(peer, 300, fill);
    inbox.Receive();
    ASSERT_EQ(inbox.Next()->bytes[0], 'a');
    send(peer, 40, 'd');
    inbox.Receive();  // moves 'b' and 'c' to the front of the inbox
    EXPECT_EQ(inbox.Held(), 640u);
    std::string order;
    while (const UdpSocket::Datagram* d = inbox.Next()) order += static_cast<char>(d->bytes[0]);
    EXPECT_EQ(order, "bcd");
}

TEST_F(UdpSocketInbox, OneReceiveHoldsNoMoreThanTheInboxAndLeavesTheRestQueued) {
    PeerSocket peer;
    const size_t length = 60000;
    const int sent = 20;  // 1.2 MB: more than the inbox
    for (int i = 0; i < sent; ++i) send(peer, length, static_cast<char>('A' + i));
    const int first = inbox.Receive().datagrams;
    if (static_cast<size_t>(first) * length <= UdpSocket::kInboxBytes)
        GTEST_SKIP() << "the kernel kept only " << first << " of them: the inbox's bound is not reached";
    EXPECT_LE(inbox.Held(), UdpSocket::kInboxBytes + static_cast<size_t>(wire::kMaxDatagram));
    EXPECT_LT(first, sent);

    int taken = 0;
    char expected = 'A';
    for (int round = 0; round < 5 && taken < sent; ++round) {
        while (const UdpSocket::Datagram* d = inbox.Next()) {
            EXPECT_EQ(d->bytes[0], expected++);
            ++taken;
        }
        inbox.Receive();
    }
    EXPECT_EQ(taken, sent) << "the rest came with the next receive";
}

TEST(UdpSocketClosed, ReceivesNothingAndReportsNoError) {
    UdpSocket never;
    const UdpSocket::ReceiveResult result = never.Receive();
    EXPECT_EQ(result.datagrams, 0);
    EXPECT_EQ(result.error, 0);
    EXPECT_EQ(never.Next(), nullptr);
}

}  // namespace
