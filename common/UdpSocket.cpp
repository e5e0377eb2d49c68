#include "UdpSocket.h"

#include <algorithm>
#include <cstring>

namespace {

SocketSetup Failed(SocketStep step) {
    SocketSetup result;
    result.failed = step;
    result.error = WSAGetLastError();
    return result;
}

bool SetIntOption(SOCKET sock, int option, int value) {
    return setsockopt(sock, SOL_SOCKET, option, reinterpret_cast<const char*>(&value), sizeof value) != SOCKET_ERROR;
}

// Room for the largest datagram a message can be, the size the receive
// asks for: anything longer is reported as too long.
constexpr size_t kLargest = static_cast<size_t>(wire::kMaxDatagram);
constexpr size_t kInboxCapacity = UdpSocket::kInboxBytes + kLargest;

size_t Aligned(size_t bytes) { return (bytes + 7u) & ~static_cast<size_t>(7u); }

}  // namespace

UdpSocket::~UdpSocket() { Close(); }

SocketSetup UdpSocket::Open(uint16_t port, bool exclusive) {
    Close();
    if (!bytes_) {
        bytes_.reset(new uint8_t[kInboxCapacity]);
        slots_.reset(new Slot[kMaxHeldDatagrams]);
    }
    used_ = count_ = head_ = heldBytes_ = 0;

    WSADATA wsaData;
    WSAStartup(MAKEWORD(2, 2), &wsaData);
    // A failure to create shows as the bind failure that follows.
    handle_ = socket(AF_INET, SOCK_DGRAM, 0);
    // Windows lets another socket bind a port beside one that did not ask
    // for it alone; elsewhere a port is exclusive unless both ask to share.
    if (exclusive && !SetIntOption(handle_, SO_EXCLUSIVEADDRUSE, 1)) return Failed(SocketStep::kExclusive);

    sockaddr_in address;
    std::memset(&address, 0, sizeof address);
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    address.sin_port = htons(port);
    if (bind(handle_, reinterpret_cast<sockaddr*>(&address), sizeof address) < 0) return Failed(SocketStep::kBind);

    if (!SetIntOption(handle_, SO_RCVBUF, kSocketReceiveBuffer)) return Failed(SocketStep::kReceiveBuffer);

    // A peer that went away must not turn our next receive into an error.
    DWORD reportResets = 0;
    DWORD bytesReturned = 0;
    if (WSAIoctl(handle_, SIO_UDP_CONNRESET, &reportResets, sizeof reportResets, nullptr, 0, &bytesReturned, nullptr,
                 nullptr) == SOCKET_ERROR) {
        return Failed(SocketStep::kResetReports);
    }
    // Reads end when nothing is queued, not when FIONREAD says so: its count
    // means different things on different platforms.
    u_long nonBlocking = 1;
    if (ioctlsocket(handle_, FIONBIO, &nonBlocking) != 0) return Failed(SocketStep::kNonBlocking);
    return SocketSetup();
}

void UdpSocket::Close() {
    if (handle_ != INVALID_SOCKET) closesocket(handle_);
    handle_ = INVALID_SOCKET;
    used_ = count_ = head_ = heldBytes_ = 0;
}

void UdpSocket::Compact() {
    if (head_ == 0) return;
    if (head_ == count_) {
        used_ = count_ = head_ = 0;
        return;
    }
    const size_t start = slots_[head_].offset;
    std::memmove(bytes_.get(), bytes_.get() + start, used_ - start);
    used_ -= start;
    for (size_t i = head_; i < count_; ++i) {
        Slot& slot = slots_[i - head_];
        slot = slots_[i];
        slot.offset -= start;
        slot.datagram.bytes = bytes_.get() + slot.offset;
    }
    count_ -= head_;
    head_ = 0;
}

UdpSocket::ReceiveResult UdpSocket::Receive() {
    ReceiveResult result;
    if (handle_ == INVALID_SOCKET) return result;
    Compact();
    while (used_ <= kInboxBytes && count_ < kMaxHeldDatagrams) {
        Slot& slot = slots_[count_];
        slot.offset = used_;
        Datagram& d = slot.datagram;
        d.bytes = bytes_.get() + used_;
        std::memset(&d.from, 0, sizeof d.from);
        int fromLength = static_cast<int>(sizeof d.from);
        d.length = recvfrom(handle_, reinterpret_cast<char*>(bytes_.get() + used_), static_cast<int>(kLargest), 0,
                            reinterpret_cast<sockaddr*>(&d.from), &fromLength);
        if (d.length == SOCKET_ERROR) {
            const int error = WSAGetLastError();
            if (error == WSAEWOULDBLOCK) break;
            // Where resets could not be switched off: the datagram that
            // reported one is gone, the next may be fine. Counted as a read
            // so that a stream of them still ends the loop.
            if (error == WSAECONNRESET) {
                ++result.datagrams;
                if (result.datagrams >= static_cast<int>(kMaxHeldDatagrams)) break;
                continue;
            }
            if (error != WSAEMSGSIZE) {
                result.error = error;
                break;
            }
            // Longer than any message: consumed, and handed out one byte
            // longer than what was kept, so that no check can take it for one.
            d.length = static_cast<int>(kLargest) + 1;
        }
        const size_t kept = d.length > 0 ? std::min(static_cast<size_t>(d.length), kLargest) : 0u;
        used_ += Aligned(kept);
        heldBytes_ += kept;
        ++count_;
        ++result.datagrams;
    }
    return result;
}

const UdpSocket::Datagram* UdpSocket::Next() {
    if (head_ == count_) return nullptr;
    const Slot& slot = slots_[head_++];
    const int length = slot.datagram.length;
    heldBytes_ -= length > 0 ? std::min(static_cast<size_t>(length), kLargest) : 0u;
    return &slot.datagram;
}

const char* SocketStepFormat(SocketStep step) {
    switch (step) {
        case SocketStep::kBind:
            return "bind() error: %d";
        case SocketStep::kReceiveBuffer:
        case SocketStep::kExclusive:
            return "setsockopt() error: %d";
        case SocketStep::kResetReports:
            return "WSAIoctl() error: %d";
        case SocketStep::kNonBlocking:
            return "ioctlsocket() error: %d";
        case SocketStep::kDone:
            break;
    }
    return "socket setup: %d";
}
