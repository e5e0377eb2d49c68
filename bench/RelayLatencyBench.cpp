// The latency one relay adds on loopback: from the master's send of each
// datagram to its arrival in the slave's socket (the kernel's receive time
// stamp), through a helmrelay process, against the same datagrams sent to
// the slave directly, at 60 updates a second. The master is played here
// with the datagrams of a real update; the slave acknowledges each update.
#include <benchmark/benchmark.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "HopLatency.h"
#include "MasterModule.h"
#include "WireRecords.h"

namespace bench {
namespace {

void RelayLatency(benchmark::State& state) {
    const std::vector<Bytes> update = RecordedUpdate(static_cast<int>(state.range(0)));
    UdpPeer master, slave;
    StampArrivals(slave);
    const int listenPort = FreePort();
    RelayProcess relay({Loopback(master.port()), "--listen", Loopback(listenPort)});
    // The relay's Hello tells where it listens for the master's datagrams.
    sockaddr_in relayUpstream{};
    const bool subscribed = relay.started() && Subscribed(master, relayUpstream);
    if (update.empty() || !subscribed) {
        state.SkipWithError("no update recorded or no relay subscribed");
        return;
    }
    const wire::HeaderRecord slaveHello{{wire::kHello, 0}};
    slave.sendTo(listenPort, &slaveHello, sizeof slaveHello);

    int32_t sequence = 0;
    Latencies through, direct;
    for (auto _ : state) {
        through = Measure(master, slave, relayUpstream, listenPort, update, sequence);
        direct = Measure(master, slave, slave.address(), 0, update, sequence);
    }
    ReportAdded(state, update, "relay", through, "direct", direct);
}

BENCHMARK(RelayLatency)->Arg(10)->ArgName("vessels")->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace bench
