// Vessel streams a slave must not take: many distinct names from a stranger
// (the slave's sender check), and, played as the slave's own master, many
// distinct names (its maxVessels) or class names that would leave the class
// folders (its file-name check).
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "ForgedMessages.h"
#include "LoopbackSocket.h"
#include "Modes.h"
#include "WireRecords.h"

namespace hostile {

namespace {

constexpr size_t kMaxReceivers = 16;
constexpr int kReadsPerTurn = 256;
constexpr double kSecondsPerDay = 86400.0;

struct NamedClass {
    const char* vessel;
    const char* className;
};

// Each unsafe in its own way; the controls are a class the host knows and
// one it does not (a safe name: the host looks for it and says so).
constexpr NamedClass kUnsafeClasses[] = {
    {"Probe-Up", "../Probe"},     {"Probe-UpBack", "..\\Probe"},  {"Probe-Folder", "Vessels/Probe"},
    {"Probe-Drive", "C:Probe"},   {"Probe-Windows", "C:\\Probe"}, {"Probe-Root", "/etc/Probe"},
    {"Probe-Dots", ".."},         {"Probe-Ctrl", "Probe\x01"},    {"Probe-Escape", "\x1b[2JProbe"},
    {"Probe-Newline", "Pro\nbe"}, {"Probe-Delete", "Probe\x7f"},
};
constexpr NamedClass kControlClasses[] = {{"Control-Known", "Capsule1"}, {"Control-Unknown", "NoSuchClass"}};

bool SameEndpoint(const sockaddr_in& a, const sockaddr_in& b) {
    return a.sin_addr.s_addr == b.sin_addr.s_addr && a.sin_port == b.sin_port;
}

}  // namespace

// fleet: --vessels distinct names, --per-update of them in each of --rate
// updates a second, each name once. classes: the unsafe class names and
// the controls in every update. With --listen the receivers are whoever
// says Hello to that port; without it, --target from a stranger's port.
// Vessels begin --delay after the first receiver (a slave's memory can be
// read before them).
int RunFleet(const Options& o, Tally& tally) {
    std::string error;
    NativeUdpSocket s;
    if (!faulttools::OpenLoopbackSocket(s, o.listenPort, error)) {
        std::fprintf(stderr, "hostile_sender: %s\n", error.c_str());
        return 1;
    }
    std::vector<sockaddr_in> receivers;
    if (o.listenPort == 0) receivers.push_back(o.target);
    const bool classes = o.mode == "classes";
    int32_t seq = 0;
    long named = 0;
    uint64_t updates = 0, vesselMessages = 0;
    const double start = faulttools::MonotonicSeconds();
    double firstReceiver = o.listenPort == 0 ? start : -1.0;
    uint8_t incoming[wire::kMaxDatagram];
    auto toAll = [&](const std::vector<uint8_t>& bytes) {
        for (const sockaddr_in& to : receivers) tally.Count(SendTo(s, bytes, to));
    };
    for (double now = start; now - start < o.seconds && !StopRequested(); now = faulttools::MonotonicSeconds()) {
        // Hellos make receivers (a master's answer needs no Ack here); the rest is read past.
        for (int i = 0; i < kReadsPerTurn; ++i) {
            sockaddr_in from{};
            const int got = s.ReceiveOne(incoming, sizeof incoming, from);
            if (got < 0) break;
            wire::Header header{};
            if (got >= static_cast<int>(sizeof header)) std::memcpy(&header, incoming, sizeof header);
            const bool known = std::any_of(receivers.begin(), receivers.end(),
                                           [&](const sockaddr_in& r) { return SameEndpoint(r, from); });
            if (o.listenPort != 0 && got == static_cast<int>(sizeof header) && header.type == wire::kHello && !known &&
                receivers.size() < kMaxReceivers && faulttools::IsLoopback(from)) {
                receivers.push_back(from);
                if (firstReceiver < 0.0) firstReceiver = now;
            }
        }
        // Until --delay after the first receiver, updates carry no vessel.
        const bool vessels = firstReceiver >= 0.0 && now - firstReceiver >= o.delay;
        if (firstReceiver >= 0.0 && static_cast<double>(updates) < o.rate * (now - firstReceiver)) {
            const double mjd = o.mjd + (now - start) / kSecondsPerDay;
            toAll(ForgedStart(seq++, mjd));
            if (vessels && classes) {
                for (const NamedClass& v : kUnsafeClasses) toAll(ForgedVessel(seq++, mjd, v.vessel, v.className));
                for (const NamedClass& v : kControlClasses) toAll(ForgedVessel(seq++, mjd, v.vessel, v.className));
                vesselMessages += std::size(kUnsafeClasses) + std::size(kControlClasses);
            } else if (vessels) {
                for (long i = 0; i < o.perUpdate && named < o.vessels; ++i, ++named, ++vesselMessages) {
                    char name[32];
                    std::snprintf(name, sizeof name, "Fleet-%05ld", named);
                    toAll(ForgedVessel(seq++, mjd, name));
                }
            }
            toAll(ForgedEnd(seq++));
            ++updates;
        }
        UdpSocket::Waiting readable{&s};
        UdpSocket::WaitReadable(&readable, 1, 5);
    }
    if (classes)
        std::printf("classes: %zu unsafe class names and %zu controls in each of %llu updates to %zu receivers\n",
                    std::size(kUnsafeClasses), std::size(kControlClasses), static_cast<unsigned long long>(updates),
                    receivers.size());
    else
        std::printf("fleet: %llu vessel messages with %ld distinct names in %llu updates to %zu receivers\n",
                    static_cast<unsigned long long>(vesselMessages), named, static_cast<unsigned long long>(updates),
                    receivers.size());
    return 0;
}

}  // namespace hostile
