// Datagrams taken from the kernel and not yet read, in arrival order, with
// their senders. Bytes live in one ring of storage and datagram records in a
// second ring, both reused, so steady-state receiving allocates nothing.
#pragma once

#include <sys/socket.h>

#include <cstddef>
#include <memory>
#include <vector>

namespace simhost {

class DatagramQueue {
public:
    // Largest datagram a socket can deliver.
    static constexpr size_t kMaxDatagram = 65536;
    // Records kept at most, so a flood of empty datagrams stays bounded.
    static constexpr size_t kMaxDatagrams = 65536;

    struct Datagram {
        const char* bytes;
        size_t length;
        const sockaddr* from;
        socklen_t fromLength;
    };

    // Payload bytes the queue may hold (the socket's receive-buffer size).
    void setByteBound(size_t bound);
    size_t byteBound() const { return bound_; }

    size_t bytes() const { return bytes_; }
    size_t count() const { return count_; }
    bool empty() const { return count_ == 0; }
    // Payload bytes that still fit within the bound.
    size_t roomLeft() const { return bound_ > bytes_ ? bound_ - bytes_ : 0; }
    size_t recordsLeft() const { return kMaxDatagrams - count_; }
    // An empty queue takes any one datagram, so that one larger than the
    // bound is still counted and read in turn.
    bool fits(size_t length) const {
        return length <= kMaxDatagram && count_ < kMaxDatagrams && (count_ == 0 || length <= roomLeft());
    }

    // Only a datagram that fits() may be pushed.
    void push(const char* bytes, size_t length, const sockaddr* from, socklen_t fromLength);
    Datagram front() const;
    void pop();
    void clear();

private:
    struct Record {
        size_t offset;
        size_t length;
        sockaddr_storage from;
        socklen_t fromLength;
    };

    size_t placeFor(size_t length);
    void growStorage(size_t capacity);
    void growRecords();

    size_t bound_ = 0;
    size_t bytes_ = 0;
    // Byte ring: datagrams are contiguous; one that does not fit before the
    // end starts again at 0. The slack of one largest datagram above the
    // bound guarantees a datagram within the bound always finds room.
    std::unique_ptr<char[]> storage_;
    size_t capacity_ = 0;
    size_t writeOffset_ = 0;
    bool wrapped_ = false;
    // Record ring.
    std::vector<Record> records_;
    size_t head_ = 0;
    size_t count_ = 0;
};

}  // namespace simhost
