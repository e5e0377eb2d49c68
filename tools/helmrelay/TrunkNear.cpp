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
        encoder_.encodeLoose(datagram, length, bodies_);
        SendBodies();
        return;
    }
    // A start while an update is still open: that update's end was lost.
    if (type == wire::kStart && encoder_.gathering()) FlushUpdate();
    if (encoder_.gathered() >= trunk::kMaxMessagesPerUpdate) FlushUpdate();
    if (!encoder_.gathering()) gatheringSince_ = now;
    encoder_.add(datagram, length);
    if (type == wire::kEnd) FlushUpdate();
}

void TrunkNear::FlushUpdate() {
    encoder_.finishUpdate(bodies_);
    SendBodies();
    const trunk::TrunkEncoder::Figures& e = encoder_.figures();
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
        Send(trunk::Kind::kData, peer_.run(), body.data(), static_cast<int>(body.size()), peerAddress_);
        figures_.trunkBytes += lastSentBytes_;
        ++figures_.dataDatagrams;
    }
    bodies_.clear();
}

void TrunkNear::TakeHello(const Arrival& arrival, double now) {
    if (arrival.run == peer_.run()) {
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
    peer_.switchTo(arrival.run);
    peer_.take(arrival.counter);
    peerAddress_ = arrival.from;
    lastContact_ = now;
    proven_ = arrival.echo == run_;
    serving_ = true;
    encoder_.forgetConfirmations();
    figures_.peer = AddressText(peerAddress_);
    events_.Say("trunk: far end %s subscribed", figures_.peer.c_str());
}

void TrunkNear::Pump(double now, const std::function<void(const uint8_t*, int)>& keysUp) {
    Arrival arrival;
    while (Receive(arrival)) {
        if (peer_.retired(arrival.run)) {
            CountReplay(arrival.from);
            continue;
        }
        const bool current = arrival.run == peer_.run();
        if (current && !peer_.fresh(arrival.counter)) {
            CountReplay(arrival.from);
            continue;
        }
        if (arrival.kind == trunk::Kind::kHello) {
            TakeHello(arrival, now);
            if (arrival.run == peer_.run()) peer_.take(arrival.counter);
            continue;
        }
        // Acks and keys only from the far end served, meant for this run.
        if (!current || arrival.echo != run_) {
            CountReplay(arrival.from);
            continue;
        }
        peer_.take(arrival.counter);
        lastContact_ = now;
        proven_ = true;
        if (arrival.kind == trunk::Kind::kAck) {
            trunk::AckBody ack;
            if (trunk::ReadAck(arrival.rest, arrival.length, ack) == trunk::Refusal::kNone) encoder_.confirm(ack);
        } else if (arrival.kind == trunk::Kind::kKeys) {
            if (trunk::ReadKeys(arrival.rest, arrival.length) == trunk::Refusal::kNone) {
                ++figures_.keyMessages;
                keysUp(arrival.rest, arrival.length);
            }
        }
    }
}

void TrunkNear::Tick(double now) {
    if (encoder_.gathering() && now - gatheringSince_ > kLongestUpdate) FlushUpdate();
    if (serving_ && !PeerLive(now)) {
        events_.Say("trunk: far end %s timed out (nothing for %.0f s)", figures_.peer.c_str(), kSilenceSeconds);
        figures_.peer.clear();
        // Its next Hello brings it back; until then another far end may take its place.
        serving_ = false;
        proven_ = false;
    }
    ReportDue(now);
}
