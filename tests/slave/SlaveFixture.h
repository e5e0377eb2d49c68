// A slave loaded in the stand-in host, subscribed to a test master socket on
// loopback. The test plays the master: it sends hand-built wire records and
// reads what the slave sends back.
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "Datagram.h"
#include "Helmecho.h"
#include "HookVessel.h"
#include "Loopback.h"
#include "ModuleHarness.h"
#include "TestVessels.h"
#include "WireRecords.h"

using SlaveDatagram = Datagram;

class SlaveFixture : public ::testing::Test {
protected:
    ModuleHarness<Helmecho> harness{kSlaveModuleFile};
    PeerSocket master;
    int slavePort = 0;

    // The host ends a running simulation before it unloads its modules.
    void TearDown() override {
        if (harness.host().running()) harness.host().endSimulation();
    }

    static constexpr double kSecondsPerDay = 86400.0;
    // A date whose neighbourhood the tests can reason about.
    static constexpr double kBaseMjd = 60000.5;

    // Loads the slave with the given extra configuration lines (after the
    // master's address), starts the simulation and runs one step, which
    // closes the first statistics interval; everything the slave sent until
    // then is read and dropped.
    Helmecho& start(const std::string& extraConfig = "", const simhost::HostOptions* options = nullptr) {
        if (options != nullptr) {
            simhost::HostOptions withRoot = *options;
            withRoot.rootDir = harness.workspace.path().string();
            harness.host().reset(withRoot);
        }
        writeConfig("masterIP = 127.0.0.1\nmasterPort = " + std::to_string(master.port()) + "\n" + extraConfig);
        Helmecho& slave = harness.load();
        slavePort = LocalPort(static_cast<int>(slave.Socket().Handle()));
        harness.host().setSimMJD(kBaseMjd);
        harness.host().startSimulation();
        step();
        receiveAll();
        return slave;
    }

    void writeConfig(const std::string& text) { harness.workspace.write("Config/Helmecho.cfg", text); }

    // A step of no simulated and no real time: the date and the system
    // time stay put unless the slave moves them.
    void step() { harness.host().step(0.0); }

    // Sends as the master does: a record whose `seq` is left at 0 gets the
    // next number after the highest sent so far, since the slave takes each
    // number once; a test that sets a number gets it unchanged.
    template <class Record>
    void send(const Record& record, size_t length = sizeof(Record)) const {
        Record numbered = record;
        if (numbered.header.seq == 0) numbered.header.seq = highestSeq + 1;
        if (numbered.header.seq > highestSeq) highestSeq = numbered.header.seq;
        master.sendTo(slavePort, &numbered, length);
    }
    mutable int32_t highestSeq = 0;

    void sendHeader(int32_t type, int32_t seq = 0) const {
        wire::HeaderRecord record{};
        record.header = {type, seq};
        send(record);
    }

    static wire::StartRecord StartAt(double mjd, int32_t seq = 0, double timeAccel = 1.0) {
        wire::StartRecord record{};
        record.header = {wire::kStart, seq};
        record.mjd = mjd;
        record.timeAccel = timeAccel;
        record.simStep = 0.02;
        return record;
    }

    // The master's date `seconds` ahead of the slave's.
    static double Ahead(double seconds) { return kBaseMjd + seconds / kSecondsPerDay; }

    std::vector<SlaveDatagram> receiveAll() const { return ReceiveAllNow(master); }

    int countReceived(int32_t type) const {
        int count = 0;
        for (const auto& d : receiveAll()) count += d.type() == type ? 1 : 0;
        return count;
    }

    std::vector<std::string> logTexts() const { return harness.logTexts(); }
    std::vector<std::string> rawLog() const { return harness.workspace.lines(harness.logFile()); }

    static void CopyName(wire::Name& field, const std::string& text) {
        std::memset(field, 0, sizeof field);
        std::strncpy(field, text.c_str(), sizeof field - 1);
    }

    static VESSEL* Vessel(const std::string& name) {
        std::string copy = name;
        OBJHANDLE handle = oapiGetVesselByName(&copy[0]);
        return handle != nullptr ? oapiGetVesselInterface(handle) : nullptr;
    }

    // A local vessel in orbit around Earth.
    static OBJHANDLE AddVessel(const std::string& name, const std::string& className, VECTOR3 rpos = {7.0e6, 0, 0},
                               VECTOR3 rvel = {0, 7500, 0}) {
        return CreateVesselAt(name, className, rpos, rvel);
    }

    static std::vector<double> AnimationStates(VESSEL& vessel) {
        ANIMATION* list = nullptr;
        const UINT count = vessel.GetAnimPtr(&list);
        std::vector<double> states;
        for (UINT i = 0; list != nullptr && i < count; ++i) states.push_back(list[i].state);
        return states;
    }
};

inline simhost::GenericClassSpec SlaveClassOfVersion(int version) {
    simhost::GenericClassSpec description;
    description.interfaceVersion = version;
    description.propellantMasses = {1000.0};
    description.thrusters = 2;
    description.dockPorts = 1;
    description.navRadios = 2;
    description.animations = 3;
    return description;
}
