// The master module compiled into the benchmark program, loaded in the
// stand-in host with `clients` peers subscribed, and run one update at a
// time as the host's step would run it.
#pragma once

#include <memory>
#include <vector>

#include "BareSockets.h"
#include "BenchWorld.h"
#include "Helmcast.h"

namespace bench {

class MasterBench {
public:
    // Vessels first, then the module; every peer has said hello. Check ready().
    MasterBench(int vessels, int clients, const std::string& extraConfig = "");
    ~MasterBench();

    bool ready() const { return ready_; }
    Helmcast& master() { return *master_; }

    // One post-step callback, inside a host callback round (so what the
    // module sends has left when it returns).
    void update();
    // Every peer acknowledges, as slaves do after each update's end.
    void acknowledge() const;
    // Reads what every peer has received; how many datagrams.
    size_t drainPeers() const;

    // One update's datagrams as the first peer received them, and the
    // peers' addresses: the baseline sends the same.
    const std::vector<Bytes>& recorded() const { return recorded_; }
    const std::vector<sockaddr_in>& peerAddresses() const { return addresses_; }
    int masterFd() const { return static_cast<int>(master_->Socket().Handle()); }
    int port() const { return port_; }

private:
    TempWorkspace workspace_;
    std::vector<std::unique_ptr<UdpPeer>> peers_;
    std::vector<sockaddr_in> addresses_;
    std::vector<Bytes> recorded_;
    Helmcast* master_ = nullptr;
    int port_ = 0;
    bool ready_ = false;
};

// One update of the master module with `vessels` vessels, as a client got it
// (empty when the module was not set up).
std::vector<Bytes> RecordedUpdate(int vessels);

}  // namespace bench
