// The fan-out relay: upstream one client of a master (a Hello at once and
// every second, an Ack for each complete update passed on), downstream a
// master to its own clients (the master's client table: the same
// subscription, confirmation, acknowledgement, time-out and cap rules, the
// same receive checks). Every new
// datagram of the master goes to every client with its bytes unchanged,
// sequence numbers included, so the slaves' loss figures stay end to end.
// Key events of the clients go up to the master, numbered as the relay's
// own messages. A relay can subscribe to a relay.
//
// A program drives it from its own loop: step, then wait for either socket.
// Each step reads at most a bounded number of datagrams on either side, so
// a flood on one side cannot hold the other.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "ClientTable.h"
#include "DownstreamPort.h"
#include "FanOut.h"
#include "LinkWatch.h"
#include "RelayEvents.h"
#include "RelaySnapshot.h"
#include "RelayTrunk.h"
#include "ThrottledReport.h"

struct RelaySettings {
    sockaddr_in master{};
    sockaddr_in listen{};
    int maxClients = ClientRules::kDefaultMaxClients;
    int maxClientsPerAddress = ClientRules::kDefaultMaxClientsPerAddress;
    std::string allowedClients;  // empty: anyone
    // A trunk to another relay: beside the master (near end) it sends every
    // update encoded over the trunk; beside the slaves (far end) the trunk
    // takes the master's place. Clients are served as ever.
    TrunkSettings trunk{};
    bool serveClients = true;  // a near end serves clients of its own only when given a port
};

class Relay : public LinkWatch {
public:
    // Client datagrams one step reads at most.
    static constexpr int kMaxClientDatagramsPerStep = 1024;

    explicit Relay(RelayEvents& events);

    bool Open(const RelaySettings& settings, std::string& error);
    const UdpSocket& ListenSocket() const { return port_.Socket(); }
    const sockaddr_in& ListenAddress() const { return port_.Address(); }

    // One turn: the master's datagrams passed on, the clients' datagrams
    // taken in, silent clients dropped, summaries reported when due.
    void Step(double now);
    // Waits until any of its sockets has something or `seconds` have passed.
    void Wait(double seconds) const;
    // When the next Hello upstream is due.
    double NextRenewal() const { return trunk_.IsFar() ? trunk_.NextHello() : LinkWatch::NextRenewal(); }

    // The upstream link's figures with the relay's own, the trunk's and the clients'.
    RelaySnapshot WholeSnapshot(double now) const;

protected:
    bool OnMessage(const uint8_t* datagram, int length, double now) override;

private:
    void TakeClientDatagrams(double now);
    void TakeClientMessage(const uint8_t* datagram, int length, const sockaddr_in& from, double now);
    void PassKeysUp(const uint8_t* datagram, int length, int32_t count, const sockaddr_in& from);
    void DropSilentClients(double now);
    void ReportDepartures(double now);
    // The client table's receivers as socket addresses, after any change.
    void RefreshReceivers();
    // A line about one client, unless they come faster than a few a second.
    bool ClientLineAllowed(double now, const Endpoint& about, const char* what);
    void ReportDue(double now);

    RelayEvents& events_;
    sockaddr_in master_{};
    ClientTable clients_;
    std::vector<sockaddr_in> receivers_;
    std::vector<sockaddr_in> answers_;
    DownstreamPort port_;
    FanOut fanOut_;
    RelayFigures figures_;
    int64_t restartsSeen_ = 0;
    double nextRestartCheck_ = 0.0;
    bool heardMaster_ = false;
    ThrottledReport refused_;
    ThrottledReport rejected_;
    ThrottledReport strangers_;
    ThrottledReport notAllowed_;
    ThrottledReport linesHeld_;
    LineBudget lines_{5};
    RelayTrunk trunk_;
};
