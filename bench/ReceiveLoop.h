// The slave's measurement, shared by the whole-update and the per-kind
// benchmarks: the module taking in a queued update, against bare recvfrom
// of the same datagrams queued on the same socket, in turns in one loop.
#pragma once

#include <benchmark/benchmark.h>

#include <vector>

#include "Measure.h"
#include "SlaveModule.h"

namespace bench {

inline void RunReceiveLoop(benchmark::State& state, SlaveBench& bench, std::vector<Bytes>& update) {
    if (!bench.ready()) {
        state.SkipWithError("slave not set up");
        return;
    }
    // Warm-up: the receive queue and the caches reach their steady state.
    for (int i = 0; i < 3; ++i) {
        bench.queue(update);
        bench.receive();
        bench.drainMaster();
    }
    double moduleSeconds = 0.0;
    double baselineSeconds = 0.0;
    double pendingBaselineSeconds = 0.0;
    double incomplete = 0.0;
    HeapDelta heap;
    // A baseline's turn: the same datagrams queued again, read by `receive`.
    auto baseline = [&](size_t (*receive)(int, size_t), double& seconds) {
        bench.queue(update);
        size_t got = 0;
        seconds += Timed([&] { got = receive(bench.slaveFd(), update.size()); });
        if (got != update.size()) incomplete += 1.0;
    };
    for (auto _ : state) {
        bench.queue(update);
        MeasureModule(state, moduleSeconds, heap, [&] { bench.receive(); });
        // Taken in whole and acknowledged once, or the numbers say nothing.
        if (bench.drainMaster() != 1 || bench.pending() != 0) incomplete += 1.0;
        baseline(ReceiveEach, baselineSeconds);
        baseline(ReceiveEachAfterPending, pendingBaselineSeconds);
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["datagrams"] = static_cast<double>(update.size());
    state.counters["baseline_us"] = n > 0 ? baselineSeconds / n * 1e6 : 0.0;
    state.counters["ratio"] = baselineSeconds > 0 ? moduleSeconds / baselineSeconds : 0.0;
    state.counters["pending_baseline_us"] = n > 0 ? pendingBaselineSeconds / n * 1e6 : 0.0;
    state.counters["pending_ratio"] = pendingBaselineSeconds > 0 ? moduleSeconds / pendingBaselineSeconds : 0.0;
    ReportHeap(state, heap);
    state.counters["incomplete"] = incomplete;
}

}  // namespace bench
