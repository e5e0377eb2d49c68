// What one slave was sent of its master's updates, as the relay in front of
// it sees them leave: an update is whole when its Start and every number up
// to its End went out, in order. The fault suite takes from it when a
// newcomer's first whole update left and the longest wait between two.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "WireRecords.h"

namespace impair {

class UpdateWatch {
public:
    // One datagram sent to the slave at `now` (seconds, any clock); true
    // when it completed a whole update.
    bool Sent(const uint8_t* datagram, size_t length, double now) {
        lastSent_ = now;
        if (length < sizeof(wire::Header)) return false;
        wire::Header header;
        std::memcpy(&header, datagram, sizeof header);
        if (header.type == wire::kStart) {
            open_ = true;
            startSeq_ = header.seq;
            count_ = 1;
            return false;
        }
        if (!open_) return false;
        ++count_;
        if (header.type != wire::kEnd) return false;
        open_ = false;
        // Numbers wrap: their distance is taken modulo 2^32.
        if (static_cast<uint32_t>(header.seq) - static_cast<uint32_t>(startSeq_) + 1u != count_) return false;
        if (whole_ > 0 && now - last_ > longest_) longest_ = now - last_;
        if (whole_ == 0) first_ = now;
        last_ = now;
        ++whole_;
        return true;
    }

    uint64_t WholeUpdates() const { return whole_; }
    double FirstWhole() const { return first_; }
    // Between two whole updates, or from the last one to the last datagram
    // sent (a slave cut off still receives the answers to its Hellos).
    double LongestWait() const {
        if (whole_ == 0) return 0.0;
        return lastSent_ - last_ > longest_ ? lastSent_ - last_ : longest_;
    }

private:
    bool open_ = false;
    int32_t startSeq_ = 0;
    uint32_t count_ = 0;
    uint64_t whole_ = 0;
    double first_ = 0.0, last_ = 0.0, lastSent_ = 0.0, longest_ = 0.0;
};

}  // namespace impair
