// Vessel objects of every interface version, and how the host treats them.
#include <sstream>

#include "HostTestFixture.h"

namespace {

class Versions : public HostTest {};

TEST_F(Versions, EachInterfaceCarriesItsVersionNumber) {
    OBJHANDLE h = orbiting("V");
    EXPECT_EQ(VESSEL(h).Version(), 0);
    EXPECT_EQ(VESSEL2(h).Version(), 1);
    EXPECT_EQ(VESSEL3(h).Version(), 2);
    EXPECT_EQ(VESSEL4(h).Version(), 3);
    // Any of them reads the same vessel.
    EXPECT_STREQ(VESSEL(h).GetName(), "V");
    EXPECT_EQ(VESSEL4(h).GetPropellantCount(), 3u);
}

TEST_F(Versions, GenericClassTakesItsVersionFromTheDescription) {
    for (int version = 0; version <= 4; ++version) {
        simhost::GenericClassSpec traits;
        traits.interfaceVersion = version;
        traits.propellantMasses = {10};
        traits.animations = 1;
        traits.animationRate = 0.5;
        std::string cls = "Gen" + std::to_string(version);
        simhost::RegisterGenericClass(cls, traits);
        VESSEL* v = iface(orbiting(cls.c_str(), cls.c_str()));
        ASSERT_NE(v, nullptr);
        EXPECT_EQ(v->Version(), version);
        EXPECT_EQ(v->GetPropellantCount(), 1u);  // equipment whatever the version
    }
    host().step(1.0);
    ANIMATION* list = nullptr;
    // Only objects with callbacks (version 1 and up) run their step code.
    iface(oapiGetVesselByName(const_cast<char*>("Gen0")))->GetAnimPtr(&list);
    EXPECT_DOUBLE_EQ(list[0].state, 0.0);
    iface(oapiGetVesselByName(const_cast<char*>("Gen4")))->GetAnimPtr(&list);
    EXPECT_DOUBLE_EQ(list[0].state, 0.5);
}

TEST_F(Versions, APlainVesselObjectGetsNoKeyCallback) {
    simhost::GenericClassSpec traits;
    traits.interfaceVersion = 0;
    simhost::RegisterGenericClass("Plain", traits);
    VESSEL* v = iface(orbiting("P", "Plain"));
    EXPECT_EQ(v->SendBufferedKey(OAPI_KEY_L, true), 0);
    EXPECT_EQ(host().keysReceivedBy(v->GetHandle()).size(), 1u);
    std::ostringstream dump;
    host().dumpState(dump);
    EXPECT_EQ(dump.str().find("LIGHTS"), std::string::npos);  // saved by the default state only
    EXPECT_NE(dump.str().find("RPOS 6778000 0 0"), std::string::npos);
}

}  // namespace
