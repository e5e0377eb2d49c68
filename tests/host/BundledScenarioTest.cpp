// The bundled scenario with the repository's class descriptions and the
// built vessel class module: classes from files, a class module loaded once
// and found by class name, and a save/load round trip of it all.
#include <regex>
#include <sstream>

#include "TestPaths.h"
#include "HostTestFixture.h"

namespace {

class BundledScenario : public HostTest {
protected:
    void SetUp() override {
        const std::string bin = BinDir();
        const std::string source = SourceDir();
        options.rootDir = workspace.path().string();
        options.classDirs = {source + "/config/Vessels"};
        options.moduleDirs = {bin};
        scenario = source + "/scenarios/Demo.scn";
        host().reset(options);
    }
    std::string stateWithoutKeys() {
        std::ostringstream dump;
        host().dumpState(dump);
        return std::regex_replace(dump.str(), std::regex("\"keys\":\\[[^\\]]*\\]*\\]"), "");
    }

    simhost::HostOptions options;
    std::string scenario;
};

TEST_F(BundledScenario, LoadsWithClassModuleAndDescriptions) {
    std::string error;
    ASSERT_TRUE(host().loadScenario(scenario, &error)) << error;
    EXPECT_EQ(oapiGetFocusObject(), oapiGetVesselByName(const_cast<char*>("Orbiter-1")));
    EXPECT_DOUBLE_EQ(oapiGetSimMJD(), 60000.5);

    VESSEL* xr = oapiGetVesselInterface(oapiGetVesselByName(const_cast<char*>("XR-5")));
    ASSERT_NE(xr, nullptr);
    HMODULE module = GetModuleHandleA(xr->GetClassNameA());
    ASSERT_NE(module, nullptr);
    auto* flag = reinterpret_cast<const bool*>(GetProcAddress(module, "XRVesselCtrlFlag"));
    ASSERT_NE(flag, nullptr);
    EXPECT_TRUE(*flag);

    VESSEL* station = oapiGetVesselInterface(oapiGetVesselByName(const_cast<char*>("Station-A")));
    VESSEL* crew = oapiGetVesselInterface(oapiGetVesselByName(const_cast<char*>("Crew-B")));
    ASSERT_NE(station, nullptr);
    ASSERT_NE(crew, nullptr);
    EXPECT_EQ(station->GetDockStatus(station->GetDockHandle(1)), crew->GetHandle());
    EXPECT_EQ(station->Version(), 3);
    EXPECT_EQ(crew->Version(), 1);
    EXPECT_EQ(oapiGetVesselInterface(oapiGetVesselByName(const_cast<char*>("Lander-3")))->Version(), 0);
}

TEST_F(BundledScenario, SaveAndLoadAgainGivesTheSameState) {
    std::string error;
    ASSERT_TRUE(host().loadScenario(scenario, &error)) << error;
    host().step(1.0);
    const std::string before = stateWithoutKeys();
    ASSERT_TRUE(host().saveScenario(workspace.path().string() + "/again.scn", "again"));

    host().reset(options);
    EXPECT_EQ(GetModuleHandleA("XRSample"), nullptr);  // the class module went with the reset
    ASSERT_TRUE(host().loadScenario(workspace.path().string() + "/again.scn", &error)) << error;
    EXPECT_EQ(stateWithoutKeys(), before);
}

TEST_F(BundledScenario, ResetKeepingClassModulesForgetsVesselsAndTheirKeysOnly) {
    std::string error;
    ASSERT_TRUE(host().loadScenario(scenario, &error)) << error;
    OBJHANDLE focus = oapiGetFocusObject();
    host().deliverKey(simhost::KeyEvent{OAPI_KEY_G, 'G', true, false});
    ASSERT_EQ(host().keysReceivedBy(focus).size(), 1u);
    HMODULE module = GetModuleHandleA("XRSample");
    ASSERT_NE(module, nullptr);
    host().step(5.0);

    host().resetKeepingClassModules(options);
    EXPECT_EQ(oapiGetVesselCount(), 0u);
    EXPECT_EQ(oapiGetFocusObject(), nullptr);
    EXPECT_DOUBLE_EQ(host().sysTime(), options.virtualClockStart);
    EXPECT_EQ(GetModuleHandleA("XRSample"), module);
    // The scenario loads again on the module that stayed, and its vessels start without keys.
    ASSERT_TRUE(host().loadScenario(scenario, &error)) << error;
    EXPECT_TRUE(host().keysReceivedBy(oapiGetFocusObject()).empty());
    EXPECT_EQ(GetModuleHandleA("XRSample"), module);
}

}  // namespace
