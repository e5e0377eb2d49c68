#include "BareSockets.h"

#include <arpa/inet.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "Loopback.h"

namespace bench {
namespace {

constexpr size_t kLargest = 65536;
constexpr unsigned kBatch = 64;
constexpr int kPeerBuffer = 16 * 1024 * 1024;

// Scratch of the batched reads and writes, made once.
struct Scratch {
    std::unique_ptr<uint8_t[]> bytes{new uint8_t[kBatch * kLargest]};
    mmsghdr messages[kBatch];
    iovec vectors[kBatch];
};

Scratch& TheScratch() {
    static Scratch scratch;
    return scratch;
}

}  // namespace

UdpPeer::UdpPeer() {
    fd_ = ::socket(AF_INET, SOCK_DGRAM, 0);
    int size = kPeerBuffer;
    // The forced variant passes the system's limit where the process may.
    if (::setsockopt(fd_, SOL_SOCKET, SO_RCVBUFFORCE, &size, sizeof size) != 0)
        ::setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
    address_ = LoopbackAddress(0);
    ::bind(fd_, reinterpret_cast<const sockaddr*>(&address_), sizeof address_);
    socklen_t length = sizeof address_;
    ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address_), &length);
}

UdpPeer::~UdpPeer() {
    if (fd_ >= 0) ::close(fd_);
}

void UdpPeer::sendTo(int port, const void* bytes, size_t length) const {
    const sockaddr_in to = LoopbackAddress(port);
    ::sendto(fd_, bytes, length, 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
}

size_t UdpPeer::drain(std::vector<Bytes>* keep) const {
    Scratch& s = TheScratch();
    size_t total = 0;
    for (;;) {
        for (unsigned i = 0; i < kBatch; ++i) {
            s.vectors[i].iov_base = s.bytes.get() + i * kLargest;
            s.vectors[i].iov_len = kLargest;
            std::memset(&s.messages[i], 0, sizeof s.messages[i]);
            s.messages[i].msg_hdr.msg_iov = &s.vectors[i];
            s.messages[i].msg_hdr.msg_iovlen = 1;
        }
        const int received = ::recvmmsg(fd_, s.messages, kBatch, MSG_DONTWAIT, nullptr);
        if (received <= 0) return total;
        total += static_cast<size_t>(received);
        if (keep != nullptr) {
            for (int i = 0; i < received; ++i) {
                const uint8_t* start = static_cast<const uint8_t*>(s.vectors[i].iov_base);
                keep->emplace_back(start, start + s.messages[i].msg_len);
            }
        }
    }
}

void Queue(int fd, int port, const std::vector<Bytes>& datagrams) {
    Scratch& s = TheScratch();
    sockaddr_in to = LoopbackAddress(port);
    for (size_t first = 0; first < datagrams.size(); first += kBatch) {
        unsigned count = 0;
        for (size_t i = first; i < datagrams.size() && count < kBatch; ++i, ++count) {
            s.vectors[count].iov_base = const_cast<uint8_t*>(datagrams[i].data());
            s.vectors[count].iov_len = datagrams[i].size();
            std::memset(&s.messages[count], 0, sizeof s.messages[count]);
            s.messages[count].msg_hdr.msg_name = &to;
            s.messages[count].msg_hdr.msg_namelen = sizeof to;
            s.messages[count].msg_hdr.msg_iov = &s.vectors[count];
            s.messages[count].msg_hdr.msg_iovlen = 1;
        }
        for (unsigned sent = 0; sent < count;) {
            const int n = ::sendmmsg(fd, s.messages + sent, count - sent, 0);
            if (n <= 0) break;
            sent += static_cast<unsigned>(n);
        }
    }
}

void SendToEach(int fd, const std::vector<Bytes>& datagrams, const std::vector<sockaddr_in>& clients) {
    for (const Bytes& datagram : datagrams) {
        for (const sockaddr_in& client : clients) {
            ::sendto(fd, datagram.data(), datagram.size(), 0, reinterpret_cast<const sockaddr*>(&client),
                     sizeof client);
        }
    }
}

BareFanOut::BareFanOut(const std::vector<Bytes>& datagrams, const std::vector<sockaddr_in>& clients)
    : clients_(clients), vectors_(datagrams.size()), messages_(datagrams.size() * clients.size()) {
    for (size_t i = 0; i < datagrams.size(); ++i) {
        vectors_[i].iov_base = const_cast<uint8_t*>(datagrams[i].data());
        vectors_[i].iov_len = datagrams[i].size();
        for (size_t j = 0; j < clients_.size(); ++j) {
            msghdr& header = messages_[i * clients_.size() + j].msg_hdr;
            std::memset(&header, 0, sizeof header);
            header.msg_name = &clients_[j];
            header.msg_namelen = sizeof clients_[j];
            header.msg_iov = &vectors_[i];
            header.msg_iovlen = 1;
        }
    }
}

size_t BareFanOut::send(int fd) {
    // The system takes at most 1024 messages a call.
    constexpr size_t kPerCall = 1024;
    size_t sent = 0;
    while (sent < messages_.size()) {
        const unsigned count = static_cast<unsigned>(std::min(kPerCall, messages_.size() - sent));
        const int n = ::sendmmsg(fd, messages_.data() + sent, count, 0);
        if (n <= 0) break;
        sent += static_cast<size_t>(n);
    }
    return sent;
}

size_t ReceiveEach(int fd, size_t count) {
    static uint8_t buffer[kLargest];
    size_t received = 0;
    for (size_t i = 0; i < count; ++i) {
        if (::recvfrom(fd, buffer, sizeof buffer, MSG_DONTWAIT, nullptr, nullptr) < 0) break;
        ++received;
    }
    return received;
}

size_t ReceiveEachAfterPending(int fd, size_t count) {
    static uint8_t buffer[kLargest];
    size_t received = 0;
    for (size_t i = 0; i < count; ++i) {
        int pending = 0;
        if (::ioctl(fd, FIONREAD, &pending) != 0) break;
        if (::recvfrom(fd, buffer, sizeof buffer, MSG_DONTWAIT, nullptr, nullptr) < 0) break;
        ++received;
    }
    return received;
}

}  // namespace bench
