// What the hostile sender's modes share: the options of one run, a tally of
// what was sent, pacing, and the modes beyond junk, hellos and forge.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "UdpSocket.h"

namespace hostile {

struct Options {
    std::string mode;
    sockaddr_in target{};
    uint16_t listenPort = 0;  // fleet and classes: play the master on this port instead
    double seconds = 0.0;
    double rate = 0.0;
    long ports = 0;
    double interval = 1.0;
    long count = 0;  // Hellos per port (reflect; 0: one every --interval)
    double delay = 0.05;
    double mjd = 0.0;
    long vessels = 0;
    long perUpdate = 100;
    int code = 0xFA;  // scan code of forged keys
    uint64_t seed = 0;
};

struct Tally {
    uint64_t sent = 0, bytes = 0, failed = 0;
    void Count(const SocketTransfer& result) {
        if (result.outcome != SocketOutcome::kDone) {
            ++failed;
        } else {
            ++sent;
            bytes += static_cast<uint64_t>(result.bytes);
        }
    }
};

SocketTransfer SendTo(UdpSocket& socket, const std::vector<uint8_t>& bytes, const sockaddr_in& to);
// Calls sendOne `rate` times a second until the time is up or a stop is
// asked; a late start catches up in bursts of bounded size.
void Paced(const Options& o, const std::function<void()>& sendOne);
bool StopRequested();

// Subscribers that never become good clients (Subscribers.cpp).
int RunHelloFlood(const Options& o, Tally& tally);
int RunHelloAck(const Options& o, Tally& tally);
int RunReflect(const Options& o, Tally& tally);
int RunKeys(const Options& o, Tally& tally);
int RunHelloKeys(const Options& o, Tally& tally);
// A vessel stream: at a slave from a stranger, or as a slave's master (FakeMaster.cpp).
int RunFleet(const Options& o, Tally& tally);

}  // namespace hostile
