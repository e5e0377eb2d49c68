// The trunk's encoding on updates of the master's module: bytes per update
// on the trunk (clear header, tag and echo counted) against the raw
// datagrams, on a clean trunk and with 5 % of the trunk's datagrams and
// acknowledgements lost, and the time to encode and decode, per datagram
// of the master. The vessels move between updates (the host steps 1/25 s).
#include <benchmark/benchmark.h>

#include <chrono>
#include <random>

#include "MasterModule.h"
#include "TrunkCheck.h"
#include "TrunkDecoder.h"
#include "TrunkEncoder.h"
#include "WireRecords.h"

namespace bench {
namespace {

constexpr int kRecordedUpdates = 120;
// A trunk datagram beyond its body: clear header, tag, echo.
constexpr int kOverhead = trunk::kClearHeaderSize + trunk::kTagSize + trunk::kEchoSize;

// Updates as a client of the master receives them, one per host step.
std::vector<std::vector<Bytes>> Record(int vessels) {
    std::vector<std::vector<Bytes>> updates;
    MasterBench master(vessels, 0, "textSyncClasses = Shuttle2 Capsule1\n");
    if (!master.ready()) return updates;
    UdpPeer client;
    const wire::HeaderRecord hello{{wire::kHello, 0}}, ack{{wire::kAck, 0}};
    client.sendTo(master.port(), &hello, sizeof hello);
    simhost::Host& host = simhost::Host::instance();
    std::vector<Bytes> received;
    for (int step = 0; step < kRecordedUpdates + 4; ++step) {
        host.step(0.04);
        received.clear();
        client.drain(&received);
        client.sendTo(master.port(), &ack, sizeof ack);
        // The first steps subscribe; an update is whole from its start to its end.
        if (received.size() < 3 || wire::TypeOf(received.front().data(), 8) != wire::kStart) continue;
        updates.push_back(received);
    }
    return updates;
}

void TrunkCodec(benchmark::State& state) {
    const int vessels = static_cast<int>(state.range(0));
    const int lossPercent = static_cast<int>(state.range(1));
    const std::vector<std::vector<Bytes>> updates = Record(vessels);
    if (updates.size() < 20) {
        state.SkipWithError("no updates recorded");
        return;
    }
    std::mt19937 random(12345);
    double rawBytes = 0, trunkBytes = 0, datagrams = 0, seconds = 0;
    int64_t measured = 0, trunkDatagrams = 0;
    for (auto _ : state) {
        trunk::TrunkEncoder encoder;
        trunk::TrunkDecoder decoder;
        std::vector<trunk::Bytes> bodies;
        for (size_t u = 0; u < updates.size(); ++u) {
            const auto start = std::chrono::steady_clock::now();
            for (const Bytes& message : updates[u]) encoder.Add(message.data(), static_cast<int>(message.size()));
            bodies.clear();
            encoder.FinishUpdate(bodies);
            for (const trunk::Bytes& body : bodies) {
                if (static_cast<int>(random() % 100) < lossPercent) continue;
                trunk::DataBody data;
                if (trunk::ReadData(body.data(), static_cast<int>(body.size()), data) == trunk::Refusal::kNone)
                    decoder.Take(data);
            }
            trunk::AckBody ack;
            if (decoder.TakeAcknowledgement(ack) && static_cast<int>(random() % 100) >= lossPercent)
                encoder.Confirm(ack);
            const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            if (u < 10) continue;  // the first updates have no baseline yet
            seconds += took;
            datagrams += static_cast<double>(updates[u].size());
            for (const Bytes& message : updates[u]) rawBytes += static_cast<double>(message.size());
            for (const trunk::Bytes& body : bodies) trunkBytes += static_cast<double>(body.size() + kOverhead);
            trunkDatagrams += static_cast<int64_t>(bodies.size());
            ++measured;
        }
    }
    state.counters["vessels"] = vessels;
    state.counters["loss_percent"] = lossPercent;
    state.counters["raw_bytes_per_update"] = rawBytes / static_cast<double>(measured);
    state.counters["trunk_bytes_per_update"] = trunkBytes / static_cast<double>(measured);
    state.counters["ratio_percent"] = 100.0 * trunkBytes / rawBytes;
    state.counters["trunk_datagrams_per_update"] = static_cast<double>(trunkDatagrams) / static_cast<double>(measured);
    state.counters["codec_us_per_datagram"] = 1.0e6 * seconds / datagrams;
}

BENCHMARK(TrunkCodec)
    ->Args({6, 0})
    ->Args({6, 5})
    ->Args({100, 0})
    ->Args({100, 5})
    ->ArgNames({"vessels", "loss"})
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace bench
