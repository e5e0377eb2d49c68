// hostile_sender: what a stranger throws at a master's or a slave's port, on
// loopback only, bounded in time and count:
//   junk    invalid datagrams at a rate
//   hellos  a subscription from each of many source ports, once a second
//   forge   well-formed master messages from a stranger (a date, a vessel, a key)
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "ForgedMessages.h"
#include "JunkDatagrams.h"
#include "LoopbackSocket.h"
#include "SeededRandom.h"

namespace {

const char kUsage[] =
    "Usage: hostile_sender MODE --target [HOST:]PORT --seconds S [options]\n"
    "  junk    invalid datagrams (short headers, unknown types, wrong sizes) at --rate N a second\n"
    "  hellos  a Hello from each of --ports N source ports, every --interval S seconds (default 1)\n"
    "  forge   a stranger's date (--mjd D), vessel and key at --rate N a second\n"
    "  --seed N   seed (default: a fresh one, printed)\n"
    "Loopback targets only; at most 3600 s, 100000 datagrams a second, 5000 ports.\n";

constexpr double kMaxSeconds = 3600.0;
constexpr double kMaxRate = 100000.0;
constexpr long kMaxPorts = 5000;
constexpr int kMaxBurst = 2000;

volatile std::sig_atomic_t stopRequested = 0;
void RequestStop(int) { stopRequested = 1; }

struct Options {
    std::string mode;
    sockaddr_in target{};
    double seconds = 0.0;
    double rate = 0.0;
    long ports = 0;
    double interval = 1.0;
    double mjd = 0.0;
    uint64_t seed = 0;
};

struct Tally {
    uint64_t sent = 0, bytes = 0, failed = 0;
    void count(ssize_t result) {
        if (result < 0) {
            ++failed;
        } else {
            ++sent;
            bytes += static_cast<uint64_t>(result);
        }
    }
};

ssize_t SendTo(int socket, const std::vector<uint8_t>& bytes, const sockaddr_in& to) {
    return sendto(socket, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
}

// Calls sendOne rate times a second until the time is up; a late start
// catches up in bursts of bounded size.
void Paced(const Options& o, const std::function<void()>& sendOne) {
    const double start = faulttools::MonotonicSeconds();
    uint64_t done = 0;
    for (double now = start; now - start < o.seconds && !stopRequested; now = faulttools::MonotonicSeconds()) {
        const uint64_t due = static_cast<uint64_t>(o.rate * (now - start));
        for (int burst = 0; done < due && burst < kMaxBurst; ++burst, ++done) sendOne();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

int RunJunk(const Options& o, int socket, Tally& tally) {
    hostile::JunkDatagrams junk(o.seed);
    Paced(o, [&] { tally.count(SendTo(socket, junk.next(), o.target)); });
    return 0;
}

int RunForge(const Options& o, int socket, Tally& tally) {
    faulttools::SplitMix64 random(o.seed);
    int32_t seq = static_cast<int32_t>(random.next());
    int turn = 0;
    Paced(o, [&] {
        std::vector<uint8_t> bytes;
        switch (turn++ % 3) {
            case 0:
                bytes = hostile::ForgedStart(seq++, o.mjd);
                break;
            case 1:
                bytes = hostile::ForgedVessel(seq++, o.mjd, "Intruder");
                break;
            default:
                bytes = hostile::ForgedKeyTap(seq++, 0xFA);
                break;
        }
        tally.count(SendTo(socket, bytes, o.target));
    });
    return 0;
}

// Each port is bound, used and closed again in every round, so that a
// thousand ports cost no open files and no receive buffers fill up with
// what the master sends back.
int RunHellos(const Options& o, Tally& tally) {
    std::vector<uint16_t> ports(static_cast<size_t>(o.ports), 0);
    std::vector<int32_t> seqs(ports.size(), 0);
    const double start = faulttools::MonotonicSeconds();
    for (long round = 0; !stopRequested; ++round) {
        const double roundStart = start + static_cast<double>(round) * o.interval;
        if (roundStart - start >= o.seconds) break;
        while (faulttools::MonotonicSeconds() < roundStart && !stopRequested)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        for (size_t i = 0; i < ports.size() && !stopRequested; ++i) {
            std::string error;
            int s = faulttools::OpenLoopbackSocket(ports[i], error);
            if (s < 0) s = faulttools::OpenLoopbackSocket(0, error);  // the old port was taken meanwhile
            if (s < 0) {
                ++tally.failed;
                continue;
            }
            ports[i] = faulttools::BoundPort(s);
            tally.count(SendTo(s, hostile::ForgedHello(seqs[i]++), o.target));
            close(s);
        }
    }
    return 0;
}

int Fail(const std::string& message) {
    std::fprintf(stderr, "hostile_sender: %s\n%s", message.c_str(), kUsage);
    return 2;
}

bool InRange(const char* text, double low, double high, double& value) {
    char* end = nullptr;
    value = std::strtod(text, &end);
    return end != text && *end == '\0' && value >= low && value <= high;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || std::string(argv[1]) == "--help") {
        std::printf("%s", kUsage);
        return argc < 2 ? 2 : 0;
    }
    Options o;
    o.mode = argv[1];
    if (o.mode != "junk" && o.mode != "hellos" && o.mode != "forge") return Fail("unknown mode " + o.mode);
    std::string seedText;
    bool haveTarget = false;
    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        if (i + 1 >= argc) return Fail("missing value after " + arg);
        const char* value = argv[++i];
        std::string error;
        double number = 0.0;
        if (arg == "--target") {
            if (!faulttools::ParseLoopbackEndpoint(value, o.target, error)) return Fail(error);
            haveTarget = true;
        } else if (arg == "--seconds" && InRange(value, 0.01, kMaxSeconds, number)) {
            o.seconds = number;
        } else if (arg == "--rate" && InRange(value, 0.1, kMaxRate, number)) {
            o.rate = number;
        } else if (arg == "--ports" && InRange(value, 1, kMaxPorts, number)) {
            o.ports = static_cast<long>(number);
        } else if (arg == "--interval" && InRange(value, 0.01, kMaxSeconds, number)) {
            o.interval = number;
        } else if (arg == "--mjd" && InRange(value, -1e308, 1e308, number)) {
            o.mjd = number;
        } else if (arg == "--seed") {
            seedText = value;
        } else {
            return Fail("bad option " + arg + " " + value);
        }
    }
    if (!haveTarget || o.seconds <= 0.0) return Fail("--target and --seconds are needed");
    if (o.mode == "hellos" ? o.ports <= 0 : o.rate <= 0.0)
        return Fail(o.mode == "hellos" ? "--ports is needed" : "--rate is needed");
    if (!faulttools::ChooseSeed(seedText, o.seed)) return Fail(std::string("bad --seed ") + seedText);
    std::signal(SIGTERM, RequestStop);
    std::signal(SIGINT, RequestStop);
    std::printf("hostile_sender: %s to %s for %g s, seed %llu\n", o.mode.c_str(),
                faulttools::FormatEndpoint(o.target).c_str(), o.seconds, static_cast<unsigned long long>(o.seed));
    std::fflush(stdout);

    Tally tally;
    const double start = faulttools::MonotonicSeconds();
    int status = 0;
    if (o.mode == "hellos") {
        status = RunHellos(o, tally);
    } else {
        std::string error;
        const int socket = faulttools::OpenLoopbackSocket(0, error);
        if (socket < 0) {
            std::fprintf(stderr, "hostile_sender: %s\n", error.c_str());
            return 1;
        }
        status = o.mode == "junk" ? RunJunk(o, socket, tally) : RunForge(o, socket, tally);
        close(socket);
    }
    std::printf("hostile_sender: sent %llu datagrams (%llu bytes, %llu not sent) in %.1f s\n",
                static_cast<unsigned long long>(tally.sent), static_cast<unsigned long long>(tally.bytes),
                static_cast<unsigned long long>(tally.failed), faulttools::MonotonicSeconds() - start);
    return status;
}
