#include "TrunkFar.h"

#include "MasterAddress.h"
#include "SocketAddress.h"
#include "TrunkBytes.h"
#include "WireCheck.h"

bool TrunkFar::Open(const TrunkSettings& settings, std::string& error) {
    near_ = settings.address;
    figures_.nearEnd = false;
    figures_.peer = AddressText(near_);
    const bool loopback = (ntohl(near_.sin_addr.s_addr) >> 24) == 127;
    return OpenEnd(settings, loopback ? LoopbackAddressOn(0) : AnyLocalAddress(0), error);
}

void TrunkFar::SendHello() { Send(trunk::Kind::kHello, peer_.Run(), nullptr, 0, near_); }

void TrunkFar::SendKeys(const uint8_t* message, int length) {
    Send(trunk::Kind::kKeys, peer_.Run(), message, length, near_);
    ++figures_.keyMessages;
}

void TrunkFar::Pump(double now, MasterSubscription::Listener& listener) {
    if (now >= nextHello_) {
        SendHello();
        nextHello_ = now + kHelloSeconds;
    }
    Arrival arrival;
    while (Receive(arrival)) {
        // Only data comes this way; and only what names this run and comes
        // from a run of the near end not left behind, each counter once.
        const bool replayed = arrival.kind != trunk::Kind::kData || arrival.echo != run_ ||
                              peer_.Retired(arrival.run) ||
                              (arrival.run == peer_.Run() && !peer_.Fresh(arrival.counter));
        if (replayed) {
            CountReplay(arrival.from);
            continue;
        }
        if (arrival.run != peer_.Run()) {
            if (peer_.Known()) events_.Say("trunk: the near end started again; its updates are numbered afresh");
            peer_.SwitchTo(arrival.run);
            decoder_.Reset();
        }
        peer_.Take(arrival.counter);
        TakeData(arrival, now, listener);
    }
    trunk::AckBody ack;
    if (decoder_.TakeAcknowledgement(ack)) {
        uint8_t body[8];
        trunk::Store<uint32_t>(body, ack.newest);
        trunk::Store<uint32_t>(body + 4, ack.earlier);
        Send(trunk::Kind::kAck, peer_.Run(), body, sizeof body, near_);
    }
    if (failures_.Due(now)) {
        const ThrottledReport::Summary s = failures_.Take(now);
        events_.Say("trunk: %d groups could not be restored (%s)", s.count, s.reason);
    }
    ReportDue(now);
}

void TrunkFar::TakeData(const Arrival& arrival, double now, MasterSubscription::Listener& listener) {
    ++figures_.dataDatagrams;
    trunk::DataBody data;
    const trunk::Refusal why = trunk::ReadData(arrival.rest, arrival.length, data);
    if (why != trunk::Refusal::kNone) {
        ++figures_.decodeFailures;
        failures_.Count(0, 0, trunk::RefusalText(why));
        return;
    }
    switch (decoder_.Take(data)) {
        case trunk::TrunkDecoder::Outcome::kRestored:
            break;
        case trunk::TrunkDecoder::Outcome::kFragment:
            return;
        case trunk::TrunkDecoder::Outcome::kNoBaseline:
            ++figures_.decodeFailures;
            failures_.Count(0, 0, "baseline not kept here");
            return;
        case trunk::TrunkDecoder::Outcome::kCorrupt:
            ++figures_.decodeFailures;
            failures_.Count(0, 0, "does not expand to its entries");
            return;
    }
    if (data.groups != 0) figures_.baselineAge = data.baseline != 0 ? data.update - data.baseline : 0;
    figures_.updates = decoder_.WholeUpdates();
    for (int i = 0; i < decoder_.RestoredCount(); ++i) {
        const trunk::Bytes& message = decoder_.Restored()[i];
        const int length = static_cast<int>(message.size());
        figures_.rawBytes += length;
        // The master's own receive checks, as if it had come straight from it.
        if (wire::CheckDatagram(message.data(), length) != wire::Rejection::kNone) {
            ++figures_.notMessages;
            continue;
        }
        listener.OnMessage(message.data(), length, now);
    }
}
