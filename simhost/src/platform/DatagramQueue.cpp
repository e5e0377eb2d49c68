#include "DatagramQueue.h"

#include <algorithm>
#include <cstring>

namespace simhost {

void DatagramQueue::setByteBound(size_t bound) {
    bound_ = bound;
    // Storage is reserved when the first datagram arrives, or grown now if
    // datagrams are already held; a lower bound only stops new arrivals.
    if (capacity_ > 0 && capacity_ < bound_ + kMaxDatagram) growStorage(bound_ + kMaxDatagram);
}

void DatagramQueue::growStorage(size_t capacity) {
    // Uninitialised on purpose: pages cost memory only once written.
    std::unique_ptr<char[]> storage(new char[capacity]);
    size_t offset = 0;
    for (size_t i = 0; i < count_; ++i) {
        Record& record = records_[(head_ + i) % records_.size()];
        if (record.length > 0) std::memcpy(storage.get() + offset, storage_.get() + record.offset, record.length);
        record.offset = offset;
        offset += record.length;
    }
    storage_ = std::move(storage);
    capacity_ = capacity;
    writeOffset_ = offset;
    wrapped_ = false;
}

void DatagramQueue::growRecords() {
    std::vector<Record> records(std::max<size_t>(64, records_.size() * 2));
    for (size_t i = 0; i < count_; ++i) records[i] = records_[(head_ + i) % records_.size()];
    records_.swap(records);
    head_ = 0;
}

size_t DatagramQueue::placeFor(size_t length) {
    if (capacity_ < bound_ + kMaxDatagram) growStorage(bound_ + kMaxDatagram);
    if (count_ == 0) {
        writeOffset_ = 0;
        wrapped_ = false;
        return 0;
    }
    if (!wrapped_ && capacity_ - writeOffset_ < length) {
        // The oldest datagram starts at least the slack into the ring, so
        // this one fits before it.
        wrapped_ = true;
        return 0;
    }
    return writeOffset_;
}

void DatagramQueue::push(const char* bytes, size_t length, const sockaddr* from, socklen_t fromLength) {
    if (!fits(length)) return;
    if (count_ == records_.size()) growRecords();
    size_t offset = placeFor(length);
    if (length > 0) std::memcpy(storage_.get() + offset, bytes, length);
    writeOffset_ = offset + length;

    Record& record = records_[(head_ + count_) % records_.size()];
    record.offset = offset;
    record.length = length;
    record.fromLength = std::min<socklen_t>(fromLength, sizeof record.from);
    if (from != nullptr && record.fromLength > 0)
        std::memcpy(&record.from, from, record.fromLength);
    else
        record.fromLength = 0;
    ++count_;
    bytes_ += length;
}

DatagramQueue::Datagram DatagramQueue::front() const {
    const Record& record = records_[head_];
    return Datagram{storage_.get() + record.offset, record.length, reinterpret_cast<const sockaddr*>(&record.from),
                    record.fromLength};
}

void DatagramQueue::pop() {
    if (count_ == 0) return;
    const size_t poppedOffset = records_[head_].offset;
    bytes_ -= records_[head_].length;
    head_ = (head_ + 1) % records_.size();
    --count_;
    if (count_ == 0) {
        head_ = 0;
        writeOffset_ = 0;
        wrapped_ = false;
    } else if (records_[head_].offset < poppedOffset) {
        // Reading has followed the writer back to the start of the ring.
        wrapped_ = false;
    }
}

void DatagramQueue::clear() {
    head_ = 0;
    count_ = 0;
    bytes_ = 0;
    writeOffset_ = 0;
    wrapped_ = false;
}

}  // namespace simhost
