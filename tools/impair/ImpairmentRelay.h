// The impairment relay: a slave talks to the relay's listening port as if it
// were the master; the relay forwards to the master from a socket of its own
// per slave address (as a router's address translation would, so a restarted
// slave is a new client to the master) and sends the master's replies back.
// Each direction passes through its own LinkImpairment.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Impairment.h"
#include "PendingDatagrams.h"
#include "UdpSocket.h"
#include "UpdateWatch.h"

namespace impair {

struct ImpairmentRelayOptions {
    uint16_t listenPort = 0;
    sockaddr_in master{};
    double seconds = 0.0;
    uint64_t seed = 0;
    LinkSettings toMaster;  // slave -> master ("up")
    LinkSettings toSlave;   // master -> slave ("down")
    std::string statsFile;
};

class ImpairmentRelay {
public:
    explicit ImpairmentRelay(const ImpairmentRelayOptions& options);

    // Runs until the time is up or a stop signal arrives. 0, or 1 when a
    // socket could not be opened.
    int Run();

    // The counts as JSON: seed, settings, per direction, peers.
    std::string StatisticsJson() const;

private:
    struct Peer {
        sockaddr_in slave{};
        std::unique_ptr<NativeUdpSocket> upstream;
        double firstSeenWall = 0.0;
        UpdateWatch updates;  // what was sent to it
        double firstUpdateWall = 0.0;
    };
    enum Direction { kUp = 0, kDown = 1 };

    Peer* PeerFor(const sockaddr_in& slave);
    void ReadSocket(UdpSocket& socket, Direction direction, const Peer* peer);
    void Admit(Direction direction, UdpSocket& from, const sockaddr_in& to, const uint8_t* data, size_t length);
    void SendDue(double now);
    void WatchUpdate(const PendingDatagram& datagram, double now);

    ImpairmentRelayOptions options_;
    LinkImpairment links_[2];
    PendingDatagrams pending_;
    NativeUdpSocket listen_;
    std::vector<Peer> peers_;
    uint64_t refusedPeers_ = 0;
    uint64_t foreignReplies_ = 0;
    std::vector<uint8_t> buffer_;
};

}  // namespace impair
