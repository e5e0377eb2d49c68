// Senders that say Hello but never become good clients: a flood from
// changing ports, ports that acknowledge once every round, a reflector that
// never acknowledges, and keys from strangers with and without a Hello.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <deque>
#include <memory>
#include <thread>

#include "ForgedMessages.h"
#include "LoopbackSocket.h"
#include "Modes.h"

namespace hostile {

namespace {

constexpr int kMaxBurst = 2000;
constexpr int kReadsPerTurn = 256;
constexpr size_t kMaxPendingKeys = 4096;

using Sockets = std::vector<std::unique_ptr<NativeUdpSocket>>;

// A socket on 127.0.0.1 with a port the system picks, without the large
// buffers of the tools' long-lived sockets: the flood opens thousands.
// Null when it cannot be had.
std::unique_ptr<NativeUdpSocket> FreshSocket() {
    auto s = std::make_unique<NativeUdpSocket>();
    SocketSettings settings;
    settings.local = LoopbackAddressOn(0);
    if (s->Open(settings).failed != SocketStep::kDone) return nullptr;
    return s;
}

struct Heard {
    uint64_t datagrams = 0, bytes = 0;
};

// Reads what is queued (a bounded number); how many datagrams.
int ReadQueued(UdpSocket& s, Heard& heard) {
    uint8_t buffer[65536];
    int read = 0;
    for (; read < kReadsPerTurn; ++read) {
        sockaddr_in from;
        const int length = s.ReceiveOne(buffer, sizeof buffer, from);
        if (length < 0) break;
        ++heard.datagrams;
        heard.bytes += static_cast<uint64_t>(length);
    }
    return read;
}

// Waits for every socket up to `seconds`; calls `readable` with the index
// of each one that has something.
template <class Readable>
void WaitForAll(const Sockets& sockets, double seconds, Readable readable) {
    std::vector<UdpSocket::Waiting> waiting;
    for (const auto& s : sockets) waiting.push_back(UdpSocket::Waiting{s.get()});
    const int timeout = static_cast<int>(std::clamp(seconds * 1000.0, 0.0, 50.0));
    if (UdpSocket::WaitReadable(waiting.data(), waiting.size(), timeout) <= 0) return;
    for (size_t i = 0; i < waiting.size(); ++i)
        if (waiting[i].readable) readable(i);
}

Sockets OpenPorts(long count, Tally& tally) {
    Sockets sockets;
    for (long i = 0; i < count; ++i) {
        std::string error;
        auto s = std::make_unique<NativeUdpSocket>();
        if (!faulttools::OpenLoopbackSocket(*s, 0, error)) {
            std::fprintf(stderr, "hostile_sender: %s\n", error.c_str());
            ++tally.failed;
            continue;
        }
        sockets.push_back(std::move(s));
    }
    return sockets;
}

}  // namespace

// Every Hello from a port the system picks, closed right after: each one a
// newcomer to the master.
int RunHelloFlood(const Options& o, Tally& tally) {
    int32_t seq = 0;
    Paced(o, [&] {
        const std::unique_ptr<NativeUdpSocket> s = FreshSocket();
        if (!s) {
            ++tally.failed;
            return;
        }
        tally.Count(SendTo(*s, ForgedHello(seq++), o.target));
    });
    return 0;
}

// Each port says Hello once a round (the rounds of the ports staggered) and
// acknowledges the first datagram it hears after it, and nothing else: it
// is confirmed, then acknowledges almost none of what it receives.
int RunHelloAck(const Options& o, Tally& tally) {
    const Sockets sockets = OpenPorts(o.ports, tally);
    const size_t n = sockets.size();
    std::vector<double> nextHello(n);
    std::vector<char> awaiting(n, 0);
    const double start = faulttools::MonotonicSeconds();
    for (size_t i = 0; i < n; ++i) nextHello[i] = start + o.interval * static_cast<double>(i) / static_cast<double>(n);
    uint64_t hellos = 0, acks = 0;
    Heard heard;
    int32_t seq = 0;
    for (double now = start; now - start < o.seconds && !StopRequested(); now = faulttools::MonotonicSeconds()) {
        double wait = 0.05;
        for (size_t i = 0; i < n; ++i) {
            if (now >= nextHello[i]) {
                tally.Count(SendTo(*sockets[i], ForgedHello(seq++), o.target));
                ++hellos;
                awaiting[i] = 1;
                nextHello[i] += o.interval;
            }
            wait = std::min(wait, nextHello[i] - now);
        }
        WaitForAll(sockets, wait, [&](size_t i) {
            if (ReadQueued(*sockets[i], heard) > 0 && awaiting[i]) {
                tally.Count(SendTo(*sockets[i], ForgedAck(seq++), o.target));
                ++acks;
                awaiting[i] = 0;
            }
        });
    }
    std::printf("hello-ack: %zu ports, %llu Hellos, %llu Acks; heard %llu datagrams (%llu bytes)\n", n,
                static_cast<unsigned long long>(hellos), static_cast<unsigned long long>(acks),
                static_cast<unsigned long long>(heard.datagrams), static_cast<unsigned long long>(heard.bytes));
    return 0;
}

// Hellos that never acknowledge, from fixed ports: --count of them per
// port (0: one every --interval until the end), and everything that comes
// back counted per port.
int RunReflect(const Options& o, Tally& tally) {
    const Sockets sockets = OpenPorts(std::max(1L, o.ports), tally);
    const size_t n = sockets.size();
    std::vector<uint64_t> sentBytes(n, 0), hellos(n, 0);
    std::vector<Heard> heard(n);
    const double start = faulttools::MonotonicSeconds();
    double nextRound = start;
    int32_t seq = 0;
    for (double now = start; now - start < o.seconds && !StopRequested(); now = faulttools::MonotonicSeconds()) {
        const bool more = o.count == 0 || hellos.empty() || hellos[0] < static_cast<uint64_t>(o.count);
        if (more && now >= nextRound) {
            for (size_t i = 0; i < n; ++i) {
                const SocketTransfer result = SendTo(*sockets[i], ForgedHello(seq++), o.target);
                tally.Count(result);
                if (result.outcome == SocketOutcome::kDone) sentBytes[i] += static_cast<uint64_t>(result.bytes);
                ++hellos[i];
            }
            nextRound += o.interval;
        }
        WaitForAll(sockets, more ? nextRound - now : 0.05, [&](size_t i) { ReadQueued(*sockets[i], heard[i]); });
    }
    double worst = 0.0;
    for (size_t i = 0; i < n; ++i) {
        std::printf("reflect: port %u sent %llu bytes in %llu Hellos, got back %llu bytes in %llu datagrams\n",
                    faulttools::BoundPort(*sockets[i]), static_cast<unsigned long long>(sentBytes[i]),
                    static_cast<unsigned long long>(hellos[i]), static_cast<unsigned long long>(heard[i].bytes),
                    static_cast<unsigned long long>(heard[i].datagrams));
        if (sentBytes[i] > 0)
            worst = std::max(worst, static_cast<double>(heard[i].bytes) / static_cast<double>(sentBytes[i]));
    }
    std::printf("reflect: most bytes back per byte sent, over %zu ports: %.3f\n", n, worst);
    return 0;
}

// Key taps at --rate from one socket that never says Hello, and one tap
// from each of --ports fresh ports, spread over the run.
int RunKeys(const Options& o, Tally& tally) {
    std::string error;
    NativeUdpSocket steady;
    if (!faulttools::OpenLoopbackSocket(steady, 0, error)) {
        std::fprintf(stderr, "hostile_sender: %s\n", error.c_str());
        return 1;
    }
    const uint8_t code = static_cast<uint8_t>(o.code);
    int32_t seq = 0;
    uint64_t done = 0;
    long fresh = 0;
    const double start = faulttools::MonotonicSeconds();
    for (double now = start; now - start < o.seconds && !StopRequested(); now = faulttools::MonotonicSeconds()) {
        const double elapsed = now - start;
        const uint64_t due = static_cast<uint64_t>(o.rate * elapsed);
        for (int burst = 0; done < due && burst < kMaxBurst; ++burst, ++done)
            tally.Count(SendTo(steady, ForgedKeyTap(seq++, code), o.target));
        const long freshDue =
            std::min(o.ports, static_cast<long>(static_cast<double>(o.ports) * elapsed / o.seconds) + 1);
        for (; fresh < freshDue; ++fresh) {
            const std::unique_ptr<NativeUdpSocket> s = FreshSocket();
            if (!s) {
                ++tally.failed;
                continue;
            }
            tally.Count(SendTo(*s, ForgedKeyTap(seq++, code), o.target));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    std::printf("keys: %llu taps from one port, %ld from fresh ports\n", static_cast<unsigned long long>(done), fresh);
    return 0;
}

// --rate times a second a fresh port says Hello and, --delay later, taps a
// key; it never acknowledges.
int RunHelloKeys(const Options& o, Tally& tally) {
    struct Pending {
        std::unique_ptr<NativeUdpSocket> socket;
        double keysAt;
    };
    std::deque<Pending> pending;
    const uint8_t code = static_cast<uint8_t>(o.code);
    int32_t seq = 0;
    uint64_t opened = 0, tapped = 0;
    const double start = faulttools::MonotonicSeconds();
    for (double now = start; now - start < o.seconds && !StopRequested(); now = faulttools::MonotonicSeconds()) {
        const uint64_t due = static_cast<uint64_t>(o.rate * (now - start));
        for (; opened < due && pending.size() < kMaxPendingKeys; ++opened) {
            std::unique_ptr<NativeUdpSocket> s = FreshSocket();
            if (!s) {
                ++tally.failed;
                continue;
            }
            tally.Count(SendTo(*s, ForgedHello(seq++), o.target));
            pending.push_back({std::move(s), now + o.delay});
        }
        while (!pending.empty() && pending.front().keysAt <= now) {
            tally.Count(SendTo(*pending.front().socket, ForgedKeyTap(seq++, code), o.target));
            ++tapped;
            pending.pop_front();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    std::printf("hello-keys: %llu Hellos, %llu taps after them\n", static_cast<unsigned long long>(opened),
                static_cast<unsigned long long>(tapped));
    return 0;
}

}  // namespace hostile
