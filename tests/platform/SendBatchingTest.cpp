// Batched sends of the stand-in sockets: every datagram sent during a host
// callback round arrives whole and in order, and has left before any
// receive, any close and the round's end. The suite also runs with
// HELM_SEND_BATCHING=0, where sends leave at once.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "Loopback.h"
#include "platform/PlatformServices.h"

namespace {

class SendBatching : public ::testing::Test {
protected:
    void SetUp() override {
        WSADATA data;
        ASSERT_EQ(WSAStartup(MAKEWORD(2, 2), &data), 0);
        a = Open();
        b = Open();
        ASSERT_NE(a, INVALID_SOCKET);
        ASSERT_NE(b, INVALID_SOCKET);
    }
    void TearDown() override {
        if (a != INVALID_SOCKET) closesocket(a);
        if (b != INVALID_SOCKET) closesocket(b);
        simhost::SocketsForgetAll();
        WSACleanup();
    }

    static SOCKET Open() {
        const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in local = LoopbackAddress(0);
        if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) return INVALID_SOCKET;
        return static_cast<SOCKET>(fd);
    }
    static bool Batching() {
        const char* value = std::getenv("HELM_SEND_BATCHING");
        return value == nullptr || std::strcmp(value, "0") != 0;
    }
    static std::string Pattern(size_t length, int seed) {
        std::string bytes(length, '\0');
        for (size_t i = 0; i < length; ++i) bytes[i] = static_cast<char>(seed * 31 + i % 251);
        return bytes;
    }

    int send(SOCKET from, const std::string& bytes) const {
        const sockaddr_in to = peer.address();
        return sendto(from, bytes.data(), static_cast<int>(bytes.size()), 0, reinterpret_cast<const sockaddr*>(&to),
                      static_cast<int>(sizeof to));
    }
    // The next datagram the peer holds, "<none>" when none waits.
    std::string next() const {
        std::vector<char> buffer(70000);
        const int length = peer.receiveNow(buffer.data(), buffer.size());
        return length < 0 ? std::string("<none>") : std::string(buffer.data(), static_cast<size_t>(length));
    }
    // Room for a few whole batches at the peer, where the process may ask it.
    bool roomyPeer() const {
        int size = 8 * 1024 * 1024;
        return ::setsockopt(peer.fd(), SOL_SOCKET, SO_RCVBUFFORCE, &size, sizeof size) == 0;
    }

    PeerSocket peer;
    SOCKET a = INVALID_SOCKET;
    SOCKET b = INVALID_SOCKET;
};

TEST_F(SendBatching, ARoundHoldsItsSendsUntilItEndsUnlessSwitchedOff) {
    {
        simhost::SendRound round;
        EXPECT_EQ(send(a, "one"), 3);
        EXPECT_EQ(send(a, "two"), 3);
        if (Batching()) {
            EXPECT_EQ(next(), "<none>");
        } else {
            EXPECT_EQ(next(), "one");
            EXPECT_EQ(next(), "two");
        }
    }
    if (Batching()) {
        EXPECT_EQ(next(), "one");
        EXPECT_EQ(next(), "two");
    }
    EXPECT_EQ(next(), "<none>");
}

TEST_F(SendBatching, ManyDatagramsOfEverySizeArriveWholeAndInOrder) {
    if (!roomyPeer()) GTEST_SKIP() << "the peer's receive buffer cannot be enlarged";
    // More than fit one batch by count, and by bytes: the largest datagram
    // IPv4 carries, several times, and an empty one.
    std::vector<std::string> sent;
    for (int i = 0; i < 150; ++i) sent.push_back(Pattern(static_cast<size_t>(i * 37 % 1500), i));
    for (int i = 0; i < 6; ++i) sent.push_back(Pattern(65507, 1000 + i));
    sent.push_back("");
    {
        simhost::SendRound round;
        for (const std::string& bytes : sent) EXPECT_EQ(send(a, bytes), static_cast<int>(bytes.size()));
    }
    for (size_t i = 0; i < sent.size(); ++i) ASSERT_EQ(next(), sent[i]) << "datagram " << i;
    EXPECT_EQ(next(), "<none>");
}

TEST_F(SendBatching, AReceiveOnAnySocketSendsWhatWaitsFirst) {
    simhost::SendRound round;
    send(a, "before the look");
    u_long bytes = 0;
    EXPECT_EQ(ioctlsocket(b, FIONREAD, &bytes), 0);
    EXPECT_EQ(next(), "before the look");
    send(a, "before the read");
    u_long nonBlocking = 1;
    ASSERT_EQ(ioctlsocket(b, FIONBIO, &nonBlocking), 0);
    char buffer[16];
    EXPECT_EQ(recvfrom(b, buffer, sizeof buffer, 0, nullptr, static_cast<int*>(nullptr)), SOCKET_ERROR);
    EXPECT_EQ(next(), "before the read");
}

TEST_F(SendBatching, OrderHoldsAcrossSockets) {
    {
        simhost::SendRound round;
        send(a, "a1");
        send(b, "b1");
        send(a, "a2");
    }
    EXPECT_EQ(next(), "a1");
    EXPECT_EQ(next(), "b1");
    EXPECT_EQ(next(), "a2");
}

TEST_F(SendBatching, ClosingASocketSendsWhatWaits) {
    simhost::SendRound round;
    send(b, "last words");
    EXPECT_EQ(closesocket(b), 0);
    b = INVALID_SOCKET;
    EXPECT_EQ(next(), "last words");
}

TEST_F(SendBatching, ATooLongDatagramFailsAtOnceAfterTheWaitingOnesLeft) {
    {
        simhost::SendRound round;
        send(a, "first");
        EXPECT_EQ(send(a, std::string(65508, 'x')), SOCKET_ERROR);
        EXPECT_EQ(WSAGetLastError(), WSAEMSGSIZE);
        EXPECT_EQ(next(), "first");
        send(a, "after");
    }
    EXPECT_EQ(next(), "after");
    EXPECT_EQ(next(), "<none>");
}

TEST_F(SendBatching, OutsideARoundSendsLeaveAtOnce) {
    send(a, "now");
    EXPECT_EQ(next(), "now");
}

}  // namespace
