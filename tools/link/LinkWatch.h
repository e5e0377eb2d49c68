// A client of one master that keeps the figures of its link and the picture
// of its simulation: the subscription, the tally and the picture together.
// A program drives it from its own loop: renew, pump when the socket is
// readable, snapshot when it wants to show something.
#pragma once

#include <string>

#include "LinkSnapshot.h"
#include "LinkTally.h"
#include "MasterPicture.h"
#include "MasterSubscription.h"
#include "SocketAddress.h"

class LinkWatch : protected MasterSubscription::Listener {
public:
    bool Open(const sockaddr_in& master, std::string& error);
    const UdpSocket& Socket() const { return subscription_.Socket(); }

    // Hello when due, then whatever is queued. `now` on a steady clock, s.
    void Service(double now);
    double NextRenewal() const { return subscription_.NextRenewal(); }

    LinkSnapshot Snapshot(double now) const;

protected:
    // Each message of the master that passed the receive checks: counted,
    // pictured, and true when taken in (an EndMessage is then acknowledged).
    // A program that forwards the master's datagrams overrides this and
    // calls it.
    bool OnMessage(const uint8_t* datagram, int length, double now) override;
    // How the message just passed to OnMessage was judged (a forwarder
    // passes on every new number, also those of an update already behind).
    LinkTally::Verdict LastTake() const { return lastTake_; }
    // See MasterSubscription::SendToMaster.
    void SendToMaster(const uint8_t* message, int length) { subscription_.SendToMaster(message, length); }

private:
    MasterSubscription subscription_;
    LinkTally tally_;
    MasterPicture picture_;
    double openedAt_ = 0.0;
    bool opened_ = false;
    LinkTally::Verdict lastTake_ = LinkTally::Verdict::kFresh;
};
