// A master loaded in the stand-in host with a test client on loopback.
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "Datagram.h"
#include "Helmcast.h"
#include "Loopback.h"
#include "ModuleHarness.h"
#include "TestVessels.h"
#include "WireRecords.h"

class MasterFixture : public ::testing::Test {
protected:
    ModuleHarness<Helmcast> harness{kMasterModuleFile};
    int port = FreeUdpPort();

    static constexpr double kFrame = 1.0 / 60.0;

    Helmcast& start(const std::string& extraConfig = "") {
        harness.workspace.write("Config/Helmcast.cfg", "masterPort = " + std::to_string(port) + "\n" + extraConfig);
        Helmcast& master = harness.load();
        harness.host().startSimulation();
        return master;
    }

    OBJHANDLE addVessel(const std::string& name, const std::string& className, double radius = 7.0e6) {
        return CreateVesselAt(name, className, _V(radius, 0, 0), _V(0, 7500, 0));
    }

    void send(const PeerSocket& peer, int32_t type, int32_t seq = 0) const {
        int32_t header[2] = {type, seq};
        peer.sendTo(port, header, sizeof header);
    }

    // Steps until the master has run one update (strictly past the interval).
    void update() { harness.host().step(1.0); }
    // A step without an update: the master reads what came meanwhile.
    void between() { harness.host().step(0.0); }

    // Subscribes peers as slaves do: a Hello, answered by the next update's
    // end alone, whose Ack confirms them; the update after that comes whole.
    // What they received on the way is read away.
    void subscribe(const std::vector<const PeerSocket*>& peers) {
        for (const PeerSocket* peer : peers) send(*peer, wire::kHello);
        between();
        update();
        for (const PeerSocket* peer : peers) {
            receiveAll(*peer);
            send(*peer, wire::kAck);
        }
        between();
    }
    void subscribe(const PeerSocket& peer) { subscribe({&peer}); }
    size_t clientCount(const Helmcast& master) const { return master.Table().Clients().size(); }
    int clientPort(const Helmcast& master, size_t position) const {
        return ntohs(master.Table().Clients().at(position).endpoint.port);
    }

    static std::vector<Datagram> receiveAll(const PeerSocket& peer) { return ReceiveAllNow(peer); }

    static std::vector<int32_t> types(const std::vector<Datagram>& datagrams) {
        std::vector<int32_t> result;
        for (const auto& d : datagrams) result.push_back(d.type());
        return result;
    }
};

inline simhost::GenericClassSpec ClassOfVersion(int version) {
    simhost::GenericClassSpec description;
    description.interfaceVersion = version;
    description.propellantMasses = {1000.0, 500.0};
    description.thrusters = 4;
    description.dockPorts = 1;
    description.navRadios = 3;
    description.animations = 2;
    return description;
}
