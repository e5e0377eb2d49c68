// A relay in this process between a master and `clients` peers subscribed
// to it. The master is a socket of the benchmark (which then queues each
// update at the relay, numbered afresh) or a real master module on a port;
// the relay is stepped by the benchmark or runs in a thread of its own.
#pragma once

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "BareSockets.h"
#include "Relay.h"

namespace bench {

class RelayHarness {
public:
    // masterPort 0: the benchmark plays the master itself.
    explicit RelayHarness(int clients, int masterPort = 0);
    ~RelayHarness();

    // The relay subscribed to its master (played here) and every peer said hello.
    bool ready() const { return ready_; }
    int listenFd() const { return static_cast<int>(relay_.ListenSocket().Handle()); }
    int upstreamFd() const { return static_cast<int>(relay_.Socket().Handle()); }
    const std::vector<sockaddr_in>& peerAddresses() const { return addresses_; }

    // As the master sends it: the update at the relay's socket, numbered
    // after the last one (outside any measurement); a 30th of a second later.
    void queue(std::vector<Bytes>& update);
    // One turn of the relay on the benchmark's thread.
    void step() { relay_.Step(now_); }
    // Every peer acknowledges, as slaves do after an update's end.
    void acknowledge() const;
    // Reads what every peer has received; how many datagrams. Until
    // `expected` came, for `waitSeconds` at most.
    size_t drainPeers(size_t expected = 0, double waitSeconds = 0.0) const;
    // Reads until nothing more arrived for `quietSeconds`; how many datagrams.
    size_t drainPeersUntilQuiet(double quietSeconds) const;
    // Reads (and forgets) what the relay sent its master.
    void drainMaster() const;

    // The relay's figures (not while its thread runs).
    RelaySnapshot snapshot() const { return relay_.WholeSnapshot(now_); }

    // The relay on a thread of its own, on the steady clock, until stopped.
    void runThread();
    void stopThread();

private:
    RelayEvents events_{RelayEvents::Sink::kNone};
    Relay relay_{events_};
    std::unique_ptr<UdpPeer> master_;  // when the benchmark plays it
    sockaddr_in relayUpstream_{};
    std::vector<std::unique_ptr<UdpPeer>> peers_;
    std::vector<sockaddr_in> addresses_;
    int32_t sequence_ = 0;
    double now_ = 1000.0;
    bool ready_ = false;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

}  // namespace bench
