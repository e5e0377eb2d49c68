// The trunk's end beside the slaves: it subscribes to the near end with a
// Hello once a second, restores the master's datagrams byte for byte from
// what arrives (TrunkDecoder) and hands each, once it passes the master's
// message checks, to the relay as if it came from the master; updates
// restored whole are acknowledged, and key messages of the relay's clients
// go up.
//
// It takes data only when it names this end's run (the near end heard this
// run's Hello): nothing recorded before this end started gets in. A near
// end that starts again is followed; one left behind is never taken back.
#pragma once

#include "MasterSubscription.h"
#include "TrunkDecoder.h"
#include "TrunkEnd.h"

class TrunkFar : public TrunkEnd {
public:
    static constexpr double kHelloSeconds = 1.0;

    explicit TrunkFar(RelayEvents& events) : TrunkEnd(events) {}

    bool Open(const TrunkSettings& settings, std::string& error);

    // A Hello when due, then what the near end sent: each restored message
    // that passes the receive checks goes to `listener`.
    void Pump(double now, MasterSubscription::Listener& listener);
    double NextHello() const { return nextHello_; }
    // A KeyboardMessage of a client, up to the master.
    void SendKeys(const uint8_t* message, int length);

private:
    void TakeData(const Arrival& arrival, double now, MasterSubscription::Listener& listener);
    void SendHello();

    sockaddr_in near_{};
    trunk::TrunkDecoder decoder_;
    trunk::PeerRun peer_;
    double nextHello_ = -1.0e300;
    ThrottledReport failures_;
};
