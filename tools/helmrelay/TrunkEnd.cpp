#include "TrunkEnd.h"

#include <cstring>

#include "MasterAddress.h"
#include "SocketAddress.h"
#include "TrunkBytes.h"

TrunkEnd::TrunkEnd(RelayEvents& events) : events_(events), run_(trunk::TrunkSeal::NewRun()) {}

bool TrunkEnd::OpenEnd(const TrunkSettings& settings, const sockaddr_in& local, std::string& error) {
    if (settings.insecure) {
        seal_.UseNoKey();
    } else if (settings.keyFile.empty()) {
        error = "the trunk needs a key (--trunk-key FILE, or trunkKey in the configuration file), or --insecure";
        return false;
    } else if (!seal_.LoadKeyFile(settings.keyFile, error)) {
        return false;
    }
    if (!port_.Open(local, error)) return false;
    figures_.active = true;
    figures_.sealed = seal_.Sealed();
    figures_.local = AddressText(port_.Address());
    return true;
}

bool TrunkEnd::Receive(Arrival& arrival) {
    while (readThisTurn_ < kMaxDatagramsPerTurn) {
        const int length = port_.Receive(arrival.from);
        if (length < 0) break;
        ++readThisTurn_;
        trunk::ClearHeader header;
        const trunk::Refusal why = trunk::ReadClearHeader(port_.Data(), length, seal_.Sealed(), header);
        if (why != trunk::Refusal::kNone || !seal_.Open(port_.Data(), length, header, body_)) {
            // Unread: neither its body nor its claims are used.
            ++figures_.authFailures;
            unauthenticated_.Count(arrival.from.sin_addr.s_addr, arrival.from.sin_port,
                                   why != trunk::Refusal::kNone ? trunk::RefusalText(why) : "wrong key or altered");
            continue;
        }
        uint64_t echo = 0;
        if (trunk::ReadEcho(body_.data(), static_cast<int>(body_.size()), echo) != trunk::Refusal::kNone) continue;
        arrival.kind = header.kind;
        arrival.run = header.run;
        arrival.counter = header.counter;
        arrival.echo = echo;
        arrival.rest = body_.data() + trunk::kEchoSize;
        arrival.length = static_cast<int>(body_.size()) - trunk::kEchoSize;
        if (arrival.kind == trunk::Kind::kData) figures_.trunkBytes += length;
        return true;
    }
    readThisTurn_ = 0;
    return false;
}

void TrunkEnd::Send(trunk::Kind kind, uint64_t echo, const uint8_t* rest, int length, const sockaddr_in& to) {
    trunk::Bytes body(trunk::kEchoSize + length);
    trunk::Store<uint64_t>(body.data(), echo);
    if (length > 0) std::memcpy(body.data() + trunk::kEchoSize, rest, length);
    seal_.Seal(kind, run_, ++counter_, body.data(), static_cast<int>(body.size()), outgoing_);
    lastSentBytes_ = static_cast<int64_t>(outgoing_.size());
    // A lost datagram is made good by the next update, Hello or Ack.
    port_.Socket().SendTo(outgoing_.data(), static_cast<int>(outgoing_.size()), to);
}

void TrunkEnd::CountReplay(const sockaddr_in& from) {
    ++figures_.replays;
    replayed_.Count(from.sin_addr.s_addr, from.sin_port);
}

void TrunkEnd::ReportDue(double now) {
    if (unauthenticated_.Due(now)) {
        const ThrottledReport::Summary s = unauthenticated_.Take(now);
        events_.Say("trunk: dropped %d datagrams that do not authenticate (%s); last from %s", s.count, s.reason,
                    EndpointText({s.address, s.port}).c_str());
    }
    if (replayed_.Due(now)) {
        const ThrottledReport::Summary s = replayed_.Take(now);
        events_.Say("trunk: dropped %d datagrams seen before or of another run (copies or replays); last from %s",
                    s.count, EndpointText({s.address, s.port}).c_str());
    }
}
