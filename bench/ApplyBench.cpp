// Where the slave's time goes: an update of only one kind of message for 60
// vessels of the bundled classes, and of all messages of the vessels of one
// class. The tables divide by the messages or vessels in it.
#include <string>

#include "ReceiveLoop.h"

namespace bench {
namespace {

constexpr int kVessels = 60;

void ApplyKind(benchmark::State& state, Kind kind) {
    SlaveBench bench(kVessels);
    std::vector<Bytes> update = KindUpdate(kind, bench.vessels());
    state.counters["messages"] = static_cast<double>(update.size() - 1);  // the end aside
    RunReceiveLoop(state, bench, update);
}

void ApplyClass(benchmark::State& state, const std::string& className) {
    SlaveBench bench(kVessels);
    const std::vector<OBJHANDLE> vessels = OfClass(bench.vessels(), className);
    std::vector<Bytes> update = VesselsUpdate(vessels);
    state.counters["vessels"] = static_cast<double>(vessels.size());
    RunReceiveLoop(state, bench, update);
}

#define HELM_APPLY(function, name, argument) \
    BENCHMARK_CAPTURE(function, name, argument)->UseManualTime()->Unit(benchmark::kMicrosecond)->MinTime(0.2)

HELM_APPLY(ApplyKind, state, Kind::kState);
HELM_APPLY(ApplyKind, extra, Kind::kExtra);
HELM_APPLY(ApplyKind, airfoil, Kind::kAirfoil);
HELM_APPLY(ApplyKind, animation, Kind::kAnimation);
HELM_APPLY(ApplyKind, xr, Kind::kXR);
HELM_APPLY(ApplyKind, text, Kind::kText);

HELM_APPLY(ApplyClass, Shuttle2, std::string("Shuttle2"));
HELM_APPLY(ApplyClass, Capsule1, std::string("Capsule1"));
HELM_APPLY(ApplyClass, Station3, std::string("Station3"));
HELM_APPLY(ApplyClass, Tug0, std::string("Tug0"));
HELM_APPLY(ApplyClass, Freighter2, std::string("Freighter2"));
HELM_APPLY(ApplyClass, XRSample, std::string("XRSample"));

}  // namespace
}  // namespace bench
