// Who receives a master's updates: the rules a master and a relay keep their
// clients by, in one place. Plain data in, verdicts out; the callers send,
// log and count. Host-free and platform-free.
//
// A Hello from an address that is not a client makes it unconfirmed: it is
// answered with one datagram no larger than the Hello, the next update's
// EndMessage (the same bytes and number as every client's), so a forged
// sender cannot turn a small datagram into a large reply. The first Ack that
// comes from it after that answer confirms it: from the next update on it is
// a client and gets every update in full. Existing slaves Ack a lone
// EndMessage and say Hello again every second, so they notice nothing but a
// first update one interval later.
//
// Unconfirmed addresses wait in a pool of their own (the oldest leaves when
// it is full), so a flood of Hellos takes no client's place. Clients are
// capped in all (maxClients) and per source address; when either cap is
// reached, a newcomer takes the place of the client that acknowledges the
// fewest updates, if that one acknowledges fewer than half of them. A client
// that acknowledges fewer than one update in four over kAckWindowSeconds
// goes back to unconfirmed, and one silent for more than the time-out goes.
// Hellos of clients change nothing; only Acks keep them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "AllowList.h"
#include "Endpoint.h"
#include "ProtocolConstants.h"

struct ClientRules {
    static constexpr int kDefaultMaxClients = protocol::kDefaultMaxClients;
    // Room for a LAN of slaves behind one NAT.
    static constexpr int kDefaultMaxClientsPerAddress = protocol::kDefaultMaxClientsPerAddress;
    static constexpr double kDefaultSilenceSeconds = protocol::kClientSilenceSeconds;

    int maxClients = kDefaultMaxClients;
    int maxClientsPerAddress = kDefaultMaxClientsPerAddress;
    // Unconfirmed addresses kept at most: far more than one update interval
    // of a 10,000-Hellos-a-second flood, so a genuine Hello is still there
    // when the update's end answers it.
    size_t maxUnconfirmed = 4096;
    double silenceSeconds = kDefaultSilenceSeconds;  // without an Ack, a client goes
    AllowList allowed;                               // empty: anyone
};

class ClientTable {
public:
    // Acknowledgements are judged over windows of this length.
    static constexpr double kAckWindowSeconds = 2.0;
    // A window with fewer updates says nothing about a client.
    static constexpr int32_t kMinUpdatesToJudge = 4;
    static constexpr int32_t kNotAwaited = -1;

    struct Client {
        Endpoint endpoint;
        double confirmedSeconds = 0.0;
        double lastContactSeconds = 0.0;  // its last Ack, or its confirmation
        // Acks in this update's receive phase; kNotAwaited for a client
        // confirmed during it, whose acknowledgement is not waited for.
        int32_t acksThisUpdate = kNotAwaited;
        int64_t acks = 0;
        bool joined = false;  // receives updates
        double windowStartSeconds = 0.0;
        int32_t windowUpdates = 0;
        int32_t windowAcks = 0;
        int32_t previousUpdates = 0;
        int32_t previousAcks = 0;
    };

    enum class HelloVerdict { kAnswer, kAlreadyClient, kNotAllowed };
    enum class AckVerdict { kCounted, kConfirmed, kRefused, kStranger };
    enum class Leaving { kSilent, kFewAcks, kDisplaced };
    struct Departure {
        Client client;
        size_t position;  // in Clients() when it left
        Leaving why;
    };

    explicit ClientTable(const ClientRules& rules = ClientRules());
    ~ClientTable();
    ClientTable(ClientTable&&) noexcept;
    ClientTable& operator=(ClientTable&&) noexcept;

    HelloVerdict Hello(const Endpoint& from, double now);
    AckVerdict Ack(const Endpoint& from, double now);
    bool IsClient(const Endpoint& from) const { return Find(from) >= 0; }

    // ---- One update ----
    // At its start: the clients confirmed since the last one receive it.
    void Join();
    // Where its datagrams go: the joined clients, in order of confirmation.
    const std::vector<Endpoint>& Receivers() const { return receivers_; }
    // Unconfirmed addresses that said Hello since the last end, answered
    // with this update's end; they count as answered from now on.
    const std::vector<Endpoint>& TakeAnswers();
    // Once its end went out: each joined client owes an Ack; clients whose
    // window is over are judged.
    void EndSent(double now);
    // Clients silent for more than the time-out leave, in order.
    void DropSilent(double now);
    // Everyone who left since the last call, and why.
    std::vector<Departure> TakeDepartures();

    const std::vector<Client>& Clients() const { return clients_; }
    const ClientRules& Rules() const { return rules_; }
    size_t Unconfirmed() const;

private:
    class Pool;
    int Find(const Endpoint& from) const;
    int CountAt(uint32_t address) const;
    // The client to make room for a newcomer (among those of `address`, or
    // all when `anyAddress`), or -1 when every one acknowledges well.
    int Displaceable(uint32_t address, bool anyAddress) const;
    void Remove(size_t position, Leaving why);
    // Drops answers to addresses the pool has let go.
    void ForgetGoneAnswers();
    void Rebuild();

    ClientRules rules_;
    std::vector<Client> clients_;
    std::vector<Endpoint> receivers_;
    std::vector<Departure> departures_;
    std::vector<Endpoint> answers_;   // wanted since the last end
    std::vector<Endpoint> answered_;  // the last end's
    std::unique_ptr<Pool> pool_;
};
