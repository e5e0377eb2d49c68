// What the latency benchmarks of a relay and of a trunk share: a helmrelay
// process, and the measurement of an update's datagrams from the master's
// send to their arrival in the slave's socket (the kernel's receive time
// stamp), at 60 updates a second.
#pragma once

#include <netinet/in.h>
#include <sys/types.h>

#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

#include "BareSockets.h"

namespace bench {

// A helmrelay with these arguments (the program's own name is added); ends
// by itself too.
class RelayProcess {
public:
    explicit RelayProcess(std::vector<std::string> args);
    ~RelayProcess();
    RelayProcess(const RelayProcess&) = delete;
    RelayProcess& operator=(const RelayProcess&) = delete;
    bool started() const { return pid_ > 0; }

private:
    pid_t pid_ = -1;
};

struct Latencies {
    std::vector<double> us;  // one per datagram that arrived
    size_t lost = 0;
};

// The slave's socket stamps each datagram's arrival.
void StampArrivals(const UdpPeer& slave);
// `update` sent from `master` to `target` for a few updates to warm up, then
// measured; read at `slave`, whose Acks go to `ackPort` (0: none).
Latencies Measure(const UdpPeer& master, const UdpPeer& slave, const sockaddr_in& target, int ackPort,
                  std::vector<Bytes> update, int32_t& sequence);
double Percentile(std::vector<double> values, double fraction);
// The counters of `through`, a hop's latencies, against `baseline`'s over
// the same `update`: the median and 99th percentile of each (named
// `hop`_median_us, `base`_p99_us, ...), what the hop adds (added_...), the
// hop's samples, what both lost, the update's datagrams and its vessels
// (the benchmark's argument).
void ReportAdded(benchmark::State& state, const std::vector<Bytes>& update, const std::string& hop,
                 const Latencies& through, const std::string& base, const Latencies& baseline);
// Where a relay subscribed from (its Hello to `master`): to play the master to it.
bool Subscribed(const UdpPeer& master, sockaddr_in& upstream);
bool WaitReadable(int fd, int ms);
// A port free a moment ago, and "127.0.0.1:PORT".
int FreePort();
std::string Loopback(int port);

}  // namespace bench
