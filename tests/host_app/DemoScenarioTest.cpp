// The bundled scenario and the class descriptions load into the host with
// the vessels, states and interface versions they describe.
#include <cmath>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "HostAppFixture.h"
#include "XRVesselCtrl.h"

using namespace host_app_test;

namespace {

constexpr double kEarthGM = 3.986004418e14;

class DemoScenario : public HostAppTest {
protected:
    void SetUp() override {
        resetHost(true);
        std::string error;
        ASSERT_TRUE(host().loadScenario(demoScenario(), &error)) << error;
    }

    static OBJHANDLE vessel(const char* name) {
        std::string copy = name;
        return oapiGetVesselByName(&copy[0]);
    }
    static VESSEL* iface(const char* name) {
        OBJHANDLE h = vessel(name);
        return h ? oapiGetVesselInterface(h) : nullptr;
    }
    static std::string objectName(OBJHANDLE h) {
        char name[32] = {0};
        if (h) oapiGetObjectName(h, name, sizeof name);
        return name;
    }
    static double length(const VECTOR3& v) { return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z); }
    static VECTOR3 cross(const VECTOR3& a, const VECTOR3& b) {
        return _V(a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x);
    }
};

TEST_F(DemoScenario, HasEveryVesselWithItsClassTheFocusAndTheDate) {
    const char* const expected[][2] = {{"Orbiter-1", "Shuttle2"}, {"Relay-2", "Capsule1"}, {"Lander-3", "Tug0"},
                                       {"Station-A", "Station3"}, {"Crew-B", "Capsule1"},  {"XR-5", "XRSample"}};
    EXPECT_EQ(oapiGetVesselCount(), 6u);
    for (const auto& entry : expected) {
        VESSEL* v = iface(entry[0]);
        ASSERT_NE(v, nullptr) << entry[0];
        EXPECT_STREQ(v->GetClassNameA(), entry[1]) << entry[0];
    }
    ASSERT_NE(oapiGetFocusInterface(), nullptr);
    EXPECT_STREQ(oapiGetFocusInterface()->GetName(), "Orbiter-1");
    EXPECT_DOUBLE_EQ(host().simMJD(), 60000.5);
}

TEST_F(DemoScenario, TwoVesselsCircleEarthInDifferentOrbits) {
    VESSELSTATUS a, b;
    iface("Orbiter-1")->GetStatus(a);
    iface("Relay-2")->GetStatus(b);
    for (const VESSELSTATUS* s : {&a, &b}) {
        EXPECT_EQ(s->status, 0);
        EXPECT_EQ(objectName(s->rbody), "Earth");
        // Near-circular: the speed is the circular speed at that radius.
        EXPECT_NEAR(length(s->rvel), std::sqrt(kEarthGM / length(s->rpos)), 5.0);
    }
    EXPECT_GT(std::fabs(length(a.rpos) - length(b.rpos)), 100000.0);
    const VECTOR3 na = cross(a.rpos, a.rvel);
    const VECTOR3 nb = cross(b.rpos, b.rvel);
    const double cosAngle = (na.x * nb.x + na.y * nb.y + na.z * nb.z) / (length(na) * length(nb));
    EXPECT_LT(cosAngle, std::cos(30.0 * M_PI / 180.0));  // planes differ by more than 30 degrees
}

TEST_F(DemoScenario, TugStandsAtTheCape) {
    VESSEL* tug = iface("Lander-3");
    ASSERT_NE(tug, nullptr);
    EXPECT_EQ(tug->GetFlightStatus() & 1, 1);
    VESSELSTATUS s;
    tug->GetStatus(s);
    EXPECT_EQ(s.status, 1);
    EXPECT_EQ(objectName(s.base), "Cape");
    EXPECT_NEAR(s.vdata[0].x * 180.0 / M_PI, -80.6, 0.01);
    EXPECT_NEAR(s.vdata[0].y * 180.0 / M_PI, 28.5, 0.01);
}

TEST_F(DemoScenario, CapsuleIsDockedToTheStation) {
    VESSEL* station = iface("Station-A");
    VESSEL* capsule = iface("Crew-B");
    ASSERT_TRUE(station && capsule);
    EXPECT_EQ(station->GetDockStatus(station->GetDockHandle(1)), vessel("Crew-B"));
    EXPECT_EQ(capsule->GetDockStatus(capsule->GetDockHandle(0)), vessel("Station-A"));
    EXPECT_EQ(station->GetDockStatus(station->GetDockHandle(0)), nullptr);
}

TEST_F(DemoScenario, ShuttleStateIsInUse) {
    VESSEL* v = iface("Orbiter-1");
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(v->Version(), 2);
    PROPELLANT_HANDLE main = v->GetPropellantHandleByIndex(0);
    EXPECT_NEAR(v->GetPropellantMass(main), 0.9 * v->GetPropellantMaxMass(main), 1e-6);
    EXPECT_DOUBLE_EQ(v->GetThrusterLevel(v->GetThrusterHandleByIndex(0)), 0.1);
    const DWORD channels[] = {84, 120, 466, 500};
    ASSERT_EQ(v->GetNavCount(), 4u);
    for (DWORD i = 0; i < 4; ++i) EXPECT_EQ(v->GetNavChannel(i), channels[i]);
    EXPECT_EQ(v->GetAttitudeMode(), 1);
    EXPECT_TRUE(v->GetNavmodeState(3));
    EXPECT_FALSE(v->GetNavmodeState(1));
    EXPECT_EQ(v->GetADCtrlMode(), 7u);
    EXPECT_DOUBLE_EQ(v->GetControlSurfaceLevel(AIRCTRL_ELEVATOR), 0.1);
    ANIMATION* anim = nullptr;
    ASSERT_EQ(v->GetAnimPtr(&anim), 5u);
    EXPECT_DOUBLE_EQ(anim[1].state, 0.25);

    VESSEL* relay = iface("Relay-2");
    EXPECT_TRUE(relay->GetNavmodeState(1));
    EXPECT_TRUE(relay->GetNavmodeState(4));
    EXPECT_EQ(relay->GetAttitudeMode(), 2);
}

TEST_F(DemoScenario, XRVesselComesFromItsModuleWithItsSavedState) {
    VESSEL* v = iface("XR-5");
    ASSERT_NE(v, nullptr);
    const unsigned char* flag = xrFlagOf(v->GetClassNameA());
    ASSERT_NE(flag, nullptr);
    EXPECT_NE(*flag, 0);
    auto* xr = static_cast<XRVesselCtrl*>(v);
    EXPECT_EQ(xr->GetValue(), 42.5);
    XRPartRecord part;
    ASSERT_TRUE(xr->GetPartRecord(1, &part));
    EXPECT_EQ(part.position, 0.25);
    EXPECT_EQ(xr->GetStateCode(8, nullptr), 3);
    EXPECT_EQ(xr->GetStateCode(14, nullptr), 4);
    EXPECT_TRUE(xr->GetByteA());
    EXPECT_FALSE(xr->GetByteB());
    EXPECT_TRUE(xr->GetByteState(2));
    // Default lines of the same vessel reach the host, not the XR parser.
    EXPECT_EQ(v->GetNavChannel(0), 466u);
    EXPECT_EQ(v->GetADCtrlMode(), 3u);
}

// Every class description gives the interface version and lists it names.
TEST_F(DemoScenario, ClassDescriptionsGiveVersionsAndCapacities) {
    struct Expected {
        const char* cls;
        int version;
        DWORD propellants, thrusters;
        UINT docks;
        DWORD radios;
        UINT animations;
    };
    const Expected classes[] = {{"Tug0", 0, 1, 4, 1, 1, 0},      {"Capsule1", 1, 2, 8, 1, 2, 2},
                                {"Shuttle2", 2, 3, 14, 1, 4, 5}, {"Station3", 3, 1, 12, 4, 2, 3},
                                {"Future4", 4, 1, 2, 0, 1, 1},   {"Freighter2", 2, 20, 80, 2, 3, 40}};
    for (const Expected& e : classes) {
        OBJHANDLE h = CreateVesselAt(std::string("Test-") + e.cls, e.cls, _V(7000000, 0, 0), _V(0, 7546, 0));
        ASSERT_NE(h, nullptr) << e.cls;
        VESSEL* v = oapiGetVesselInterface(h);
        EXPECT_EQ(v->Version(), e.version) << e.cls;
        EXPECT_EQ(v->GetPropellantCount(), e.propellants) << e.cls;
        EXPECT_EQ(v->GetThrusterCount(), e.thrusters) << e.cls;
        EXPECT_EQ(v->DockCount(), e.docks) << e.cls;
        EXPECT_EQ(v->GetNavCount(), e.radios) << e.cls;
        ANIMATION* anim = nullptr;
        EXPECT_EQ(v->GetAnimPtr(&anim), e.animations) << e.cls;
    }
}

}  // namespace
