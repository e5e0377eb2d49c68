#include "TrunkNear.h"

#include "MasterAddress.h"
#include "WireCheck.h"
#include "WireRecords.h"

bool TrunkNear::Open(const TrunkSettings& settings, std::string& error) {
    figures_.nearEnd = true;
    return OpenEnd(settings, settings.address, error);
}

void TrunkNear::OnMasterMessage(const uint8_t* datagram, int length, bool fresh, double now) {
    const int32_t type = wire::TypeOf(datagram, length);
    if (!fresh) {
        // Late: an update already sent; it goes on alone, as the relay passes it on.
        encoder_.EncodeLoose(datagram, length, bodies_);
        SendBodies();
        return;
    }
    // A start while an update is still open: that update's end was lost.
    if (type == wire::kStart && encoder_.Gathering()) FlushUpdate();
    if (encoder_.Gathered() >= trunk::kMaxMessagesPerUpdate) FlushUpdate();
    if (!encoder_.Gathering()) gatheringSince_ = now;
    encoder_.Add(datagram, length);
    if (type == wire::kEnd) FlushUpdate();
}

void TrunkNear::FlushUpdate() {
    encoder_.FinishUpdate(bodies_);
    SendBodies();
    const trunk::TrunkEncoder::Figures& e = encoder_.Counts();
    figures_.updates = e.updates;
    figures_.rawBytes = e.rawBytes;
    figures_.withoutBaseline = e.withoutBaseline;
    figures_.baselineAge = e.lastBaselineAge;
}

void TrunkNear::SendBodies() {
    // Without a far end the update is encoded all the same: its numbering
    // and the baselines stay one sequence.
    for (const trunk::Bytes& body : bodies_) {
        if (!serving_) continue;
        Send(trunk::Kind::kData, peer_.Run(), body.data(), static_cast<int>(body.size()), peerAddress_);
        figures_.trunkBytes += lastSentBytes_;
        ++figures_.dataDatagrams;
    }
    bodies_.clear();
}

void TrunkNear::TakeHello(const Arrival& arrival, double now) {
    if (arrival.run == peer_.Run()) {
        // Its address may change (a router's new mapping): the newest wins.
        peerAddress_ = arrival.from;
        lastContact_ = now;
        proven_ = proven_ || arrival.echo == run_;
        if (!serving_) {
            serving_ = true;
            figures_.peer = AddressText(peerAddress_);
            events_.Say("trunk: far end %s is back", figures_.peer.c_str());
        }
        return;
    }
    if (PeerLive(now) && proven_) {
        CountReplay(arrival.from);
        return;
    }
    peer_.SwitchTo(arrival.run);
    peer_.Take(arrival.counter);
    peerAddress_ = arrival.from;
    lastContact_ = now;
    proven_ = arrival.echo == run_;
    serving_ = true;
    encoder_.ForgetConfirmations();
    figures_.peer = AddressText(peerAddress_);
    events_.Say("trunk: far end %s subscribed", figures_.peer.c_str());
}

void TrunkNear::Pump(double now, const std::function<void(const uint8_t*, int)>& keysUp) {
    Arrival arrival;
    while (Receive(arrival)) {
        if (peer_.Retired(arrival.run)) {
            CountReplay(arrival.from);
            continue;
        }
        const bool current = arrival.run == peer_.Run();
        if (current && !peer_.Fresh(arrival.counter)) {
            CountReplay(arrival.from);
            continue;
        }
        if (arrival.kind == trunk::Kind::kHello) {
            TakeHello(arrival, now);
            if (arrival.run == peer_.Run()) peer_.Take(arrival.counter);
            continue;
        }
        // Acks and keys only from the far end served, meant for this run.
        if (!current || arrival.echo != run_) {
            CountReplay(arrival.from);
            continue;
        }
        peer_.Take(arrival.counter);
        lastContact_ = now;
        proven_ = true;
        if (arrival.kind == trunk::Kind::kAck) {
            trunk::AckBody ack;
            if (trunk::ReadAck(arrival.rest, arrival.length, ack) == trunk::Refusal::kNone) encoder_.Confirm(ack);
        } else if (arrival.kind == trunk::Kind::kKeys) {
            if (trunk::ReadKeys(arrival.rest, arrival.length) == trunk::Refusal::kNone) {
                ++figures_.keyMessages;
                keysUp(arrival.rest, arrival.length);
            }
        }
    }
}

void TrunkNear::Tick(double now) {
    if (encoder_.Gathering() && now - gatheringSince_ > kLongestUpdate) FlushUpdate();
    if (serving_ && !PeerLive(now)) {
        events_.Say("trunk: far end %s timed out (nothing for %.0f s)", figures_.peer.c_str(), kSilenceSeconds);
        figures_.peer.clear();
        // Its next Hello brings it back; until then another far end may take its place.
        serving_ = false;
        proven_ = false;
    }
    ReportDue(now);
}
