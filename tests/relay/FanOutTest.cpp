// The fan-out's sends: every receiver gets every datagram in order, and one
// address the system refuses costs only its own sends.
#include <gtest/gtest.h>

#include <vector>

#include "Datagram.h"
#include "FanOut.h"

namespace {

TEST(FanOut, EveryReceiverGetsEveryDatagramInOrderAndARefusalStaysAlone) {
    PeerSocket first, second;
    NativeUdpSocket from;
    SocketSettings loopback;
    loopback.local = LoopbackAddressOn(0);
    ASSERT_EQ(from.Open(loopback).failed, SocketStep::kDone);
    sockaddr_in refused = first.address();
    refused.sin_port = 0;  // no datagram can go to port 0
    const std::vector<sockaddr_in> receivers{first.address(), refused, second.address()};
    FanOut fanOut;
    fanOut.Attach(from);
    std::vector<std::vector<uint8_t>> sent;
    // More than one gathering, so that adding sends what was gathered first.
    for (int i = 0; i < FanOut::kMaxGathered + 10; ++i) {
        sent.push_back(std::vector<uint8_t>(40 + i, static_cast<uint8_t>(i)));
        fanOut.Add(sent.back().data(), static_cast<int>(sent.back().size()), receivers);
    }
    fanOut.Flush(receivers);
    for (const PeerSocket* peer : {&first, &second}) {
        std::vector<std::vector<uint8_t>> got;
        for (const Datagram& d : ReceiveAllNow(*peer)) got.push_back(d.bytes);
        EXPECT_EQ(got, sent);
    }
    EXPECT_EQ(fanOut.Counts().datagrams, static_cast<int64_t>(sent.size()));
    EXPECT_EQ(fanOut.Counts().sends, static_cast<int64_t>(2 * sent.size()));
    EXPECT_EQ(fanOut.Counts().failed, static_cast<int64_t>(sent.size()));
}

}  // namespace
