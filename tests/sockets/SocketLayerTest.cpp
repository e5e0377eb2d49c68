// The socket layer over both flavours of system calls on 127.0.0.1: the
// modules' (Windows Sockets names, here the stand-in host's) and the
// programs' (POSIX) must behave alike. A made-up flavour shows what loopback
// cannot: reset reports passed over, and a stream of them still ending.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Loopback.h"
#include "ScriptedSocketCalls.h"
#include "UdpSocket.h"

namespace {

class SocketLayer : public ::testing::TestWithParam<const SocketCalls*> {
protected:
    // A socket of the flavour under test on 127.0.0.1, port chosen by the system.
    void open(UdpSocket& socket) {
        SocketSettings settings;
        settings.local = LoopbackAddressOn(0);
        ASSERT_EQ(socket.Open(settings).failed, SocketStep::kDone);
    }
    static int portOf(const UdpSocket& socket) { return ntohs(socket.LocalAddress().sin_port); }

    // Loopback delivers at once; the bound only keeps a broken test from hanging.
    static bool waitFor(UdpSocket& socket) {
        UdpSocket::Waiting waiting{&socket};
        return UdpSocket::WaitReadable(&waiting, 1, 2000) == 1;
    }
};

TEST_P(SocketLayer, BindsLoopbackAndReceivesWithSendersOneByOneOrIntoTheInbox) {
    UdpSocket socket(*GetParam());
    open(socket);
    const sockaddr_in local = socket.LocalAddress();
    EXPECT_EQ(local.sin_addr.s_addr, htonl(INADDR_LOOPBACK));
    ASSERT_NE(local.sin_port, 0);

    PeerSocket a, b;
    a.sendTo(portOf(socket), std::string(10, 'a').data(), 10);
    b.sendTo(portOf(socket), std::string(100, 'b').data(), 100);
    ASSERT_TRUE(waitFor(socket));
    uint8_t buffer[50];
    sockaddr_in from{};
    EXPECT_EQ(socket.ReceiveOne(buffer, sizeof buffer, from), 10);
    EXPECT_EQ(ntohs(from.sin_port), a.port());
    EXPECT_EQ(socket.ReceiveOne(buffer, sizeof buffer, from), 51) << "longer than the buffer: one byte more than kept";
    EXPECT_EQ(ntohs(from.sin_port), b.port());
    EXPECT_EQ(socket.ReceiveOne(buffer, sizeof buffer, from), -1) << "nothing queued, no wait";

    b.sendTo(portOf(socket), "x", 1);
    a.sendTo(portOf(socket), "yz", 2);
    ASSERT_TRUE(waitFor(socket));
    EXPECT_EQ(socket.Receive().datagrams, 2);
    const UdpSocket::Datagram* first = socket.Next();
    const UdpSocket::Datagram* second = socket.Next();
    ASSERT_TRUE(first != nullptr && second != nullptr);
    EXPECT_EQ(first->length, 1);
    EXPECT_EQ(ntohs(first->from.sin_port), b.port());
    EXPECT_EQ(second->length, 2);
    EXPECT_EQ(ntohs(second->from.sin_port), a.port());
}

TEST_P(SocketLayer, SendsAndBatchesReachEveryReceiverInOrder) {
    UdpSocket socket(*GetParam());
    open(socket);
    PeerSocket a, b;
    const sockaddr_in to[2] = {a.address(), b.address()};
    const uint8_t bytes[3][4] = {{1, 1, 1, 1}, {2, 2, 2, 2}, {3, 3, 3, 3}};
    // Datagram by datagram, each to both receivers, as the relay sends them.
    std::vector<OutgoingDatagram> batch;
    for (int d = 0; d < 3; ++d)
        for (const sockaddr_in& receiver : to) batch.push_back({bytes[d], d + 2, &receiver});
    SocketTransfer first;
    int sent = 0;
    for (int tries = 0; sent < 6 && tries < 100; ++tries)
        sent += socket.SendBatch(batch.data() + sent, 6 - sent, first);
    EXPECT_EQ(sent, 6);
    for (const PeerSocket* peer : {&a, &b}) {
        for (int d = 0; d < 3; ++d) {
            uint8_t got[8] = {};
            EXPECT_EQ(peer->receive(got, sizeof got), d + 2);
            EXPECT_EQ(got[0], d + 1);
        }
    }
    const SocketTransfer one = socket.SendTo(bytes[0], 4, a.address());
    EXPECT_EQ(one.outcome, SocketOutcome::kDone);
    EXPECT_EQ(one.bytes, 4);
}

TEST_P(SocketLayer, WaitMarksOnlyTheReadableAndLeavesOutClosedAndMissingSockets) {
    UdpSocket quiet(*GetParam()), busy(*GetParam()), closed(*GetParam());
    open(quiet);
    open(busy);
    UdpSocket::Waiting waiting[4] = {{&quiet}, {nullptr}, {&closed}, {&busy}};
    EXPECT_EQ(UdpSocket::WaitReadable(waiting, 4, 10), 0) << "the time runs out";
    PeerSocket peer;
    peer.sendTo(portOf(busy), "w", 1);
    EXPECT_EQ(UdpSocket::WaitReadable(waiting, 4, 2000), 1);
    EXPECT_FALSE(waiting[0].readable);
    EXPECT_FALSE(waiting[2].readable);
    EXPECT_TRUE(waiting[3].readable);
    EXPECT_TRUE(busy.WaitWritable(2000));
    UdpSocket::Waiting none{&closed};
    EXPECT_EQ(UdpSocket::WaitReadable(&none, 1, 1), 0) << "nothing to wait for: a sleep";
}

TEST_P(SocketLayer, APortTakenAlreadyFailsToBindAndSaysSo) {
    UdpSocket first(*GetParam()), second(*GetParam());
    SocketSettings settings;
    settings.local = LoopbackAddressOn(0);
    settings.exclusive = true;
    ASSERT_EQ(first.Open(settings).failed, SocketStep::kDone);
    settings.local = first.LocalAddress();
    const SocketSetup setup = second.Open(settings);
    EXPECT_EQ(setup.failed, SocketStep::kBind);
    EXPECT_TRUE(second.AddressInUse(setup.error)) << second.ErrorText(setup.error);
    EXPECT_FALSE(second.ErrorText(setup.error).empty());
}

INSTANTIATE_TEST_SUITE_P(Flavours, SocketLayer, ::testing::Values(&WinsockCalls(), &PosixCalls()),
                         [](const ::testing::TestParamInfo<const SocketCalls*>& info) {
                             return info.param == &WinsockCalls() ? "WindowsSocketsNames" : "Posix";
                         });

TEST(SocketLayerResets, ArePassedOverAndAStreamOfThemStillEndsTheRead) {
    ScriptedSocketCalls few(3);
    UdpSocket one(few);
    ASSERT_EQ(one.Open(SocketSettings{}).failed, SocketStep::kDone);
    uint8_t buffer[8];
    sockaddr_in from{};
    EXPECT_EQ(one.ReceiveOne(buffer, sizeof buffer, from), 1);
    EXPECT_EQ(ntohs(from.sin_port), 4321);

    ScriptedSocketCalls again(3);
    UdpSocket inbox(again);
    ASSERT_EQ(inbox.Open(SocketSettings{}).failed, SocketStep::kDone);
    const UdpSocket::ReceiveResult result = inbox.Receive();
    EXPECT_EQ(result.error, 0);
    EXPECT_EQ(inbox.HeldDatagrams(), 1u);
    ASSERT_NE(inbox.Next(), nullptr);

    ScriptedSocketCalls endless(1 << 30);
    UdpSocket flooded(endless);
    ASSERT_EQ(flooded.Open(SocketSettings{}).failed, SocketStep::kDone);
    EXPECT_EQ(flooded.ReceiveOne(buffer, sizeof buffer, from), -1);
    EXPECT_EQ(flooded.Receive().datagrams, static_cast<int>(UdpSocket::kMaxHeldDatagrams));
    EXPECT_EQ(flooded.HeldDatagrams(), 0u);
}

}  // namespace
