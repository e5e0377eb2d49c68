// The relay's own port: its clients subscribe, acknowledge and send their
// keys here, and the master's datagrams leave from here, since a slave
// takes datagrams only from the address and port it subscribed to.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "UdpSocket.h"

class DownstreamPort {
public:
    // False with a sentence in `error` when the port cannot be had.
    bool Open(const sockaddr_in& listen, std::string& error);
    UdpSocket& Socket() { return socket_; }
    const UdpSocket& Socket() const { return socket_; }
    // The address and port bound (the port the system chose for port 0).
    const sockaddr_in& Address() const { return address_; }

    // One queued datagram, without waiting: its real length (a datagram
    // longer than any message shows as one byte longer than that), or -1
    // when nothing is queued or the receive failed.
    int Receive(sockaddr_in& from);
    const uint8_t* Data() const { return buffer_.data(); }

private:
    NativeUdpSocket socket_;
    sockaddr_in address_{};
    std::vector<uint8_t> buffer_;
};
