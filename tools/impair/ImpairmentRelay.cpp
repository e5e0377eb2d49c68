#include "ImpairmentRelay.h"

#include <algorithm>
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

uint64_t DownSeed(uint64_t seed) { return faulttools::SplitMix64(seed ^ 0xD0D0D0D0D0D0D0D0ull).Next(); }

bool SameAddress(const sockaddr_in& a, const sockaddr_in& b) {
    return a.sin_addr.s_addr == b.sin_addr.s_addr && a.sin_port == b.sin_port;
}

void AppendCounts(std::string& out, const char* name, const LinkImpairment& link) {
    const LinkCounts& c = link.Counts();
    char text[512];
    std::snprintf(text, sizeof text,
                  "\"%s\":{\"settings\":\"%s\",\"received\":%llu,\"dropped\":%llu,\"duplicated\":%llu,"
                  "\"reordered\":%llu,\"delayed\":%llu,\"sent\":%llu,\"overflow\":%llu,\"unsent\":%llu,"
                  "\"send_errors\":%llu}",
                  name, DescribeLinkSettings(link.Settings()).c_str(), static_cast<unsigned long long>(c.received),
                  static_cast<unsigned long long>(c.dropped), static_cast<unsigned long long>(c.duplicated),
                  static_cast<unsigned long long>(c.reordered), static_cast<unsigned long long>(c.delayed),
                  static_cast<unsigned long long>(c.sent), static_cast<unsigned long long>(c.overflow),
                  static_cast<unsigned long long>(c.unsent), static_cast<unsigned long long>(c.sendErrors));
    out += text;
}

}  // namespace

ImpairmentRelay::ImpairmentRelay(const ImpairmentRelayOptions& options)
    : options_(options),
      links_{LinkImpairment(options.toMaster, options.seed), LinkImpairment(options.toSlave, DownSeed(options.seed))},
      pending_(kMaxQueuedBytes),
      buffer_(kMaxDatagram) {}

ImpairmentRelay::Peer* ImpairmentRelay::PeerFor(const sockaddr_in& slave) {
    for (Peer& peer : peers_)
        if (SameAddress(peer.slave, slave)) return &peer;
    if (peers_.size() >= kMaxPeers) return nullptr;
    std::string error;
    auto upstream = std::make_unique<NativeUdpSocket>();
    if (!faulttools::OpenLoopbackSocket(*upstream, 0, error)) {
        std::fprintf(stderr, "impair_relay: %s\n", error.c_str());
        return nullptr;
    }
    peers_.emplace_back();
    Peer& peer = peers_.back();
    peer.slave = slave;
    peer.upstream = std::move(upstream);
    peer.firstSeenWall = faulttools::WallSeconds();
    std::printf("peer %s via 127.0.0.1:%u at %.3f\n", faulttools::FormatEndpoint(slave).c_str(),
                faulttools::BoundPort(*peer.upstream), peer.firstSeenWall);
    std::fflush(stdout);
    return &peer;
}

void ImpairmentRelay::Admit(Direction direction, UdpSocket& from, const sockaddr_in& to, const uint8_t* data,
                            size_t length) {
    LinkImpairment& link = links_[direction];
    for (double due : link.Schedule(faulttools::MonotonicSeconds())) {
        PendingDatagram datagram;
        datagram.due = due;
        datagram.direction = direction;
        datagram.socket = &from;
        datagram.to = to;
        datagram.bytes.assign(data, data + length);
        if (!pending_.Push(std::move(datagram))) ++link.Counts().overflow;
    }
}

void ImpairmentRelay::ReadSocket(UdpSocket& socket, Direction direction, const Peer* peer) {
    for (int reads = 0; reads < kReadsPerTurn; ++reads) {
        sockaddr_in from;
        const int read = socket.ReceiveOne(buffer_.data(), static_cast<int>(buffer_.size()), from);
        if (read < 0) return;  // nothing more now (or an error the next wait reports again)
        // A datagram longer than the buffer goes on as what was kept of it.
        const size_t length = std::min(static_cast<size_t>(read), buffer_.size());
        if (direction == kUp) {
            const Peer* source = PeerFor(from);
            if (source == nullptr) {
                ++refusedPeers_;
                continue;
            }
            Admit(kUp, *source->upstream, options_.master, buffer_.data(), length);
        } else {
            // Only the master's replies go back to the slave.
            if (!SameAddress(from, options_.master)) {
                ++foreignReplies_;
                continue;
            }
            Admit(kDown, listen_, peer->slave, buffer_.data(), length);
        }
    }
}

void ImpairmentRelay::SendDue(double now) {
    while (!pending_.Empty() && pending_.NextDue() <= now) {
        PendingDatagram datagram = pending_.Pop();
        LinkCounts& counts = links_[datagram.direction].Counts();
        const SocketTransfer sent =
            datagram.socket->SendTo(datagram.bytes.data(), static_cast<int>(datagram.bytes.size()), datagram.to);
        if (sent.outcome != SocketOutcome::kDone) {
            ++counts.sendErrors;
            continue;
        }
        ++counts.sent;
        if (datagram.direction == kDown) WatchUpdate(datagram, now);
    }
}

void ImpairmentRelay::WatchUpdate(const PendingDatagram& datagram, double now) {
    for (Peer& peer : peers_) {
        if (!SameAddress(peer.slave, datagram.to)) continue;
        if (peer.updates.Sent(datagram.bytes.data(), datagram.bytes.size(), now) && peer.updates.WholeUpdates() == 1) {
            peer.firstUpdateWall = faulttools::WallSeconds();
            std::printf("first update to %s at %.3f\n", faulttools::FormatEndpoint(peer.slave).c_str(),
                        peer.firstUpdateWall);
            std::fflush(stdout);
        }
        return;
    }
}

int ImpairmentRelay::Run() {
    std::string error;
    if (!faulttools::OpenLoopbackSocket(listen_, options_.listenPort, error)) {
        std::fprintf(stderr, "impair_relay: %s\n", error.c_str());
        return 1;
    }
    std::signal(SIGTERM, RequestStop);
    std::signal(SIGINT, RequestStop);
    std::printf("impair_relay: seed %llu, listening on 127.0.0.1:%u for %g s, master %s\n",
                static_cast<unsigned long long>(options_.seed), faulttools::BoundPort(listen_), options_.seconds,
                faulttools::FormatEndpoint(options_.master).c_str());
    std::printf("  to master: %s\n  to slave:  %s\n", DescribeLinkSettings(options_.toMaster).c_str(),
                DescribeLinkSettings(options_.toSlave).c_str());
    std::fflush(stdout);

    const double end = faulttools::MonotonicSeconds() + options_.seconds;
    std::vector<UdpSocket::Waiting> waiting;
    for (double now = faulttools::MonotonicSeconds(); now < end && !stopRequested;
         now = faulttools::MonotonicSeconds()) {
        SendDue(now);
        double wait = std::fmin(kLongestPoll, end - now);
        if (!pending_.Empty()) wait = std::fmin(wait, pending_.NextDue() - now);
        waiting.assign(1, UdpSocket::Waiting{&listen_});
        for (const Peer& peer : peers_) waiting.push_back(UdpSocket::Waiting{peer.upstream.get()});
        // Round up to whole milliseconds: a datagram may leave up to 1 ms late.
        const int timeout = wait > 0.0 ? static_cast<int>(std::ceil(wait * 1000.0)) : 0;
        if (UdpSocket::WaitReadable(waiting.data(), waiting.size(), timeout) <= 0) continue;
        if (waiting[0].readable) ReadSocket(listen_, kUp, nullptr);
        // Peers may be added while reading; only those waited for are read.
        for (size_t i = 1; i < waiting.size(); ++i)
            if (waiting[i].readable) ReadSocket(*peers_[i - 1].upstream, kDown, &peers_[i - 1]);
    }
    while (!pending_.Empty()) {
        ++links_[pending_.Pop().direction].Counts().unsent;
    }
    return 0;
}

std::string ImpairmentRelay::StatisticsJson() const {
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
                      i > 0 ? "," : "", faulttools::FormatEndpoint(p.slave).c_str(), faulttools::BoundPort(*p.upstream),
                      p.firstSeenWall, p.firstUpdateWall, static_cast<unsigned long long>(p.updates.WholeUpdates()),
                      p.updates.LongestWait());
        out += entry;
    }
    return out + "]}";
}

}  // namespace impair
