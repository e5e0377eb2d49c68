// hostile_sender: what a stranger throws at a master's, a relay's or a
// slave's port, on loopback only, bounded in time and count:
//   junk        invalid datagrams at a rate
//   hellos      a subscription from each of many source ports, once a second
//   forge       well-formed master messages from a stranger (a date, a vessel, a key)
//   hello-flood Hellos at a rate, each from a port of its own
//   hello-ack   ports that say Hello and acknowledge once a round
//   reflect     Hellos that never acknowledge; the bytes that come back
//   keys        key taps from a port that never subscribed and from fresh ports
//   hello-keys  a Hello, then key taps, never an acknowledgement
//   fleet       many vessels of distinct names, from a stranger or as the master
//   classes     vessels of class names that are no safe file names, as the master
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
#include "Modes.h"
#include "SeededRandom.h"

namespace {

using hostile::Options;
using hostile::Tally;

const char kUsage[] =
    "Usage: hostile_sender MODE --target [HOST:]PORT --seconds S [options]\n"
    "  junk        invalid datagrams (short headers, unknown types, wrong sizes) at --rate N a second\n"
    "  hellos      a Hello from each of --ports N source ports, every --interval S seconds (default 1)\n"
    "  forge       a stranger's date (--mjd D), vessel and key at --rate N a second\n"
    "  hello-flood --rate N Hellos a second, each from a fresh port\n"
    "  hello-ack   --ports N ports, each a Hello every --interval S (default 1) and one Ack after it\n"
    "  reflect     --ports N (default 1) ports, --count K Hellos each (0: every --interval), never an Ack;\n"
    "              prints the bytes that came back per port\n"
    "  keys        key taps (--code C, default 0xFA) at --rate N from one port, and one from each of\n"
    "              --ports N fresh ports\n"
    "  hello-keys  --rate N fresh ports a second: a Hello, --delay S later (default 0.05) a key tap\n"
    "  fleet       --vessels N distinct names, --per-update M (default 100) in --rate N updates a second\n"
    "  classes     vessels of unsafe class names and two controls, --rate N updates a second\n"
    "              fleet and classes: --target from a stranger, or --listen PORT as the master of\n"
    "              whoever says Hello there, vessels from --delay S after the first; --mjd D the date\n"
    "              at the start\n"
    "  --seed N   seed (default: a fresh one, printed)\n"
    "Loopback only; at most 3600 s, 100000 datagrams a second, 5000 ports, 100000 vessels.\n";

constexpr double kMaxSeconds = 3600.0;
constexpr double kMaxRate = 100000.0;
constexpr long kMaxPorts = 5000;
constexpr long kMaxVessels = 100000;
constexpr int kMaxBurst = 2000;

volatile std::sig_atomic_t stopRequested = 0;
void RequestStop(int) { stopRequested = 1; }

}  // namespace

namespace hostile {

SocketTransfer SendTo(UdpSocket& socket, const std::vector<uint8_t>& bytes, const sockaddr_in& to) {
    return socket.SendTo(bytes.data(), static_cast<int>(bytes.size()), to);
}

bool StopRequested() { return stopRequested != 0; }

void Paced(const Options& o, const std::function<void()>& sendOne) {
    const double start = faulttools::MonotonicSeconds();
    uint64_t done = 0;
    for (double now = start; now - start < o.seconds && !stopRequested; now = faulttools::MonotonicSeconds()) {
        const uint64_t due = static_cast<uint64_t>(o.rate * (now - start));
        for (int burst = 0; done < due && burst < kMaxBurst; ++burst, ++done) sendOne();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

}  // namespace hostile

namespace {

using hostile::Paced;
using hostile::SendTo;

int RunJunk(const Options& o, UdpSocket& socket, Tally& tally) {
    hostile::JunkDatagrams junk(o.seed);
    Paced(o, [&] { tally.Count(SendTo(socket, junk.Next(), o.target)); });
    return 0;
}

int RunForge(const Options& o, UdpSocket& socket, Tally& tally) {
    faulttools::SplitMix64 random(o.seed);
    int32_t seq = static_cast<int32_t>(random.Next());
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
        tally.Count(SendTo(socket, bytes, o.target));
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
            NativeUdpSocket s;
            // The old port may have been taken meanwhile: then another.
            if (!faulttools::OpenLoopbackSocket(s, ports[i], error) && !faulttools::OpenLoopbackSocket(s, 0, error)) {
                ++tally.failed;
                continue;
            }
            ports[i] = faulttools::BoundPort(s);
            tally.Count(SendTo(s, hostile::ForgedHello(seqs[i]++), o.target));
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

struct Mode {
    const char* name;
    bool needsRate, needsPorts, mayListen;
};
constexpr Mode kModes[] = {
    {"junk", true, false, false},        {"hellos", false, true, false},     {"forge", true, false, false},
    {"hello-flood", true, false, false}, {"hello-ack", false, true, false},  {"reflect", false, false, false},
    {"keys", true, false, false},        {"hello-keys", true, false, false}, {"fleet", true, false, true},
    {"classes", true, false, true},
};

int Run(const Options& o, Tally& tally) {
    if (o.mode == "hellos") return RunHellos(o, tally);
    if (o.mode == "hello-flood") return hostile::RunHelloFlood(o, tally);
    if (o.mode == "hello-ack") return hostile::RunHelloAck(o, tally);
    if (o.mode == "reflect") return hostile::RunReflect(o, tally);
    if (o.mode == "keys") return hostile::RunKeys(o, tally);
    if (o.mode == "hello-keys") return hostile::RunHelloKeys(o, tally);
    if (o.mode == "fleet" || o.mode == "classes") return hostile::RunFleet(o, tally);
    std::string error;
    NativeUdpSocket socket;
    if (!faulttools::OpenLoopbackSocket(socket, 0, error)) {
        std::fprintf(stderr, "hostile_sender: %s\n", error.c_str());
        return 1;
    }
    return o.mode == "junk" ? RunJunk(o, socket, tally) : RunForge(o, socket, tally);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || std::string(argv[1]) == "--help") {
        std::printf("%s", kUsage);
        return argc < 2 ? 2 : 0;
    }
    Options o;
    o.mode = argv[1];
    const Mode* mode = nullptr;
    for (const Mode& m : kModes)
        if (o.mode == m.name) mode = &m;
    if (mode == nullptr) return Fail("unknown mode " + o.mode);
    std::string seedText;
    bool haveTarget = false;
    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        if (i + 1 >= argc) return Fail("missing value after " + arg);
        const char* value = argv[++i];
        std::string error;
        double number = 0.0;
        if (arg == "--target" || arg == "--listen") {
            sockaddr_in address;
            if (!faulttools::ParseLoopbackEndpoint(value, address, error)) return Fail(error);
            if (arg == "--listen") {
                o.listenPort = ntohs(address.sin_port);
            } else {
                o.target = address;
                haveTarget = true;
            }
        } else if (arg == "--seconds" && InRange(value, 0.01, kMaxSeconds, number)) {
            o.seconds = number;
        } else if (arg == "--rate" && InRange(value, 0.1, kMaxRate, number)) {
            o.rate = number;
        } else if (arg == "--ports" && InRange(value, 1, kMaxPorts, number)) {
            o.ports = static_cast<long>(number);
        } else if (arg == "--interval" && InRange(value, 0.01, kMaxSeconds, number)) {
            o.interval = number;
        } else if (arg == "--count" && InRange(value, 0, 1e6, number)) {
            o.count = static_cast<long>(number);
        } else if (arg == "--delay" && InRange(value, 0, 10, number)) {
            o.delay = number;
        } else if (arg == "--vessels" && InRange(value, 1, kMaxVessels, number)) {
            o.vessels = static_cast<long>(number);
        } else if (arg == "--per-update" && InRange(value, 1, 1000, number)) {
            o.perUpdate = static_cast<long>(number);
        } else if (arg == "--code" && InRange(value, 1, 255, number)) {
            o.code = static_cast<int>(number);
        } else if (arg == "--mjd" && InRange(value, -1e308, 1e308, number)) {
            o.mjd = number;
        } else if (arg == "--seed") {
            seedText = value;
        } else {
            return Fail("bad option " + arg + " " + value);
        }
    }
    const bool listening = mode->mayListen && o.listenPort != 0;
    if ((!haveTarget && !listening) || o.seconds <= 0.0) return Fail("--target (or --listen) and --seconds are needed");
    if (mode->needsRate && o.rate <= 0.0) return Fail("--rate is needed");
    if (mode->needsPorts && o.ports <= 0) return Fail("--ports is needed");
    if (o.mode == "fleet" && o.vessels <= 0) return Fail("--vessels is needed");
    if (!faulttools::ChooseSeed(seedText, o.seed)) return Fail(std::string("bad --seed ") + seedText);
    std::signal(SIGTERM, RequestStop);
    std::signal(SIGINT, RequestStop);
    const std::string where = listening ? "master on 127.0.0.1:" + std::to_string(o.listenPort)
                                        : "to " + faulttools::FormatEndpoint(o.target);
    std::printf("hostile_sender: %s %s for %g s, seed %llu\n", o.mode.c_str(), where.c_str(), o.seconds,
                static_cast<unsigned long long>(o.seed));
    std::fflush(stdout);

    Tally tally;
    const double start = faulttools::MonotonicSeconds();
    const int status = Run(o, tally);
    std::printf("hostile_sender: sent %llu datagrams (%llu bytes, %llu not sent) in %.1f s\n",
                static_cast<unsigned long long>(tally.sent), static_cast<unsigned long long>(tally.bytes),
                static_cast<unsigned long long>(tally.failed), faulttools::MonotonicSeconds() - start);
    return status;
}
