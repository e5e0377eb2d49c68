// What the benchmarks that time a module against a bare baseline share: the
// module's work in an iteration, timed and its heap use counted, and the
// heap counters per iteration.
#pragma once

#include <benchmark/benchmark.h>

#include "AllocationCounter.h"
#include "BenchWorld.h"

namespace bench {

// Runs `work`, the module's work in an iteration: its seconds are the
// iteration's time and are added to `seconds`, what it did to the heap to
// `heap`.
template <class Work>
void MeasureModule(benchmark::State& state, double& seconds, HeapDelta& heap, Work&& work) {
    const HeapCounts before = HeapSnapshot();
    const double taken = Timed(work);
    heap += HeapSnapshot() - before;
    state.SetIterationTime(taken);
    seconds += taken;
}

// `heap` per iteration: alloc_bytes, allocs and growth_bytes.
inline void ReportHeap(benchmark::State& state, const HeapDelta& heap) {
    const double n = static_cast<double>(state.iterations());
    state.counters["alloc_bytes"] = n > 0 ? static_cast<double>(heap.bytesRequested) / n : 0.0;
    state.counters["allocs"] = n > 0 ? static_cast<double>(heap.allocations) / n : 0.0;
    state.counters["growth_bytes"] = n > 0 ? static_cast<double>(heap.growth) / n : 0.0;
}

// Registration: the time is what MeasureModule set, told in microseconds.
inline void TimedByHandInMicroseconds(benchmark::internal::Benchmark* b) {
    b->UseManualTime()->Unit(benchmark::kMicrosecond);
}

}  // namespace bench
