// Test peers on 127.0.0.1 over Windows Sockets: the same helpers as
// tests/support/Loopback.h, so that tests written against it run on
// Windows' (Wine's) own sockets too. A descriptor here is a SOCKET handle.
#pragma once

#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstdint>
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

// Windows Sockets started once for the whole test program.
inline void StartWindowsSockets() {
    static const bool started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    (void)started;
}

// The port a bound socket has (a module's, say), or 0.
inline int LocalPort(SOCKET handle) {
    sockaddr_in address;
    std::memset(&address, 0, sizeof address);
    int length = sizeof address;
    if (::getsockname(handle, reinterpret_cast<sockaddr*>(&address), &length) != 0) return 0;
    return ntohs(address.sin_port);
}
inline int LocalPort(int handle) { return LocalPort(static_cast<SOCKET>(handle)); }

// A UDP port on 127.0.0.1 that was free a moment ago.
inline int FreeUdpPort() {
    StartWindowsSockets();
    SOCKET handle = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in address = LoopbackAddress(0);
    ::bind(handle, reinterpret_cast<sockaddr*>(&address), sizeof address);
    const int port = LocalPort(handle);
    ::closesocket(handle);
    return port;
}

// A plain UDP socket bound to 127.0.0.1 on any port (or the given one).
class PeerSocket {
public:
    explicit PeerSocket(int port = 0) : address_(LoopbackAddress(port)) {
        StartWindowsSockets();
        handle_ = ::socket(AF_INET, SOCK_DGRAM, 0);
        bound_ = ::bind(handle_, reinterpret_cast<sockaddr*>(&address_), sizeof address_) == 0;
        int length = sizeof address_;
        ::getsockname(handle_, reinterpret_cast<sockaddr*>(&address_), &length);
    }
    ~PeerSocket() { release(); }
    // Closes the socket now (frees its port).
    void release() {
        if (handle_ != INVALID_SOCKET) ::closesocket(handle_);
        handle_ = INVALID_SOCKET;
    }
    PeerSocket(const PeerSocket&) = delete;
    PeerSocket& operator=(const PeerSocket&) = delete;

    bool bound() const { return bound_; }
    int fd() const { return static_cast<int>(handle_); }
    int port() const { return ntohs(address_.sin_port); }
    const sockaddr_in& address() const { return address_; }

    void sendTo(int port, const void* bytes, size_t length) const {
        const sockaddr_in to = LoopbackAddress(port);
        ::sendto(handle_, static_cast<const char*>(bytes), static_cast<int>(length), 0,
                 reinterpret_cast<const sockaddr*>(&to), sizeof to);
    }

    // One datagram if one arrives within timeoutMs (loopback delivery is
    // immediate; the bound only keeps a broken test from hanging).
    int receive(void* buffer, size_t capacity, int timeoutMs = 2000) const {
        const DWORD timeout = static_cast<DWORD>(timeoutMs);
        ::setsockopt(handle_, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
        return ::recv(handle_, static_cast<char*>(buffer), static_cast<int>(capacity), 0);
    }

    // Datagrams already queued, without waiting.
    int receiveNow(void* buffer, size_t capacity) const {
        u_long nonBlocking = 1;
        ::ioctlsocket(handle_, FIONBIO, &nonBlocking);
        const int received = ::recv(handle_, static_cast<char*>(buffer), static_cast<int>(capacity), 0);
        nonBlocking = 0;
        ::ioctlsocket(handle_, FIONBIO, &nonBlocking);
        return received;
    }

private:
    SOCKET handle_ = INVALID_SOCKET;
    bool bound_ = false;
    sockaddr_in address_;
};
