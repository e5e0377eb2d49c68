#include "HopLatency.h"

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
#include <thread>
#include <utility>

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

}  // namespace

bool WaitReadable(int fd, int ms) {
    pollfd readable{fd, POLLIN, 0};
    return ::poll(&readable, 1, ms) > 0;
}

RelayProcess::RelayProcess(std::vector<std::string> args) {
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

RelayProcess::~RelayProcess() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    int status = 0;
    ::waitpid(pid_, &status, 0);
}

void StampArrivals(const UdpPeer& slave) {
    const int one = 1;
    ::setsockopt(slave.fd(), SOL_SOCKET, SO_TIMESTAMPNS, &one, sizeof one);
}

int FreePort() {
    UdpPeer probe;  // a port free a moment ago
    return probe.port();
}

std::string Loopback(int port) { return "127.0.0.1:" + std::to_string(port); }

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

void ReportAdded(benchmark::State& state, const std::vector<Bytes>& update, const std::string& hop,
                 const Latencies& through, const std::string& base, const Latencies& baseline) {
    state.counters["vessels"] = static_cast<double>(state.range(0));
    state.counters["datagrams"] = static_cast<double>(update.size());
    state.counters["samples"] = static_cast<double>(through.us.size());
    for (const auto& [name, fraction] : {std::pair<std::string, double>{"median", 0.5}, {"p99", 0.99}}) {
        const double withHop = Percentile(through.us, fraction), without = Percentile(baseline.us, fraction);
        state.counters[hop + "_" + name + "_us"] = withHop;
        state.counters[base + "_" + name + "_us"] = without;
        state.counters["added_" + name + "_us"] = withHop - without;
    }
    state.counters["lost"] = static_cast<double>(through.lost + baseline.lost);
}

bool Subscribed(const UdpPeer& master, sockaddr_in& upstream) {
    socklen_t length = sizeof upstream;
    uint8_t hello[16];
    return WaitReadable(master.fd(), 3000) &&
           ::recvfrom(master.fd(), hello, sizeof hello, 0, reinterpret_cast<sockaddr*>(&upstream), &length) == 8;
}

}  // namespace bench
