// The fan-out's sends: every receiver gets every datagram in order, and one
// address the system refuses costs only its own sends.
#include <gtest/gtest.h>

#include <vector>

#include "Datagram.h"
#include "FanOut.h"

namespace {

TEST(FanOut, EveryReceiverGetsEveryDatagramInOrderAndARefusalStaysAlone) {
    PeerSocket from, first, second;
    sockaddr_in refused = first.address();
    refused.sin_port = 0;  // no datagram can go to port 0
    const std::vector<sockaddr_in> receivers{first.address(), refused, second.address()};
    FanOut fanOut;
    fanOut.attach(from.fd());
    std::vector<std::vector<uint8_t>> sent;
    // More than one gathering, so that adding sends what was gathered first.
    for (int i = 0; i < FanOut::kMaxGathered + 10; ++i) {
        sent.push_back(std::vector<uint8_t>(40 + i, static_cast<uint8_t>(i)));
        fanOut.add(sent.back().data(), static_cast<int>(sent.back().size()), receivers);
    }
    fanOut.flush(receivers);
    for (const PeerSocket* peer : {&first, &second}) {
        std::vector<std::vector<uint8_t>> got;
        for (const Datagram& d : ReceiveAllNow(*peer)) got.push_back(d.bytes);
        EXPECT_EQ(got, sent);
    }
    EXPECT_EQ(fanOut.figures().datagrams, static_cast<int64_t>(sent.size()));
    EXPECT_EQ(fanOut.figures().sends, static_cast<int64_t>(2 * sent.size()));
    EXPECT_EQ(fanOut.figures().failed, static_cast<int64_t>(sent.size()));
}

}  // namespace
