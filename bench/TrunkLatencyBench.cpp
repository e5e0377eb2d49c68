// The latency a trunk hop adds on loopback: from the master's send of each
// datagram to its arrival in the slave's socket (the kernel's receive time
// stamp), through a near and a far helmrelay joined by a sealed trunk,
// against the same datagrams through one plain relay, at 60 updates a
// second. The master is played here with the datagrams of a real update.
#include <benchmark/benchmark.h>

#include <chrono>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "HopLatency.h"
#include "MasterModule.h"
#include "WireRecords.h"

namespace bench {
namespace {

void TrunkLatency(benchmark::State& state) {
    const std::vector<Bytes> update = RecordedUpdate(static_cast<int>(state.range(0)));
    const std::string key = std::string(HELM_BENCH_BIN_DIR) + "/../bench-trunk.key";
    std::ofstream(key) << "00112233445566778899aabbccddeeff00112233445566778899aabbccddeeff\n";
    UdpPeer master, slave;
    StampArrivals(slave);
    const int trunkPort = FreePort(), farPort = FreePort(), relayPort = FreePort();
    int32_t sequence = 0;
    const wire::HeaderRecord slaveHello{{wire::kHello, 0}};
    Latencies trunk, plain;
    for (auto _ : state) {
        {
            RelayProcess near({Loopback(master.port()), "--trunk-listen", Loopback(trunkPort), "--trunk-key", key});
            RelayProcess far({"--trunk", Loopback(trunkPort), "--trunk-key", key, "--listen", Loopback(farPort)});
            sockaddr_in upstream{};
            if (update.empty() || !near.started() || !far.started() || !Subscribed(master, upstream)) {
                state.SkipWithError("no update recorded or no near end subscribed");
                return;
            }
            // The far end subscribes once a second: the slave after it.
            std::this_thread::sleep_for(std::chrono::milliseconds(1200));
            slave.sendTo(farPort, &slaveHello, sizeof slaveHello);
            trunk = Measure(master, slave, upstream, farPort, update, sequence);
        }
        master.drain();
        slave.drain();
        RelayProcess relay({Loopback(master.port()), "--listen", Loopback(relayPort)});
        sockaddr_in upstream{};
        if (!relay.started() || !Subscribed(master, upstream)) {
            state.SkipWithError("no relay subscribed");
            return;
        }
        slave.sendTo(relayPort, &slaveHello, sizeof slaveHello);
        plain = Measure(master, slave, upstream, relayPort, update, sequence);
    }
    ReportAdded(state, update, "trunk", trunk, "relay", plain);
}

BENCHMARK(TrunkLatency)->Arg(10)->ArgName("vessels")->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace bench
