// Scenario files: save and load again, hand-written files, and the default
// scenario callbacks of VESSEL2.
#include <regex>
#include <sstream>

#include "HostTestFixture.h"

namespace {

class Scenario : public HostTest {
protected:
    // The dump without the keys each vessel received in this session.
    std::string stateWithoutKeys() {
        std::ostringstream dump;
        host().dumpState(dump);
        return std::regex_replace(dump.str(), std::regex("\"keys\":\\[[^\\]]*\\]*\\]"), "");
    }
    void resetKeepingRoot() {
        simhost::HostOptions options;
        options.rootDir = workspace.path().string();
        host().reset(options);
    }
};

TEST_F(Scenario, SavedScenarioLoadsBackToTheSameState) {
    OBJHANDLE a = orbiting("Alpha", "Tanker", 6778123.456789);
    VESSEL* va = iface(a);
    VESSELSTATUS2 vs = StatusOf(*va);
    vs.rvel = _V(0.1, 7668.123456789012, 1.0 / 3.0);
    vs.arot = _V(0.1, 0.2, 0.3);
    va->DefSetStateEx(&vs);
    va->SetPropellantMass(va->GetPropellantHandleByIndex(1), 125.0);  // 0.625: a fraction that reads back exactly
    va->SetThrusterLevel(va->GetThrusterHandleByIndex(2), 0.3);
    va->ActivateNavmode(2);
    va->ActivateNavmode(7);
    va->SetNavChannel(1, 412);
    va->SetControlSurfaceLevel(AIRCTRL_AILERON, -0.3);
    va->SetAnimation(1, 0.6);
    va->SendBufferedKey(OAPI_KEY_L, true);  // lights on

    OBJHANDLE b = orbiting("Bravo", "Tanker", 6778200.0);
    ASSERT_EQ(va->Dock(b, 0, 1, 0), 0);
    VESSELSTATUS landed;
    std::memset(&landed, 0, sizeof landed);
    landed.status = 1;
    landed.base = oapiGetObjectByName(const_cast<char*>("Crater"));
    landed.vdata[0] = _V(0.41, 0.0122, 1.5);
    ASSERT_NE(oapiCreateVessel("Charlie", "Tanker", landed), nullptr);
    oapiSetFocusObject(b);
    oapiSetSimMJD(60001.25, 0x22);
    host().step(0.0);

    ASSERT_TRUE(oapiSaveScenario("RoundTrip", "two lines\nof description"));
    ASSERT_TRUE(workspace.exists("Scenarios/RoundTrip.scn"));
    const std::string before = stateWithoutKeys();

    resetKeepingRoot();
    std::string error;
    ASSERT_TRUE(host().loadScenario("RoundTrip", &error)) << error;
    EXPECT_EQ(stateWithoutKeys(), before);
    EXPECT_NE(before.find("LIGHTS 1"), std::string::npos);
    EXPECT_EQ(oapiGetFocusObject(), oapiGetVesselByName(const_cast<char*>("Bravo")));
    EXPECT_DOUBLE_EQ(oapiGetSimMJD(), 60001.25);
}

TEST_F(Scenario, HandWrittenScenarioWithLateDockPartnerAndClassLines) {
    workspace.write("Scenarios/Hand.scn",
                    "BEGIN_DESC\nBEGIN_SHIPS is only text here\nEND_DESC\n"
                    "BEGIN_ENVIRONMENT\n  Date MJD 60000.5\nEND_ENVIRONMENT\n"
                    "BEGIN_FOCUS\n  Ship station\nEND_FOCUS\n"
                    "BEGIN_SHIPS\n"
                    "Ferry:Tanker   ; docked to a vessel that comes later\n"
                    "  STATUS Orbiting Earth\n  RPOS 6778000 0 0\n  RVEL 0 0 7668.6\n"
                    "  DOCKED 1:Station:0\n  CARGO two crates ; and a comment\n  LIGHTS 1\n"
                    "  NAVMODES 14\n  PRPLEVEL 0:0.5 2:0.25\n  ANIM 1:0.75\n"
                    "END\n"
                    "Station:Tanker\n  STATUS Landed Earth\n  BASE Harbour\n  HEADING 90\nEND\n"
                    "END_SHIPS\n");
    std::string error;
    ASSERT_TRUE(host().loadScenario("Hand.scn", &error)) << error;
    EXPECT_DOUBLE_EQ(oapiGetSimMJD(), 60000.5);
    ASSERT_EQ(oapiGetVesselCount(), 2u);
    VESSEL* ferry = iface(oapiGetVesselByIndex(0));
    VESSEL* station = iface(oapiGetVesselByIndex(1));
    EXPECT_EQ(oapiGetFocusInterface(), station);
    EXPECT_EQ(ferry->GetDockStatus(ferry->GetDockHandle(1)), station->GetHandle());
    EXPECT_TRUE(ferry->GetNavmodeState(1));
    EXPECT_TRUE(ferry->GetNavmodeState(4));
    EXPECT_DOUBLE_EQ(ferry->GetPropellantMass(ferry->GetPropellantHandleByIndex(2)), 75.0);
    ANIMATION* list = nullptr;
    ferry->GetAnimPtr(&list);
    EXPECT_DOUBLE_EQ(list[1].state, 0.75);

    const VESSELSTATUS2 vs = StatusOf(*station);
    EXPECT_EQ(vs.status, 1);
    EXPECT_EQ(vs.base, oapiGetObjectByName(const_cast<char*>("harbour")));
    EXPECT_NEAR(vs.surf_lng * 180.0 / 3.14159265358979323846, 4.4, 1e-12);
    EXPECT_NEAR(vs.surf_hdg * 180.0 / 3.14159265358979323846, 90.0, 1e-12);

    std::ostringstream dump;
    host().dumpState(dump);
    EXPECT_NE(dump.str().find("CARGO two crates\\n"), std::string::npos);
    EXPECT_EQ(dump.str().find("DOCKED 1:Station:0"), dump.str().rfind("DOCKED 1:Station:0"));
}

TEST_F(Scenario, MissingScenarioIsReported) {
    std::string error;
    EXPECT_FALSE(host().loadScenario("NoSuchFile", &error));
    EXPECT_FALSE(error.empty());
}

TEST_F(Scenario, DefaultCallbacksReadTheLinesUpToEnd) {
    OBJHANDLE h = orbiting("Reader");
    workspace.write("lines.txt", "  STATUS Orbiting Moon\n  RPOS 1 2 3\n  NAVFREQ 7 8\nEND\n  RPOS 9 9 9\n");
    FILEHANDLE file = oapiOpenFile("lines.txt", FILE_IN, ROOT);
    ASSERT_NE(file, nullptr);
    VESSEL2 reader(h);
    VESSELSTATUS2 vs = BlankStatus2();
    reader.clbkLoadStateEx(file, &vs);
    oapiCloseFile(file, FILE_IN);
    EXPECT_EQ(vs.rbody, oapiGetObjectByName(const_cast<char*>("Moon")));
    EXPECT_DOUBLE_EQ(vs.rpos.z, 3.0);
    EXPECT_EQ(reader.GetNavChannel(1), 8u);  // no field in the record: set on the vessel
}

}  // namespace
