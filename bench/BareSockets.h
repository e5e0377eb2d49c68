// Plain platform sockets on 127.0.0.1 for the benchmarks: the peers of a
// module, and the bare system calls a module is measured against. Nothing
// here goes through the stand-in host's sockets.
#pragma once

#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/uio.h>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace bench {

using Bytes = std::vector<uint8_t>;

// A UDP socket bound to 127.0.0.1 on a free port, with a receive buffer
// large enough for one whole update, so that nothing is dropped.
class UdpPeer {
public:
    UdpPeer();
    ~UdpPeer();
    UdpPeer(const UdpPeer&) = delete;
    UdpPeer& operator=(const UdpPeer&) = delete;

    int fd() const { return fd_; }
    int port() const { return ntohs(address_.sin_port); }
    const sockaddr_in& address() const { return address_; }

    void sendTo(int port, const void* bytes, size_t length) const;
    // Reads every datagram waiting, without waiting for more; how many.
    // Copies them into `keep` when it is given.
    size_t drain(std::vector<Bytes>* keep = nullptr) const;

private:
    int fd_ = -1;
    sockaddr_in address_{};
};

// Puts every datagram in the receive queue of 127.0.0.1:port (outside any
// measurement: batched).
void Queue(int fd, int port, const std::vector<Bytes>& datagrams);

// The master's baseline: one sendto per datagram and client, message by
// message as the master sends them.
void SendToEach(int fd, const std::vector<Bytes>& datagrams, const std::vector<sockaddr_in>& clients);

// The relay's baseline: every datagram to every client with sendmmsg, in
// the relay's order (each datagram to every client before the next one),
// the calls' arguments prepared before any measurement.
class BareFanOut {
public:
    BareFanOut(const std::vector<Bytes>& datagrams, const std::vector<sockaddr_in>& clients);
    // How many datagrams left.
    size_t send(int fd);

private:
    std::vector<sockaddr_in> clients_;
    std::vector<iovec> vectors_;
    std::vector<mmsghdr> messages_;
};

// The slave's baseline: one recvfrom per queued datagram; how many came.
size_t ReceiveEach(int fd, size_t count);
// The same with the pending-bytes query (FIONREAD) the slave's receive makes
// before every datagram.
size_t ReceiveEachAfterPending(int fd, size_t count);

}  // namespace bench
