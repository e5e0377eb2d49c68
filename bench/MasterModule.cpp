#include "MasterModule.h"

#include <string>

#include "platform/PlatformServices.h"
#include "WireRecords.h"

extern "C" void InitModule(HINSTANCE instance);
extern "C" void ExitModule(HINSTANCE instance);

namespace bench {
namespace {

// A free port on 127.0.0.1 for the master to bind.
int FreePort() {
    UdpPeer probe;
    return probe.port();
}

}  // namespace

MasterBench::MasterBench(int vessels, int clients, const std::string& extraConfig) {
    ResetHost(workspace_);
    AddVessels(vessels);
    port_ = FreePort();
    // Every step updates: the benchmark calls the update directly, no gate.
    // All peers share 127.0.0.1.
    workspace_.write("Config/Helmcast.cfg", "masterPort = " + std::to_string(port_) +
                                                "\nmaxUpdateRate = -1\nmaxClientsPerAddress = 64\n" + extraConfig);
    simhost::Host& host = simhost::Host::instance();
    host.attachInProcessModule(kMasterModuleFile, &InitModule, &ExitModule);
    master_ = dynamic_cast<Helmcast*>(host.registeredModules().back());
    host.startSimulation();
    if (master_ == nullptr || !master_->ServerReady()) return;

    for (int i = 0; i < clients; ++i) {
        peers_.push_back(std::make_unique<UdpPeer>());
        addresses_.push_back(peers_.back()->address());
        const wire::HeaderRecord hello{{wire::kHello, 0}};
        peers_.back()->sendTo(port_, &hello, sizeof hello);
    }
    // The first update's receive phase takes the Hellos, the second's end
    // answers them, the third's receive phase takes the Acks that confirm
    // them; the fourth reaches all of them.
    update();
    update();
    drainPeers();
    acknowledge();
    update();
    drainPeers();
    update();
    if (peers_.empty()) {
        ready_ = true;
        return;
    }
    peers_[0]->drain(&recorded_);
    for (size_t i = 1; i < peers_.size(); ++i) peers_[i]->drain();
    ready_ = !recorded_.empty() && master_->Table().Clients().size() == static_cast<size_t>(clients);
}

MasterBench::~MasterBench() {
    simhost::Host& host = simhost::Host::instance();
    if (host.running()) host.endSimulation();
    host.reset();
}

void MasterBench::update() {
    simhost::SendRound round;
    master_->clbkPostStep(simhost::Host::instance().simTime(), 0.0, simhost::Host::instance().simMJD());
}

void MasterBench::acknowledge() const {
    const wire::HeaderRecord ack{{wire::kAck, 0}};
    for (const auto& peer : peers_) peer->sendTo(port_, &ack, sizeof ack);
}

size_t MasterBench::drainPeers() const {
    size_t total = 0;
    for (const auto& peer : peers_) total += peer->drain();
    return total;
}

std::vector<Bytes> RecordedUpdate(int vessels) {
    MasterBench master(vessels, 1);
    return master.ready() ? master.recorded() : std::vector<Bytes>();
}

}  // namespace bench
