#include "DownstreamPort.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "MasterAddress.h"
#include "WireRecords.h"

namespace {

// Acks, Hellos and keys of many clients between two turns of the loop.
constexpr int kReceiveBuffer = 1 << 20;
// Many updates for many clients on their way out.
constexpr int kSendBuffer = 4 << 20;

}  // namespace

DownstreamPort::~DownstreamPort() {
    if (fd_ >= 0) ::close(fd_);
}

bool DownstreamPort::open(const sockaddr_in& listen, std::string& error) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = ::socket(AF_INET, SOCK_DGRAM, 0);
    if (fd_ < 0) {
        error = std::string("cannot create a UDP socket: ") + std::strerror(errno);
        return false;
    }
    if (::bind(fd_, reinterpret_cast<const sockaddr*>(&listen), sizeof listen) != 0) {
        const int why = errno;
        error = "cannot listen on " + AddressText(listen) + ": " + std::strerror(why);
        if (why == EADDRINUSE) error += " (a master or another relay there? choose another port with --listen)";
        ::close(fd_);
        fd_ = -1;
        return false;
    }
    socklen_t length = sizeof address_;
    ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address_), &length);
    // Smaller buffers than asked for only mean losses under load, which the
    // slaves' figures then show.
    ::setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &kReceiveBuffer, sizeof kReceiveBuffer);
    ::setsockopt(fd_, SOL_SOCKET, SO_SNDBUF, &kSendBuffer, sizeof kSendBuffer);
    buffer_.assign(wire::kMaxDatagram + 1, 0);
    return true;
}

int DownstreamPort::receive(sockaddr_in& from) {
    if (fd_ < 0) return -1;
    for (;;) {
        socklen_t fromLength = sizeof from;
        const ssize_t received = ::recvfrom(fd_, buffer_.data(), buffer_.size(), MSG_DONTWAIT | MSG_TRUNC,
                                            reinterpret_cast<sockaddr*>(&from), &fromLength);
        if (received < 0 && errno == EINTR) continue;
        if (received < 0) return -1;
        return received > static_cast<ssize_t>(buffer_.size()) ? static_cast<int>(buffer_.size())
                                                               : static_cast<int>(received);
    }
}
