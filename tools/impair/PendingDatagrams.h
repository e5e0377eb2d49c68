// Datagrams waiting for their departure time. Equal times leave in the order
// they were queued, so a link without delay or jitter never reorders.
#pragma once

#include <cstddef>
#include <cstdint>
#include <queue>
#include <vector>

#include "UdpSocket.h"

namespace impair {

struct PendingDatagram {
    double due = 0.0;
    uint64_t order = 0;
    int direction = 0;            // index of the link that counts it
    UdpSocket* socket = nullptr;  // sent from this socket
    sockaddr_in to{};
    std::vector<uint8_t> bytes;
};

class PendingDatagrams {
public:
    explicit PendingDatagrams(size_t maxBytes) : maxBytes_(maxBytes) {}

    // False (and nothing queued) when the bytes would not fit.
    bool Push(PendingDatagram datagram) {
        if (bytes_ + datagram.bytes.size() > maxBytes_) return false;
        bytes_ += datagram.bytes.size();
        datagram.order = nextOrder_++;
        queue_.push(std::move(datagram));
        return true;
    }
    bool Empty() const { return queue_.empty(); }
    size_t Size() const { return queue_.size(); }
    double NextDue() const { return queue_.top().due; }
    PendingDatagram Pop() {
        PendingDatagram top = queue_.top();
        queue_.pop();
        bytes_ -= top.bytes.size();
        return top;
    }

private:
    struct Later {
        bool operator()(const PendingDatagram& a, const PendingDatagram& b) const {
            return a.due != b.due ? a.due > b.due : a.order > b.order;
        }
    };
    std::priority_queue<PendingDatagram, std::vector<PendingDatagram>, Later> queue_;
    size_t maxBytes_;
    size_t bytes_ = 0;
    uint64_t nextOrder_ = 0;
};

}  // namespace impair
