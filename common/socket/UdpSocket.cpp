#include "UdpSocket.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

SocketSetup Failed(SocketStep step, int error) {
    SocketSetup result;
    result.failed = step;
    result.error = error;
    return result;
}

// Room for the largest datagram a message can be, the size the receive
// asks for: anything longer is reported as too long.
constexpr size_t kLargest = static_cast<size_t>(wire::kMaxDatagram);
constexpr size_t kInboxCapacity = UdpSocket::kInboxBytes + kLargest;

size_t Aligned(size_t bytes) { return (bytes + 7u) & ~static_cast<size_t>(7u); }

// Reset reports one ReceiveOne() passes over at most: a stream of them must
// still end the call.
constexpr int kMostResetsPassedOver = 64;

}  // namespace

sockaddr_in AnyLocalAddress(uint16_t port) {
    sockaddr_in address;
    std::memset(&address, 0, sizeof address);
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    address.sin_port = htons(port);
    return address;
}

sockaddr_in LoopbackAddressOn(uint16_t port) {
    sockaddr_in address = AnyLocalAddress(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

UdpSocket::~UdpSocket() { Close(); }

SocketSetup UdpSocket::Open(const SocketSettings& settings) {
    Close();
    // A socket that cannot be made reads as a failed bind, as the modules
    // have always logged it.
    if (const int error = calls_->Create(handle_)) {
        handle_ = kNoSocket;
        return Failed(SocketStep::kBind, error);
    }
    // Windows lets another socket bind a port beside one that did not ask
    // for it alone; elsewhere a port is exclusive unless both ask to share.
    if (settings.exclusive) {
        if (const int error = calls_->KeepExclusive(handle_)) return Failed(SocketStep::kExclusive, error);
    }
    if (const int error = calls_->Bind(handle_, settings.local)) return Failed(SocketStep::kBind, error);
    if (settings.receiveBuffer > 0) {
        if (const int error = calls_->SetBuffer(handle_, SocketBuffer::kReceive, settings.receiveBuffer))
            return Failed(SocketStep::kReceiveBuffer, error);
    }
    if (settings.sendBuffer > 0) {
        if (const int error = calls_->SetBuffer(handle_, SocketBuffer::kSend, settings.sendBuffer))
            return Failed(SocketStep::kSendBuffer, error);
    }
    // A peer that went away must not turn our next receive into an error.
    if (const int error = calls_->IgnoreResets(handle_)) return Failed(SocketStep::kResetReports, error);
    // Reads end when nothing is queued, not when FIONREAD says so: its count
    // means different things on different platforms.
    if (const int error = calls_->SetNonBlocking(handle_)) return Failed(SocketStep::kNonBlocking, error);
    return SocketSetup();
}

SocketSetup UdpSocket::Open(uint16_t port, bool exclusive) {
    // The modules read through the inbox: made here, not in a step.
    MakeInbox();
    SocketSettings settings;
    settings.local = AnyLocalAddress(port);
    settings.exclusive = exclusive;
    settings.receiveBuffer = kSocketReceiveBuffer;
    return Open(settings);
}

void UdpSocket::MakeInbox() {
    if (bytes_) return;
    bytes_.reset(new uint8_t[kInboxCapacity]);
    slots_.reset(new Slot[kMaxHeldDatagrams]);
}

void UdpSocket::Close() {
    if (handle_ != kNoSocket) calls_->Close(handle_);
    handle_ = kNoSocket;
    used_ = count_ = head_ = heldBytes_ = 0;
}

sockaddr_in UdpSocket::LocalAddress() const {
    sockaddr_in local;
    std::memset(&local, 0, sizeof local);
    if (handle_ != kNoSocket) calls_->LocalAddress(handle_, local);
    return local;
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
    if (handle_ == kNoSocket) return result;
    MakeInbox();
    Compact();
    while (used_ <= kInboxBytes && count_ < kMaxHeldDatagrams) {
        Slot& slot = slots_[count_];
        slot.offset = used_;
        Datagram& d = slot.datagram;
        d.bytes = bytes_.get() + used_;
        std::memset(&d.from, 0, sizeof d.from);
        const SocketTransfer read =
            calls_->ReceiveFrom(handle_, bytes_.get() + used_, static_cast<int>(kLargest), d.from);
        if (read.outcome == SocketOutcome::kNothingQueued) break;
        // Where resets could not be switched off: the datagram that
        // reported one is gone, the next may be fine. Counted as a read so
        // that a stream of them still ends the loop.
        if (read.outcome == SocketOutcome::kReset) {
            ++result.datagrams;
            if (result.datagrams >= static_cast<int>(kMaxHeldDatagrams)) break;
            continue;
        }
        if (read.outcome == SocketOutcome::kFailed) {
            result.error = read.error;
            break;
        }
        // Longer than any message: consumed, and handed out one byte longer
        // than what was kept, so that no check can take it for one.
        d.length = read.outcome == SocketOutcome::kTooLong ? static_cast<int>(kLargest) + 1 : read.bytes;
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

int UdpSocket::ReceiveOne(uint8_t* buffer, int capacity, sockaddr_in& from) {
    if (handle_ == kNoSocket || capacity < 0) return -1;
    for (int resets = 0; resets < kMostResetsPassedOver; ++resets) {
        std::memset(&from, 0, sizeof from);
        const SocketTransfer read = calls_->ReceiveFrom(handle_, buffer, capacity, from);
        switch (read.outcome) {
            case SocketOutcome::kDone:
                return read.bytes;
            case SocketOutcome::kTooLong:
                return capacity + 1;
            case SocketOutcome::kReset:
                continue;
            case SocketOutcome::kNothingQueued:
            case SocketOutcome::kFailed:
                return -1;
        }
    }
    return -1;
}

SocketTransfer UdpSocket::SendTo(const uint8_t* bytes, int length, const sockaddr_in& to) {
    if (handle_ == kNoSocket) return SocketTransfer{SocketOutcome::kFailed, 0, 0};
    return calls_->SendTo(handle_, bytes, length, to);
}

int UdpSocket::SendBatch(const OutgoingDatagram* datagrams, int count, SocketTransfer& first) {
    if (count <= 0) return 0;
    if (handle_ == kNoSocket) {
        first = SocketTransfer{SocketOutcome::kFailed, 0, 0};
        return 0;
    }
    return calls_->SendBatch(handle_, datagrams, count, first);
}

int UdpSocket::WaitReadable(Waiting* sockets, size_t count, int timeoutMs) {
    timeoutMs = std::max(timeoutMs, 0);
    // Small sets wait from the stack; a program with thousands of sockets
    // pays for a vector.
    constexpr size_t kOnStack = 16;
    SocketReadiness onStack[kOnStack];
    std::vector<SocketReadiness> onHeap;
    SocketReadiness* polled = onStack;
    const SocketCalls* calls = nullptr;
    size_t open = 0;
    for (size_t i = 0; i < count; ++i) {
        sockets[i].readable = false;
        if (sockets[i].socket != nullptr && sockets[i].socket->IsOpen()) ++open;
    }
    if (open > kOnStack) {
        onHeap.resize(open);
        polled = onHeap.data();
    }
    size_t n = 0;
    for (size_t i = 0; i < count; ++i) {
        const UdpSocket* socket = sockets[i].socket;
        if (socket == nullptr) continue;
        calls = socket->calls_;
        if (socket->IsOpen()) polled[n++] = SocketReadiness{socket->handle_, false, false};
    }
    if (calls == nullptr) return 0;
    if (n == 0) {
        calls->Poll(nullptr, 0, timeoutMs);
        return 0;
    }
    const int ready = calls->Poll(polled, n, timeoutMs);
    if (ready <= 0) return 0;
    n = 0;
    for (size_t i = 0; i < count; ++i) {
        if (sockets[i].socket == nullptr || !sockets[i].socket->IsOpen()) continue;
        sockets[i].readable = polled[n++].ready;
    }
    return ready;
}

bool UdpSocket::WaitWritable(int timeoutMs) const {
    if (handle_ == kNoSocket) return false;
    SocketReadiness polled{handle_, true, false};
    return calls_->Poll(&polled, 1, std::max(timeoutMs, 0)) > 0 && polled.ready;
}

const char* SocketStepFormat(SocketStep step) {
    switch (step) {
        case SocketStep::kBind:
            return "bind() error: %d";
        case SocketStep::kReceiveBuffer:
        case SocketStep::kSendBuffer:
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
