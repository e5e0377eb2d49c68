// The socket layer's calls on POSIX, for the programs beside the modules:
// they load no host, so they call the system directly. Interrupted calls are
// made again.
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "SocketCalls.h"

namespace {

int Descriptor(SocketHandle socket) { return static_cast<int>(socket); }

int Result(int call) { return call == 0 ? 0 : errno; }

SocketTransfer Failure(int error) {
    SocketTransfer result;
    result.error = error;
    if (error == EAGAIN || error == EWOULDBLOCK || error == ENOBUFS)
        result.outcome = SocketOutcome::kNothingQueued;
    else if (error == ECONNREFUSED || error == ECONNRESET)
        result.outcome = SocketOutcome::kReset;
    else
        result.outcome = SocketOutcome::kFailed;
    return result;
}

#ifdef HELM_HAVE_SENDMMSG
// Pairs handed to the system at once (its limit for one sendmmsg call).
constexpr int kPairsPerCall = 1024;

struct BatchScratch {
    std::vector<mmsghdr> messages;
    std::vector<iovec> vectors;
};
#endif

class Posix final : public SocketCalls {
public:
    int Create(SocketHandle& socket) const override {
        const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
        socket = fd < 0 ? kNoSocket : static_cast<SocketHandle>(fd);
        return fd < 0 ? errno : 0;
    }

    void Close(SocketHandle socket) const override { ::close(Descriptor(socket)); }

    // A POSIX port is bound by one socket unless all that bind it ask to share.
    int KeepExclusive(SocketHandle) const override { return 0; }

    int Bind(SocketHandle socket, const sockaddr_in& local) const override {
        return Result(::bind(Descriptor(socket), reinterpret_cast<const sockaddr*>(&local), sizeof local));
    }

    int SetBuffer(SocketHandle socket, SocketBuffer which, int bytes) const override {
        return Result(::setsockopt(Descriptor(socket), SOL_SOCKET,
                                   which == SocketBuffer::kReceive ? SO_RCVBUF : SO_SNDBUF, &bytes, sizeof bytes));
    }

    // An unconnected datagram socket here never reports a peer's ICMP
    // port-unreachable: nothing to switch off.
    int IgnoreResets(SocketHandle) const override { return 0; }

    int SetNonBlocking(SocketHandle socket) const override {
        const int fd = Descriptor(socket);
        const int flags = ::fcntl(fd, F_GETFL);
        if (flags < 0) return errno;
        return Result(::fcntl(fd, F_SETFL, flags | O_NONBLOCK));
    }

    int LocalAddress(SocketHandle socket, sockaddr_in& local) const override {
        socklen_t length = sizeof local;
        return Result(::getsockname(Descriptor(socket), reinterpret_cast<sockaddr*>(&local), &length));
    }

    SocketTransfer ReceiveFrom(SocketHandle socket, uint8_t* buffer, int capacity, sockaddr_in& from) const override {
        for (;;) {
            socklen_t fromLength = sizeof from;
            // MSG_TRUNC gives a datagram's real length, so a longer one shows.
            const ssize_t received =
                ::recvfrom(Descriptor(socket), buffer, static_cast<size_t>(capacity), MSG_DONTWAIT | MSG_TRUNC,
                           reinterpret_cast<sockaddr*>(&from), &fromLength);
            if (received < 0 && errno == EINTR) continue;
            if (received < 0) return Failure(errno);
            if (received > capacity) return SocketTransfer{SocketOutcome::kTooLong, capacity, 0};
            return SocketTransfer{SocketOutcome::kDone, static_cast<int>(received), 0};
        }
    }

    SocketTransfer SendTo(SocketHandle socket, const uint8_t* bytes, int length, const sockaddr_in& to) const override {
        for (;;) {
            const ssize_t sent = ::sendto(Descriptor(socket), bytes, static_cast<size_t>(length), MSG_DONTWAIT,
                                          reinterpret_cast<const sockaddr*>(&to), sizeof to);
            if (sent < 0 && errno == EINTR) continue;
            if (sent < 0) return Failure(errno);
            return SocketTransfer{SocketOutcome::kDone, static_cast<int>(sent), 0};
        }
    }

    int SendBatch(SocketHandle socket, const OutgoingDatagram* datagrams, int count,
                  SocketTransfer& first) const override {
#ifdef HELM_HAVE_SENDMMSG
        const int pairs = std::min(count, kPairsPerCall);
        thread_local BatchScratch scratch;
        if (static_cast<int>(scratch.messages.size()) < pairs) {
            scratch.messages.resize(static_cast<size_t>(pairs));
            scratch.vectors.resize(static_cast<size_t>(pairs));
        }
        for (int k = 0; k < pairs; ++k) {
            iovec& vector = scratch.vectors[static_cast<size_t>(k)];
            vector.iov_base = const_cast<uint8_t*>(datagrams[k].bytes);
            vector.iov_len = static_cast<size_t>(datagrams[k].length);
            mmsghdr& message = scratch.messages[static_cast<size_t>(k)];
            std::memset(&message, 0, sizeof message);
            message.msg_hdr.msg_name = const_cast<sockaddr_in*>(datagrams[k].to);
            message.msg_hdr.msg_namelen = sizeof(sockaddr_in);
            message.msg_hdr.msg_iov = &vector;
            message.msg_hdr.msg_iovlen = 1;
        }
        for (;;) {
            const int sent =
                ::sendmmsg(Descriptor(socket), scratch.messages.data(), static_cast<unsigned>(pairs), MSG_DONTWAIT);
            if (sent < 0 && errno == EINTR) continue;
            if (sent < 0) {
                first = Failure(errno);
                return 0;
            }
            return sent;
        }
#else
        return SendEach(socket, datagrams, count, first);
#endif
    }

    int Poll(SocketReadiness* sockets, size_t count, int timeoutMs) const override {
        thread_local std::vector<pollfd> polled;
        if (polled.size() < count) polled.resize(count);
        for (size_t i = 0; i < count; ++i)
            polled[i] =
                pollfd{Descriptor(sockets[i].socket), static_cast<short>(sockets[i].writable ? POLLOUT : POLLIN), 0};
        const int ready = ::poll(polled.data(), static_cast<nfds_t>(count), timeoutMs);
        if (ready < 0) return errno == EINTR ? 0 : -1;
        // An error or a closed socket counts as ready: the next call reports it.
        for (size_t i = 0; i < count; ++i) sockets[i].ready = polled[i].revents != 0;
        return ready;
    }

    bool AddressInUse(int error) const override { return error == EADDRINUSE; }

    std::string ErrorText(int error) const override { return std::strerror(error); }
};

}  // namespace

const SocketCalls& PosixCalls() {
    static const Posix calls;
    return calls;
}
