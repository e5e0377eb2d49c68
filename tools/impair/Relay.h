// The impairment relay: a slave talks to the relay's listening port as if it
// were the master; the relay forwards to the master from a socket of its own
// per slave address (as a router's address translation would, so a restarted
// slave is a new client to the master) and sends the master's replies back.
// Each direction passes through its own LinkImpairment.
#pragma once

#include <netinet/in.h>

#include <cstdint>
#include <string>
#include <vector>

#include "Impairment.h"
#include "PendingDatagrams.h"
#include "UpdateWatch.h"

namespace impair {

struct RelayOptions {
    uint16_t listenPort = 0;
    sockaddr_in master{};
    double seconds = 0.0;
    uint64_t seed = 0;
    LinkSettings toMaster;  // slave -> master ("up")
    LinkSettings toSlave;   // master -> slave ("down")
    std::string statsFile;
};

class Relay {
public:
    explicit Relay(const RelayOptions& options);
    ~Relay();

    // Runs until the time is up or a stop signal arrives. 0, or 1 when a
    // socket could not be opened.
    int run();

    // The counts as JSON: seed, settings, per direction, peers.
    std::string statisticsJson() const;

private:
    struct Peer {
        sockaddr_in slave{};
        int upstream = -1;
        double firstSeenWall = 0.0;
        UpdateWatch updates;  // what was sent to it
        double firstUpdateWall = 0.0;
    };
    enum Direction { kUp = 0, kDown = 1 };

    Peer* peerFor(const sockaddr_in& slave);
    void readSocket(int socket, Direction direction, const Peer* peer);
    void admit(Direction direction, int fromSocket, const sockaddr_in& to, const uint8_t* data, size_t length);
    void sendDue(double now);
    void watchUpdate(const PendingDatagram& datagram, double now);

    RelayOptions options_;
    LinkImpairment links_[2];
    PendingDatagrams pending_;
    int listenSocket_ = -1;
    std::vector<Peer> peers_;
    uint64_t refusedPeers_ = 0;
    uint64_t foreignReplies_ = 0;
    std::vector<uint8_t> buffer_;
};

}  // namespace impair
