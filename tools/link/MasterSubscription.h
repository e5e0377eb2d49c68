// One client of a master, subscribed the way a slave subscribes: a
// HelloMessage at once and then once a second, and an AckMessage after each
// update's EndMessage taken in. Every datagram passes the protocol core's
// receive checks (the sender is the master, the length fits the type, the
// applied values are numbers) before a listener sees it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Subscription.h"
#include "UdpSocket.h"
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
        virtual bool OnMessage(const uint8_t* datagram, int length, double now) = 0;
    };

    // A socket on loopback for a master on loopback, on all local addresses
    // otherwise; the system chooses the port.
    bool Open(const sockaddr_in& master, std::string& error);
    const UdpSocket& Socket() const { return socket_; }
    const sockaddr_in& Master() const { return master_; }

    // Sends the HelloMessage when one is due.
    void Renew(double now);
    double NextRenewal() const { return subscription_.NextHelloSeconds(); }

    // Reads what is queued now (at most kMaxDatagramsPerPump); the number read.
    int Pump(Listener& listener, double now);

    // A message of this client to the master, numbered by this client's
    // own counter like its Hellos and Acks (a relay passes its slaves' key
    // events upstream this way). Nothing is sent for fewer bytes than a
    // header or more than the largest message.
    void SendToMaster(const uint8_t* message, int length);

    const IgnoredDatagrams& Ignored() const { return ignored_; }
    int64_t Acknowledgements() const { return acks_; }

private:
    void Send(int32_t type);

    NativeUdpSocket socket_;
    sockaddr_in master_{};
    int32_t sequence_ = 0;  // this client's own numbering
    Subscription subscription_;
    IgnoredDatagrams ignored_;
    int64_t acks_ = 0;
    std::vector<uint8_t> buffer_;
    std::vector<uint8_t> outgoing_;
};
