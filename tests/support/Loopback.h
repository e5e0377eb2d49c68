// Small helpers for test peers on 127.0.0.1.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

// 127.0.0.1 on the given port (0: any).
inline sockaddr_in LoopbackAddress(int port) {
    sockaddr_in address;
    std::memset(&address, 0, sizeof address);
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port));
    return address;
}

// The port a bound socket has (a module's, say), or 0.
inline int LocalPort(int fd) {
    sockaddr_in address;
    std::memset(&address, 0, sizeof address);
    socklen_t length = sizeof address;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) return 0;
    return ntohs(address.sin_port);
}

// A UDP port on 127.0.0.1 that was free a moment ago.
inline int FreeUdpPort() {
    int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in address = LoopbackAddress(0);
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    const int port = LocalPort(fd);
    ::close(fd);
    return port;
}

// A plain UDP socket bound to 127.0.0.1 on any port (or the given one).
class PeerSocket {
public:
    explicit PeerSocket(int port = 0) : address_(LoopbackAddress(port)) {
        fd_ = ::socket(AF_INET, SOCK_DGRAM, 0);
        bound_ = ::bind(fd_, reinterpret_cast<sockaddr*>(&address_), sizeof address_) == 0;
        socklen_t length = sizeof address_;
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address_), &length);
    }
    ~PeerSocket() { release(); }
    // Closes the socket now (frees its port).
    void release() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }
    PeerSocket(const PeerSocket&) = delete;
    PeerSocket& operator=(const PeerSocket&) = delete;

    bool bound() const { return bound_; }
    int fd() const { return fd_; }
    int port() const { return ntohs(address_.sin_port); }
    const sockaddr_in& address() const { return address_; }

    void sendTo(int port, const void* bytes, size_t length) const {
        const sockaddr_in to = LoopbackAddress(port);
        ::sendto(fd_, bytes, length, 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
    }

    // One datagram if one arrives within timeoutMs (loopback delivery is
    // immediate; the bound only keeps a broken test from hanging).
    int receive(void* buffer, size_t capacity, int timeoutMs = 2000) const {
        timeval tv{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
        ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
        return static_cast<int>(::recv(fd_, buffer, capacity, 0));
    }

    // Datagrams already queued, without waiting.
    int receiveNow(void* buffer, size_t capacity) const {
        return static_cast<int>(::recv(fd_, buffer, capacity, MSG_DONTWAIT));
    }

private:
    int fd_ = -1;
    bool bound_ = false;
    sockaddr_in address_;
};
