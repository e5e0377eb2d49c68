#include "Relay.h"

#include <algorithm>

#include "ClientTakeIn.h"
#include "MasterAddress.h"
#include "SocketAddress.h"
#include "WireCheck.h"
#include "WireRecords.h"

Relay::Relay(RelayEvents& events) : events_(events), trunk_(events) {}

bool Relay::Open(const RelaySettings& settings, std::string& error) {
    master_ = settings.master;
    ClientRules rules;
    rules.maxClients = settings.maxClients;
    rules.maxClientsPerAddress = settings.maxClientsPerAddress;
    rules.allowed = AllowList(settings.allowedClients);
    clients_ = ClientTable(rules);
    RefreshReceivers();
    if (settings.serveClients) {
        if (!port_.Open(settings.listen, error)) return false;
        fanOut_.Attach(port_.Socket());
        figures_.listen = AddressText(port_.Address());
    } else {
        figures_.listen = "(no clients of its own)";
    }
    figures_.maxClients = settings.maxClients;
    if (!trunk_.Open(settings.trunk, error)) return false;
    // A far end's trunk is its master: no subscription of its own.
    if (trunk_.IsFar()) return true;
    return LinkWatch::Open(settings.master, error);
}

void Relay::Step(double now) {
    Service(now);
    trunk_.PumpFar(now, *this);
    trunk_.PumpNear(now, [this](const uint8_t* keys, int length) {
        SendToMaster(keys, length);
        ++figures_.keyMessages;
        figures_.keyEvents += ClientTakeIn::Screen(keys, length).keyEvents;
    });
    fanOut_.Flush(receivers_);
    TakeClientDatagrams(now);
    DropSilentClients(now);
    ReportDue(now);
}

void Relay::Wait(double seconds) const {
    UdpSocket::Waiting sockets[3] = {{&Socket()}, {&port_.Socket()}, {trunk_.Socket()}};
    UdpSocket::WaitReadable(sockets, 3, static_cast<int>(std::clamp(seconds * 1000.0, 0.0, 1000.0)));
}

bool Relay::OnMessage(const uint8_t* datagram, int length, double now) {
    const bool taken = LinkWatch::OnMessage(datagram, length, now);
    const LinkTally::Verdict take = LastTake();
    // Copies and numbers too old to judge stop here; every new number goes
    // on, also one of an update already behind, so that the slaves count
    // it as arrived, not lost.
    if (take != LinkTally::Verdict::kFresh && take != LinkTally::Verdict::kLate) return taken;
    const int32_t type = wire::TypeOf(datagram, length);
    if (!heardMaster_) {
        heardMaster_ = true;
        events_.Say("first message from the master %s", AddressText(master_).c_str());
    }
    if (type == wire::kStart && take == LinkTally::Verdict::kFresh) {
        // Clients confirmed since the last update get this one whole.
        clients_.Join();
        RefreshReceivers();
    }
    fanOut_.Add(datagram, length, receivers_);
    trunk_.OnMasterMessage(datagram, length, take == LinkTally::Verdict::kFresh, now);
    if (type == wire::kEnd) {
        // The end also answers the Hellos of addresses not yet confirmed:
        // one datagram the size of their Hello.
        // An update leaves as soon as its end has come.
        fanOut_.Flush(receivers_);
        answers_.clear();
        for (const Endpoint& answer : clients_.TakeAnswers()) answers_.push_back(AddressOf(answer));
        if (!answers_.empty()) {
            fanOut_.Add(datagram, length, answers_);
            fanOut_.Flush(answers_);
        }
        ++figures_.updates;
        clients_.EndSent(now);
        ReportDepartures(now);
    }
    return taken;
}

void Relay::TakeClientDatagrams(double now) {
    for (int i = 0; i < kMaxClientDatagramsPerStep; ++i) {
        sockaddr_in from{};
        const int length = port_.Receive(from);
        if (length < 0) return;
        TakeClientMessage(port_.Data(), length, from, now);
    }
}

void Relay::TakeClientMessage(const uint8_t* datagram, int length, const sockaddr_in& from, double now) {
    const ClientTakeIn::Outcome taken = ClientTakeIn::Screen(datagram, length);
    const Endpoint sender = EndpointOf(from);
    switch (taken.verdict) {
        case ClientTakeIn::Verdict::kHello:
            // A client's Hello changes nothing; anyone else's is answered with
            // the next update's end.
            if (clients_.Hello(sender, now) == ClientTable::HelloVerdict::kNotAllowed) {
                ++figures_.refused;
                notAllowed_.Count(from.sin_addr.s_addr, from.sin_port);
            }
            break;
        case ClientTakeIn::Verdict::kAck:
            switch (clients_.Ack(sender, now)) {
                case ClientTable::AckVerdict::kConfirmed:
                    ++figures_.subscriptions;
                    if (ClientLineAllowed(now, sender, "subscribed"))
                        events_.Say("client %s subscribed (%zu of %d)", AddressText(from).c_str(),
                                    clients_.Clients().size(), clients_.Rules().maxClients);
                    ReportDepartures(now);
                    break;
                case ClientTable::AckVerdict::kRefused:
                    ++figures_.refused;
                    refused_.Count(from.sin_addr.s_addr, from.sin_port);
                    break;
                case ClientTable::AckVerdict::kStranger:
                    // An Ack of a sender that is no client is ignored, as a master ignores it.
                    ++figures_.notFromClients;
                    break;
                case ClientTable::AckVerdict::kCounted:
                    break;
            }
            break;
        case ClientTakeIn::Verdict::kKeys:
            PassKeysUp(datagram, length, taken.keyEvents, from);
            break;
        case ClientTakeIn::Verdict::kNotForMaster:
            ++figures_.notForMaster;
            break;
        case ClientTakeIn::Verdict::kNotMessage:
            // Read past it: one bad datagram must not keep the good ones waiting.
            ++figures_.notMessages;
            figures_.lastRejection = taken.rejection;
            rejected_.Count(from.sin_addr.s_addr, from.sin_port, wire::RejectionText(taken.rejection));
            break;
    }
}

void Relay::PassKeysUp(const uint8_t* datagram, int length, int32_t count, const sockaddr_in& from) {
    // A slave that forwards keys sends a message every step, mostly empty:
    // only events travel on, and only those of confirmed clients.
    if (count == 0) return;
    if (!clients_.IsClient(EndpointOf(from))) {
        ++figures_.notFromClients;
        strangers_.Count(from.sin_addr.s_addr, from.sin_port, "keys");
        return;
    }
    if (trunk_.IsFar())
        trunk_.SendKeys(datagram, length);
    else
        SendToMaster(datagram, length);
    ++figures_.keyMessages;
    figures_.keyEvents += count;
}

void Relay::DropSilentClients(double now) {
    clients_.DropSilent(now);
    ReportDepartures(now);
}

void Relay::ReportDepartures(double now) {
    const std::vector<ClientTable::Departure> departures = clients_.TakeDepartures();
    if (departures.empty()) return;
    RefreshReceivers();
    for (const ClientTable::Departure& left : departures) {
        const std::string who = EndpointText(left.client.endpoint);
        switch (left.why) {
            case ClientTable::Leaving::kSilent:
                ++figures_.timeouts;
                if (ClientLineAllowed(now, left.client.endpoint, "timed out"))
                    events_.Say("client %s timed out (no Ack for %.0f s)", who.c_str(),
                                clients_.Rules().silenceSeconds);
                break;
            case ClientTable::Leaving::kFewAcks:
                ++figures_.timeouts;
                if (ClientLineAllowed(now, left.client.endpoint, "too few acknowledgements"))
                    events_.Say("client %s acknowledges too few updates: unconfirmed until it answers again",
                                who.c_str());
                break;
            case ClientTable::Leaving::kDisplaced:
                ++figures_.timeouts;
                if (ClientLineAllowed(now, left.client.endpoint, "displaced"))
                    events_.Say("client %s acknowledges too few updates: its place goes to a newcomer", who.c_str());
                break;
        }
    }
}

bool Relay::ClientLineAllowed(double now, const Endpoint& about, const char* what) {
    if (lines_.Take(now)) return true;
    linesHeld_.Count(about.address, about.port, what);
    return false;
}

void Relay::RefreshReceivers() {
    receivers_.clear();
    for (const Endpoint& receiver : clients_.Receivers()) receivers_.push_back(AddressOf(receiver));
}

void Relay::ReportDue(double now) {
    if (refused_.Due(now)) {
        const ThrottledReport::Summary s = refused_.Take(now);
        events_.Say(
            "refused %d subscriptions, the client table is full (maxClients=%d, maxClientsPerAddress=%d); "
            "last from %s",
            s.count, clients_.Rules().maxClients, clients_.Rules().maxClientsPerAddress,
            EndpointText({s.address, s.port}).c_str());
    }
    if (notAllowed_.Due(now)) {
        const ThrottledReport::Summary s = notAllowed_.Take(now);
        events_.Say("ignored %d Hellos from addresses the allow-list does not admit; last from %s", s.count,
                    EndpointText({s.address, s.port}).c_str());
    }
    if (linesHeld_.Due(now)) {
        const ThrottledReport::Summary s = linesHeld_.Take(now);
        events_.Say("%d more client events not told one by one; last: %s, %s", s.count, s.reason,
                    EndpointText({s.address, s.port}).c_str());
    }
    if (rejected_.Due(now)) {
        const ThrottledReport::Summary s = rejected_.Take(now);
        events_.Say("ignored %d datagrams that are no message; last: %s, from %s", s.count, s.reason,
                    EndpointText({s.address, s.port}).c_str());
    }
    if (strangers_.Due(now)) {
        const ThrottledReport::Summary s = strangers_.Take(now);
        events_.Say("ignored %d key messages of senders that are no client; last from %s", s.count,
                    EndpointText({s.address, s.port}).c_str());
    }
    // The master's figures cost a snapshot: looked at once a second.
    if (now < nextRestartCheck_) return;
    nextRestartCheck_ = now + 1.0;
    const int64_t restarts = Snapshot(now).link.restarts;
    if (restarts > restartsSeen_) {
        restartsSeen_ = restarts;
        events_.Say("the master numbers its messages afresh (it restarted)");
    }
}

RelaySnapshot Relay::WholeSnapshot(double now) const {
    RelaySnapshot s;
    s.upstream = Snapshot(now);
    s.relay = figures_;
    const FanOut::Figures& sent = fanOut_.Counts();
    s.relay.datagrams = sent.datagrams;
    s.relay.bytes = sent.bytes;
    s.relay.sends = sent.sends;
    s.relay.failedSends = sent.failed;
    s.trunk = trunk_.Figures();
    if (trunk_.IsFar()) {
        s.upstream.master = "trunk " + s.trunk.peer;
    }
    for (const ClientTable::Client& c : clients_.Clients()) {
        s.clients.push_back(
            {EndpointText(c.endpoint), now - c.confirmedSeconds, now - c.lastContactSeconds, c.acks, c.joined});
    }
    return s;
}
