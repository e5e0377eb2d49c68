// libFuzzer target of the slave's receive-and-apply path. Every input is a
// script (FuzzScript.h): datagrams sent to the real Helmecho module, loaded
// in-process with its real socket, from the address it takes for its master
// (peer 0), from a stranger (peer 1) and from the master's port on another
// loopback address (peer 2); host steps, clock moves and typed keys between
// them. The configuration byte: bit 0 switchFocus, bit 1 waitForMaster,
// bit 2 sendKeys, bit 3 debug.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "FuzzReaders.h"
#include "FuzzScript.h"
#include "FuzzWorld.h"
#include "Helmecho.h"
#include "Loopback.h"
#include "LoopbackPeer.h"
#include "Message.h"
#include "Promises.h"

extern "C" void InitModule(HINSTANCE instance);
extern "C" void ExitModule(HINSTANCE instance);

namespace {

// The slave's own: after this much silence a number seen before may start
// a new numbering of a restarted master, so it is taken again.
constexpr double kRestartSilence = 1.0;
// The slave takes in at most one update a step: steps at the end let it
// take in what is still queued.
constexpr int kSettleSteps = 8;

struct Peers {
    fuzz::LoopbackPeer master{1, 0};
    fuzz::LoopbackPeer stranger{1, 0};
    fuzz::LoopbackPeer masterPortElsewhere{2, master.port()};
    const fuzz::LoopbackPeer* all[3] = {&master, &stranger, &masterPortElsewhere};
};
Peers* peers = nullptr;

// What the link carried in this input, for the bounds on what the slave did.
struct Ledger {
    double loadTime = 0.0;
    size_t keysTyped = 0;
    // Keys of all keyboard datagrams from the master, and per number the
    // most that any of them with that number carried.
    size_t keysSent = 0;
    std::vector<std::pair<int32_t, int>> keysBySeq;
    size_t endsSent = 0;
    std::set<int32_t> endSeqs;
    size_t acks = 0;

    void sentByMaster(const uint8_t* bytes, size_t length) {
        const int32_t seq = fuzz::SeqOf(bytes, length);
        if (fuzz::IsHeaderMessage(bytes, length, wire::kEnd)) {
            ++endsSent;
            endSeqs.insert(seq);
        }
        const int keys = fuzz::KeysCarried(bytes, length);
        if (keys == 0) return;
        keysSent += static_cast<size_t>(keys);
        for (auto& entry : keysBySeq) {
            if (entry.first != seq) continue;
            if (keys > entry.second) entry.second = keys;
            return;
        }
        keysBySeq.emplace_back(seq, keys);
    }
    size_t keysOncePerSeq() const {
        size_t sum = 0;
        for (const auto& entry : keysBySeq) sum += static_cast<size_t>(entry.second);
        return sum;
    }
};

std::string Configuration(uint8_t bits) {
    return "masterIP = 127.0.0.1\nmasterPort = " + std::to_string(peers->master.port()) +
           "\nswitchFocus = " + std::to_string(bits & 1) + "\nwaitForMaster = " + std::to_string((bits >> 1) & 1) +
           "\nsendKeys = " + std::to_string((bits >> 2) & 1) + "\ndebug = " + std::to_string((bits >> 3) & 1) + "\n";
}

Helmecho& LoadSlave(uint8_t configuration) {
    auto* slave = dynamic_cast<Helmecho*>(
        fuzz::LoadModule(kSlaveModuleFile, &InitModule, &ExitModule, kSlaveConfigFile, Configuration(configuration)));
    if (slave == nullptr || !slave->Socket().IsOpen()) {
        std::fprintf(stderr, "slave_sequence_fuzz: the slave has no socket\n");
        std::abort();
    }
    // Local vessels: one the master also has, and an XR vessel.
    fuzz::AddVessel("Alpha", "FuzzShip", 6.9e6);
    fuzz::AddVessel("Gamma", "XRSample", 7.1e6);
    fuzz::Host().startSimulation();
    return *slave;
}

// The promises after a step: nothing the slave holds or the host runs on
// is out of range, the slave answered only its master and only with
// messages, acknowledged no update twice and replayed no key twice.
void Check(Ledger& ledger) {
    fuzz::RequireWorldFinite();
    fuzz::Require(peers->stranger.receiveAll().empty() && peers->masterPortElsewhere.receiveAll().empty());
    for (const auto& datagram : peers->master.receiveAll()) {
        std::unique_ptr<Message> message(CreateMessage(datagram.data(), static_cast<int>(datagram.size())));
        fuzz::Require(message != nullptr);
        const int32_t type = message->type();
        fuzz::Require(type == wire::kHello || type == wire::kAck || type == wire::kKeyboard);
        if (type == wire::kAck) ++ledger.acks;
    }
    // Within the restart silence every number is taken at most once.
    const bool oneNumbering = fuzz::Host().sysTime() - ledger.loadTime <= kRestartSilence;
    const size_t keyBound = ledger.keysTyped + (oneNumbering ? ledger.keysOncePerSeq() : ledger.keysSent);
    fuzz::Require(fuzz::KeysReceived() <= keyBound);
    fuzz::Require(ledger.acks <= (oneNumbering ? ledger.endSeqs.size() : ledger.endsSent));
}

// Queued for the slave: in its socket's inbox or still in the socket.
u_long Pending(const Helmecho& slave) {
    u_long pending = 0;
    if (ioctlsocket(slave.Socket().Handle(), FIONREAD, &pending) != 0) pending = 0;
    return pending + static_cast<u_long>(slave.Socket().Held());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    peers = fuzz::PrepareRunWithPeers<Peers>(argc, argv, "slave_sequence_fuzz");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::ScriptReader script(data, size);
    fuzz::DrainAll(peers->all);
    Helmecho& slave = LoadSlave(script.configuration());
    Ledger ledger;
    ledger.loadTime = fuzz::Host().sysTime();
    const int port = LocalPort(static_cast<int>(slave.Socket().Handle()));
    auto send = [&](const fuzz::ScriptEvent& event) {
        const fuzz::LoopbackPeer& peer = *peers->all[event.argument % 3];
        peer.sendTo(port, event.bytes, event.length);
        if (&peer == &peers->master) ledger.sentByMaster(event.bytes, event.length);
    };
    // Keys typed on the slave's host reach its focus vessel too.
    fuzz::PlayScript(
        script, send, [&] { Check(ledger); }, ledger.keysTyped);
    for (int i = 0; i < kSettleSteps && Pending(slave) > 0; ++i) fuzz::Host().step(0.0);
    Check(ledger);

    fuzz::Host().endSimulation();
    fuzz::StartAfresh();
    return 0;
}
