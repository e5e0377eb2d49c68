// Status records: what GetStatus/GetStatusEx report and what
// DefSetState/DefSetStateEx apply, lists included.
#include <vector>

#include "HostTestFixture.h"

namespace {

class StatusRecords : public HostTest {};

TEST_F(StatusRecords, ListsAreWrittenInFullThroughTheCallersPointers) {
    simhost::GenericClassSpec many;
    for (int i = 0; i < 20; ++i) many.propellantMasses.push_back(100.0 + i);
    many.thrusters = 70;
    many.dockPorts = 3;
    simhost::RegisterGenericClass("Many", many);
    OBJHANDLE h = orbiting("Big", "Many");
    ASSERT_NE(h, nullptr);
    iface(h)->SetPropellantMass(iface(h)->GetPropellantHandleByIndex(19), 59.5);  // 119 max
    iface(h)->SetThrusterLevel(iface(h)->GetThrusterHandleByIndex(69), 0.25);

    // Room for more than the vessel has; the sentinel past its entries stays.
    std::vector<VESSELSTATUS2::FUELSPEC> fuel(21, VESSELSTATUS2::FUELSPEC{999, -1.0});
    std::vector<VESSELSTATUS2::THRUSTSPEC> thrust(71, VESSELSTATUS2::THRUSTSPEC{999, -1.0});
    std::vector<VESSELSTATUS2::DOCKINFOSPEC> docks(4, VESSELSTATUS2::DOCKINFOSPEC{999, 999, nullptr});
    VESSELSTATUS2 vs = BlankStatus2(VS_FUELLIST | VS_THRUSTLIST | VS_DOCKINFOLIST);
    vs.fuel = fuel.data();
    vs.thruster = thrust.data();
    vs.dockinfo = docks.data();
    iface(h)->GetStatusEx(&vs);

    EXPECT_EQ(vs.nfuel, 20u);
    EXPECT_EQ(fuel[19].idx, 19u);
    EXPECT_DOUBLE_EQ(fuel[19].level, 0.5);
    EXPECT_DOUBLE_EQ(fuel[0].level, 1.0);
    EXPECT_EQ(fuel[20].idx, 999u);
    EXPECT_EQ(vs.nthruster, 70u);
    EXPECT_DOUBLE_EQ(thrust[69].level, 0.25);
    EXPECT_EQ(thrust[70].idx, 999u);
    EXPECT_EQ(vs.ndockinfo, 3u);
    EXPECT_EQ(docks[2].idx, 2u);
    EXPECT_EQ(docks[2].rvessel, nullptr);
    EXPECT_EQ(docks[3].idx, 999u);
    EXPECT_EQ(vs.rbody, oapiGetObjectByName(const_cast<char*>("Earth")));
    EXPECT_DOUBLE_EQ(vs.rpos.x, 6778000.0);
}

TEST_F(StatusRecords, WithoutListBitsCountsAreZeroAndPointersUntouched) {
    OBJHANDLE h = orbiting("Plain");
    VESSELSTATUS2::FUELSPEC fuel{77, 7.0};
    VESSELSTATUS2 vs = BlankStatus2();
    vs.nfuel = 5;
    vs.nthruster = 5;
    vs.ndockinfo = 5;
    vs.fuel = &fuel;
    iface(h)->GetStatusEx(&vs);
    EXPECT_EQ(vs.nfuel, 0u);
    EXPECT_EQ(vs.nthruster, 0u);
    EXPECT_EQ(vs.ndockinfo, 0u);
    EXPECT_EQ(fuel.idx, 77u);

    VESSELSTATUS2 wrongVersion = BlankStatus2(VS_FUELLIST);
    wrongVersion.version = 1;
    wrongVersion.fuel = &fuel;
    iface(h)->GetStatusEx(&wrongVersion);
    EXPECT_EQ(wrongVersion.rbody, nullptr);
    EXPECT_EQ(fuel.idx, 77u);
}

TEST_F(StatusRecords, DefSetStateExAppliesListsResetsAndDocking) {
    OBJHANDLE a = orbiting("A");
    OBJHANDLE b = orbiting("B", "Tanker", 6778100.0);
    VESSEL* va = iface(a);

    VESSELSTATUS2::FUELSPEC fuel[2] = {{1, 0.5}, {7, 0.9}};  // index 7 does not exist
    VESSELSTATUS2::THRUSTSPEC thrust[1] = {{3, 0.75}};
    VESSELSTATUS2::DOCKINFOSPEC dock[1] = {{1, 0, b}};
    VESSELSTATUS2 vs = StatusOf(*va);
    vs.flag = VS_FUELRESET | VS_FUELLIST | VS_THRUSTLIST | VS_DOCKINFOLIST;
    SetLists(vs, fuel, thrust, dock);
    vs.rpos = _V(1, 2, 3);
    va->DefSetStateEx(&vs);

    EXPECT_DOUBLE_EQ(va->GetPropellantMass(va->GetPropellantHandleByIndex(0)), 0.0);  // reset
    EXPECT_DOUBLE_EQ(va->GetPropellantMass(va->GetPropellantHandleByIndex(1)), 100.0);
    EXPECT_DOUBLE_EQ(va->GetThrusterLevel(va->GetThrusterHandleByIndex(3)), 0.75);
    EXPECT_EQ(va->GetDockStatus(va->GetDockHandle(1)), b);
    EXPECT_EQ(iface(b)->GetDockStatus(iface(b)->GetDockHandle(0)), a);
    EXPECT_DOUBLE_EQ(StatusOf(*va).rpos.z, 3.0);

    // A listed port without a partner is undocked.
    dock[0].rvessel = nullptr;
    vs.flag = VS_DOCKINFOLIST;
    va->DefSetStateEx(&vs);
    EXPECT_EQ(va->GetDockStatus(va->GetDockHandle(1)), nullptr);
    EXPECT_EQ(iface(b)->GetDockStatus(iface(b)->GetDockHandle(0)), nullptr);
}

TEST_F(StatusRecords, LandedStatusRoundTripsThroughBothRecords) {
    OBJHANDLE cape = oapiGetObjectByName(const_cast<char*>("Cape"));
    VESSELSTATUS vs;
    std::memset(&vs, 0, sizeof vs);
    vs.base = cape;
    vs.status = 1;
    vs.vdata[0] = _V(-1.4, 0.5, 0.25);
    vs.fuel = 0.5;
    OBJHANDLE h = oapiCreateVessel("Lander", "Tanker", vs);
    ASSERT_NE(h, nullptr);

    VESSELSTATUS back;
    iface(h)->GetStatus(back);
    EXPECT_EQ(back.status, 1);
    EXPECT_EQ(back.base, cape);
    EXPECT_EQ(back.rbody, oapiGetObjectByName(const_cast<char*>("Earth")));
    EXPECT_DOUBLE_EQ(back.vdata[0].x, -1.4);
    EXPECT_DOUBLE_EQ(back.vdata[0].z, 0.25);
    EXPECT_DOUBLE_EQ(back.fuel, 0.5);
    EXPECT_NEAR(std::sqrt(back.rpos.x * back.rpos.x + back.rpos.y * back.rpos.y + back.rpos.z * back.rpos.z), 6371000.0,
                1e-6);

    const VESSELSTATUS2 ex = StatusOf(*iface(h));
    EXPECT_EQ(ex.status, 1);
    EXPECT_DOUBLE_EQ(ex.surf_lat, 0.5);
    EXPECT_EQ(iface(h)->GetFlightStatus() & 1, 1);
}

TEST_F(StatusRecords, UnknownAndNullHandlesAreHarmless) {
    VESSEL ghost(nullptr);
    VESSELSTATUS2 vs = BlankStatus2(VS_FUELLIST);
    ghost.GetStatusEx(&vs);
    ghost.DefSetStateEx(&vs);
    EXPECT_EQ(ghost.GetPropellantCount(), 0u);
    EXPECT_STREQ(ghost.GetName(), "");
    int notAnObject = 0;
    EXPECT_EQ(oapiGetVesselInterface(&notAnObject), nullptr);
    OBJHANDLE a = orbiting("A");
    VESSELSTATUS2::DOCKINFOSPEC dock{0, 0, &notAnObject};
    vs = BlankStatus2(VS_DOCKINFOLIST);
    iface(a)->GetStatusEx(&vs);
    vs.ndockinfo = 1;
    vs.dockinfo = &dock;
    iface(a)->DefSetStateEx(&vs);
    EXPECT_EQ(iface(a)->GetDockStatus(iface(a)->GetDockHandle(0)), nullptr);
}

}  // namespace
