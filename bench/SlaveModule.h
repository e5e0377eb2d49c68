// The slave module compiled into the benchmark program, loaded in the
// stand-in host with mirror vessels already in place (the steady state),
// subscribed to a peer on 127.0.0.1 that plays the master.
#pragma once

#include <vector>

#include "BareSockets.h"
#include "BenchWorld.h"
#include "Helmecho.h"
#include "UpdateBuilder.h"

namespace bench {

class SlaveBench {
public:
    explicit SlaveBench(int vessels);
    ~SlaveBench();

    bool ready() const { return ready_; }
    const std::vector<OBJHANDLE>& vessels() const { return vessels_; }
    int slaveFd() const { return static_cast<int>(slave_->Socket().Handle()); }

    // Numbers the datagrams on from the last ones and puts them in the
    // slave's receive queue.
    void queue(std::vector<Bytes>& datagrams);
    // One post-step callback, inside a host callback round: the slave takes
    // in the queued update and acknowledges it.
    void receive();
    // Bytes still queued for the slave, as the module would see them.
    unsigned long pending() const;
    // Reads what the slave sent the master; how many datagrams.
    size_t drainMaster() const { return master_.drain(); }

private:
    TempWorkspace workspace_;
    UdpPeer master_;
    std::vector<OBJHANDLE> vessels_;
    Helmecho* slave_ = nullptr;
    int slavePort_ = 0;
    int32_t nextSeq_ = 0;
    bool ready_ = false;
};

}  // namespace bench
