// Where the master's time goes: capture of one message of each kind, and of
// all messages of one vessel of each bundled class. Nothing is sent.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "AllocationCounter.h"
#include "BenchWorld.h"
#include "MessageKinds.h"
#include "VesselCapture.h"

namespace bench {
namespace {

// A message the master's update builds on the stack.
template <class M>
void OnTheStack(OBJHANDLE vessel) {
    M message(vessel);
    benchmark::DoNotOptimize(message.payload());
}

// The message of `kind` for `vessel`, built as the master's update builds it
// (the dynamic state refilled in the capture's own messages, the others on
// the stack).
void CaptureOne(Kind kind, OBJHANDLE vessel) {
    switch (kind) {
        case Kind::kState: {
            static StateCapture states;
            benchmark::DoNotOptimize(states.Capture(vessel));
            break;
        }
        case Kind::kExtra:
            return OnTheStack<VesselExtraMessage>(vessel);
        case Kind::kAirfoil:
            return OnTheStack<AirfoilMessage>(vessel);
        case Kind::kAnimation:
            return OnTheStack<AnimationMessage>(vessel);
        case Kind::kXR:
            return OnTheStack<XRMessage>(vessel);
        case Kind::kText: {
            // The master keeps the text message on the heap: 64 KiB.
            std::unique_ptr<VesselStateMessage> message(new VesselStateMessage(vessel));
            benchmark::DoNotOptimize(message->payload());
            break;
        }
    }
}

struct CaptureWorld {
    CaptureWorld() {
        ResetHost(workspace);
        vessels = AddVessels(static_cast<int>(BundledClasses().size()));
    }
    ~CaptureWorld() { simhost::Host::instance().reset(); }
    TempWorkspace workspace;
    std::vector<OBJHANDLE> vessels;
};

// One message per iteration, the vessels of every bundled class in turn.
void CaptureKind(benchmark::State& state, Kind kind) {
    CaptureWorld world;
    size_t next = 0;
    for (int i = 0; i < 10; ++i) CaptureOne(kind, world.vessels[static_cast<size_t>(i) % world.vessels.size()]);
    const HeapCounts before = HeapSnapshot();
    for (auto _ : state) {
        CaptureOne(kind, world.vessels[next]);
        if (++next == world.vessels.size()) next = 0;
    }
    const HeapDelta heap = HeapSnapshot() - before;
    const double n = static_cast<double>(state.iterations());
    state.counters["alloc_bytes"] = n > 0 ? static_cast<double>(heap.bytesRequested) / n : 0.0;
}

// Every message the update carries for one vessel (the text aside).
void CaptureClass(benchmark::State& state, const std::string& className) {
    CaptureWorld world;
    const std::vector<OBJHANDLE> found = OfClass(world.vessels, className);
    if (found.empty()) {
        state.SkipWithError("no vessel of the class");
        return;
    }
    const Kind kinds[] = {Kind::kState, Kind::kExtra, Kind::kAirfoil, Kind::kAnimation, Kind::kXR};
    for (auto _ : state)
        for (Kind kind : kinds) CaptureOne(kind, found[0]);
}

BENCHMARK_CAPTURE(CaptureKind, state, Kind::kState)->MinTime(0.2);
BENCHMARK_CAPTURE(CaptureKind, extra, Kind::kExtra)->MinTime(0.2);
BENCHMARK_CAPTURE(CaptureKind, airfoil, Kind::kAirfoil)->MinTime(0.2);
BENCHMARK_CAPTURE(CaptureKind, animation, Kind::kAnimation)->MinTime(0.2);
BENCHMARK_CAPTURE(CaptureKind, xr, Kind::kXR)->MinTime(0.2);
BENCHMARK_CAPTURE(CaptureKind, text, Kind::kText)->MinTime(0.2);

BENCHMARK_CAPTURE(CaptureClass, Shuttle2, std::string("Shuttle2"))->MinTime(0.2);
BENCHMARK_CAPTURE(CaptureClass, Capsule1, std::string("Capsule1"))->MinTime(0.2);
BENCHMARK_CAPTURE(CaptureClass, Station3, std::string("Station3"))->MinTime(0.2);
BENCHMARK_CAPTURE(CaptureClass, Tug0, std::string("Tug0"))->MinTime(0.2);
BENCHMARK_CAPTURE(CaptureClass, Freighter2, std::string("Freighter2"))->MinTime(0.2);
BENCHMARK_CAPTURE(CaptureClass, XRSample, std::string("XRSample"))->MinTime(0.2);

}  // namespace
}  // namespace bench
