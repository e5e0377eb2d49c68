// The UDP socket of the modules and of the programs beside them, and what it
// has received. The contract, for every reader and sender of datagrams:
//
// - One IPv4 datagram socket, bound to a given address of this machine (all
//   of them, or loopback only) and port, non-blocking: no call here waits
//   for the network except the waits, which say how long at most.
// - Receive() takes what is queued into the socket's own inbox, whatever the
//   platform's FIONREAD counts (Windows: the bytes of all queued datagrams;
//   Linux and Wine: the first datagram's size): it reads until the platform
//   says nothing more is queued, so it never asks FIONREAD at all. It is
//   bounded so that a flood arriving while it reads cannot hold the caller:
//   the inbox holds at most kInboxBytes bytes (the receive buffer the
//   modules ask for, so everything that can have been queued when the call
//   began; plus the datagram that crosses that line) and kMaxHeldDatagrams
//   datagrams; what does not fit stays queued for the next call.
//   ReceiveOne() takes a single datagram into the caller's buffer instead,
//   for readers that handle each as it comes.
// - A datagram longer than the room for it is consumed and shows as one byte
//   longer than what was kept, so that no check can take it for a message.
// - A reported connection reset (a peer's ICMP port-unreachable, where the
//   platform could not be told to keep quiet about it) is passed over.
// - Each datagram comes with its sender; Next() hands them out in arrival
//   order. What the inbox holds (Held()) is the receiver's real backlog on
//   every platform.
// - A send never waits: a datagram the system has no room for, or refuses,
//   is reported, not retried. SendBatch() hands many (datagram, receiver)
//   pairs to the system at once where it can (sendmmsg).
// - WaitReadable() waits for any of several sockets with a time-out
//   (WSAPoll on Windows, poll on POSIX).
//
// The system calls are behind SocketCalls (SocketCalls.h): Windows Sockets
// names for the modules everywhere and for the programs on Windows, POSIX
// for the programs on POSIX. Nothing here needs the host.
//
// The inbox is one block, made by the modules' Open() (or the first
// Receive() of a socket opened otherwise) and reused: no heap allocation
// after that. Not thread-safe: each module uses its socket on the
// host's simulation thread only, each program on its loop's thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "ProtocolConstants.h"
#include "SocketAddress.h"
#include "SocketCalls.h"
#include "WireRecords.h"

constexpr int32_t kDefaultMasterPort = protocol::kDefaultMasterPort;

// Receive buffer both modules ask for: room for many updates.
constexpr int kSocketReceiveBuffer = 1000000;

enum class SocketStep { kDone, kExclusive, kBind, kReceiveBuffer, kSendBuffer, kResetReports, kNonBlocking };

struct SocketSetup {
    SocketStep failed = SocketStep::kDone;
    int error = 0;  // the platform's error number of the failed step (WSAGetLastError() in the modules)
};

// The log line of a failed step: "bind() error: %d" and the like.
const char* SocketStepFormat(SocketStep step);

struct SocketSettings {
    sockaddr_in local{};  // the address and port to bind (port 0: the system chooses)
    bool exclusive = false;
    int receiveBuffer = 0;  // bytes asked for; 0 leaves the system's size
    int sendBuffer = 0;
};

// All local addresses, or 127.0.0.1 alone, on `port`.
sockaddr_in AnyLocalAddress(uint16_t port);
sockaddr_in LoopbackAddressOn(uint16_t port);

class UdpSocket {
public:
    // Bytes one Receive() reads at most: the receive buffer the modules ask for.
    static constexpr size_t kInboxBytes = static_cast<size_t>(kSocketReceiveBuffer);
    // Datagrams the inbox holds at most. Far more than a receive of the
    // modules meets (an update of 100 vessels is some 500 datagrams, 64
    // slaves send a few hundred between two updates), few enough that
    // reading them all costs about a millisecond.
    static constexpr size_t kMaxHeldDatagrams = 4096;

    struct Datagram {
        const uint8_t* bytes;
        int length;  // one more than wire::kMaxDatagram: longer than any message, cut
        sockaddr_in from;
    };

    struct ReceiveResult {
        int datagrams = 0;  // read by this call
        int error = 0;      // the platform's error number of a failed read, else 0
    };

    // A socket among others to wait for (see WaitReadable).
    struct Waiting {
        const UdpSocket* socket;
        bool readable = false;
    };

    // The modules' sockets: Windows Sockets names on every platform.
    UdpSocket() : UdpSocket(WinsockCalls()) {}
    explicit UdpSocket(const SocketCalls& calls) : calls_(&calls) {}
    ~UdpSocket();
    UdpSocket(const UdpSocket&) = delete;
    UdpSocket& operator=(const UdpSocket&) = delete;

    // Creates the socket and binds it, for this socket alone when
    // `exclusive` (nobody else may bind the port beside it, and read or
    // answer what comes to it); then the buffers asked for, no
    // connection-reset reports, non-blocking. Stops at the first step that
    // fails, with the socket left open for the caller to close.
    SocketSetup Open(const SocketSettings& settings);
    // The modules' socket: all local addresses on `port` (0: the system
    // chooses), a receive buffer of kSocketReceiveBuffer bytes.
    SocketSetup Open(uint16_t port, bool exclusive);
    void Close();
    bool IsOpen() const { return handle_ != kNoSocket; }
    SocketHandle Handle() const { return handle_; }
    // The address and port bound (the port the system chose for port 0).
    sockaddr_in LocalAddress() const;

    // Reads what is queued into the inbox, within the bounds above.
    ReceiveResult Receive();
    // The oldest datagram not yet handed out, or null. Valid until the next
    // Next(), Receive() or Close().
    const Datagram* Next();
    // Bytes of the datagrams held and not yet handed out.
    size_t Held() const { return heldBytes_; }
    size_t HeldDatagrams() const { return count_ - head_; }

    // One queued datagram into `buffer`: its length (capacity + 1 for one
    // that was longer), or -1 when nothing is queued or the read failed.
    // Reset reports are passed over.
    int ReceiveOne(uint8_t* buffer, int capacity, sockaddr_in& from);

    SocketTransfer SendTo(const uint8_t* bytes, int length, const sockaddr_in& to);
    // See SocketCalls::SendBatch.
    int SendBatch(const OutgoingDatagram* datagrams, int count, SocketTransfer& first);

    // Waits up to timeoutMs until any of `sockets` has something to read and
    // marks those that have; null and closed ones are left out (with only
    // closed ones it sleeps, with only null ones it returns at once). The
    // number readable, 0 when the time ran out.
    static int WaitReadable(Waiting* sockets, size_t count, int timeoutMs);
    // Waits up to timeoutMs until a send would find room.
    bool WaitWritable(int timeoutMs) const;

    // The platform's words for one of its error numbers, and whether it says
    // that the port is taken.
    std::string ErrorText(int error) const { return calls_->ErrorText(error); }
    bool AddressInUse(int error) const { return calls_->AddressInUse(error); }

private:
    struct Slot {
        size_t offset;
        Datagram datagram;
    };
    // Moves the datagrams not yet handed out to the front of the inbox.
    void Compact();
    void MakeInbox();  // once, at the first Open or Receive

    const SocketCalls* calls_;
    SocketHandle handle_ = kNoSocket;
    std::unique_ptr<uint8_t[]> bytes_;  // kInboxBytes + room for one more datagram
    std::unique_ptr<Slot[]> slots_;     // kMaxHeldDatagrams
    size_t used_ = 0;                   // bytes of the inbox in use
    size_t count_ = 0;                  // slots in use
    size_t head_ = 0;                   // the next slot to hand out
    size_t heldBytes_ = 0;
};

// A socket on the platform's own calls, for programs that load no host.
class NativeUdpSocket : public UdpSocket {
public:
    NativeUdpSocket() : UdpSocket(NativeSocketCalls()) {}
};
