// The seam between the socket layer (UdpSocket.h) and the system: the
// handful of calls the layer makes, once per flavour, each flavour in a file
// of its own:
//
// - WinsockCalls() (WinsockCalls.cpp): Windows Sockets names. The modules
//   use it on every platform (on POSIX the stand-in host provides those
//   names with their Windows meaning, so its FIONREAD switch and its send
//   batching apply), the programs beside the modules on Windows.
// - PosixCalls() (posix/PosixCalls.cpp): the POSIX calls, for the programs
//   beside the modules on POSIX, which load no host.
//
// The build compiles the flavour a program needs; the layer's logic is
// written once, against this interface. A flavour classifies what the
// system says (nothing queued, a reset, a datagram too long, a full send
// buffer), retries interrupted calls and keeps the platform's own error
// numbers for the rest.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "SocketAddress.h"

// A socket as the system knows it: SOCKET on Windows (and in the stand-in
// host), a descriptor on POSIX.
using SocketHandle = std::uintptr_t;
constexpr SocketHandle kNoSocket = ~SocketHandle{0};

enum class SocketOutcome {
    kDone,
    kNothingQueued,  // a receive found nothing, or a send found no room now
    kTooLong,        // a received datagram longer than the buffer: cut, consumed
    kReset,          // a peer's ICMP port-unreachable reported on this receive
    kFailed,
};

struct SocketTransfer {
    SocketOutcome outcome = SocketOutcome::kDone;
    int bytes = 0;  // received or sent (kTooLong: the bytes kept)
    int error = 0;  // the platform's error number when not kDone
};

struct OutgoingDatagram {
    const uint8_t* bytes;
    int length;
    const sockaddr_in* to;
};

struct SocketReadiness {
    SocketHandle socket = kNoSocket;
    bool writable = false;  // wait to write rather than to read
    bool ready = false;     // set by Poll
};

enum class SocketBuffer { kReceive, kSend };

class SocketCalls {
public:
    virtual ~SocketCalls() = default;

    // Set-up: 0, or the platform's error number. Create starts the
    // platform's sockets where they need starting; an IPv4 datagram socket.
    virtual int Create(SocketHandle& socket) const = 0;
    virtual void Close(SocketHandle socket) const = 0;
    // Nobody else may bind the port beside this socket (Windows lets one
    // unless told; POSIX ports are exclusive unless both ask to share).
    virtual int KeepExclusive(SocketHandle socket) const = 0;
    virtual int Bind(SocketHandle socket, const sockaddr_in& local) const = 0;
    virtual int SetBuffer(SocketHandle socket, SocketBuffer which, int bytes) const = 0;
    // No connection-reset reports on later receives, where the platform can
    // be told so.
    virtual int IgnoreResets(SocketHandle socket) const = 0;
    virtual int SetNonBlocking(SocketHandle socket) const = 0;
    virtual int LocalAddress(SocketHandle socket, sockaddr_in& local) const = 0;

    // One datagram, without waiting.
    virtual SocketTransfer ReceiveFrom(SocketHandle socket, uint8_t* buffer, int capacity, sockaddr_in& from) const = 0;
    virtual SocketTransfer SendTo(SocketHandle socket, const uint8_t* bytes, int length,
                                  const sockaddr_in& to) const = 0;
    // Sends from the front of `datagrams`, in one system call where the
    // platform has one for many; the number that left. When none did,
    // `first` says why the first could not.
    virtual int SendBatch(SocketHandle socket, const OutgoingDatagram* datagrams, int count,
                          SocketTransfer& first) const = 0;

protected:
    // SendBatch where the platform has no call for many: one SendTo each,
    // up to the first that fails.
    int SendEach(SocketHandle socket, const OutgoingDatagram* datagrams, int count, SocketTransfer& first) const {
        for (int i = 0; i < count; ++i) {
            const SocketTransfer sent = SendTo(socket, datagrams[i].bytes, datagrams[i].length, *datagrams[i].to);
            if (sent.outcome != SocketOutcome::kDone) {
                if (i == 0) first = sent;
                return i;
            }
        }
        return count;
    }

public:
    // Waits up to timeoutMs for any of `sockets` (all valid) to become ready
    // and marks those that are; the number ready, 0 when the time ran out or
    // the wait was interrupted, -1 when it failed. With none it only sleeps.
    virtual int Poll(SocketReadiness* sockets, size_t count, int timeoutMs) const = 0;

    virtual bool AddressInUse(int error) const = 0;
    virtual std::string ErrorText(int error) const = 0;
};

const SocketCalls& WinsockCalls();
const SocketCalls& PosixCalls();

// The platform's own calls, for programs that load no host.
inline const SocketCalls& NativeSocketCalls() {
#ifdef _WIN32
    return WinsockCalls();
#else
    return PosixCalls();
#endif
}
