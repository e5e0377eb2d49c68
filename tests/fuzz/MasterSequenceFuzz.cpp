// libFuzzer target of the master's receive phase. Every input is a script
// (FuzzScript.h): datagrams sent to the real Helmcast module, loaded
// in-process with its real socket, from eight loopback client sockets (on
// 127.0.0.1 to .3), host steps that run updates, clock moves and keys typed
// on the master. The configuration byte: bit 0 readOnly, bit 1 waitForACK,
// bit 2 waitForClients, bit 3 debug, bits 4-5 maxClients (1, 2, 5, or 0,
// which the master refuses for its default), bit 6 maxUpdateRate 30 instead
// of every step, bit 7 scenario text of the class FuzzShip (a file written
// and read per update, so only some inputs pay for it).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "FuzzReaders.h"
#include "FuzzScript.h"
#include "FuzzWorld.h"
#include "Helmcast.h"
#include "Loopback.h"
#include "LoopbackPeer.h"
#include "Message.h"
#include "Promises.h"

extern "C" void InitModule(HINSTANCE instance);
extern "C" void ExitModule(HINSTANCE instance);

namespace {

constexpr int kPeers = 8;
constexpr int32_t kMaxClientsChoices[] = {1, 2, 5, 0};

struct Peers {
    fuzz::LoopbackPeer p0{1, 0}, p1{1, 0}, p2{1, 0}, p3{1, 0}, p4{2, 0}, p5{2, 0}, p6{3, 0}, p7{3, 0};
    const fuzz::LoopbackPeer* all[kPeers] = {&p0, &p1, &p2, &p3, &p4, &p5, &p6, &p7};
};
Peers* peers = nullptr;

struct Setup {
    bool readOnly;
    int32_t maxClients;  // as the master applies it
    std::string text;
};

Setup Configuration(uint8_t bits) {
    Setup setup;
    setup.readOnly = (bits & 1) != 0;
    const int32_t configured = kMaxClientsChoices[(bits >> 4) & 3];
    setup.maxClients = configured < 1 ? MasterSettings::kDefaultMaxClients : configured;
    // Port 0: the system chooses, so runs side by side never collide.
    setup.text =
        "masterPort = 0\nreadOnly = " + std::to_string(bits & 1) + "\nwaitForACK = " + std::to_string((bits >> 1) & 1) +
        "\nwaitForClients = " + std::to_string((bits >> 2) & 1) + "\ndebug = " + std::to_string((bits >> 3) & 1) +
        "\nmaxClients = " + std::to_string(configured) + "\nmaxUpdateRate = " + ((bits & 0x40) != 0 ? "30" : "-1") +
        ((bits & 0x80) != 0 ? "\ntextSyncClasses = FuzzShip\n" : "\n");
    return setup;
}

// What the clients did in this input.
struct Ledger {
    bool subscribed[kPeers] = {};  // sent a Hello
    size_t keysSent = 0;           // keys in keyboard datagrams, from anyone
    size_t keysTyped = 0;          // on the master's host
};

Helmcast& LoadMaster(const Setup& setup) {
    auto* master = dynamic_cast<Helmcast*>(
        fuzz::LoadModule(kMasterModuleFile, &InitModule, &ExitModule, kMasterConfigFile, setup.text));
    // One vessel of each kind of update: text synchronised, version 1, XR.
    fuzz::AddVessel("Beta", "FuzzShip", 6.9e6);
    fuzz::AddVessel("Pod", "FuzzPod", 7.0e6);
    fuzz::AddVessel("Gamma", "XRSample", 7.1e6);
    fuzz::Host().startSimulation();
    if (master == nullptr || !master->ServerReady()) {
        std::fprintf(stderr, "master_sequence_fuzz: the master has no socket\n");
        std::abort();
    }
    return *master;
}

// The promises after a step: the client table holds at most maxClients
// distinct peers that subscribed, only those receive anything and all of it
// is messages, keys arrive only from clients' keyboard datagrams (never when
// read-only), and the host's values are numbers.
void Check(const Helmcast& master, const Setup& setup, const Ledger& ledger) {
    fuzz::RequireWorldFinite();
    for (int i = 0; i < kPeers; ++i) {
        for (const auto& datagram : peers->all[i]->receiveAll()) {
            fuzz::Require(ledger.subscribed[i]);
            std::unique_ptr<Message> message(CreateMessage(datagram.data(), static_cast<int>(datagram.size())));
            fuzz::Require(message != nullptr && message->type() != wire::kHello && message->type() != wire::kAck);
        }
    }
    const auto& clients = master.Table().Clients();
    fuzz::Require(clients.size() <= static_cast<size_t>(setup.maxClients));
    for (size_t c = 0; c < clients.size(); ++c) {
        int owner = -1;
        for (int i = 0; i < kPeers; ++i)
            if (peers->all[i]->is(AddressOf(clients[c].endpoint))) owner = i;
        fuzz::Require(owner >= 0 && ledger.subscribed[owner]);
        for (size_t other = 0; other < c; ++other)
            fuzz::Require(!peers->all[owner]->is(AddressOf(clients[other].endpoint)));
    }
    fuzz::Require(fuzz::KeysReceived() <= ledger.keysTyped + (setup.readOnly ? 0 : ledger.keysSent));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    peers = fuzz::PrepareRunWithPeers<Peers>(argc, argv, "master_sequence_fuzz");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::ScriptReader script(data, size);
    fuzz::DrainAll(peers->all);
    const Setup setup = Configuration(script.configuration());
    Helmcast& master = LoadMaster(setup);
    Ledger ledger;
    const int port = LocalPort(static_cast<int>(master.Socket().Handle()));
    auto send = [&](const fuzz::ScriptEvent& event) {
        const int peer = event.argument % kPeers;
        peers->all[peer]->sendTo(port, event.bytes, event.length);
        if (fuzz::IsHeaderMessage(event.bytes, event.length, wire::kHello)) ledger.subscribed[peer] = true;
        ledger.keysSent += static_cast<size_t>(fuzz::KeysCarried(event.bytes, event.length));
    };
    fuzz::PlayScript(
        script, send, [&] { Check(master, setup, ledger); }, ledger.keysTyped);
    // A last update takes in what is still queued.
    fuzz::StepHost(1.0);
    Check(master, setup, ledger);

    fuzz::Host().endSimulation();
    fuzz::StartAfresh();
    return 0;
}
