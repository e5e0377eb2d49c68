#include "SequenceSeeds.h"

#include "FuzzScript.h"
#include "WireRecords.h"

namespace seeds {

namespace {

// Step lengths, as indices into fuzz::kDurations.
constexpr int kFrame = 1;
constexpr int kSecond = 5;       // 1.5 s: past the slave's restart silence
constexpr int kLongSilence = 6;  // 3.5 s: past the master's client time-out

// The slave's peers and the master's clients.
constexpr int kMaster = 0;
constexpr int kStranger = 1;
constexpr int kMasterPortElsewhere = 2;

constexpr double kSecondDays = 1.0 / 86400.0;

void Send(fuzz::ScriptWriter& script, int peer, const std::vector<Bytes>& datagrams) {
    for (const Bytes& d : datagrams) script.datagram(peer, d.data(), d.size());
}

void Send(fuzz::ScriptWriter& script, int peer, const Bytes& datagram) {
    script.datagram(peer, datagram.data(), datagram.size());
}

Script Named(const char* name, const fuzz::ScriptWriter& script) { return Script(name, script.bytes()); }

}  // namespace

std::vector<Script> SlaveScripts() {
    std::vector<Script> scripts;
    int32_t seq = 1;
    {
        // The first update makes the vessels, the second can focus one.
        fuzz::ScriptWriter s(0x01 | 0x08);  // switchFocus, debug
        Send(s, kMaster, Update(seq, kMjd));
        s.step(kFrame);
        Send(s, kMaster, Update(seq, kMjd + kSecondDays / 60.0, 2));
        s.step(kFrame);
        scripts.push_back(Named("slave-update", s));
    }
    {
        // A second update, late copies of the first, then a message of an
        // older update behind a newer Start.
        fuzz::ScriptWriter s(0x01);
        seq = 1;
        const std::vector<Bytes> first = Update(seq, kMjd);
        Send(s, kMaster, first);
        s.step(kFrame);
        Send(s, kMaster, Update(seq, kMjd + kSecondDays, 2));
        Send(s, kMaster, {first[0], first[2], first.back()});
        s.step(kFrame);
        Send(s, kMaster,
             {Start(100, kMjd + 2 * kSecondDays), Vessel2(90, kMjd, "Beta", "FuzzShip"), Keyboard(91, 1),
              Header(wire::kEnd, 101)});
        s.step(kFrame).step(kFrame);
        scripts.push_back(Named("slave-copies-and-stale", s));
    }
    {
        // The backlog grows from one update's end to the next: the rest is
        // discarded, its keys still replayed.
        fuzz::ScriptWriter s(0x00);
        seq = 1;
        Send(s, kMaster, Update(seq, kMjd));
        Send(s, kMaster, Update(seq, kMjd));
        s.step(kFrame);
        Send(s, kMaster, Update(seq, kMjd, 3));
        Send(s, kMaster, Update(seq, kMjd, 4));
        s.step(kFrame).step(kFrame).step(kFrame);
        scripts.push_back(Named("slave-backlog", s));
    }
    {
        fuzz::ScriptWriter s(0x01);
        int32_t strangerSeq = 1;
        Send(s, kStranger, Update(strangerSeq, kMjd + 1.0, 5));
        Send(s, kMasterPortElsewhere, Start(50, kMjd + 30.0, 100.0));
        seq = 1;
        Send(s, kMaster, Update(seq, kMjd));
        s.step(kFrame).step(kFrame);
        scripts.push_back(Named("slave-strangers", s));
    }
    {
        // A master that restarts numbers from 1 again after a silence.
        fuzz::ScriptWriter s(0x08);
        seq = 5000;
        Send(s, kMaster, Update(seq, kMjd));
        s.step(kFrame).advance(kSecond);
        seq = 1;
        Send(s, kMaster, Update(seq, kMjd + 2 * kSecondDays));
        s.step(kFrame);
        scripts.push_back(Named("slave-restart", s));
    }
    {
        // A date a day ahead at ten times, waiting for the master, keys
        // typed on the slave forwarded to it.
        fuzz::ScriptWriter s(0x02 | 0x04);
        s.key(0x1E, true).key(0x1E, false);
        Send(s, kMaster, {Start(1, kMjd + 1.0, 10.0), Header(wire::kEnd, 2)});
        s.step(kFrame);
        seq = 3;
        Send(s, kMaster, Update(seq, kMjd + 1.0));
        s.step(kFrame).advance(4).step(kFrame);
        scripts.push_back(Named("slave-time-and-keys", s));
    }
    {
        fuzz::ScriptWriter s(0x00);
        Send(s, kMaster,
             {Start(1, kMjd), Vessel(2, kMjd, "Lander", "FuzzPod", true), Extra(3, "Lander"), Animation(4, "Lander", 1),
              Header(wire::kEnd, 5)});
        s.step(kFrame);
        scripts.push_back(Named("slave-landed", s));
    }
    return scripts;
}

std::vector<Script> MasterScripts() {
    std::vector<Script> scripts;
    const Bytes hello = Header(wire::kHello, 0);
    const Bytes ack = Header(wire::kAck, 1);
    {
        fuzz::ScriptWriter s(0x08 | 0x20 | 0x80);  // debug, maxClients 5, scenario text
        Send(s, 0, hello);
        s.step(kFrame);
        Send(s, 0, {ack, Keyboard(2, 2)});
        s.step(kFrame).key(0x26, true).key(0x26, false).step(kFrame);
        Send(s, 0, Header(wire::kAck, 3));
        s.step(kFrame);
        scripts.push_back(Named("master-subscribe", s));
    }
    {
        // Two places for five clients; the first two keep acknowledging,
        // the others try again after the time-out.
        fuzz::ScriptWriter s(0x10);
        for (int peer = 0; peer < 5; ++peer) Send(s, peer, hello);
        s.step(kFrame);
        Send(s, 0, ack);
        Send(s, 1, ack);
        s.advance(kLongSilence).step(kFrame);
        Send(s, 2, hello);
        Send(s, 3, hello);
        s.step(kFrame);
        Send(s, 4, hello);
        Send(s, 4, Keyboard(5, 1));
        s.step(kFrame);
        scripts.push_back(Named("master-cap", s));
    }
    {
        // Read-only: what is no message, keys with bad counts, an Ack from
        // a stranger, a slave's message the master has no use for.
        fuzz::ScriptWriter s(0x01);
        Send(s, 0, hello);
        const uint8_t shortDatagram[3] = {1, 2, 3};
        s.datagram(1, shortDatagram, sizeof shortDatagram);
        Send(s, 1, Header(42, 7));
        Bytes longAck = ack;
        longAck.resize(12, 0);
        Send(s, 2, longAck);
        for (int32_t count : {99, -3}) {
            Bytes keys = Keyboard(8, 1);
            keys[offsetof(wire::KeyboardRecord, keyCount)] = static_cast<uint8_t>(count & 0xFF);
            keys[offsetof(wire::KeyboardRecord, keyCount) + 3] = count < 0 ? 0xFF : 0;
            Send(s, 0, keys);
        }
        Send(s, 3, Start(9, kMjd));
        s.step(kFrame);
        Send(s, 7, ack);
        s.step(kFrame);
        scripts.push_back(Named("master-junk", s));
    }
    {
        // Waiting for clients and for every acknowledgement, five places,
        // 30 updates a second.
        fuzz::ScriptWriter s(0x02 | 0x04 | 0x20 | 0x40);
        s.step(2);
        Send(s, 0, hello);
        Send(s, 5, hello);
        s.step(2);
        Send(s, 0, ack);
        s.step(2).advance(kLongSilence).step(2);
        scripts.push_back(Named("master-wait-for-acks", s));
    }
    return scripts;
}

}  // namespace seeds
