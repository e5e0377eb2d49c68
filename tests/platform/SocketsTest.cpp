// Windows Sockets over the platform's sockets, on 127.0.0.1: FIONREAD over
// all queued datagrams, receive order and senders, the queue bound, errors.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "Loopback.h"
#include "platform/PlatformServices.h"

namespace {

class Sockets : public ::testing::Test {
protected:
    void SetUp() override {
        // These tests are of Windows' meaning of FIONREAD, whatever the run chose.
        meaning = simhost::SocketsPendingCount();
        simhost::SocketsSetPendingCount(simhost::PendingCount::kAllQueuedBytes);
        WSADATA data;
        ASSERT_EQ(WSAStartup(MAKEWORD(2, 2), &data), 0);
        EXPECT_EQ(data.wVersion, MAKEWORD(2, 2));
        s = open(0);
        ASSERT_NE(s, INVALID_SOCKET);
        port = boundPort(s);
        // A lost datagram fails a test instead of hanging it.
        timeval limit{5, 0};
        ::setsockopt(static_cast<int>(s), SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    }
    void TearDown() override {
        simhost::SocketsSetPendingCount(meaning);
        closesocket(s);
        simhost::SocketsForgetAll();
        WSACleanup();
    }

    static SOCKET open(int wantedPort) {
        int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
        if (fd < 0) return INVALID_SOCKET;
        sockaddr_in address = LoopbackAddress(wantedPort);
        if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
            int error = errno;
            ::close(fd);
            errno = error;
            return INVALID_SOCKET;
        }
        return static_cast<SOCKET>(fd);
    }

    static int boundPort(SOCKET socket) {
        sockaddr_in address;
        int length = sizeof address;
        if (getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length) != 0) return -1;
        EXPECT_EQ(length, static_cast<int>(sizeof address));
        return ntohs(address.sin_port);
    }

    static std::string pattern(size_t length, char first) {
        std::string bytes(length, '\0');
        for (size_t i = 0; i < length; ++i) bytes[i] = static_cast<char>(first + i % 23);
        return bytes;
    }

    void send(const PeerSocket& from, const std::string& bytes) { from.sendTo(port, bytes.data(), bytes.size()); }

    u_long queued() {
        u_long bytes = 12345;
        EXPECT_EQ(ioctlsocket(s, FIONREAD, &bytes), 0);
        return bytes;
    }

    // Loopback delivers at once; the bound only stops a broken test from hanging.
    u_long queuedOnceAtLeast(u_long expected) {
        u_long bytes = queued();
        for (int i = 0; i < 2000 && bytes < expected; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            bytes = queued();
        }
        return bytes;
    }

    std::string receive(int capacity, int& result, sockaddr_in* from = nullptr) {
        std::vector<char> buffer(static_cast<size_t>(capacity) + 1, '\0');
        sockaddr_in sender;
        int senderLength = sizeof sender;
        result = recvfrom(s, buffer.data(), capacity, 0, reinterpret_cast<sockaddr*>(&sender), &senderLength);
        if (from != nullptr) *from = sender;
        int length = result == SOCKET_ERROR ? capacity : result;
        return std::string(buffer.data(), static_cast<size_t>(length));
    }

    SOCKET s = INVALID_SOCKET;
    int port = 0;
    simhost::PendingCount meaning = simhost::PendingCount::kAllQueuedBytes;
};

TEST_F(Sockets, FionreadCountsAllQueuedDatagramsAndRecvfromKeepsOrderAndSender) {
    PeerSocket peer;
    PeerSocket other;
    const std::string a = pattern(100, 'a'), b = pattern(250, 'b'), c = pattern(1200, 'c');
    send(peer, a);
    send(other, b);
    send(peer, c);
    EXPECT_EQ(queuedOnceAtLeast(1550), 1550u);

    int result = 0;
    sockaddr_in from;
    EXPECT_EQ(receive(2000, result, &from), a);
    EXPECT_EQ(result, 100);
    EXPECT_EQ(ntohs(from.sin_port), peer.port());
    EXPECT_EQ(from.sin_addr.s_addr, htonl(INADDR_LOOPBACK));
    EXPECT_EQ(queued(), 1450u);

    EXPECT_EQ(receive(2000, result, &from), b);
    EXPECT_EQ(ntohs(from.sin_port), other.port());
    EXPECT_EQ(receive(2000, result, &from), c);
    EXPECT_EQ(ntohs(from.sin_port), peer.port());
    EXPECT_EQ(queued(), 0u);
}

TEST_F(Sockets, SwitchedToThePlatformsMeaningFionreadCountsTheFirstDatagramOnly) {
    simhost::SocketsSetPendingCount(simhost::PendingCount::kFirstDatagram);
    PeerSocket peer;
    send(peer, pattern(100, 'a'));
    send(peer, pattern(250, 'b'));
    EXPECT_EQ(queuedOnceAtLeast(100), 100u);
    int result = 0;
    receive(2000, result);
    EXPECT_EQ(queued(), 250u);
    receive(2000, result);
    EXPECT_EQ(queued(), 0u);
}

TEST_F(Sockets, ManyDatagramsArriveWholeAndInOrder) {
    PeerSocket peer;
    std::vector<std::string> sent;
    for (int i = 0; i < 60; ++i) {
        sent.push_back(pattern(static_cast<size_t>(1 + (i * 97) % 900), static_cast<char>('A' + i % 26)));
        send(peer, sent.back());
    }
    u_long total = 0;
    for (const auto& bytes : sent) total += bytes.size();
    EXPECT_EQ(queuedOnceAtLeast(total), total);
    for (size_t i = 0; i < sent.size(); ++i) {
        int result = 0;
        EXPECT_EQ(receive(1000, result), sent[i]) << i;
        total -= sent[i].size();
        if (i % 7 == 0) {
            EXPECT_EQ(queued(), total);
        }
    }
}

TEST_F(Sockets, QueueHoldsNoMoreThanTheRequestedReceiveBuffer) {
    const int requested = 2500;
    ASSERT_EQ(setsockopt(s, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&requested), sizeof requested), 0);
    // Give the kernel room for everything, bypassing the queue's bound.
    int kernelSize = 1 << 20;
    ::setsockopt(static_cast<int>(s), SOL_SOCKET, SO_RCVBUF, &kernelSize, sizeof kernelSize);

    PeerSocket peer;
    for (char first : {'a', 'b', 'c', 'd'}) send(peer, pattern(1000, first));
    // Two fit; the others stay in the kernel until there is room.
    EXPECT_EQ(queuedOnceAtLeast(2000), 2000u);
    EXPECT_EQ(queued(), 2000u);
    int result = 0;
    EXPECT_EQ(receive(1000, result), pattern(1000, 'a'));
    EXPECT_EQ(queued(), 2000u);
    EXPECT_EQ(receive(1000, result), pattern(1000, 'b'));
    EXPECT_EQ(receive(1000, result), pattern(1000, 'c'));
    EXPECT_EQ(queued(), 1000u);
    EXPECT_EQ(receive(1000, result), pattern(1000, 'd'));
    EXPECT_EQ(queued(), 0u);

    // An empty queue still takes a datagram larger than the whole bound;
    // the next waits behind it.
    send(peer, pattern(4000, 'e'));
    send(peer, pattern(10, 'f'));
    EXPECT_EQ(queuedOnceAtLeast(4000), 4000u);
    sockaddr_in from;
    EXPECT_EQ(receive(5000, result, &from), pattern(4000, 'e'));
    EXPECT_EQ(result, 4000);
    EXPECT_EQ(ntohs(from.sin_port), peer.port());
    EXPECT_EQ(receive(5000, result), pattern(10, 'f'));
}

TEST_F(Sockets, ShortBufferGetsWhatFitsAndMessageSizeError) {
    PeerSocket peer;
    send(peer, pattern(300, 'x'));
    send(peer, pattern(20, 'y'));
    EXPECT_EQ(queuedOnceAtLeast(320), 320u);
    int result = 0;
    EXPECT_EQ(receive(100, result), pattern(100, 'x'));
    EXPECT_EQ(result, SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAEMSGSIZE);
    // The rest of the long datagram is gone.
    EXPECT_EQ(queued(), 20u);
    EXPECT_EQ(receive(100, result), pattern(20, 'y'));
    EXPECT_EQ(result, 20);

    // The same for a datagram arriving while the receive waits (then it
    // comes from the platform's own receive).
    std::thread late([&peer, this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        send(peer, pattern(300, 'z'));
    });
    EXPECT_EQ(receive(50, result), pattern(50, 'z'));
    EXPECT_EQ(result, SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAEMSGSIZE);
    late.join();
}

TEST_F(Sockets, NonBlockingReceiveOnEmptySocketWouldBlock) {
    u_long on = 1;
    ASSERT_EQ(ioctlsocket(s, FIONBIO, &on), 0);
    int result = 0;
    receive(100, result);
    EXPECT_EQ(result, SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAEWOULDBLOCK);
    EXPECT_EQ(ioctlsocket(s, 0x7FFF, &on), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAEINVAL);
}

TEST_F(Sockets, ForgettingDropsQueuedDatagrams) {
    PeerSocket peer;
    send(peer, pattern(40, 'q'));
    EXPECT_EQ(queuedOnceAtLeast(40), 40u);
    simhost::SocketsForgetAll();
    EXPECT_EQ(queued(), 0u);
}

TEST_F(Sockets, BindOnAPortInUseReadsAsAddressInUse) {
    errno = 0;
    SOCKET second = open(port);
    EXPECT_EQ(second, INVALID_SOCKET);
    EXPECT_EQ(WSAGetLastError(), WSAEADDRINUSE);
}

TEST_F(Sockets, ConnectionResetControlIsAcceptedOthersRefused) {
    BOOL off = FALSE;
    DWORD returned = 99;
    EXPECT_EQ(WSAIoctl(s, SIO_UDP_CONNRESET, &off, sizeof off, nullptr, 0, &returned, nullptr, nullptr), 0);
    EXPECT_EQ(returned, 0u);
    EXPECT_EQ(WSAIoctl(s, SIO_UDP_CONNRESET, &off, 2, nullptr, 0, &returned, nullptr, nullptr), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAEFAULT);
    EXPECT_EQ(WSAIoctl(s, SIO_UDP_CONNRESET, nullptr, sizeof off, nullptr, 0, &returned, nullptr, nullptr),
              SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAEFAULT);
    EXPECT_EQ(WSAIoctl(s, 0x12345678u, &off, sizeof off, nullptr, 0, &returned, nullptr, nullptr), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAEOPNOTSUPP);
}

TEST_F(Sockets, SendToReachesThePeer) {
    PeerSocket peer;
    sockaddr_in to = peer.address();
    const std::string bytes = pattern(64, 'm');
    EXPECT_EQ(sendto(s, bytes.data(), static_cast<int>(bytes.size()), 0, reinterpret_cast<sockaddr*>(&to), sizeof to),
              64);
    char buffer[128];
    EXPECT_EQ(peer.receive(buffer, sizeof buffer), 64);
    EXPECT_EQ(std::string(buffer, 64), bytes);
}

// A datagram the stand-in already took from the kernel (FIONREAD moves them)
// is one the kernel no longer reports: the wait must count it all the same.
TEST_F(Sockets, PollSeesDatagramsHeldByTheStandInAndInTheKernelAndLeavesOutInvalidEntries) {
    PeerSocket peer;
    SOCKET other = open(0);
    ASSERT_NE(other, INVALID_SOCKET);
    WSAPOLLFD polled[3] = {{s, POLLRDNORM, 0}, {other, POLLRDNORM, 0}, {INVALID_SOCKET, POLLRDNORM, 0}};
    EXPECT_EQ(WSAPoll(polled, 3, 0), 0) << "nothing queued anywhere";

    send(peer, pattern(30, 'h'));
    EXPECT_EQ(queuedOnceAtLeast(30), 30u);  // now held by the stand-in, not the kernel
    EXPECT_EQ(WSAPoll(polled, 3, 1000), 1);
    EXPECT_EQ(polled[0].revents, POLLRDNORM);
    EXPECT_EQ(polled[1].revents, 0);
    EXPECT_EQ(polled[2].revents, 0);

    peer.sendTo(boundPort(other), "k", 1);
    polled[0].events = POLLWRNORM;
    EXPECT_EQ(WSAPoll(polled, 3, 1000), 2);
    EXPECT_EQ(polled[0].revents, POLLWRNORM) << "asked to write, told it can";
    EXPECT_EQ(polled[1].revents, POLLRDNORM);
    closesocket(other);
}

TEST_F(Sockets, ClosedOrInvalidSocketReadsAsNotASocket) {
    SOCKET extra = open(0);
    ASSERT_NE(extra, INVALID_SOCKET);
    EXPECT_EQ(closesocket(extra), 0);
    char buffer[8];
    EXPECT_EQ(recvfrom(extra, buffer, static_cast<int>(sizeof buffer), 0, nullptr, static_cast<int*>(nullptr)),
              SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAENOTSOCK);
    u_long bytes = 0;
    EXPECT_EQ(ioctlsocket(INVALID_SOCKET, FIONREAD, &bytes), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAENOTSOCK);
}

TEST(SocketErrors, PlatformErrorsReadAsWindowsNumbers) {
    const std::pair<int, int> table[] = {
        {EADDRINUSE, 10048},  {EACCES, 10013},       {EBADF, 10038},        {ENOTSOCK, 10038},
        {EINVAL, 10022},      {EWOULDBLOCK, 10035},  {EAGAIN, 10035},       {EMSGSIZE, 10040},
        {ECONNRESET, 10054},  {ECONNREFUSED, 10054}, {ENOBUFS, 10055},      {EADDRNOTAVAIL, 10049},
        {ENETUNREACH, 10051}, {EHOSTUNREACH, 10065}, {EAFNOSUPPORT, 10047}, {EINTR, 10004},
        {EFAULT, 10014},      {EMFILE, 10024},       {ENOENT, ENOENT},      {EPIPE, EPIPE}};
    for (const auto& [platform, windows] : table) {
        errno = platform;
        EXPECT_EQ(WSAGetLastError(), windows) << platform;
    }
}

}  // namespace
