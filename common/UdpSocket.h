// The modules' UDP socket and what it has received. The contract, for every
// reader of datagrams:
//
// - One IPv4 datagram socket, bound to all local addresses, non-blocking: no
//   call here ever waits for the network.
// - Receive() takes what is queued into the socket's own inbox, whatever the
//   platform's FIONREAD counts (Windows: the bytes of all queued datagrams;
//   Linux and Wine: the first datagram's size): it reads until the platform
//   says nothing more is queued, so it never asks FIONREAD at all. It is
//   bounded so that a flood arriving while it reads cannot hold the caller:
//   the inbox holds at most kInboxBytes bytes (the receive buffer the socket
//   asks for, so everything that can have been queued when the call began;
//   plus the datagram that crosses that line) and kMaxHeldDatagrams
//   datagrams; what does not fit stays queued for the next call.
// - A reported connection reset (a peer's ICMP port-unreachable, where the
//   platform could not be told to keep quiet about it) is passed over.
// - Each datagram comes with its sender; Next() hands them out in arrival
//   order. What the inbox holds (Held()) is the receiver's real backlog on
//   every platform.
//
// No heap allocation after Open(): the inbox is one block, reused.
// Not thread-safe: each module uses its socket on the host's simulation
// thread only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "Platform.h"
#include "ProtocolConstants.h"
#include "SocketAddress.h"
#include "WireRecords.h"

constexpr int32_t kDefaultMasterPort = protocol::kDefaultMasterPort;

// Receive buffer both modules ask for: room for many updates.
constexpr int kSocketReceiveBuffer = 1000000;

enum class SocketStep { kDone, kExclusive, kBind, kReceiveBuffer, kResetReports, kNonBlocking };

struct SocketSetup {
    SocketStep failed = SocketStep::kDone;
    int error = 0;  // WSAGetLastError() of the failed step
};

// The log line of a failed step: "bind() error: %d" and the like.
const char* SocketStepFormat(SocketStep step);

class UdpSocket {
public:
    // Bytes one Receive() reads at most: the receive buffer asked for.
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
        int error = 0;      // WSAGetLastError() of a failed read, else 0
    };

    UdpSocket() = default;
    ~UdpSocket();
    UdpSocket(const UdpSocket&) = delete;
    UdpSocket& operator=(const UdpSocket&) = delete;

    // Starts Windows Sockets, creates the socket and binds it to all local
    // addresses on `port` (0: the system chooses), for this socket alone
    // when `exclusive` (nobody else may bind the port beside it, and read
    // or answer what comes to it); then the receive buffer, no
    // connection-reset reports, non-blocking. Stops at the first step that
    // fails, with the socket left open for the caller to close.
    SocketSetup Open(uint16_t port, bool exclusive);
    void Close();
    bool IsOpen() const { return handle_ != INVALID_SOCKET; }
    SOCKET Handle() const { return handle_; }

    // Reads what is queued into the inbox, within the bounds above.
    ReceiveResult Receive();
    // The oldest datagram not yet handed out, or null. Valid until the next
    // Next(), Receive() or Discard().
    const Datagram* Next();
    // Bytes of the datagrams held and not yet handed out.
    size_t Held() const { return heldBytes_; }
    size_t HeldDatagrams() const { return count_ - head_; }

private:
    struct Slot {
        size_t offset;
        Datagram datagram;
    };
    // Moves the datagrams not yet handed out to the front of the inbox.
    void Compact();

    SOCKET handle_ = INVALID_SOCKET;
    std::unique_ptr<uint8_t[]> bytes_;  // kInboxBytes + room for one more datagram
    std::unique_ptr<Slot[]> slots_;     // kMaxHeldDatagrams
    size_t used_ = 0;                   // bytes of the inbox in use
    size_t count_ = 0;                  // slots in use
    size_t head_ = 0;                   // the next slot to hand out
    size_t heldBytes_ = 0;
};
