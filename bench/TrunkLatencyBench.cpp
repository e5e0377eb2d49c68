// The latency a trunk hop adds on loopback: from the master's send of each
// datagram to its arrival in the slave's socket (the kernel's receive time
// stamp), through a near and a far helmrelay joined by a sealed trunk,
// against the same datagrams through one plain relay, at 60 updates a
// second. The master is played here with the datagrams of a real update.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "MasterModule.h"
#include "WireRecords.h"

extern char** environ;

namespace bench {
namespace {

constexpr int kWarmUpdates = 10;
constexpr int kMeasuredUpdates = 240;
constexpr double kUpdatesPerSecond = 60.0;

int64_t RealtimeNs() {
    timespec t{};
    ::clock_gettime(CLOCK_REALTIME, &t);
    return static_cast<int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
}

bool WaitReadable(int fd, int ms) {
    pollfd readable{fd, POLLIN, 0};
    return ::poll(&readable, 1, ms) > 0;
}

// A helmrelay with these arguments; ends by itself too.
class RelayProcess {
public:
    explicit RelayProcess(std::vector<std::string> args) {
        const std::string program = std::string(HELM_BENCH_BIN_DIR) + "/helmrelay";
        args.insert(args.begin(), program);
        for (const char* more : {"--seconds", "60", "--quiet"}) args.push_back(more);
        std::vector<char*> argv;
        for (std::string& arg : args) argv.push_back(arg.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        if (posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~RelayProcess() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGTERM);
        int status = 0;
        ::waitpid(pid_, &status, 0);
    }
    bool started() const { return pid_ > 0; }

private:
    pid_t pid_ = -1;
};

int FreePort() {
    UdpPeer probe;  // a port free a moment ago
    return probe.port();
}

std::string Loopback(int port) { return "127.0.0.1:" + std::to_string(port); }

struct Latencies {
    std::vector<double> us;  // one per datagram that arrived
    size_t lost = 0;
};

// `update` sent from `master` to `target` kMeasuredUpdates times (after a
// few to warm up), read at `slave`; the slave's Acks go to `ackPort` (0: none).
Latencies Measure(const UdpPeer& master, const UdpPeer& slave, const sockaddr_in& target, int ackPort,
                  std::vector<Bytes> update, int32_t& sequence) {
    Latencies result;
    std::vector<int64_t> sentAt(update.size());
    std::vector<uint8_t> buffer(wire::kMaxDatagram);
    const wire::HeaderRecord ack{{wire::kAck, 0}};
    const auto period = std::chrono::duration<double>(1.0 / kUpdatesPerSecond);
    auto next = std::chrono::steady_clock::now();
    for (int u = 0; u < kWarmUpdates + kMeasuredUpdates; ++u) {
        const int32_t first = sequence;
        for (size_t i = 0; i < update.size(); ++i) {
            std::memcpy(update[i].data() + offsetof(wire::Header, seq), &sequence, sizeof sequence);
            ++sequence;
            sentAt[i] = RealtimeNs();
            ::sendto(master.fd(), update[i].data(), update[i].size(), 0, reinterpret_cast<const sockaddr*>(&target),
                     sizeof target);
        }
        size_t arrived = 0;
        while (arrived < update.size() && WaitReadable(slave.fd(), 100)) {
            char control[CMSG_SPACE(sizeof(timespec))];
            iovec vector{buffer.data(), buffer.size()};
            msghdr message{};
            message.msg_iov = &vector;
            message.msg_iovlen = 1;
            message.msg_control = control;
            message.msg_controllen = sizeof control;
            if (::recvmsg(slave.fd(), &message, MSG_DONTWAIT) < 8) continue;
            int32_t seq;
            std::memcpy(&seq, buffer.data() + offsetof(wire::Header, seq), sizeof seq);
            const int64_t index = static_cast<int64_t>(seq) - first;
            if (index < 0 || index >= static_cast<int64_t>(update.size())) continue;  // of an earlier update
            ++arrived;
            const cmsghdr* stamp = CMSG_FIRSTHDR(&message);
            if (stamp == nullptr || stamp->cmsg_type != SCM_TIMESTAMPNS || u < kWarmUpdates) continue;
            timespec at;
            std::memcpy(&at, CMSG_DATA(stamp), sizeof at);
            const int64_t received = static_cast<int64_t>(at.tv_sec) * 1000000000 + at.tv_nsec;
            result.us.push_back(static_cast<double>(received - sentAt[index]) / 1000.0);
        }
        if (u >= kWarmUpdates) result.lost += update.size() - arrived;
        if (ackPort != 0) slave.sendTo(ackPort, &ack, sizeof ack);
        master.drain();
        next += std::chrono::duration_cast<std::chrono::steady_clock::duration>(period);
        std::this_thread::sleep_until(next);
    }
    return result;
}

double Percentile(std::vector<double> values, double fraction) {
    if (values.empty()) return 0.0;
    std::sort(values.begin(), values.end());
    return values[static_cast<size_t>(fraction * static_cast<double>(values.size() - 1))];
}

// Where the first relay subscribed from, to play the master to it.
bool Subscribed(const UdpPeer& master, sockaddr_in& upstream) {
    socklen_t length = sizeof upstream;
    uint8_t hello[16];
    return WaitReadable(master.fd(), 3000) &&
           ::recvfrom(master.fd(), hello, sizeof hello, 0, reinterpret_cast<sockaddr*>(&upstream), &length) == 8;
}

void TrunkLatency(benchmark::State& state) {
    const int vessels = static_cast<int>(state.range(0));
    std::vector<Bytes> update;
    {
        MasterBench recorder(vessels, 1);
        if (recorder.ready()) update = recorder.recorded();
    }
    const std::string key = std::string(HELM_BENCH_BIN_DIR) + "/../bench-trunk.key";
    std::ofstream(key) << "00112233445566778899aabbccddeeff00112233445566778899aabbccddeeff\n";
    UdpPeer master, slave;
    const int one = 1;
    ::setsockopt(slave.fd(), SOL_SOCKET, SO_TIMESTAMPNS, &one, sizeof one);
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
    state.counters["vessels"] = vessels;
    state.counters["datagrams"] = static_cast<double>(update.size());
    state.counters["samples"] = static_cast<double>(trunk.us.size());
    state.counters["trunk_median_us"] = Percentile(trunk.us, 0.5);
    state.counters["trunk_p99_us"] = Percentile(trunk.us, 0.99);
    state.counters["relay_median_us"] = Percentile(plain.us, 0.5);
    state.counters["relay_p99_us"] = Percentile(plain.us, 0.99);
    state.counters["added_median_us"] = Percentile(trunk.us, 0.5) - Percentile(plain.us, 0.5);
    state.counters["added_p99_us"] = Percentile(trunk.us, 0.99) - Percentile(plain.us, 0.99);
    state.counters["lost"] = static_cast<double>(trunk.lost + plain.lost);
}

BENCHMARK(TrunkLatency)->Arg(10)->ArgName("vessels")->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace bench
