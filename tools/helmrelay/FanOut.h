// The relay's sends: each datagram of the master to every receiver, bytes
// unchanged, in the order the datagrams came. Datagrams are gathered and
// leave together, one system call for many (datagram, receiver) pairs where
// the system has sendmmsg. A send the system refuses is counted and the
// others still go; a full send buffer is waited for briefly once per flush,
// then what is left of that flush is dropped (counted), so no send holds
// the loop.
#pragma once

#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/uio.h>

#include <cstdint>
#include <vector>

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
    void attach(int fd) { fd_ = fd; }

    // Copies the datagram; sends what was gathered first when there is no room.
    void add(const uint8_t* datagram, int length, const std::vector<sockaddr_in>& receivers);
    // Sends what was gathered to the receivers.
    void flush(const std::vector<sockaddr_in>& receivers);

    const Figures& figures() const { return figures_; }

private:
    struct Gathered {
        size_t offset;
        size_t length;
    };
    void send(const std::vector<sockaddr_in>& receivers);
#ifdef HELM_HAVE_SENDMMSG
    // Sends messages_[0, count); false when the socket stayed full.
    bool sendBatch(unsigned count, bool& waited);
#endif

    int fd_ = -1;
    std::vector<uint8_t> arena_;
    size_t used_ = 0;
    std::vector<Gathered> gathered_;
    std::vector<iovec> vectors_;
#ifdef HELM_HAVE_SENDMMSG
    std::vector<mmsghdr> messages_;
#endif
    Figures figures_;
};
