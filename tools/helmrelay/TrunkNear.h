// The trunk's end beside the master: it listens for one far end, which
// subscribes with a Hello once a second, and sends it every update of the
// master encoded (TrunkEncoder), acknowledgements of the far end making its
// baselines; key events the far end passes up go on to the master.
//
// Which far end it serves: while it has one that proved itself (a Hello
// or Ack that names this end's run, so it heard this run's updates) within
// the last three seconds, only that one; otherwise the next that says
// Hello. A far end left behind is never taken back.
#pragma once

#include <functional>
#include <vector>

#include "TrunkEncoder.h"
#include "TrunkEnd.h"

class TrunkNear : public TrunkEnd {
public:
    // An update whose end does not come within this is sent as it is.
    static constexpr double kLongestUpdate = 0.5;

    explicit TrunkNear(RelayEvents& events) : TrunkEnd(events) {}

    bool Open(const TrunkSettings& settings, std::string& error);

    // Every new datagram of the master (fresh: of the update being sent;
    // otherwise a late one of an update already behind).
    void OnMasterMessage(const uint8_t* datagram, int length, bool fresh, double now);
    // What the far end sent; key messages go to `keysUp`.
    void Pump(double now, const std::function<void(const uint8_t*, int)>& keysUp);
    // Time-outs, an update that ends no more, reports.
    void Tick(double now);

private:
    void FlushUpdate();
    void SendBodies();
    bool PeerLive(double now) const { return peer_.Known() && now - lastContact_ <= kSilenceSeconds; }
    void TakeHello(const Arrival& arrival, double now);

    trunk::TrunkEncoder encoder_;
    trunk::PeerRun peer_;
    sockaddr_in peerAddress_{};
    bool serving_ = false;  // updates go to the peer
    bool proven_ = false;
    double lastContact_ = -1.0e300;
    double gatheringSince_ = 0.0;
    std::vector<trunk::Bytes> bodies_;
};
