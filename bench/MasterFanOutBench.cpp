// The master's whole update (capture of every vessel, every message to every
// client, the receive phase) against bare sendto of the same datagrams to
// the same clients from the same socket, measured in turns in one loop.
#include <benchmark/benchmark.h>

#include "MasterModule.h"
#include "Measure.h"

namespace bench {
namespace {

void MasterUpdate(benchmark::State& state) {
    const int vessels = static_cast<int>(state.range(0));
    const int clients = static_cast<int>(state.range(1));
    MasterBench bench(vessels, clients);
    if (!bench.ready()) {
        state.SkipWithError("master or peers not set up");
        return;
    }
    const size_t perUpdate = bench.recorded().size() * static_cast<size_t>(clients);
    // Warm-up: lists, queues and caches reach their steady size.
    for (int i = 0; i < 3; ++i) {
        bench.acknowledge();
        bench.update();
        bench.drainPeers();
    }

    double moduleSeconds = 0.0;
    double baselineSeconds = 0.0;
    double missing = 0.0;
    HeapDelta heap;
    for (auto _ : state) {
        // The slaves' acknowledgements of the previous update wait for the
        // receive phase, as they would.
        bench.acknowledge();
        MeasureModule(state, moduleSeconds, heap, [&] { bench.update(); });
        missing += static_cast<double>(perUpdate) - static_cast<double>(bench.drainPeers());

        baselineSeconds += Timed([&] { SendToEach(bench.masterFd(), bench.recorded(), bench.peerAddresses()); });
        missing += static_cast<double>(perUpdate) - static_cast<double>(bench.drainPeers());
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["vessels"] = vessels;
    state.counters["clients"] = clients;
    state.counters["datagrams"] = static_cast<double>(perUpdate);
    state.counters["baseline_us"] = n > 0 ? baselineSeconds / n * 1e6 : 0.0;
    state.counters["ratio"] = baselineSeconds > 0 ? moduleSeconds / baselineSeconds : 0.0;
    ReportHeap(state, heap);
    // Datagrams a peer should have had and did not (a full receive buffer
    // would make the numbers meaningless).
    state.counters["missing"] = missing;
}

BENCHMARK(MasterUpdate)
    ->ArgsProduct({{1, 10, 100}, {1, 4, 16}})
    ->ArgNames({"vessels", "clients"})
    ->Apply(TimedByHandInMicroseconds)
    ->MinTime(0.5);

}  // namespace
}  // namespace bench
