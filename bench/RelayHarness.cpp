#include "RelayHarness.h"

#include <poll.h>
#include <sys/socket.h>

#include <cstring>

#include "LiveView.h"
#include "Loopback.h"
#include "WireRecords.h"

namespace bench {
namespace {

constexpr int kMaxClients = 4096;
constexpr int kPeerBuffer = 16 * 1024 * 1024;

bool WaitReadable(int fd, int ms) {
    pollfd readable{fd, POLLIN, 0};
    return ::poll(&readable, 1, ms) > 0;
}

}  // namespace

RelayHarness::RelayHarness(int clients, int masterPort) {
    // One clock for the relay's own thread and the benchmark's steps.
    now_ = SteadySeconds();
    if (masterPort == 0) master_ = std::make_unique<UdpPeer>();
    RelaySettings settings;
    settings.master = LoopbackAddress(master_ ? master_->port() : masterPort);
    settings.listen = LoopbackAddress(0);
    settings.maxClients = kMaxClients;
    settings.maxClientsPerAddress = kMaxClients;  // all peers share 127.0.0.1
    std::string error;
    if (!relay_.Open(settings, error)) return;
    // Room for a whole queued update of many vessels, as the peers have.
    int size = kPeerBuffer;
    ::setsockopt(upstreamFd(), SOL_SOCKET, SO_RCVBUFFORCE, &size, sizeof size);

    relay_.Step(now_);  // its Hello
    if (master_) {
        if (!WaitReadable(master_->fd(), 1000)) return;
        uint8_t hello[16];
        socklen_t length = sizeof relayUpstream_;
        if (::recvfrom(master_->fd(), hello, sizeof hello, 0, reinterpret_cast<sockaddr*>(&relayUpstream_), &length) !=
            8)
            return;
    }
    const int listenPort = ntohs(relay_.ListenAddress().sin_port);
    const wire::HeaderRecord hello{{wire::kHello, 0}};
    for (int i = 0; i < clients; ++i) {
        peers_.push_back(std::make_unique<UdpPeer>());
        addresses_.push_back(peers_.back()->address());
        peers_.back()->sendTo(listenPort, &hello, sizeof hello);
    }
    for (int i = 0; i < 5; ++i) {
        WaitReadable(listenFd(), 20);
        relay_.Step(now_);
    }
    // A real master's updates answer the Hellos later (confirmPeers).
    if (!master_) {
        ready_ = true;
        return;
    }
    // The end of an update of our own answers them; their Acks confirm them.
    wire::StartRecord start{};
    start.header.type = wire::kStart;
    start.mjd = 60000.5;
    const wire::HeaderRecord end{{wire::kEnd, 0}};
    const uint8_t* startBytes = reinterpret_cast<const uint8_t*>(&start);
    const uint8_t* endBytes = reinterpret_cast<const uint8_t*>(&end);
    std::vector<Bytes> update = {Bytes(startBytes, startBytes + sizeof start), Bytes(endBytes, endBytes + sizeof end)};
    for (int round = 0; round < 10 && !ready_; ++round) {
        queue(update);
        for (int i = 0; i < 5; ++i) {
            WaitReadable(upstreamFd(), 5);
            relay_.Step(now_);
        }
        drainPeers(0, 0.0);
        acknowledge();
        for (int i = 0; i < 5; ++i) {
            WaitReadable(listenFd(), 5);
            relay_.Step(now_);
        }
        ready_ = relay_.WholeSnapshot(now_).clients.size() == static_cast<size_t>(clients);
    }
    drainPeers(0, 0.0);
    drainMaster();
}

RelayHarness::~RelayHarness() { stopThread(); }

void RelayHarness::queue(std::vector<Bytes>& update) {
    for (Bytes& datagram : update) {
        std::memcpy(datagram.data() + offsetof(wire::Header, seq), &sequence_, sizeof sequence_);
        ++sequence_;
    }
    Queue(master_->fd(), ntohs(relayUpstream_.sin_port), update);
    now_ += 1.0 / 30.0;
}

void RelayHarness::acknowledge() const {
    const int listenPort = ntohs(relay_.ListenAddress().sin_port);
    const wire::HeaderRecord ack{{wire::kAck, 0}};
    for (const auto& peer : peers_) peer->sendTo(listenPort, &ack, sizeof ack);
}

size_t RelayHarness::drainPeers(size_t expected, double waitSeconds) const {
    size_t total = 0;
    const double deadline = SteadySeconds() + waitSeconds;
    for (;;) {
        for (const auto& peer : peers_) total += peer->drain();
        if (total >= expected || SteadySeconds() > deadline) return total;
        WaitReadable(peers_.back()->fd(), 5);
    }
}

size_t RelayHarness::drainPeersUntilQuiet(double quietSeconds) const {
    size_t total = 0;
    for (double quietSince = SteadySeconds(); SteadySeconds() - quietSince < quietSeconds;) {
        size_t got = 0;
        for (const auto& peer : peers_) got += peer->drain();
        if (got > 0) quietSince = SteadySeconds();
        total += got;
        WaitReadable(peers_.back()->fd(), 5);
    }
    return total;
}

void RelayHarness::drainMaster() const {
    if (master_) master_->drain();
}

void RelayHarness::runThread() {
    stop_ = false;
    thread_ = std::thread([this] {
        while (!stop_) {
            relay_.Step(SteadySeconds());
            relay_.Wait(0.01);
        }
    });
}

void RelayHarness::stopThread() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
}

}  // namespace bench
