// The slave's receive of one whole queued update of 1, 10 and 100 vessels.
#include "ReceiveLoop.h"

namespace bench {
namespace {

void SlaveReceive(benchmark::State& state) {
    const int vessels = static_cast<int>(state.range(0));
    SlaveBench bench(vessels);
    std::vector<Bytes> update = FullUpdate(bench.vessels());
    state.counters["vessels"] = vessels;
    RunReceiveLoop(state, bench, update);
}

BENCHMARK(SlaveReceive)->Arg(1)->Arg(10)->Arg(100)->ArgName("vessels")->Apply(TimedByHandInMicroseconds)->MinTime(0.5);

}  // namespace
}  // namespace bench
