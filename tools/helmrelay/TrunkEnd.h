// What both ends of the trunk do alike: one UDP socket, a run drawn at
// start and a counter for the datagrams sent, the seal, and the reading of
// datagrams: whatever fails the clear header or does not authenticate is
// dropped unread, counted and reported at most once a second.
#pragma once

#include <cstdint>
#include <string>

#include "DownstreamPort.h"
#include "PeerRun.h"
#include "RelayEvents.h"
#include "ThrottledReport.h"
#include "TrunkCheck.h"
#include "TrunkFigures.h"
#include "TrunkSeal.h"
#include "TrunkSettings.h"

class TrunkEnd {
public:
    // Datagrams one turn reads at most.
    static constexpr int kMaxDatagramsPerTurn = 1024;
    // A peer heard from less recently than this is gone.
    static constexpr double kSilenceSeconds = 3.0;

    explicit TrunkEnd(RelayEvents& events);
    virtual ~TrunkEnd() = default;

    const UdpSocket& Socket() const { return port_.Socket(); }
    const TrunkFigures& Figures() const { return figures_; }

protected:
    // The key (or none, when insecure) and the socket.
    bool OpenEnd(const TrunkSettings& settings, const sockaddr_in& local, std::string& error);

    struct Arrival {
        trunk::Kind kind;
        sockaddr_in from;
        uint64_t run;
        uint64_t counter;
        uint64_t echo;  // the run the sender meant it for
        const uint8_t* rest;
        int length;
    };
    // The next datagram that authenticates, or false when nothing is queued
    // (or a turn's worth has been read).
    bool Receive(Arrival& arrival);
    void Send(trunk::Kind kind, uint64_t echo, const uint8_t* rest, int length, const sockaddr_in& to);
    // Authenticated, but seen before or of a run that is over.
    void CountReplay(const sockaddr_in& from);
    void ReportDue(double now);

    RelayEvents& events_;
    TrunkFigures figures_;
    const uint64_t run_;
    int64_t lastSentBytes_ = 0;

private:
    trunk::TrunkSeal seal_;
    DownstreamPort port_;
    uint64_t counter_ = 0;
    int readThisTurn_ = 0;
    trunk::Bytes outgoing_;
    trunk::Bytes body_;
    ThrottledReport unauthenticated_;
    ThrottledReport replayed_;
};
