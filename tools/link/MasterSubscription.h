// One client of a master, subscribed the way a slave subscribes: a
// HelloMessage at once and then once a second, and an AckMessage after each
// update's EndMessage taken in. Every datagram passes the protocol core's
// receive checks (the sender is the master, the length fits the type, the
// applied values are numbers) before a listener sees it.
#pragma once

#include <netinet/in.h>

#include <cstdint>
#include <string>
#include <vector>

#include "Subscription.h"
#include "WireCheck.h"

struct IgnoredDatagrams {
    int64_t foreign = 0;      // not from the master
    int64_t notMessages = 0;  // from the master, but no message
    wire::Rejection lastRejection = wire::Rejection::kNone;
};

class MasterSubscription {
public:
    // A flood cannot hold one pump longer than this many datagrams.
    static constexpr int kMaxDatagramsPerPump = 4096;

    class Listener {
    public:
        virtual ~Listener() = default;
        // A message of the master; true when it is taken in (so that an
        // EndMessage taken in is acknowledged).
        virtual bool onMessage(const uint8_t* datagram, int length, double now) = 0;
    };

    MasterSubscription() = default;
    ~MasterSubscription();
    MasterSubscription(const MasterSubscription&) = delete;
    MasterSubscription& operator=(const MasterSubscription&) = delete;

    // A socket on loopback for a master on loopback, on all local addresses
    // otherwise; the system chooses the port.
    bool open(const sockaddr_in& master, std::string& error);
    int fd() const { return fd_; }
    const sockaddr_in& master() const { return master_; }

    // Sends the HelloMessage when one is due.
    void renew(double now);
    double nextRenewal() const { return subscription_.NextHelloSeconds(); }

    // Reads what is queued now (at most kMaxDatagramsPerPump); the number read.
    int pump(Listener& listener, double now);

    // A message of this client to the master, numbered by this client's
    // own counter like its Hellos and Acks (a relay passes its slaves' key
    // events upstream this way). Nothing is sent for fewer bytes than a
    // header or more than the largest message.
    void sendToMaster(const uint8_t* message, int length);

    const IgnoredDatagrams& ignored() const { return ignored_; }
    int64_t acknowledgements() const { return acks_; }

private:
    void send(int32_t type);

    int fd_ = -1;
    sockaddr_in master_{};
    int32_t sequence_ = 0;  // this client's own numbering
    Subscription subscription_;
    IgnoredDatagrams ignored_;
    int64_t acks_ = 0;
    std::vector<uint8_t> buffer_;
    std::vector<uint8_t> outgoing_;
};
