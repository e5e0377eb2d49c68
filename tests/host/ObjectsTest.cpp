// Objects: names, handles, vessel order, focus and classes from descriptions.
#include "HostTestFixture.h"

namespace {

class Objects : public HostTest {};

char* Name(const char* text) { return const_cast<char*>(text); }

TEST_F(Objects, NamesIgnoreCaseAndUnknownNamesGiveZero) {
    OBJHANDLE ship = orbiting("Orbiter-1");
    ASSERT_NE(ship, nullptr);
    EXPECT_EQ(oapiGetVesselByName(Name("ORBITER-1")), ship);
    EXPECT_EQ(oapiGetObjectByName(Name("orbiter-1")), ship);
    EXPECT_EQ(oapiGetVesselByName(Name("Orbiter-2")), nullptr);
    EXPECT_EQ(oapiGetObjectByName(Name("Nowhere")), nullptr);

    OBJHANDLE earth = oapiGetObjectByName(Name("earth"));
    OBJHANDLE moon = oapiGetObjectByName(Name("Moon"));
    OBJHANDLE crater = oapiGetObjectByName(Name("CRATER"));
    ASSERT_NE(earth, nullptr);
    ASSERT_NE(crater, nullptr);
    EXPECT_NE(earth, moon);
    EXPECT_NE(earth, ship);
    // Bodies and bases are objects, not vessels.
    EXPECT_EQ(oapiGetVesselByName(Name("Earth")), nullptr);
    EXPECT_EQ(oapiGetVesselInterface(earth), nullptr);
    EXPECT_DOUBLE_EQ(oapiGetSize(moon), 1737400.0);
}

TEST_F(Objects, ObjectNameIsCutToTheRoomAndTerminated) {
    OBJHANDLE ship = orbiting("ABCDEFGHIJ");
    char buffer[8];
    std::memset(buffer, 'x', sizeof buffer);
    oapiGetObjectName(ship, buffer, 5);
    EXPECT_STREQ(buffer, "ABCD");
    EXPECT_EQ(buffer[5], 'x');  // nothing past the n bytes
    oapiGetObjectName(oapiGetObjectByName(Name("Harbour")), buffer, sizeof buffer);
    EXPECT_STREQ(buffer, "Harbour");
    oapiGetObjectName(nullptr, buffer, sizeof buffer);
    EXPECT_STREQ(buffer, "");
}

TEST_F(Objects, VesselOrderIsCreationOrderAndNamesAreUnique) {
    OBJHANDLE a = orbiting("A");
    OBJHANDLE b = orbiting("B");
    EXPECT_EQ(orbiting("a"), nullptr);  // name taken, whatever the case
    EXPECT_EQ(oapiGetVesselCount(), 2u);
    EXPECT_EQ(oapiGetVesselByIndex(0), a);
    EXPECT_EQ(oapiGetVesselByIndex(1), b);
    EXPECT_EQ(oapiGetVesselByIndex(2), nullptr);
    EXPECT_EQ(oapiGetVesselByIndex(-1), nullptr);

    EXPECT_TRUE(oapiDeleteVessel(a));
    EXPECT_EQ(oapiGetVesselCount(), 1u);
    EXPECT_EQ(oapiGetVesselByIndex(0), b);
    EXPECT_EQ(oapiGetVesselByName(Name("A")), nullptr);
}

TEST_F(Objects, FocusChangesOnlyToVessels) {
    OBJHANDLE a = orbiting("A");
    OBJHANDLE b = orbiting("B");
    EXPECT_EQ(oapiGetFocusObject(), a);  // the first vessel takes the focus
    EXPECT_EQ(oapiSetFocusObject(b), a);
    EXPECT_EQ(oapiGetFocusInterface(), iface(b));
    EXPECT_EQ(oapiSetFocusObject(oapiGetObjectByName(Name("Earth"))), nullptr);
    EXPECT_EQ(oapiSetFocusObject(nullptr), nullptr);
    EXPECT_EQ(oapiGetFocusObject(), b);
}

TEST_F(Objects, ClassesComeFromDescriptionsOrTheGenericDefault) {
    workspace.write("Config/Vessels/Shuttle.cfg",
                    "; a test class\nInterfaceVersion = 3\nPropellants = 500, 50\nNavRadios = 2\n"
                    "DockPorts = 1\nAnimations = 1\nEmptyMass = 2000\n");
    OBJHANDLE s = orbiting("S", "shuttle");
    ASSERT_NE(s, nullptr);
    VESSEL* v = iface(s);
    EXPECT_EQ(v->Version(), 3);
    EXPECT_STREQ(v->GetClassNameA(), "shuttle");
    ASSERT_EQ(v->GetPropellantCount(), 2u);
    EXPECT_DOUBLE_EQ(v->GetPropellantMaxMass(v->GetPropellantHandleByIndex(0)), 500.0);
    EXPECT_DOUBLE_EQ(v->GetPropellantMass(v->GetPropellantHandleByIndex(1)), 50.0);  // full
    EXPECT_EQ(v->GetNavCount(), 2u);
    EXPECT_EQ(v->DockCount(), 1u);
    EXPECT_DOUBLE_EQ(v->GetMass(), 2550.0);

    OBJHANDLE u = orbiting("U", "NoSuchClass");
    ASSERT_NE(u, nullptr);
    EXPECT_EQ(iface(u)->GetPropellantCount(), 0u);
    EXPECT_EQ(iface(u)->Version(), 2);
}

TEST_F(Objects, ModesRadiosAndSurfacesKeepTheirBounds) {
    VESSEL* v = iface(orbiting("M"));
    EXPECT_TRUE(v->ActivateNavmode(NAVMODE_KILLROT));
    EXPECT_TRUE(v->ActivateNavmode(NAVMODE_RETROGRADE));
    EXPECT_FALSE(v->ActivateNavmode(8));
    EXPECT_TRUE(v->GetNavmodeState(1));
    EXPECT_TRUE(v->GetNavmodeState(4));
    EXPECT_FALSE(v->GetNavmodeState(2));
    EXPECT_TRUE(v->DeactivateNavmode(1));
    EXPECT_FALSE(v->GetNavmodeState(1));

    EXPECT_TRUE(v->SetNavChannel(2, 639));
    EXPECT_FALSE(v->SetNavChannel(2, 640));
    EXPECT_FALSE(v->SetNavChannel(3, 10));  // three radios
    EXPECT_EQ(v->GetNavChannel(2), 639u);

    v->SetControlSurfaceLevel(AIRCTRL_RUDDERTRIM, 3.0);
    v->SetControlSurfaceLevel(AIRCTRL_ELEVATOR, -0.25);
    EXPECT_DOUBLE_EQ(v->GetControlSurfaceLevel(AIRCTRL_RUDDERTRIM), 1.0);
    EXPECT_DOUBLE_EQ(v->GetControlSurfaceLevel(AIRCTRL_ELEVATOR), -0.25);

    EXPECT_TRUE(v->SetAttitudeMode(RCS_LIN));
    EXPECT_FALSE(v->SetAttitudeMode(3));
    EXPECT_EQ(v->GetAttitudeMode(), RCS_LIN);
    v->SetADCtrlMode(5);
    EXPECT_EQ(v->GetADCtrlMode(), 5u);

    ANIMATION* list = nullptr;
    ASSERT_EQ(v->GetAnimPtr(&list), 2u);
    EXPECT_TRUE(v->SetAnimation(1, 0.75));
    EXPECT_FALSE(v->SetAnimation(2, 0.5));
    // The state sits at offset 8 of each record, as plug-ins read it.
    double state = 0.0;
    std::memcpy(&state, reinterpret_cast<const char*>(&list[1]) + 8, sizeof state);
    EXPECT_DOUBLE_EQ(state, 0.75);
}

}  // namespace
