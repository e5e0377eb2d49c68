// Small helpers for test peers on 127.0.0.1, over the platform's own sockets:
// BSD sockets here, Windows Sockets in the Windows build (whose tests run on
// Wine's sockets). The platforms differ only in the block below.
#pragma once

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <cstdint>
#include <cstring>

namespace loopback {
#ifdef _WIN32
using Handle = SOCKET;
using AddressLength = int;
constexpr Handle kNone = INVALID_SOCKET;
inline void Start() {
    static const bool started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    (void)started;
}
inline void Close(Handle handle) { ::closesocket(handle); }
inline void SetReceiveTimeout(Handle handle, int ms) {
    const DWORD timeout = static_cast<DWORD>(ms);
    ::setsockopt(handle, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
}
inline void SendTo(Handle handle, const void* bytes, size_t length, const sockaddr_in& to) {
    ::sendto(handle, static_cast<const char*>(bytes), static_cast<int>(length), 0,
             reinterpret_cast<const sockaddr*>(&to), sizeof to);
}
inline int ReceiveNow(Handle handle, void* buffer, size_t capacity) {
    u_long nonBlocking = 1;
    ::ioctlsocket(handle, FIONBIO, &nonBlocking);
    const int received = ::recv(handle, static_cast<char*>(buffer), static_cast<int>(capacity), 0);
    nonBlocking = 0;
    ::ioctlsocket(handle, FIONBIO, &nonBlocking);
    return received;
}
#else
using Handle = int;
using AddressLength = socklen_t;
constexpr Handle kNone = -1;
inline void Start() {}
inline void Close(Handle handle) { ::close(handle); }
inline void SetReceiveTimeout(Handle handle, int ms) {
    timeval tv{ms / 1000, (ms % 1000) * 1000};
    ::setsockopt(handle, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
}
// The platform's own sendto, whatever a stand-in of Windows Sockets declares beside it.
inline void SendTo(Handle handle, const void* bytes, size_t length, const sockaddr_in& to) {
    ::sendto(handle, bytes, length, 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
}
inline int ReceiveNow(Handle handle, void* buffer, size_t capacity) {
    return static_cast<int>(::recv(handle, buffer, capacity, MSG_DONTWAIT));
}
#endif
}  // namespace loopback

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
inline int LocalPort(loopback::Handle handle) {
    sockaddr_in address;
    std::memset(&address, 0, sizeof address);
    loopback::AddressLength length = sizeof address;
    if (::getsockname(handle, reinterpret_cast<sockaddr*>(&address), &length) != 0) return 0;
    return ntohs(address.sin_port);
}
#ifdef _WIN32
inline int LocalPort(int handle) { return LocalPort(static_cast<SOCKET>(handle)); }
#endif

// A UDP port on 127.0.0.1 that was free a moment ago.
inline int FreeUdpPort() {
    loopback::Start();
    const loopback::Handle handle = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in address = LoopbackAddress(0);
    ::bind(handle, reinterpret_cast<sockaddr*>(&address), sizeof address);
    const int port = LocalPort(handle);
    loopback::Close(handle);
    return port;
}

// A plain UDP socket bound to 127.0.0.1 on any port (or the given one).
class PeerSocket {
public:
    explicit PeerSocket(int port = 0) : address_(LoopbackAddress(port)) {
        loopback::Start();
        handle_ = ::socket(AF_INET, SOCK_DGRAM, 0);
        bound_ = ::bind(handle_, reinterpret_cast<sockaddr*>(&address_), sizeof address_) == 0;
        loopback::AddressLength length = sizeof address_;
        ::getsockname(handle_, reinterpret_cast<sockaddr*>(&address_), &length);
    }
    ~PeerSocket() { release(); }
    // Closes the socket now (frees its port).
    void release() {
        if (handle_ != loopback::kNone) loopback::Close(handle_);
        handle_ = loopback::kNone;
    }
    PeerSocket(const PeerSocket&) = delete;
    PeerSocket& operator=(const PeerSocket&) = delete;

    bool bound() const { return bound_; }
    int fd() const { return static_cast<int>(handle_); }
    int port() const { return ntohs(address_.sin_port); }
    const sockaddr_in& address() const { return address_; }

    void sendTo(int port, const void* bytes, size_t length) const {
        loopback::SendTo(handle_, bytes, length, LoopbackAddress(port));
    }

    // One datagram if one arrives within timeoutMs (loopback delivery is
    // immediate; the bound only keeps a broken test from hanging).
    int receive(void* buffer, size_t capacity, int timeoutMs = 2000) const {
        loopback::SetReceiveTimeout(handle_, timeoutMs);
        return static_cast<int>(::recv(handle_, static_cast<char*>(buffer), static_cast<int>(capacity), 0));
    }

    // Datagrams already queued, without waiting.
    int receiveNow(void* buffer, size_t capacity) const { return loopback::ReceiveNow(handle_, buffer, capacity); }

private:
    loopback::Handle handle_ = loopback::kNone;
    bool bound_ = false;
    sockaddr_in address_;
};
