// The relay passing a master's update on to its clients, against a bare
// sendmmsg loop of the same datagrams to the same clients from the same
// socket, measured in turns in one loop. The relay's time includes what
// only it does: reading each datagram from its master's socket, the receive
// checks, the link figures and the simulation's picture, the copy, and the
// clients' Acks of the previous update; the second baseline reads the
// datagrams with bare recvfrom before the same sends.
#include <benchmark/benchmark.h>

#include "MasterModule.h"
#include "Measure.h"
#include "RelayHarness.h"

namespace bench {
namespace {

void RelayForward(benchmark::State& state) {
    const int vessels = static_cast<int>(state.range(0));
    const int clients = static_cast<int>(state.range(1));
    std::vector<Bytes> update = RecordedUpdate(vessels);
    RelayHarness relay(clients);
    if (update.empty() || !relay.ready()) {
        state.SkipWithError("master or relay not set up");
        return;
    }
    const size_t perUpdate = update.size() * static_cast<size_t>(clients);
    BareFanOut bare(update, relay.peerAddresses());
    UdpPeer upstreamCopy;  // where the second baseline reads the update from
    for (int i = 0; i < 3; ++i) {
        relay.queue(update);
        relay.step();
        relay.drainPeers(perUpdate, 1.0);
        relay.acknowledge();
    }

    double relaySeconds = 0.0, bareSeconds = 0.0, readAndSendSeconds = 0.0, missing = 0.0;
    for (auto _ : state) {
        relay.queue(update);
        const Clock::time_point start = Clock::now();
        relay.step();
        const Clock::time_point end = Clock::now();
        state.SetIterationTime(Seconds(start, end));
        relaySeconds += Seconds(start, end);
        missing += static_cast<double>(perUpdate) - static_cast<double>(relay.drainPeers(perUpdate, 1.0));
        relay.acknowledge();
        relay.drainMaster();

        const Clock::time_point bareStart = Clock::now();
        bare.send(relay.listenFd());
        const Clock::time_point bareEnd = Clock::now();
        bareSeconds += Seconds(bareStart, bareEnd);
        missing += static_cast<double>(perUpdate) - static_cast<double>(relay.drainPeers(perUpdate, 1.0));

        Queue(upstreamCopy.fd(), upstreamCopy.port(), update);
        const Clock::time_point readStart = Clock::now();
        ReceiveEach(upstreamCopy.fd(), update.size());
        bare.send(relay.listenFd());
        const Clock::time_point readEnd = Clock::now();
        readAndSendSeconds += Seconds(readStart, readEnd);
        missing += static_cast<double>(perUpdate) - static_cast<double>(relay.drainPeers(perUpdate, 1.0));
    }
    const double n = static_cast<double>(state.iterations());
    const double datagrams = n * static_cast<double>(update.size());
    state.counters["vessels"] = vessels;
    state.counters["clients"] = clients;
    state.counters["datagrams"] = static_cast<double>(update.size());
    state.counters["relay_us_per_datagram"] = datagrams > 0 ? relaySeconds / datagrams * 1e6 : 0.0;
    state.counters["bare_us_per_datagram"] = datagrams > 0 ? bareSeconds / datagrams * 1e6 : 0.0;
    state.counters["ratio"] = bareSeconds > 0 ? relaySeconds / bareSeconds : 0.0;
    state.counters["read_send_us_per_datagram"] = datagrams > 0 ? readAndSendSeconds / datagrams * 1e6 : 0.0;
    state.counters["read_send_ratio"] = readAndSendSeconds > 0 ? relaySeconds / readAndSendSeconds : 0.0;
    // Datagrams a client should have had and did not.
    state.counters["missing"] = missing;
}

BENCHMARK(RelayForward)
    ->ArgsProduct({{10, 100}, {4, 16, 64}})
    ->ArgNames({"vessels", "clients"})
    ->Apply(TimedByHandInMicroseconds)
    ->MinTime(0.5);

}  // namespace
}  // namespace bench
