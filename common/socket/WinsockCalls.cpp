// The socket layer's calls by their Windows Sockets names: Windows' own on
// Windows, the stand-in host's on POSIX (simhost/sdk), which give them their
// Windows meaning there.
#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <mstcpip.h>
// The Windows SDK's mstcpip.h defines this; older mingw-w64 headers do not.
#ifndef SIO_UDP_CONNRESET
#define SIO_UDP_CONNRESET _WSAIOW(IOC_VENDOR, 12)
#endif
#else
#include "win32_standin.h"
#endif

#include <cstdio>
#include <type_traits>
#include <vector>

#include "SocketCalls.h"

static_assert(std::is_same<SOCKET, SocketHandle>::value, "a SocketHandle is a SOCKET");

namespace {

int Result(int call) { return call == SOCKET_ERROR ? WSAGetLastError() : 0; }

SocketTransfer Failure(int error) {
    SocketTransfer result;
    result.error = error;
    switch (error) {
        case WSAEWOULDBLOCK:
        case WSAENOBUFS:
            result.outcome = SocketOutcome::kNothingQueued;
            break;
        case WSAECONNRESET:
            result.outcome = SocketOutcome::kReset;
            break;
        case WSAEMSGSIZE:
            result.outcome = SocketOutcome::kTooLong;
            break;
        default:
            result.outcome = SocketOutcome::kFailed;
            break;
    }
    return result;
}

class Winsock final : public SocketCalls {
public:
    int Create(SocketHandle& socket) const override {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
        socket = ::socket(AF_INET, SOCK_DGRAM, 0);
        return socket == INVALID_SOCKET ? WSAGetLastError() : 0;
    }

    void Close(SocketHandle socket) const override { closesocket(socket); }

    int KeepExclusive(SocketHandle socket) const override { return SetInt(socket, SO_EXCLUSIVEADDRUSE, 1); }

    int Bind(SocketHandle socket, const sockaddr_in& local) const override {
        return Result(bind(socket, reinterpret_cast<const sockaddr*>(&local), static_cast<int>(sizeof local)));
    }

    int SetBuffer(SocketHandle socket, SocketBuffer which, int bytes) const override {
        return SetInt(socket, which == SocketBuffer::kReceive ? SO_RCVBUF : SO_SNDBUF, bytes);
    }

    int IgnoreResets(SocketHandle socket) const override {
        DWORD reportResets = 0;
        DWORD bytesReturned = 0;
        return Result(WSAIoctl(socket, SIO_UDP_CONNRESET, &reportResets, sizeof reportResets, nullptr, 0,
                               &bytesReturned, nullptr, nullptr));
    }

    int SetNonBlocking(SocketHandle socket) const override {
        u_long nonBlocking = 1;
        return ioctlsocket(socket, FIONBIO, &nonBlocking) != 0 ? WSAGetLastError() : 0;
    }

    int LocalAddress(SocketHandle socket, sockaddr_in& local) const override {
        int length = static_cast<int>(sizeof local);
        return Result(getsockname(socket, reinterpret_cast<sockaddr*>(&local), &length));
    }

    SocketTransfer ReceiveFrom(SocketHandle socket, uint8_t* buffer, int capacity, sockaddr_in& from) const override {
        int fromLength = static_cast<int>(sizeof from);
        const int received = recvfrom(socket, reinterpret_cast<char*>(buffer), capacity, 0,
                                      reinterpret_cast<sockaddr*>(&from), &fromLength);
        if (received != SOCKET_ERROR) return SocketTransfer{SocketOutcome::kDone, received, 0};
        SocketTransfer result = Failure(WSAGetLastError());
        if (result.outcome == SocketOutcome::kTooLong) result.bytes = capacity;
        return result;
    }

    SocketTransfer SendTo(SocketHandle socket, const uint8_t* bytes, int length, const sockaddr_in& to) const override {
        const int sent = sendto(socket, reinterpret_cast<const char*>(bytes), length, 0,
                                reinterpret_cast<const sockaddr*>(&to), static_cast<int>(sizeof to));
        if (sent != SOCKET_ERROR) return SocketTransfer{SocketOutcome::kDone, sent, 0};
        return Failure(WSAGetLastError());
    }

    // Windows has no call for many datagrams to many receivers: one sendto
    // each (the stand-in host batches them itself within a host callback).
    int SendBatch(SocketHandle socket, const OutgoingDatagram* datagrams, int count,
                  SocketTransfer& first) const override {
        return SendEach(socket, datagrams, count, first);
    }

    int Poll(SocketReadiness* sockets, size_t count, int timeoutMs) const override {
        // WSAPoll refuses to wait for nothing.
        if (count == 0) {
            Sleep(static_cast<DWORD>(timeoutMs));
            return 0;
        }
        std::vector<WSAPOLLFD>& polled = Scratch(count);
        for (size_t i = 0; i < count; ++i) {
            polled[i].fd = sockets[i].socket;
            polled[i].events = sockets[i].writable ? POLLWRNORM : POLLRDNORM;
            polled[i].revents = 0;
        }
        const int ready = WSAPoll(polled.data(), static_cast<ULONG>(count), timeoutMs);
        if (ready == SOCKET_ERROR) return -1;
        for (size_t i = 0; i < count; ++i) {
            // An error or a closed socket counts as ready: the next call reports it.
            sockets[i].ready = polled[i].revents != 0;
        }
        return ready;
    }

    bool AddressInUse(int error) const override { return error == WSAEADDRINUSE; }

    std::string ErrorText(int error) const override {
        switch (error) {
            case WSAEADDRINUSE:
                return "the port is in use";
            case WSAEADDRNOTAVAIL:
                return "no such address on this machine";
            case WSAEACCES:
                return "permission denied";
            case WSAEMFILE:
            case WSAENOBUFS:
                return "no more sockets";
            case WSAENETDOWN:
                return "the network is down";
            case WSAENETUNREACH:
            case WSAEHOSTUNREACH:
                return "no route to that address";
            default:
                break;
        }
        char text[48];
        std::snprintf(text, sizeof text, "Windows Sockets error %d", error);
        return text;
    }

private:
    static int SetInt(SocketHandle socket, int option, int value) {
        return Result(setsockopt(socket, SOL_SOCKET, option, reinterpret_cast<const char*>(&value), sizeof value));
    }

    // One per thread, grown to the most sockets waited for at once.
    static std::vector<WSAPOLLFD>& Scratch(size_t count) {
        thread_local std::vector<WSAPOLLFD> scratch;
        if (scratch.size() < count) scratch.resize(count);
        return scratch;
    }
};

}  // namespace

const SocketCalls& WinsockCalls() {
    static const Winsock calls;
    return calls;
}
