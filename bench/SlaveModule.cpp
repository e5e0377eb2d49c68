#include "SlaveModule.h"

#include <string>

#include "platform/PlatformServices.h"

extern "C" void InitModule(HINSTANCE instance);
extern "C" void ExitModule(HINSTANCE instance);

namespace bench {

SlaveBench::SlaveBench(int vessels) {
    ResetHost(workspace_);
    vessels_ = AddVessels(vessels);
    workspace_.write("Config/Helmecho.cfg",
                     "masterIP = 127.0.0.1\nmasterPort = " + std::to_string(master_.port()) + "\n");
    simhost::Host& host = simhost::Host::instance();
    host.attachInProcessModule(kSlaveModuleFile, &InitModule, &ExitModule);
    slave_ = dynamic_cast<Helmecho*>(host.registeredModules().back());
    if (slave_ == nullptr || !slave_->Socket().IsOpen()) return;
    host.startSimulation();
    sockaddr_in local;
    std::memset(&local, 0, sizeof local);
    int length = sizeof local;
    if (getsockname(slave_->Socket().Handle(), reinterpret_cast<sockaddr*>(&local), &length) != 0) return;
    slavePort_ = ntohs(local.sin_port);
    ready_ = drainMaster() == 1;  // the hello
}

SlaveBench::~SlaveBench() {
    simhost::Host& host = simhost::Host::instance();
    if (host.running()) host.endSimulation();
    host.reset();
}

void SlaveBench::queue(std::vector<Bytes>& datagrams) {
    Stamp(datagrams, nextSeq_);
    Queue(master_.fd(), slavePort_, datagrams);
}

void SlaveBench::receive() {
    simhost::SendRound round;
    slave_->clbkPostStep(simhost::Host::instance().simTime(), 0.0, simhost::Host::instance().simMJD());
}

unsigned long SlaveBench::pending() const {
    // Queued for the slave: in its socket's inbox or still in the socket.
    u_long bytes = 0;
    if (ioctlsocket(slave_->Socket().Handle(), FIONREAD, &bytes) != 0) bytes = 0;
    return bytes + slave_->Socket().Held();
}

}  // namespace bench
