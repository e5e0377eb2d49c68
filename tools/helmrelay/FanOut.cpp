#include "FanOut.h"

#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "WireRecords.h"

namespace {

// Room for many updates' worth of small datagrams, and always for the largest.
constexpr size_t kArenaBytes = 1 << 20;
static_assert(kArenaBytes >= static_cast<size_t>(wire::kMaxDatagram), "the largest datagram must fit");
// Pairs handed to the system at once (its limit for one sendmmsg call).
constexpr unsigned kPairsPerCall = 1024;
// How long a full send buffer is waited for, once per flush.
constexpr int kFullBufferWaitMs = 5;

bool BufferFull(int error) { return error == EAGAIN || error == EWOULDBLOCK || error == ENOBUFS; }

void WaitWritable(int fd) {
    pollfd writable{fd, POLLOUT, 0};
    ::poll(&writable, 1, kFullBufferWaitMs);
}

}  // namespace

FanOut::FanOut() : arena_(kArenaBytes) {
    gathered_.reserve(kMaxGathered);
    vectors_.resize(kMaxGathered);
}

void FanOut::add(const uint8_t* datagram, int length, const std::vector<sockaddr_in>& receivers) {
    if (length <= 0 || static_cast<size_t>(length) > arena_.size()) return;
    const size_t size = static_cast<size_t>(length);
    if (gathered_.size() == static_cast<size_t>(kMaxGathered) || used_ + size > arena_.size()) flush(receivers);
    std::memcpy(arena_.data() + used_, datagram, size);
    gathered_.push_back({used_, size});
    used_ += size;
    ++figures_.datagrams;
    figures_.bytes += length;
}

void FanOut::flush(const std::vector<sockaddr_in>& receivers) {
    if (!gathered_.empty() && !receivers.empty() && fd_ >= 0) send(receivers);
    gathered_.clear();
    used_ = 0;
}

#ifdef HELM_HAVE_SENDMMSG

void FanOut::send(const std::vector<sockaddr_in>& receivers) {
    for (size_t i = 0; i < gathered_.size(); ++i) {
        vectors_[i].iov_base = arena_.data() + gathered_[i].offset;
        vectors_[i].iov_len = gathered_[i].length;
    }
    // Datagram by datagram, each to every receiver: every receiver has the
    // first datagram before anyone gets the second.
    const size_t pairs = gathered_.size() * receivers.size();
    if (messages_.size() < std::min<size_t>(pairs, kPairsPerCall))
        messages_.resize(std::min<size_t>(pairs, kPairsPerCall));
    bool waited = false;
    for (size_t first = 0; first < pairs; first += kPairsPerCall) {
        const unsigned count = static_cast<unsigned>(std::min<size_t>(kPairsPerCall, pairs - first));
        for (unsigned k = 0; k < count; ++k) {
            const size_t pair = first + k;
            msghdr& header = messages_[k].msg_hdr;
            std::memset(&messages_[k], 0, sizeof messages_[k]);
            header.msg_name = const_cast<sockaddr_in*>(&receivers[pair % receivers.size()]);
            header.msg_namelen = sizeof(sockaddr_in);
            header.msg_iov = &vectors_[pair / receivers.size()];
            header.msg_iovlen = 1;
        }
        if (!sendBatch(count, waited)) {
            figures_.failed += static_cast<int64_t>(pairs - first - count);
            return;
        }
    }
}

bool FanOut::sendBatch(unsigned count, bool& waited) {
    for (unsigned sent = 0; sent < count;) {
        const int n = ::sendmmsg(fd_, messages_.data() + sent, count - sent, MSG_DONTWAIT);
        if (n > 0) {
            sent += static_cast<unsigned>(n);
            figures_.sends += n;
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && BufferFull(errno)) {
            if (!waited) {
                waited = true;
                WaitWritable(fd_);
                continue;
            }
            figures_.failed += count - sent;
            return false;
        }
        // This pair is refused (an address the system will not send to):
        // lost as its own sendto would have lost it.
        ++figures_.failed;
        ++sent;
    }
    return true;
}

#else  // one sendto per pair where the system has no sendmmsg

void FanOut::send(const std::vector<sockaddr_in>& receivers) {
    bool waited = false;
    bool full = false;
    for (const Gathered& g : gathered_) {
        for (const sockaddr_in& to : receivers) {
            while (!full) {
                const ssize_t n = ::sendto(fd_, arena_.data() + g.offset, g.length, MSG_DONTWAIT,
                                           reinterpret_cast<const sockaddr*>(&to), sizeof to);
                if (n >= 0) {
                    ++figures_.sends;
                    break;
                }
                if (errno == EINTR) continue;
                if (BufferFull(errno) && !waited) {
                    waited = true;
                    WaitWritable(fd_);
                    continue;
                }
                full = BufferFull(errno);
                if (!full) ++figures_.failed;
                break;
            }
            if (full) ++figures_.failed;
        }
    }
}

#endif
