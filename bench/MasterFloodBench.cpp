// The master's whole update with 64 confirmed clients, with and without a
// flood of Hellos from changing ports, in turns in one loop. The flood's
// datagrams are queued between updates as they would arrive: at 1,000 a
// second and 30 updates a second, 33 Hellos wait in the master's socket at
// each update, each from a port not seen before, each answered at the next
// update's end.
#include <arpa/inet.h>
#include <sys/socket.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <deque>
#include <vector>

#include "Loopback.h"
#include "MasterModule.h"
#include "Measure.h"
#include "WireRecords.h"

namespace bench {
namespace {

constexpr int kClients = 64;
constexpr double kUpdatesPerSecond = 30.0;

// Hellos from fresh ports. A port stays open until the update after the
// one that answers it, so the answer finds it, as a spoofed address's
// answer would leave without an error coming back.
class HelloFlood {
public:
    explicit HelloFlood(int perUpdate) : perUpdate_(perUpdate) {}
    ~HelloFlood() {
        for (const std::vector<int>& round : rounds_)
            for (int fd : round) ::close(fd);
    }

    // One update's worth queued at the master's port; the oldest ports closed.
    void queue(int port) {
        if (perUpdate_ == 0) return;
        std::vector<int> round;
        const wire::HeaderRecord hello{{wire::kHello, 0}};
        const sockaddr_in to = LoopbackAddress(port);
        for (int i = 0; i < perUpdate_; ++i) {
            const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
            const sockaddr_in local = LoopbackAddress(0);
            if (fd < 0 || ::bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
                if (fd >= 0) ::close(fd);
                ++failed_;
                continue;
            }
            if (::sendto(fd, &hello, sizeof hello, 0, reinterpret_cast<const sockaddr*>(&to), sizeof to) < 0) ++failed_;
            round.push_back(fd);
        }
        rounds_.push_back(std::move(round));
        if (rounds_.size() > 3) {
            for (int fd : rounds_.front()) ::close(fd);
            rounds_.pop_front();
        }
    }
    int failed() const { return failed_; }

private:
    int perUpdate_;
    int failed_ = 0;
    std::deque<std::vector<int>> rounds_;
};

void MasterUnderHelloFlood(benchmark::State& state) {
    const int vessels = static_cast<int>(state.range(0));
    const int hellosPerSecond = static_cast<int>(state.range(1));
    const int perUpdate = static_cast<int>(hellosPerSecond / kUpdatesPerSecond + 0.5);
    MasterBench bench(vessels, kClients);
    if (!bench.ready()) {
        state.SkipWithError("master or peers not set up");
        return;
    }
    HelloFlood flood(perUpdate);
    const size_t perClient = bench.recorded().size();
    double missing = 0.0;
    // One update: the flood's Hellos (or none) queued with the clients' Acks.
    auto update = [&](bool flooded) {
        bench.acknowledge();
        if (flooded) flood.queue(bench.port());
        const double seconds = Timed([&] { bench.update(); });
        missing += static_cast<double>(perClient * kClients) - static_cast<double>(bench.drainPeers());
        return seconds;
    };
    // Warm-up: the pool of unconfirmed addresses fills up, as under a long flood.
    for (int i = 0; i < 4096 / std::max(perUpdate, 1) + 10; ++i) update(true);

    // In turns, so that what else the machine does weighs on both alike:
    // kTurn updates under the flood, then kTurn without. The first of each
    // run is left out: it answers the other run's Hellos, or none.
    constexpr int kTurn = 8;
    double floodSeconds = 0.0, quietSeconds = 0.0;
    int64_t measured = 0;
    for (auto _ : state) {
        double turn = 0.0;
        for (int i = 0; i < kTurn; ++i) {
            const double seconds = update(true);
            if (i > 0) turn += seconds;
        }
        for (int i = 0; i < kTurn; ++i) {
            const double seconds = update(false);
            if (i > 0) quietSeconds += seconds;
        }
        floodSeconds += turn;
        measured += kTurn - 1;
        state.SetIterationTime(turn / (kTurn - 1));
    }
    const double n = static_cast<double>(measured);
    state.counters["vessels"] = vessels;
    state.counters["clients"] = static_cast<double>(bench.master().Table().Clients().size());
    state.counters["hellos_per_s"] = hellosPerSecond;
    state.counters["hellos_per_update"] = perUpdate;
    state.counters["quiet_us"] = n > 0 ? quietSeconds / n * 1e6 : 0.0;
    state.counters["ratio"] = quietSeconds > 0 ? floodSeconds / quietSeconds : 0.0;
    state.counters["unconfirmed"] = static_cast<double>(bench.master().Table().Unconfirmed());
    // Datagrams a client should have had and did not, and Hellos not sent:
    // either would make the comparison meaningless.
    state.counters["missing"] = missing + flood.failed();
}

BENCHMARK(MasterUnderHelloFlood)
    ->ArgsProduct({{1, 10}, {1000}})
    ->ArgNames({"vessels", "hellos_per_s"})
    ->Apply(TimedByHandInMicroseconds)
    ->MinTime(1.0);

}  // namespace
}  // namespace bench
