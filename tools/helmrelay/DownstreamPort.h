// The relay's own port: its clients subscribe, acknowledge and send their
// keys here, and the master's datagrams leave from here, since a slave
// takes datagrams only from the address and port it subscribed to.
#pragma once

#include <netinet/in.h>

#include <cstdint>
#include <string>
#include <vector>

class DownstreamPort {
public:
    DownstreamPort() = default;
    ~DownstreamPort();
    DownstreamPort(const DownstreamPort&) = delete;
    DownstreamPort& operator=(const DownstreamPort&) = delete;

    // False with a sentence in `error` when the port cannot be had.
    bool open(const sockaddr_in& listen, std::string& error);
    int fd() const { return fd_; }
    // The address and port bound (the port the system chose for port 0).
    const sockaddr_in& address() const { return address_; }

    // One queued datagram, without waiting: its real length (a datagram
    // longer than the buffer shows as one byte longer than any message), or
    // -1 when nothing is queued or the receive failed.
    int receive(sockaddr_in& from);
    const uint8_t* data() const { return buffer_.data(); }

private:
    int fd_ = -1;
    sockaddr_in address_{};
    std::vector<uint8_t> buffer_;
};
