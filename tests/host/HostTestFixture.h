// A fresh stand-in host per test, rooted in a temporary folder, with a few
// generic vessel classes registered in code.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "SimHost.h"
#include "TempWorkspace.h"
#include "TestVessels.h"

class HostTest : public ::testing::Test {
protected:
    HostTest() {
        simhost::HostOptions options;
        options.rootDir = workspace.path().string();
        host().reset(options);
        simhost::GenericClassSpec tanker;
        tanker.propellantMasses = {100, 200, 300};
        tanker.thrusters = 4;
        tanker.dockPorts = 2;
        tanker.navRadios = 3;
        tanker.animations = 2;
        simhost::RegisterGenericClass("Tanker", tanker);
    }
    ~HostTest() override { host().reset(); }

    static simhost::Host& host() { return simhost::Host::instance(); }

    // A vessel in a circular orbit of the given radius around Earth.
    static OBJHANDLE orbiting(const char* name, const char* cls = "Tanker", double radius = 6778000.0) {
        return CreateVesselAt(name, cls, _V(radius, 0, 0), _V(0, 0, std::sqrt(3.986004418e14 / radius)));
    }

    static VESSEL* iface(OBJHANDLE h) { return oapiGetVesselInterface(h); }

    TempWorkspace workspace;
};
