// Windows Sockets calls whose Windows meaning differs from the platform's.
//
// Datagram sockets get a queue of their own: FIONREAD on Windows counts the
// bytes of all queued datagrams, the platform only the next one. So
// FIONREAD (and a receive finding the queue empty) moves the datagrams
// waiting in the kernel into the queue, in batches, up to the receive-buffer
// size the socket asked for; recvfrom serves the queue first. A switch
// gives FIONREAD the platform's (and Wine's) meaning instead.
//
// Sends made during a host callback round are batched (sendmmsg) and have
// all left before any receive, close or the round's end.
//
// Platform functions are called with their exact platform argument types so
// that the Windows overloads below never call themselves.
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <netinet/in.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "DatagramQueue.h"
#include "PlatformServices.h"

namespace simhost {
namespace {

struct SocketState {
    bool datagram = false;
    bool ipv4 = false;
    DatagramQueue queue;
};

// Datagrams taken from the kernel in one call.
constexpr unsigned kBatch = 16;

// Scratch space of one batch, shared by all sockets (used under the lock).
struct Batch {
    std::unique_ptr<char[]> bytes;
    mmsghdr messages[kBatch];
    iovec vectors[kBatch];
    sockaddr_storage senders[kBatch];
};

std::mutex socketsMutex;
std::unordered_map<int, std::unique_ptr<SocketState>> sockets;
Batch batch;

PendingCount PendingCountFromEnvironment() {
    const char* value = std::getenv("SIMHOST_FIONREAD");
    return value != nullptr && std::strcmp(value, "first-datagram") == 0 ? PendingCount::kFirstDatagram
                                                                         : PendingCount::kAllQueuedBytes;
}
PendingCount pendingCount = PendingCountFromEnvironment();

// Errors the platform reports for descriptors that cannot be sockets.
bool ValidDescriptor(SOCKET s, int& fd) {
    if (s > static_cast<SOCKET>(INT_MAX)) {
        errno = ENOTSOCK;
        return false;
    }
    fd = static_cast<int>(s);
    return true;
}

// The state of a socket, made on first use; null (errno set) when `fd` is no socket.
SocketState* StateOf(int fd) {
    auto found = sockets.find(fd);
    if (found != sockets.end()) return found->second.get();
    int type = 0;
    socklen_t length = sizeof type;
    if (::getsockopt(fd, SOL_SOCKET, SO_TYPE, &type, &length) != 0) return nullptr;
    auto state = std::make_unique<SocketState>();
    state->datagram = type == SOCK_DGRAM;
    int domain = 0;
    length = sizeof domain;
    state->ipv4 = ::getsockopt(fd, SOL_SOCKET, SO_DOMAIN, &domain, &length) == 0 && domain == AF_INET;
    // Until the socket asks for a size, the queue holds what the kernel would.
    int kernelSize = 0;
    length = sizeof kernelSize;
    if (::getsockopt(fd, SOL_SOCKET, SO_RCVBUF, &kernelSize, &length) == 0 && kernelSize > 0)
        state->queue.setByteBound(static_cast<size_t>(kernelSize));
    SocketState* made = state.get();
    sockets.emplace(fd, std::move(state));
    return made;
}

// Receives up to `count` waiting datagrams into the queue without blocking;
// the number received, 0 when none was waiting.
int ReceiveBatch(int fd, SocketState& state, unsigned count) {
    if (!batch.bytes) batch.bytes.reset(new char[kBatch * DatagramQueue::kMaxDatagram]);
    for (unsigned i = 0; i < count; ++i) {
        batch.vectors[i].iov_base = batch.bytes.get() + i * DatagramQueue::kMaxDatagram;
        batch.vectors[i].iov_len = DatagramQueue::kMaxDatagram;
        std::memset(&batch.messages[i], 0, sizeof batch.messages[i]);
        batch.messages[i].msg_hdr.msg_iov = &batch.vectors[i];
        batch.messages[i].msg_hdr.msg_iovlen = 1;
        batch.messages[i].msg_hdr.msg_name = &batch.senders[i];
        batch.messages[i].msg_hdr.msg_namelen = sizeof batch.senders[i];
    }
    int received = ::recvmmsg(fd, batch.messages, count, MSG_DONTWAIT, nullptr);
    for (int i = 0; i < received; ++i) {
        state.queue.push(static_cast<const char*>(batch.vectors[i].iov_base), batch.messages[i].msg_len,
                         reinterpret_cast<const sockaddr*>(&batch.senders[i]), batch.messages[i].msg_hdr.msg_namelen);
    }
    return received > 0 ? received : 0;
}

// Moves waiting datagrams into the queue while they fit its bound; those
// that do not fit stay in the kernel.
void TakeWaitingDatagrams(int fd, SocketState& state) {
    const int savedErrno = errno;
    for (;;) {
        size_t room = state.queue.roomLeft();
        size_t records = state.queue.recordsLeft();
        if (room >= DatagramQueue::kMaxDatagram || state.queue.empty()) {
            // Any `count` datagrams fit: each is at most the largest size
            // (and an empty queue takes any one).
            size_t count = std::min<size_t>({kBatch, std::max<size_t>(1, room / DatagramQueue::kMaxDatagram), records});
            if (count == 0) break;
            int received = ReceiveBatch(fd, state, static_cast<unsigned>(count));
            if (received < static_cast<int>(count)) break;
        } else {
            // Near the bound: look at the next datagram's size before taking it.
            ssize_t next = ::recv(fd, nullptr, 0, MSG_PEEK | MSG_TRUNC | MSG_DONTWAIT);
            if (next < 0 || !state.queue.fits(static_cast<size_t>(next))) break;
            if (ReceiveBatch(fd, state, 1) == 0) break;
        }
    }
    errno = savedErrno;
}

// Hands the oldest queued datagram to the caller, Windows style.
int ServeQueued(SocketState& state, char* buffer, int length, int flags, sockaddr* from, int* fromLength) {
    DatagramQueue::Datagram datagram = state.queue.front();
    const size_t room = static_cast<size_t>(length);
    const size_t copied = datagram.length < room ? datagram.length : room;
    if (copied > 0) std::memcpy(buffer, datagram.bytes, copied);
    if (from != nullptr && fromLength != nullptr) {
        socklen_t fromRoom = static_cast<socklen_t>(*fromLength);
        std::memcpy(from, datagram.from, std::min(fromRoom, datagram.fromLength));
        *fromLength = static_cast<int>(datagram.fromLength);
    }
    const bool tooLong = datagram.length > room;
    if ((flags & MSG_PEEK) == 0) state.queue.pop();  // what did not fit is dropped
    if (tooLong) {
        errno = EMSGSIZE;
        return SOCKET_ERROR;
    }
    return static_cast<int>(copied);
}

// ---- Batched sends ----
// One pending batch, for one socket at a time: a send on another socket
// sends the batch first, so datagrams leave in the order they were sent
// across all sockets, not only per socket.

constexpr unsigned kSendBatch = 64;
constexpr size_t kSendBatchBytes = 256 * 1024;
// The largest UDP payload over IPv4; anything longer fails at once, unbatched.
constexpr int kMaxUdpPayload = 65507;

struct SendBatch {
    int fd = -1;
    unsigned count = 0;
    size_t used = 0;
    std::unique_ptr<char[]> bytes;  // made once, reused
    mmsghdr messages[kSendBatch];
    iovec vectors[kSendBatch];
    sockaddr_in targets[kSendBatch];
};

// Taken without the sockets' lock held, never the other way round: a send
// that blocks must not hold up receives.
std::mutex sendMutex;
SendBatch sendBatch;
int roundDepth = 0;

bool BatchingWanted() {
    static const bool wanted = [] {
        const char* value = std::getenv("HELM_SEND_BATCHING");
        return value == nullptr || std::strcmp(value, "0") != 0;
    }();
    return wanted;
}

// Under sendMutex. A datagram the platform refuses is lost as its own
// sendto would have lost it; the ones after it still go.
void FlushLocked() {
    if (sendBatch.count == 0) return;
    const int savedErrno = errno;
    unsigned sent = 0;
    while (sent < sendBatch.count) {
        const int n = ::sendmmsg(sendBatch.fd, sendBatch.messages + sent, sendBatch.count - sent, 0);
        if (n > 0)
            sent += static_cast<unsigned>(n);
        else if (n < 0 && errno == EINTR)
            continue;
        else
            ++sent;
    }
    sendBatch.count = 0;
    sendBatch.used = 0;
    sendBatch.fd = -1;
    errno = savedErrno;
}

// Only what cannot fail differently later waits: an IPv4 datagram socket,
// an IPv4 target, no flags, a length the platform accepts.
bool Batchable(int fd, int length, int flags, const sockaddr* to, int toLength) {
    if (flags != 0 || to == nullptr || toLength != static_cast<int>(sizeof(sockaddr_in)) || to->sa_family != AF_INET ||
        length > kMaxUdpPayload)
        return false;
    std::lock_guard<std::mutex> lock(socketsMutex);
    const SocketState* state = StateOf(fd);
    return state != nullptr && state->datagram && state->ipv4;
}

// The one place datagrams leave.
int SendDatagram(int fd, const char* buffer, int length, int flags, const sockaddr* to, int toLength) {
    if (BatchingWanted() && Batchable(fd, length, flags, to, toLength)) {
        std::lock_guard<std::mutex> lock(sendMutex);
        if (roundDepth > 0) {
            const size_t size = static_cast<size_t>(length);
            if (sendBatch.fd != fd || sendBatch.count == kSendBatch || sendBatch.used + size > kSendBatchBytes)
                FlushLocked();
            if (!sendBatch.bytes) sendBatch.bytes.reset(new char[kSendBatchBytes]);
            const unsigned i = sendBatch.count;
            char* copy = sendBatch.bytes.get() + sendBatch.used;
            if (size > 0) std::memcpy(copy, buffer, size);
            std::memcpy(&sendBatch.targets[i], to, sizeof sendBatch.targets[i]);
            sendBatch.vectors[i].iov_base = copy;
            sendBatch.vectors[i].iov_len = size;
            std::memset(&sendBatch.messages[i], 0, sizeof sendBatch.messages[i]);
            sendBatch.messages[i].msg_hdr.msg_name = &sendBatch.targets[i];
            sendBatch.messages[i].msg_hdr.msg_namelen = sizeof sendBatch.targets[i];
            sendBatch.messages[i].msg_hdr.msg_iov = &sendBatch.vectors[i];
            sendBatch.messages[i].msg_hdr.msg_iovlen = 1;
            sendBatch.fd = fd;
            sendBatch.used += size;
            ++sendBatch.count;
            return length;
        }
    }
    SocketsFlushSends();
    return static_cast<int>(::sendto(fd, static_cast<const void*>(buffer), static_cast<size_t>(length), flags, to,
                                     static_cast<socklen_t>(toLength)));
}

}  // namespace

SendRound::SendRound() {
    std::lock_guard<std::mutex> lock(sendMutex);
    ++roundDepth;
}

SendRound::~SendRound() {
    std::lock_guard<std::mutex> lock(sendMutex);
    if (--roundDepth == 0) FlushLocked();
}

void SocketsFlushSends() {
    std::lock_guard<std::mutex> lock(sendMutex);
    FlushLocked();
}

void SocketsSetPendingCount(PendingCount meaning) {
    std::lock_guard<std::mutex> lock(socketsMutex);
    pendingCount = meaning;
}

PendingCount SocketsPendingCount() {
    std::lock_guard<std::mutex> lock(socketsMutex);
    return pendingCount;
}

void SocketsForgetAll() {
    SocketsFlushSends();
    std::lock_guard<std::mutex> lock(socketsMutex);
    sockets.clear();
}

}  // namespace simhost

using simhost::socketsMutex;

int closesocket(SOCKET s) {
    int fd = -1;
    if (!simhost::ValidDescriptor(s, fd)) return SOCKET_ERROR;
    simhost::SocketsFlushSends();
    {
        std::lock_guard<std::mutex> lock(socketsMutex);
        simhost::sockets.erase(fd);
    }
    return ::close(fd) == 0 ? 0 : SOCKET_ERROR;
}

int ioctlsocket(SOCKET s, long command, u_long* argument) {
    int fd = -1;
    if (!simhost::ValidDescriptor(s, fd)) return SOCKET_ERROR;
    if (argument == nullptr) {
        errno = EFAULT;
        return SOCKET_ERROR;
    }
    // What was sent before a look at any socket has left by then.
    simhost::SocketsFlushSends();
    std::lock_guard<std::mutex> lock(socketsMutex);
    simhost::SocketState* state = simhost::StateOf(fd);
    if (state == nullptr) return SOCKET_ERROR;
    if (command == static_cast<long>(FIONBIO)) {
        int on = *argument != 0 ? 1 : 0;
        return ::ioctl(fd, FIONBIO, &on) == 0 ? 0 : SOCKET_ERROR;
    }
    if (command == static_cast<long>(FIONREAD)) {
        if (!state->datagram) {
            int waiting = 0;
            if (::ioctl(fd, FIONREAD, &waiting) != 0) return SOCKET_ERROR;
            *argument = static_cast<u_long>(waiting);
            return 0;
        }
        simhost::TakeWaitingDatagrams(fd, *state);
        if (simhost::pendingCount == simhost::PendingCount::kFirstDatagram) {
            *argument = state->queue.empty() ? 0 : static_cast<u_long>(state->queue.front().length);
        } else {
            *argument = static_cast<u_long>(state->queue.bytes());
        }
        return 0;
    }
    errno = EINVAL;
    return SOCKET_ERROR;
}

int recvfrom(SOCKET s, char* buffer, int length, int flags, struct sockaddr* from, int* fromLength) {
    int fd = -1;
    if (!simhost::ValidDescriptor(s, fd)) return SOCKET_ERROR;
    if (length < 0 || (buffer == nullptr && length > 0) || (fromLength != nullptr && *fromLength < 0)) {
        errno = EFAULT;
        return SOCKET_ERROR;
    }
    simhost::SocketsFlushSends();
    {
        std::lock_guard<std::mutex> lock(socketsMutex);
        simhost::SocketState* state = simhost::StateOf(fd);
        if (state == nullptr) return SOCKET_ERROR;
        if (state->datagram) {
            if (state->queue.empty()) simhost::TakeWaitingDatagrams(fd, *state);
            if (!state->queue.empty()) return simhost::ServeQueued(*state, buffer, length, flags, from, fromLength);
        }
    }
    // Nothing waiting: the platform's receive, which waits if the socket
    // blocks (without the lock), still telling a datagram longer than the
    // buffer apart.
    socklen_t fromRoom = fromLength != nullptr ? static_cast<socklen_t>(*fromLength) : 0;
    ssize_t received = ::recvfrom(fd, static_cast<void*>(buffer), static_cast<size_t>(length), flags | MSG_TRUNC, from,
                                  fromLength != nullptr ? &fromRoom : nullptr);
    if (received < 0) return SOCKET_ERROR;
    if (fromLength != nullptr) *fromLength = static_cast<int>(fromRoom);
    if (received > length) {
        errno = EMSGSIZE;
        return SOCKET_ERROR;
    }
    return static_cast<int>(received);
}

int sendto(SOCKET s, const char* buffer, int length, int flags, const struct sockaddr* to, int toLength) {
    int fd = -1;
    if (!simhost::ValidDescriptor(s, fd)) return SOCKET_ERROR;
    if (length < 0 || toLength < 0 || (buffer == nullptr && length > 0)) {
        errno = EFAULT;
        return SOCKET_ERROR;
    }
    return simhost::SendDatagram(fd, buffer, length, flags, to, toLength);
}

int setsockopt(SOCKET s, int level, int option, const char* value, int valueLength) {
    int fd = -1;
    if (!simhost::ValidDescriptor(s, fd)) return SOCKET_ERROR;
    if (valueLength < 0 || (value == nullptr && valueLength > 0)) {
        errno = EFAULT;
        return SOCKET_ERROR;
    }
    if (level == SOL_SOCKET && option == SO_EXCLUSIVEADDRUSE) return 0;  // the platform's binds are exclusive
    if (level == SOL_SOCKET && option == SO_RCVBUF && valueLength >= static_cast<int>(sizeof(int))) {
        int requested = 0;
        std::memcpy(&requested, value, sizeof requested);
        // The forced variant grants the full size where the process may;
        // otherwise the kernel caps it at its limit.
        if (::setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, static_cast<const void*>(&requested), sizeof requested) != 0 &&
            ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, static_cast<const void*>(&requested), sizeof requested) != 0)
            return SOCKET_ERROR;
        if (requested > 0) {
            std::lock_guard<std::mutex> lock(socketsMutex);
            simhost::SocketState* state = simhost::StateOf(fd);
            if (state != nullptr) state->queue.setByteBound(static_cast<size_t>(requested));
        }
        return 0;
    }
    return ::setsockopt(fd, level, option, static_cast<const void*>(value), static_cast<socklen_t>(valueLength)) == 0
               ? 0
               : SOCKET_ERROR;
}

int getsockname(SOCKET s, struct sockaddr* name, int* nameLength) {
    int fd = -1;
    if (!simhost::ValidDescriptor(s, fd)) return SOCKET_ERROR;
    if (name == nullptr || nameLength == nullptr || *nameLength < 0) {
        errno = EFAULT;
        return SOCKET_ERROR;
    }
    socklen_t length = static_cast<socklen_t>(*nameLength);
    if (::getsockname(fd, name, &length) != 0) return SOCKET_ERROR;
    *nameLength = static_cast<int>(length);
    return 0;
}

int WSAPoll(LPWSAPOLLFD fdArray, ULONG fds, int timeout) {
    if (fdArray == nullptr && fds > 0) {
        errno = EFAULT;
        return SOCKET_ERROR;
    }
    // What was sent before a look at any socket has left by then.
    simhost::SocketsFlushSends();
    std::vector<pollfd> polled(fds);
    std::vector<char> held(fds, 0);
    bool anyHeld = false;
    {
        std::lock_guard<std::mutex> lock(socketsMutex);
        for (ULONG i = 0; i < fds; ++i) {
            int fd = -1;
            const bool valid = fdArray[i].fd != INVALID_SOCKET && simhost::ValidDescriptor(fdArray[i].fd, fd);
            const bool read = (fdArray[i].events & (POLLIN | POLLRDNORM)) != 0;
            const bool write = (fdArray[i].events & (POLLOUT | POLLWRNORM)) != 0;
            polled[i] = pollfd{valid ? fd : -1, static_cast<short>((read ? POLLIN : 0) | (write ? POLLOUT : 0)), 0};
            const simhost::SocketState* state = valid && read ? simhost::StateOf(fd) : nullptr;
            if (state != nullptr && state->datagram && !state->queue.empty()) held[i] = anyHeld = true;
        }
    }
    // Datagrams already held are ready now: only a look at the others.
    const int polledReady = ::poll(polled.data(), polled.size(), anyHeld ? 0 : timeout);
    if (polledReady < 0 && errno != EINTR) return SOCKET_ERROR;
    int ready = 0;
    for (ULONG i = 0; i < fds; ++i) {
        const short seen = polledReady > 0 ? polled[i].revents : 0;
        short revents = 0;
        if (held[i] || (seen & POLLIN)) revents |= POLLRDNORM;
        if (seen & POLLOUT) revents |= POLLWRNORM;
        revents |= static_cast<short>(seen & (POLLERR | POLLHUP | POLLNVAL));
        fdArray[i].revents = revents;
        if (revents != 0) ++ready;
    }
    return ready;
}

int WSAIoctl(SOCKET s, DWORD controlCode, LPVOID inBuffer, DWORD inLength, LPVOID /*outBuffer*/, DWORD /*outLength*/,
             LPDWORD bytesReturned, void* /*overlapped*/, void* /*completionRoutine*/) {
    int fd = -1;
    if (!simhost::ValidDescriptor(s, fd)) return SOCKET_ERROR;
    int type = 0;
    socklen_t typeLength = sizeof type;
    if (::getsockopt(fd, SOL_SOCKET, SO_TYPE, &type, &typeLength) != 0) return SOCKET_ERROR;
    if (controlCode != SIO_UDP_CONNRESET) {
        errno = EOPNOTSUPP;
        return SOCKET_ERROR;
    }
    if (inBuffer == nullptr || inLength != sizeof(BOOL)) {
        errno = EFAULT;
        return SOCKET_ERROR;
    }
    // An unconnected datagram socket here never reports a peer's ICMP
    // port-unreachable as a reset, so there is nothing to switch off.
    if (bytesReturned != nullptr) *bytesReturned = 0;
    return 0;
}
