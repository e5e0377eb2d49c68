#include "MasterSubscription.h"

#include <arpa/inet.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstring>

#include "WireRecords.h"

namespace {

// The modules ask for the same: room for many updates.
constexpr int kReceiveBuffer = 1000000;

bool OnLoopback(const sockaddr_in& address) { return (ntohl(address.sin_addr.s_addr) >> 24) == 127; }

}  // namespace

MasterSubscription::~MasterSubscription() {
    if (fd_ >= 0) ::close(fd_);
}

bool MasterSubscription::open(const sockaddr_in& master, std::string& error) {
    if (fd_ >= 0) ::close(fd_);
    master_ = master;
    fd_ = ::socket(AF_INET, SOCK_DGRAM, 0);
    if (fd_ < 0) {
        error = std::string("cannot create a UDP socket: ") + std::strerror(errno);
        return false;
    }
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(OnLoopback(master) ? INADDR_LOOPBACK : INADDR_ANY);
    if (::bind(fd_, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        error = std::string("cannot bind a UDP socket: ") + std::strerror(errno);
        return false;
    }
    // A smaller buffer than asked for only means losses under load, which
    // the figures then show.
    ::setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &kReceiveBuffer, sizeof kReceiveBuffer);
    // One byte more than the largest message, so a longer datagram shows.
    buffer_.assign(wire::kMaxDatagram + 1, 0);
    return true;
}

void MasterSubscription::send(int32_t type) {
    wire::HeaderRecord record{};
    record.header.type = type;
    sendToMaster(reinterpret_cast<const uint8_t*>(&record), sizeof record);
}

void MasterSubscription::sendToMaster(const uint8_t* message, int length) {
    if (fd_ < 0 || length < static_cast<int>(sizeof(wire::Header)) || length > wire::kMaxDatagram) return;
    outgoing_.assign(message, message + length);
    const int32_t seq = sequence_;
    std::memcpy(outgoing_.data() + offsetof(wire::Header, seq), &seq, sizeof seq);
    sequence_ = static_cast<int32_t>(static_cast<uint32_t>(sequence_) + 1u);
    // A lost message is made good by the next one, as a slave's are.
    ::sendto(fd_, outgoing_.data(), outgoing_.size(), 0, reinterpret_cast<const sockaddr*>(&master_), sizeof master_);
}

void MasterSubscription::renew(double now) {
    if (fd_ < 0 || !subscription_.HelloDue(now)) return;
    send(wire::kHello);
    subscription_.HelloSaid(now);
}

int MasterSubscription::pump(Listener& listener, double now) {
    if (fd_ < 0) return 0;
    int read = 0;
    while (read < kMaxDatagramsPerPump) {
        sockaddr_in from{};
        socklen_t fromLength = sizeof from;
        const ssize_t received = ::recvfrom(fd_, buffer_.data(), buffer_.size(), MSG_DONTWAIT | MSG_TRUNC,
                                            reinterpret_cast<sockaddr*>(&from), &fromLength);
        if (received < 0) {
            if (errno == EINTR) continue;
            break;  // nothing more queued, or a failed receive: the next pump tries again
        }
        ++read;
        if (from.sin_addr.s_addr != master_.sin_addr.s_addr || from.sin_port != master_.sin_port) {
            ++ignored_.foreign;
            continue;
        }
        // MSG_TRUNC gives the datagram's real length: one cut to the buffer
        // is longer than any message.
        const int length = received > static_cast<ssize_t>(buffer_.size()) ? static_cast<int>(buffer_.size())
                                                                           : static_cast<int>(received);
        const wire::Rejection why = wire::CheckDatagram(buffer_.data(), length);
        if (why != wire::Rejection::kNone) {
            ++ignored_.notMessages;
            ignored_.lastRejection = why;
            continue;
        }
        int32_t type;
        std::memcpy(&type, buffer_.data(), sizeof type);
        if (listener.onMessage(buffer_.data(), length, now) && Subscription::AckOwedFor(type)) {
            send(wire::kAck);
            ++acks_;
        }
    }
    return read;
}
