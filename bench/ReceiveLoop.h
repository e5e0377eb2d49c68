// The slave's measurement, shared by the whole-update and the per-kind
// benchmarks: the module taking in a queued update, against bare recvfrom
// of the same datagrams queued on the same socket, in turns in one loop.
#pragma once

#include <benchmark/benchmark.h>

#include <vector>

#include "AllocationCounter.h"
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
    for (auto _ : state) {
        bench.queue(update);
        const HeapCounts before = HeapSnapshot();
        const Clock::time_point start = Clock::now();
        bench.receive();
        const Clock::time_point end = Clock::now();
        heap += HeapSnapshot() - before;
        const double module = Seconds(start, end);
        state.SetIterationTime(module);
        moduleSeconds += module;
        // Taken in whole and acknowledged once, or the numbers say nothing.
        if (bench.drainMaster() != 1 || bench.pending() != 0) incomplete += 1.0;

        bench.queue(update);
        const Clock::time_point baseStart = Clock::now();
        const size_t got = ReceiveEach(bench.slaveFd(), update.size());
        const Clock::time_point baseEnd = Clock::now();
        baselineSeconds += Seconds(baseStart, baseEnd);
        if (got != update.size()) incomplete += 1.0;

        bench.queue(update);
        const Clock::time_point pendingStart = Clock::now();
        const size_t gotAfterPending = ReceiveEachAfterPending(bench.slaveFd(), update.size());
        const Clock::time_point pendingEnd = Clock::now();
        pendingBaselineSeconds += Seconds(pendingStart, pendingEnd);
        if (gotAfterPending != update.size()) incomplete += 1.0;
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["datagrams"] = static_cast<double>(update.size());
    state.counters["baseline_us"] = n > 0 ? baselineSeconds / n * 1e6 : 0.0;
    state.counters["ratio"] = baselineSeconds > 0 ? moduleSeconds / baselineSeconds : 0.0;
    state.counters["pending_baseline_us"] = n > 0 ? pendingBaselineSeconds / n * 1e6 : 0.0;
    state.counters["pending_ratio"] = pendingBaselineSeconds > 0 ? moduleSeconds / pendingBaselineSeconds : 0.0;
    state.counters["alloc_bytes"] = n > 0 ? static_cast<double>(heap.bytesRequested) / n : 0.0;
    state.counters["allocs"] = n > 0 ? static_cast<double>(heap.allocations) / n : 0.0;
    state.counters["growth_bytes"] = n > 0 ? static_cast<double>(heap.growth) / n : 0.0;
    state.counters["incomplete"] = incomplete;
}

}  // namespace bench
