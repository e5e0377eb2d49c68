#include "FanOut.h"

#include <cstring>

#include "WireRecords.h"

namespace {

// Room for many updates' worth of small datagrams, and always for the largest.
constexpr size_t kArenaBytes = 1 << 20;
static_assert(kArenaBytes >= static_cast<size_t>(wire::kMaxDatagram), "the largest datagram must fit");
// How long a full send buffer is waited for, once per flush.
constexpr int kFullBufferWaitMs = 5;

}  // namespace

FanOut::FanOut() : arena_(kArenaBytes) { gathered_.reserve(kMaxGathered); }

void FanOut::Add(const uint8_t* datagram, int length, const std::vector<sockaddr_in>& receivers) {
    if (length <= 0 || static_cast<size_t>(length) > arena_.size()) return;
    const size_t size = static_cast<size_t>(length);
    if (gathered_.size() == static_cast<size_t>(kMaxGathered) || used_ + size > arena_.size()) Flush(receivers);
    std::memcpy(arena_.data() + used_, datagram, size);
    gathered_.push_back({used_, size});
    used_ += size;
    ++figures_.datagrams;
    figures_.bytes += length;
}

void FanOut::Flush(const std::vector<sockaddr_in>& receivers) {
    if (!gathered_.empty() && !receivers.empty() && socket_ != nullptr && socket_->IsOpen()) Send(receivers);
    gathered_.clear();
    used_ = 0;
}

void FanOut::Send(const std::vector<sockaddr_in>& receivers) {
    // Datagram by datagram, each to every receiver: every receiver has the
    // first datagram before anyone gets the second.
    pairs_.clear();
    for (const Gathered& g : gathered_)
        for (const sockaddr_in& to : receivers)
            pairs_.push_back({arena_.data() + g.offset, static_cast<int>(g.length), &to});
    const int count = static_cast<int>(pairs_.size());
    bool waited = false;
    for (int sent = 0; sent < count;) {
        SocketTransfer first;
        const int n = socket_->SendBatch(pairs_.data() + sent, count - sent, first);
        if (n > 0) {
            sent += n;
            figures_.sends += n;
            continue;
        }
        if (first.outcome == SocketOutcome::kNothingQueued) {
            if (!waited) {
                waited = true;
                socket_->WaitWritable(kFullBufferWaitMs);
                continue;
            }
            figures_.failed += count - sent;
            return;
        }
        // This pair is refused (an address the system will not send to):
        // lost as its own send would have lost it.
        ++figures_.failed;
        ++sent;
    }
}
