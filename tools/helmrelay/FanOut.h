// The relay's sends: each datagram of the master to every receiver, bytes
// unchanged, in the order the datagrams came. Datagrams are gathered and
// leave together, one system call for many (datagram, receiver) pairs where
// the system has one (UdpSocket::SendBatch). A send the system refuses is
// counted and the others still go; a full send buffer is waited for briefly
// once per flush, then what is left of that flush is dropped (counted), so
// no send holds the loop.
#pragma once

#include <cstdint>
#include <vector>

#include "UdpSocket.h"

class FanOut {
public:
    // Gathered before they leave at the latest.
    static constexpr int kMaxGathered = 64;

    struct Figures {
        int64_t datagrams = 0;  // passed on (each to every receiver)
        int64_t bytes = 0;
        int64_t sends = 0;  // datagrams that left, one per receiver
        int64_t failed = 0;
    };

    FanOut();
    // The socket the datagrams leave from.
    void Attach(UdpSocket& socket) { socket_ = &socket; }

    // Copies the datagram; sends what was gathered first when there is no room.
    void Add(const uint8_t* datagram, int length, const std::vector<sockaddr_in>& receivers);
    // Sends what was gathered to the receivers.
    void Flush(const std::vector<sockaddr_in>& receivers);

    const Figures& Counts() const { return figures_; }

private:
    struct Gathered {
        size_t offset;
        size_t length;
    };
    void Send(const std::vector<sockaddr_in>& receivers);

    UdpSocket* socket_ = nullptr;
    std::vector<uint8_t> arena_;
    size_t used_ = 0;
    std::vector<Gathered> gathered_;
    std::vector<OutgoingDatagram> pairs_;
    Figures figures_;
};
