#include "Relay.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>

#include "LoopbackSocket.h"

namespace impair {

namespace {

constexpr size_t kMaxPeers = 16;
constexpr size_t kMaxQueuedBytes = 64u * 1024u * 1024u;
constexpr size_t kMaxDatagram = 65536;
// Datagrams read from one socket before the others get a turn.
constexpr int kReadsPerTurn = 256;
constexpr double kLongestPoll = 0.05;

volatile std::sig_atomic_t stopRequested = 0;
void RequestStop(int) { stopRequested = 1; }

uint64_t DownSeed(uint64_t seed) { return faulttools::SplitMix64(seed ^ 0xD0D0D0D0D0D0D0D0ull).next(); }

bool SameAddress(const sockaddr_in& a, const sockaddr_in& b) {
    return a.sin_addr.s_addr == b.sin_addr.s_addr && a.sin_port == b.sin_port;
}

void AppendCounts(std::string& out, const char* name, const LinkImpairment& link) {
    const LinkCounts& c = link.counts();
    char text[512];
    std::snprintf(text, sizeof text,
                  "\"%s\":{\"settings\":\"%s\",\"received\":%llu,\"dropped\":%llu,\"duplicated\":%llu,"
                  "\"reordered\":%llu,\"delayed\":%llu,\"sent\":%llu,\"overflow\":%llu,\"unsent\":%llu,"
                  "\"send_errors\":%llu}",
                  name, DescribeLinkSettings(link.settings()).c_str(), static_cast<unsigned long long>(c.received),
                  static_cast<unsigned long long>(c.dropped), static_cast<unsigned long long>(c.duplicated),
                  static_cast<unsigned long long>(c.reordered), static_cast<unsigned long long>(c.delayed),
                  static_cast<unsigned long long>(c.sent), static_cast<unsigned long long>(c.overflow),
                  static_cast<unsigned long long>(c.unsent), static_cast<unsigned long long>(c.sendErrors));
    out += text;
}

}  // namespace

Relay::Relay(const RelayOptions& options)
    : options_(options),
      links_{LinkImpairment(options.toMaster, options.seed), LinkImpairment(options.toSlave, DownSeed(options.seed))},
      pending_(kMaxQueuedBytes),
      buffer_(kMaxDatagram) {}

Relay::~Relay() {
    for (const Peer& peer : peers_) close(peer.upstream);
    if (listenSocket_ >= 0) close(listenSocket_);
}

Relay::Peer* Relay::peerFor(const sockaddr_in& slave) {
    for (Peer& peer : peers_)
        if (SameAddress(peer.slave, slave)) return &peer;
    if (peers_.size() >= kMaxPeers) return nullptr;
    std::string error;
    const int upstream = faulttools::OpenLoopbackSocket(0, error);
    if (upstream < 0) {
        std::fprintf(stderr, "impair_relay: %s\n", error.c_str());
        return nullptr;
    }
    Peer peer;
    peer.slave = slave;
    peer.upstream = upstream;
    peer.firstSeenWall = faulttools::WallSeconds();
    peers_.push_back(peer);
    std::printf("peer %s via 127.0.0.1:%u at %.3f\n", faulttools::FormatEndpoint(slave).c_str(),
                faulttools::BoundPort(upstream), peer.firstSeenWall);
    std::fflush(stdout);
    return &peers_.back();
}

void Relay::admit(Direction direction, int fromSocket, const sockaddr_in& to, const uint8_t* data, size_t length) {
    LinkImpairment& link = links_[direction];
    for (double due : link.schedule(faulttools::MonotonicSeconds())) {
        PendingDatagram datagram;
        datagram.due = due;
        datagram.direction = direction;
        datagram.socket = fromSocket;
        datagram.to = to;
        datagram.bytes.assign(data, data + length);
        if (!pending_.push(std::move(datagram))) ++link.counts().overflow;
    }
}

void Relay::readSocket(int socket, Direction direction, const Peer* peer) {
    for (int reads = 0; reads < kReadsPerTurn; ++reads) {
        sockaddr_in from;
        socklen_t fromLength = sizeof from;
        const ssize_t length =
            recvfrom(socket, buffer_.data(), buffer_.size(), 0, reinterpret_cast<sockaddr*>(&from), &fromLength);
        if (length < 0) return;  // nothing more now (or an error the next poll reports again)
        if (direction == kUp) {
            const Peer* source = peerFor(from);
            if (source == nullptr) {
                ++refusedPeers_;
                continue;
            }
            admit(kUp, source->upstream, options_.master, buffer_.data(), static_cast<size_t>(length));
        } else {
            // Only the master's replies go back to the slave.
            if (!SameAddress(from, options_.master)) {
                ++foreignReplies_;
                continue;
            }
            admit(kDown, listenSocket_, peer->slave, buffer_.data(), static_cast<size_t>(length));
        }
    }
}

void Relay::sendDue(double now) {
    while (!pending_.empty() && pending_.nextDue() <= now) {
        PendingDatagram datagram = pending_.pop();
        LinkCounts& counts = links_[datagram.direction].counts();
        const ssize_t sent = sendto(datagram.socket, datagram.bytes.data(), datagram.bytes.size(), 0,
                                    reinterpret_cast<const sockaddr*>(&datagram.to), sizeof datagram.to);
        if (sent < 0) {
            ++counts.sendErrors;
            continue;
        }
        ++counts.sent;
        if (datagram.direction == kDown) watchUpdate(datagram, now);
    }
}

void Relay::watchUpdate(const PendingDatagram& datagram, double now) {
    for (Peer& peer : peers_) {
        if (!SameAddress(peer.slave, datagram.to)) continue;
        if (peer.updates.sent(datagram.bytes.data(), datagram.bytes.size(), now) && peer.updates.wholeUpdates() == 1) {
            peer.firstUpdateWall = faulttools::WallSeconds();
            std::printf("first update to %s at %.3f\n", faulttools::FormatEndpoint(peer.slave).c_str(),
                        peer.firstUpdateWall);
            std::fflush(stdout);
        }
        return;
    }
}

int Relay::run() {
    std::string error;
    listenSocket_ = faulttools::OpenLoopbackSocket(options_.listenPort, error);
    if (listenSocket_ < 0) {
        std::fprintf(stderr, "impair_relay: %s\n", error.c_str());
        return 1;
    }
    std::signal(SIGTERM, RequestStop);
    std::signal(SIGINT, RequestStop);
    std::printf("impair_relay: seed %llu, listening on 127.0.0.1:%u for %g s, master %s\n",
                static_cast<unsigned long long>(options_.seed), faulttools::BoundPort(listenSocket_), options_.seconds,
                faulttools::FormatEndpoint(options_.master).c_str());
    std::printf("  to master: %s\n  to slave:  %s\n", DescribeLinkSettings(options_.toMaster).c_str(),
                DescribeLinkSettings(options_.toSlave).c_str());
    std::fflush(stdout);

    const double end = faulttools::MonotonicSeconds() + options_.seconds;
    std::vector<pollfd> polled;
    for (double now = faulttools::MonotonicSeconds(); now < end && !stopRequested;
         now = faulttools::MonotonicSeconds()) {
        sendDue(now);
        double wait = std::fmin(kLongestPoll, end - now);
        if (!pending_.empty()) wait = std::fmin(wait, pending_.nextDue() - now);
        polled.assign(1, pollfd{listenSocket_, POLLIN, 0});
        for (const Peer& peer : peers_) polled.push_back(pollfd{peer.upstream, POLLIN, 0});
        // Round up to whole milliseconds: a datagram may leave up to 1 ms late.
        const int timeout = wait > 0.0 ? static_cast<int>(std::ceil(wait * 1000.0)) : 0;
        if (poll(polled.data(), polled.size(), timeout) <= 0) continue;
        if (polled[0].revents & POLLIN) readSocket(listenSocket_, kUp, nullptr);
        // Peers may be added while reading; only those polled are read.
        for (size_t i = 1; i < polled.size(); ++i)
            if (polled[i].revents & POLLIN) readSocket(peers_[i - 1].upstream, kDown, &peers_[i - 1]);
    }
    while (!pending_.empty()) {
        ++links_[pending_.pop().direction].counts().unsent;
    }
    return 0;
}

std::string Relay::statisticsJson() const {
    std::string out = "{\"seed\":" + std::to_string(options_.seed) + ",";
    AppendCounts(out, "to_master", links_[kUp]);
    out += ",";
    AppendCounts(out, "to_slave", links_[kDown]);
    out += ",\"refused_peers\":" + std::to_string(refusedPeers_) +
           ",\"foreign_replies\":" + std::to_string(foreignReplies_) + ",\"peers\":[";
    for (size_t i = 0; i < peers_.size(); ++i) {
        const Peer& p = peers_[i];
        char entry[256];
        std::snprintf(entry, sizeof entry,
                      "%s{\"slave\":\"%s\",\"upstream_port\":%u,\"first_seen\":%.3f,\"first_update\":%.3f,"
                      "\"whole_updates\":%llu,\"longest_wait\":%.3f}",
                      i > 0 ? "," : "", faulttools::FormatEndpoint(p.slave).c_str(), faulttools::BoundPort(p.upstream),
                      p.firstSeenWall, p.firstUpdateWall, static_cast<unsigned long long>(p.updates.wholeUpdates()),
                      p.updates.longestWait());
        out += entry;
    }
    return out + "]}";
}

}  // namespace impair
