#include "LinkWatch.h"

#include <cstring>

#include "MasterAddress.h"

bool LinkWatch::Open(const sockaddr_in& master, std::string& error) {
    opened_ = false;
    return subscription_.Open(master, error);
}

void LinkWatch::Service(double now) {
    if (!opened_) {
        opened_ = true;
        openedAt_ = now;
    }
    subscription_.Renew(now);
    subscription_.Pump(*this, now);
}

bool LinkWatch::OnMessage(const uint8_t* datagram, int length, double now) {
    wire::Header header;
    std::memcpy(&header, datagram, sizeof header);
    const LinkTally::Verdict take = tally_.Take(header.seq, header.type, length, now);
    lastTake_ = take;
    if (take == LinkTally::Verdict::kFresh || take == LinkTally::Verdict::kLate) {
        picture_.Apply(datagram, length, take == LinkTally::Verdict::kFresh, now);
    }
    return take == LinkTally::Verdict::kFresh;
}

LinkSnapshot LinkWatch::Snapshot(double now) const {
    LinkSnapshot s;
    s.master = AddressText(subscription_.Master());
    s.watchedSeconds = opened_ ? now - openedAt_ : 0.0;
    s.link = tally_.Figures(now);
    s.ignored = subscription_.Ignored();
    s.acknowledgements = subscription_.Acknowledgements();
    s.simulation = picture_.Simulation();
    s.vessels = picture_.Vessels(now);
    return s;
}
