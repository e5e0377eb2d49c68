#include "Relay.h"

#include <poll.h>

#include <algorithm>
#include <cstring>

#include "MasterAddress.h"
#include "WireRecords.h"

namespace {

std::string Endpoint(uint32_t address, uint16_t port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = address;
    a.sin_port = port;
    return AddressText(a);
}

int32_t TypeOf(const uint8_t* datagram) {
    int32_t type;
    std::memcpy(&type, datagram, sizeof type);
    return type;
}

}  // namespace

Relay::Relay(RelayEvents& events) : events_(events) {}

bool Relay::open(const RelaySettings& settings, std::string& error) {
    master_ = settings.master;
    clients_ = ClientTable(settings.maxClients);
    if (!port_.open(settings.listen, error)) return false;
    fanOut_.attach(port_.fd());
    figures_.listen = AddressText(port_.address());
    figures_.maxClients = settings.maxClients;
    return LinkWatch::open(settings.master, error);
}

void Relay::step(double now) {
    service(now);
    fanOut_.flush(clients_.receivers());
    takeClientDatagrams(now);
    dropSilentClients(now);
    reportDue(now);
}

void Relay::wait(double seconds) const {
    pollfd readable[2] = {{fd(), POLLIN, 0}, {port_.fd(), POLLIN, 0}};
    ::poll(readable, 2, static_cast<int>(std::clamp(seconds * 1000.0, 0.0, 1000.0)));
}

bool Relay::onMessage(const uint8_t* datagram, int length, double now) {
    const bool taken = LinkWatch::onMessage(datagram, length, now);
    const LinkTally::Take take = lastTake();
    // Copies and numbers too old to judge stop here; every new number goes
    // on, also one of an update already behind, so that the slaves count
    // it as arrived, not lost.
    if (take != LinkTally::Take::kFresh && take != LinkTally::Take::kLate) return taken;
    const int32_t type = TypeOf(datagram);
    if (!heardMaster_) {
        heardMaster_ = true;
        events_.say("first message from the master %s", AddressText(master_).c_str());
    }
    if (type == wire::kStart && take == LinkTally::Take::kFresh) clients_.admitNewcomers();
    fanOut_.add(datagram, length, clients_.receivers());
    if (type == wire::kEnd) {
        // An update leaves as soon as its end has come.
        fanOut_.flush(clients_.receivers());
        ++figures_.updates;
    }
    return taken;
}

void Relay::takeClientDatagrams(double now) {
    for (int i = 0; i < kMaxClientDatagramsPerStep; ++i) {
        sockaddr_in from{};
        const int length = port_.receive(from);
        if (length < 0) return;
        const wire::Rejection why = wire::CheckDatagram(port_.data(), length);
        if (why != wire::Rejection::kNone) {
            // Read past it: one bad datagram must not keep the good ones waiting.
            ++figures_.notMessages;
            figures_.lastRejection = why;
            rejected_.Count(from.sin_addr.s_addr, from.sin_port, wire::RejectionText(why));
            continue;
        }
        takeClientMessage(port_.data(), length, from, now);
    }
}

void Relay::takeClientMessage(const uint8_t* datagram, int length, const sockaddr_in& from, double now) {
    switch (TypeOf(datagram)) {
        case wire::kHello:
            switch (clients_.hello(from, now)) {
                case ClientTable::Hello::kSubscribed:
                    ++figures_.subscriptions;
                    events_.say("client %s subscribed (%zu of %d)", AddressText(from).c_str(),
                                clients_.clients().size(), clients_.maxClients());
                    break;
                case ClientTable::Hello::kRefused:
                    ++figures_.refused;
                    refused_.Count(from.sin_addr.s_addr, from.sin_port);
                    break;
                case ClientTable::Hello::kAlreadyClient:
                    break;
            }
            break;
        case wire::kAck:
            // An Ack of a sender that is no client is ignored, as a master ignores it.
            if (!clients_.ack(from, now)) ++figures_.notFromClients;
            break;
        case wire::kKeyboard:
            passKeysUp(datagram, length, from);
            break;
        default:
            ++figures_.notForMaster;
            break;
    }
}

void Relay::passKeysUp(const uint8_t* datagram, int length, const sockaddr_in& from) {
    wire::KeyboardRecord keys;
    std::memcpy(&keys, datagram, sizeof keys);
    const int32_t count = wire::CutCount(keys.keyCount, wire::kMaxKeys);
    // A slave that forwards keys sends a message every step, mostly empty:
    // only events travel on, and only those of clients.
    if (count == 0) return;
    if (!clients_.isClient(from)) {
        ++figures_.notFromClients;
        strangers_.Count(from.sin_addr.s_addr, from.sin_port, "keys");
        return;
    }
    sendToMaster(datagram, length);
    ++figures_.keyMessages;
    figures_.keyEvents += count;
}

void Relay::dropSilentClients(double now) {
    for (const ClientTable::Client& client : clients_.dropSilent(now)) {
        ++figures_.timeouts;
        events_.say("client %s timed out (no Ack for %.0f s)", AddressText(client.address).c_str(),
                    ClientTable::kTimeoutSeconds);
    }
}

void Relay::reportDue(double now) {
    if (refused_.Due(now)) {
        const ThrottledReport::Summary s = refused_.Take(now);
        events_.say("refused %d subscriptions, the client table is full (maxClients=%d); last from %s", s.count,
                    clients_.maxClients(), Endpoint(s.address, s.port).c_str());
    }
    if (rejected_.Due(now)) {
        const ThrottledReport::Summary s = rejected_.Take(now);
        events_.say("ignored %d datagrams that are no message; last: %s, from %s", s.count, s.reason,
                    Endpoint(s.address, s.port).c_str());
    }
    if (strangers_.Due(now)) {
        const ThrottledReport::Summary s = strangers_.Take(now);
        events_.say("ignored %d key messages of senders that are no client; last from %s", s.count,
                    Endpoint(s.address, s.port).c_str());
    }
    // The master's figures cost a snapshot: looked at once a second.
    if (now < nextRestartCheck_) return;
    nextRestartCheck_ = now + 1.0;
    const int64_t restarts = snapshot(now).link.restarts;
    if (restarts > restartsSeen_) {
        restartsSeen_ = restarts;
        events_.say("the master numbers its messages afresh (it restarted)");
    }
}

RelaySnapshot Relay::relaySnapshot(double now) const {
    RelaySnapshot s;
    s.upstream = snapshot(now);
    s.relay = figures_;
    const FanOut::Figures& sent = fanOut_.figures();
    s.relay.datagrams = sent.datagrams;
    s.relay.bytes = sent.bytes;
    s.relay.sends = sent.sends;
    s.relay.failedSends = sent.failed;
    for (const ClientTable::Client& c : clients_.clients()) {
        s.clients.push_back({AddressText(c.address), now - c.subscribedAt, now - c.lastContact, c.acks, c.joined});
    }
    return s;
}
