// Everything the relay's view and JSON snapshot show, at one moment: the
// link to its master as helmscope sees a master, and its own side.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "LinkSnapshot.h"
#include "TrunkFigures.h"
#include "WireCheck.h"

struct RelayFigures {
    std::string listen;  // "address:port"
    int maxClients = 0;
    // Passed on from the master
    int64_t datagrams = 0;  // each to every client
    int64_t bytes = 0;
    int64_t updates = 0;  // EndMessages passed on
    int64_t sends = 0;    // datagrams that left, one per client
    int64_t failedSends = 0;
    // The clients
    int64_t subscriptions = 0;
    int64_t timeouts = 0;
    int64_t refused = 0;      // Hellos while the table was full
    int64_t keyMessages = 0;  // passed up to the master
    int64_t keyEvents = 0;
    // Not taken from the clients' side
    int64_t notMessages = 0;     // failed the receive checks
    int64_t notFromClients = 0;  // Acks and keys of senders that are no client
    int64_t notForMaster = 0;    // messages only a master sends
    wire::Rejection lastRejection = wire::Rejection::kNone;
};

struct ClientRow {
    std::string address;
    double subscribedSeconds = 0.0;  // since its subscription
    double sinceContact = 0.0;       // since its last Ack (or its subscription)
    int64_t acks = 0;
    bool joined = false;  // receives updates (from the first update start after subscribing)
};

struct RelaySnapshot {
    LinkSnapshot upstream;
    RelayFigures relay;
    std::vector<ClientRow> clients;
    TrunkFigures trunk;  // active when the relay is an end of a trunk
};
