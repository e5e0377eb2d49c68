// The XR vessel-control interface: its operations sit at the places the
// modules call, and the sample class behind it keeps, moves, saves and loads
// its state.
#include <cmath>
#include <cstring>

#include <gtest/gtest.h>

#include "HostAppFixture.h"
#include "TestKeys.h"
#include "XRVesselCtrl.h"

using namespace host_app_test;

namespace {

// Under this ABI a pointer to a virtual member function holds 1 + the byte
// offset of its entry in the table of virtual operations.
template <class MemberFunction>
long placeOf(MemberFunction function) {
    static_assert(sizeof(MemberFunction) == 2 * sizeof(void*), "Itanium member pointer");
    uintptr_t word = 0;
    std::memcpy(&word, &function, sizeof word);
    if ((word & 1) == 0) return -1;  // not virtual
    return static_cast<long>((word - 1) / sizeof(void*));
}

TEST(XRInterfacePlaces, OperationsSitAtTheirPlacesInDeclarationOrder) {
    const long places[] = {
        placeOf(&XRVesselCtrl::XRInterfaceRevision),
        placeOf(&XRVesselCtrl::SetPartRecord),
        placeOf(&XRVesselCtrl::GetPartRecord),
        placeOf(&XRVesselCtrl::SetStateCode),
        placeOf(&XRVesselCtrl::GetStateCode),
        placeOf(&XRVesselCtrl::SetSystemsBlock),
        placeOf(&XRVesselCtrl::GetSystemsBlock),
        placeOf(&XRVesselCtrl::XRUnused42),
        placeOf(&XRVesselCtrl::XRUnused43),
        placeOf(&XRVesselCtrl::XRUnused44),
        placeOf(&XRVesselCtrl::XRUnused45),
        placeOf(&XRVesselCtrl::XRUnused46),
        placeOf(&XRVesselCtrl::XRUnused47),
        placeOf(&XRVesselCtrl::XRUnused48),
        placeOf(&XRVesselCtrl::XRUnused49),
        placeOf(&XRVesselCtrl::XRUnused50),
        placeOf(&XRVesselCtrl::XRUnused51),
        placeOf(&XRVesselCtrl::SetByteState),
        placeOf(&XRVesselCtrl::GetByteState),
        placeOf(&XRVesselCtrl::XRUnused54),
        placeOf(&XRVesselCtrl::XRUnused55),
        placeOf(&XRVesselCtrl::XRUnused56),
        placeOf(&XRVesselCtrl::XRUnused57),
        placeOf(&XRVesselCtrl::XRUnused58),
        placeOf(&XRVesselCtrl::AdjustValue),
        placeOf(&XRVesselCtrl::GetValue),
        placeOf(&XRVesselCtrl::SetByteA),
        placeOf(&XRVesselCtrl::GetByteA),
        placeOf(&XRVesselCtrl::SetByteB),
        placeOf(&XRVesselCtrl::GetByteB),
    };
    for (size_t i = 0; i < sizeof places / sizeof places[0]; ++i) EXPECT_EQ(places[i], 35 + static_cast<long>(i));
    // The host callbacks the modules reach on the same object.
    EXPECT_EQ(placeOf(&VESSEL2::clbkSaveState), 1);
    EXPECT_EQ(placeOf(&VESSEL2::clbkLoadStateEx), 2);
    EXPECT_EQ(placeOf(&VESSEL3::clbkGetRadiationForce), 34);
}

// An XRSample vessel made by the host from its class module.
class XRSampleVessel : public HostAppTest {
protected:
    void SetUp() override {
        resetHost(true);
        handle_ = create("XR-T");
        ASSERT_NE(handle_, nullptr);
        xr_ = static_cast<XRVesselCtrl*>(oapiGetVesselInterface(handle_));
        ASSERT_NE(xr_, nullptr);
    }

    static OBJHANDLE create(const char* name) {
        return CreateVesselAt(name, "XRSample", _V(6900000, 0, 0), _V(0, 7600, 0));
    }

    // The operation at `place` of the object's table, called the way a module
    // that knows only the places calls it.
    template <class Result, class... Args>
    Result callPlace(int place, Args... args) {
        void** table = *reinterpret_cast<void***>(xr_);
        auto function = reinterpret_cast<Result (*)(XRVesselCtrl*, Args...)>(table[place]);
        return function(xr_, args...);
    }

    OBJHANDLE handle_ = nullptr;
    XRVesselCtrl* xr_ = nullptr;
};

TEST_F(XRSampleVessel, ModuleIsFoundUnderTheClassNameWithItsFlag) {
    const unsigned char* flag = xrFlagOf("XRSample");
    ASSERT_NE(flag, nullptr);
    EXPECT_EQ(*flag, 1);
    EXPECT_EQ(xr_->Version(), 2);
    EXPECT_STREQ(xr_->GetClassNameA(), "XRSample");
    EXPECT_EQ(xr_->XRInterfaceRevision(), 2);
}

TEST_F(XRSampleVessel, ClassCapsCreateItsResources) {
    EXPECT_EQ(xr_->GetPropellantCount(), 3u);
    EXPECT_EQ(xr_->GetThrusterCount(), 6u);
    EXPECT_EQ(xr_->DockCount(), 1u);
    EXPECT_EQ(xr_->GetNavCount(), 2u);
    ANIMATION* animations = nullptr;
    EXPECT_EQ(xr_->GetAnimPtr(&animations), 4u);
}

TEST_F(XRSampleVessel, GettersAtTheirPlacesReturnWhatTheSettersStored) {
    for (int i = 0; i < 8; ++i) {
        XRPartRecord record{0.1 * i, 1.0 - 0.1 * i, 0.01 * (i + 1), i + 3, 100 + i, 7.5};
        EXPECT_TRUE(callPlace<bool>(36, i, static_cast<const XRPartRecord*>(&record)));
    }
    for (int i = 0; i < 8; ++i) {
        XRPartRecord record;
        std::memset(&record, 0xAB, sizeof record);
        EXPECT_TRUE(callPlace<bool>(37, i, &record));
        EXPECT_EQ(record.position, 0.1 * i);
        EXPECT_EQ(record.target, 1.0 - 0.1 * i);
        EXPECT_EQ(record.state, i + 3);
        EXPECT_EQ(record.flags, 100 + i);
    }
    for (int i = 0; i < 15; ++i) EXPECT_TRUE(callPlace<bool>(38, i, 40 + i));
    for (int i = 0; i < 15; ++i) EXPECT_EQ(callPlace<int>(39, i, static_cast<double*>(nullptr)), 40 + i);

    XRSystemsBlock block;
    for (int i = 0; i < 29; ++i) block.values[i] = -3.25 * i;
    EXPECT_TRUE(callPlace<bool>(40, static_cast<const XRSystemsBlock*>(&block)));
    XRSystemsBlock read;
    std::memset(&read, 0, sizeof read);
    EXPECT_TRUE(callPlace<bool>(41, &read));
    EXPECT_EQ(std::memcmp(&read, &block, sizeof block), 0);

    const bool bytes[3] = {true, false, true};
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(callPlace<bool>(52, i, bytes[i]));
    for (int i = 0; i < 3; ++i) EXPECT_EQ(callPlace<bool>(53, i), bytes[i]);

    const double before = callPlace<double>(60);
    EXPECT_TRUE(callPlace<bool>(59, 12.5));
    EXPECT_EQ(callPlace<double>(60), before + 12.5);

    EXPECT_TRUE(callPlace<bool>(61, true));
    EXPECT_TRUE(callPlace<bool>(63, false));
    EXPECT_TRUE(callPlace<bool>(62));
    EXPECT_FALSE(callPlace<bool>(64));
    EXPECT_TRUE(callPlace<bool>(61, false));
    EXPECT_TRUE(callPlace<bool>(63, true));
    EXPECT_FALSE(callPlace<bool>(62));
    EXPECT_TRUE(callPlace<bool>(64));

    for (int place : {42, 43, 44, 45, 46, 47, 48, 49, 50, 51, 54, 55, 56, 57, 58}) EXPECT_EQ(callPlace<int>(place), 0);
}

TEST_F(XRSampleVessel, OutOfRangeIndicesAreRefusedAndChangeNothing) {
    XRPartRecord record{0.5, 0.5, 0.5, 1, 1, 0};
    EXPECT_FALSE(xr_->SetPartRecord(8, &record));
    EXPECT_FALSE(xr_->SetPartRecord(-1, &record));
    EXPECT_FALSE(xr_->GetPartRecord(0, nullptr));
    EXPECT_FALSE(xr_->SetStateCode(15, 1));
    EXPECT_EQ(xr_->GetStateCode(15, nullptr), 0);
    EXPECT_FALSE(xr_->SetByteState(3, true));
    EXPECT_FALSE(xr_->GetByteState(3));
    const double value = xr_->GetValue();
    EXPECT_FALSE(xr_->AdjustValue(NAN));
    EXPECT_EQ(xr_->GetValue(), value);
}

TEST_F(XRSampleVessel, PartsMoveTowardsTheirTargetAndTheValueDrifts) {
    XRPartRecord part{0.0, 1.0, 0.25, 0, 0, 0};
    ASSERT_TRUE(xr_->SetPartRecord(0, &part));
    const double value = xr_->GetValue();
    host().startSimulation();
    for (int i = 0; i < 20; ++i) host().step(0.1);  // 2 s at time acceleration 1
    ASSERT_TRUE(xr_->GetPartRecord(0, &part));
    EXPECT_NEAR(part.position, 0.5, 1e-9);
    EXPECT_EQ(part.state, 2);  // moving
    EXPECT_NEAR(xr_->GetValue(), value + 0.002, 1e-9);
    for (int i = 0; i < 30; ++i) host().step(0.1);
    ASSERT_TRUE(xr_->GetPartRecord(0, &part));
    EXPECT_EQ(part.position, 1.0);  // stops at the target, not past it
    EXPECT_EQ(part.state, 1);       // open

    // Without master power (state code 12) parts hold still.
    part.target = 0.0;
    ASSERT_TRUE(xr_->SetPartRecord(0, &part));
    ASSERT_TRUE(xr_->SetStateCode(12, 0));
    for (int i = 0; i < 10; ++i) host().step(0.1);
    ASSERT_TRUE(xr_->GetPartRecord(0, &part));
    EXPECT_EQ(part.position, 1.0);
    host().endSimulation();
}

TEST_F(XRSampleVessel, KeyKTogglesPartZero) {
    oapiSetFocusObject(handle_);
    XRPartRecord part;
    ASSERT_TRUE(xr_->GetPartRecord(0, &part));
    const double target = part.target;
    host().deliverKey(Key(OAPI_KEY_K, 'K'));
    host().deliverKey(Key(OAPI_KEY_K, 'K', false));
    ASSERT_TRUE(xr_->GetPartRecord(0, &part));
    EXPECT_NE(part.target, target);
    EXPECT_EQ(host().keysReceivedBy(handle_).size(), 2u);
}

TEST_F(XRSampleVessel, ScenarioSaveAndLoadKeepTheXRStateExactly) {
    XRPartRecord parts[8];
    for (int i = 0; i < 8; ++i) {
        parts[i] = XRPartRecord{1.0 / 3.0 + i, 0.1 * i, 1e-7 * (i + 1), -i, 1 << i, 0};
        ASSERT_TRUE(xr_->SetPartRecord(i, &parts[i]));
    }
    for (int i = 0; i < 15; ++i) ASSERT_TRUE(xr_->SetStateCode(i, 1000 - i * 77));
    XRSystemsBlock block;
    for (int i = 0; i < 29; ++i) block.values[i] = std::sqrt(2.0) * (i - 14);
    ASSERT_TRUE(xr_->SetSystemsBlock(&block));
    ASSERT_TRUE(xr_->SetByteState(1, true));
    ASSERT_TRUE(xr_->AdjustValue(0.1 + 0.2));
    const double value = xr_->GetValue();
    ASSERT_TRUE(xr_->SetByteA(true));
    ASSERT_TRUE(xr_->SetByteB(false));
    ASSERT_TRUE(xr_->SetNavChannel(1, 466));

    const std::string file = scratchDir() + "/XRRoundTrip.scn";
    ASSERT_TRUE(host().saveScenario(file, "XR round trip"));
    simhost::HostOptions options = host().options();
    host().reset(options);
    std::string error;
    ASSERT_TRUE(host().loadScenario(file, &error)) << error;
    char name[] = "XR-T";
    OBJHANDLE loaded = oapiGetVesselByName(name);
    ASSERT_NE(loaded, nullptr);
    auto* xr = static_cast<XRVesselCtrl*>(oapiGetVesselInterface(loaded));

    for (int i = 0; i < 8; ++i) {
        XRPartRecord read;
        ASSERT_TRUE(xr->GetPartRecord(i, &read));
        EXPECT_EQ(read.position, parts[i].position) << i;
        EXPECT_EQ(read.target, parts[i].target) << i;
        EXPECT_EQ(read.rate, parts[i].rate) << i;
        EXPECT_EQ(read.state, parts[i].state) << i;
        EXPECT_EQ(read.flags, parts[i].flags) << i;
    }
    for (int i = 0; i < 15; ++i) EXPECT_EQ(xr->GetStateCode(i, nullptr), 1000 - i * 77);
    XRSystemsBlock read;
    ASSERT_TRUE(xr->GetSystemsBlock(&read));
    EXPECT_EQ(std::memcmp(&read, &block, sizeof block), 0);
    EXPECT_FALSE(xr->GetByteState(0));
    EXPECT_TRUE(xr->GetByteState(1));
    EXPECT_EQ(xr->GetValue(), value);
    EXPECT_TRUE(xr->GetByteA());
    EXPECT_FALSE(xr->GetByteB());
    // The default state lines travel with them.
    EXPECT_EQ(xr->GetNavChannel(1), 466u);
}

}  // namespace
