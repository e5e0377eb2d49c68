// The master's whole update with 64 slaves subscribed to it directly,
// against the same master with one relay (running on a thread of its own)
// as its only client and the 64 slaves behind the relay, and with one slave
// of its own: through a relay the master pays for one client. With one
// slave behind the relay, the relay's fan-out hardly competes with the
// master for this machine's two cores.
#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <thread>

#include "MasterModule.h"
#include "Measure.h"
#include "RelayHarness.h"

namespace bench {
namespace {

constexpr int kSlaves = 64;
// The next update waits until the relay has passed this one on (a master
// faster than its relay's fan-out would only measure the relay's losses).
constexpr double kRelayCatchUp = 5.0;
constexpr double kQuiet = 0.3;

// 0: slaves subscribed to the master; 1: the slaves behind one relay.
void MasterWithSlaves(benchmark::State& state) {
    const int vessels = static_cast<int>(state.range(0));
    const int slaves = static_cast<int>(state.range(1));
    const bool throughRelay = state.range(2) != 0;
    MasterBench master(vessels, throughRelay ? 0 : slaves);
    std::unique_ptr<RelayHarness> relay;
    if (throughRelay && master.ready()) {
        relay = std::make_unique<RelayHarness>(slaves, master.port());
        relay->runThread();
        // The relay's Hello waits for the receive phase of an update, the
        // next end answers it, its Ack confirms it.
        for (int i = 0; i < 100 && master.master().Table().Clients().size() != 1; ++i) {
            master.update();
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }
    if (!master.ready() || (relay && (!relay->ready() || master.master().Table().Clients().size() != 1))) {
        state.SkipWithError("master or relay not set up");
        return;
    }
    // Every slave gets each update, directly or from the relay: counted
    // once the relay has passed one on.
    size_t perSlave = 0;
    if (relay) {
        // The relay's end answers its slaves' Hellos; their Acks confirm them.
        for (int round = 0; round < 2; ++round) {
            master.update();
            relay->drainPeersUntilQuiet(kQuiet);
            relay->acknowledge();
        }
        master.update();
        perSlave = relay->drainPeersUntilQuiet(kQuiet) / static_cast<size_t>(slaves);
    }
    for (int i = 0; i < 3; ++i) {
        if (relay) relay->acknowledge();
        master.acknowledge();
        master.update();
        if (relay) relay->drainPeers(perSlave * static_cast<size_t>(slaves), kRelayCatchUp);
        master.drainPeers();
    }
    double missing = 0.0;
    for (auto _ : state) {
        if (relay) relay->acknowledge();
        master.acknowledge();
        const Clock::time_point start = Clock::now();
        master.update();
        const Clock::time_point end = Clock::now();
        state.SetIterationTime(Seconds(start, end));
        if (relay) {
            const size_t expected = perSlave * static_cast<size_t>(slaves);
            missing += static_cast<double>(expected) - static_cast<double>(relay->drainPeers(expected, kRelayCatchUp));
        } else {
            master.drainPeers();
        }
    }
    if (relay) {
        relay->stopThread();
        const RelaySnapshot s = relay->snapshot();
        state.counters["relay_failed_sends"] = static_cast<double>(s.relay.failedSends);
        state.counters["relay_lost_upstream"] = static_cast<double>(s.upstream.link.lost);
        state.counters["relay_timeouts"] = static_cast<double>(s.relay.timeouts);
    }
    state.counters["vessels"] = vessels;
    state.counters["slaves"] = slaves;
    state.counters["relay"] = throughRelay ? 1 : 0;
    state.counters["master_clients"] = static_cast<double>(master.master().Table().Clients().size());
    state.counters["missing"] = missing;
}

BENCHMARK(MasterWithSlaves)
    ->ArgsProduct({{10, 100}, {1, kSlaves}, {0}})
    ->ArgNames({"vessels", "slaves", "relay"})
    ->Apply(TimedByHandInMicroseconds)
    ->MinTime(0.5);
// Each update waits for the relay's fan-out: a fixed count bounds the run.
BENCHMARK(MasterWithSlaves)
    ->ArgsProduct({{10, 100}, {1, kSlaves}, {1}})
    ->ArgNames({"vessels", "slaves", "relay"})
    ->Apply(TimedByHandInMicroseconds)
    ->Iterations(150);

}  // namespace
}  // namespace bench
