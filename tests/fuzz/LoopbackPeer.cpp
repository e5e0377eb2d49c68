#include "LoopbackPeer.h"

#include <arpa/inet.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

namespace fuzz {

namespace {

sockaddr_in Loopback(int host, int port) {
    sockaddr_in address;
    std::memset(&address, 0, sizeof address);
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(0x7F000000u | (static_cast<uint32_t>(host) & 0xFFu));
    address.sin_port = htons(static_cast<uint16_t>(port));
    return address;
}

}  // namespace

LoopbackPeer::LoopbackPeer(int host, int port) : address_(Loopback(host, port)) {
    fd_ = ::socket(AF_INET, SOCK_DGRAM, 0);
    if (fd_ < 0) return;
    bound_ = ::bind(fd_, reinterpret_cast<const sockaddr*>(&address_), sizeof address_) == 0;
    socklen_t length = sizeof address_;
    ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address_), &length);
}

LoopbackPeer::~LoopbackPeer() {
    if (fd_ >= 0) ::close(fd_);
}

void LoopbackPeer::sendTo(int port, const void* bytes, size_t length) const {
    const sockaddr_in to = Loopback(1, port);
    ::sendto(fd_, bytes, length, MSG_DONTWAIT, reinterpret_cast<const sockaddr*>(&to), sizeof to);
}

std::vector<std::vector<uint8_t>> LoopbackPeer::receiveAll(size_t limit) const {
    std::vector<std::vector<uint8_t>> all;
    static uint8_t buffer[65536];
    while (all.size() < limit) {
        const ssize_t length = ::recv(fd_, buffer, sizeof buffer, MSG_DONTWAIT);
        if (length < 0) break;
        all.emplace_back(buffer, buffer + length);
    }
    return all;
}

}  // namespace fuzz
