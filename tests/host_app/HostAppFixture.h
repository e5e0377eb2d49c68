// The host of the test program, reset for each test: on its virtual clock,
// with the bundled class descriptions and, where a test asks for them, the
// built vessel class modules.
#pragma once

#include <gtest/gtest.h>

#include "HostAppPaths.h"
#include "SimHost.h"
#include "TestVessels.h"

namespace host_app_test {

class HostAppTest : public testing::Test {
protected:
    void TearDown() override { host().reset(); }

    static simhost::Host& host() { return simhost::Host::instance(); }

    static void resetHost(bool withClassModules) {
        simhost::HostOptions options;
        options.virtualClock = true;
        if (withClassModules) options.moduleDirs = {binDir()};
        options.classDirs = {classesDir()};
        host().reset(options);
    }

    // The one-byte flag a class module that offers the XR interface exports,
    // found as the modules find it (the module under the class name); null
    // where there is none.
    static const unsigned char* xrFlagOf(const char* className) {
        HMODULE module = GetModuleHandleA(className);
        FARPROC flag = module != nullptr ? GetProcAddress(module, "XRVesselCtrlFlag") : nullptr;
        return reinterpret_cast<const unsigned char*>(flag);
    }
};

}  // namespace host_app_test
