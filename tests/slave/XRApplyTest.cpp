// Application of the XR vessel-control state, with its gating, on the XR
// sample vessel class module.
#include "SlaveFixture.h"
#include "TestPaths.h"

namespace {

class XRApply : public SlaveFixture {
protected:
    XRVesselCtrl* xr = nullptr;

    // Loads the slave on a host that finds the XRSample class module, and
    // makes one XR vessel with the subsystems behind records 2 to 7 off.
    void SetUp() override {
        simhost::HostOptions options;
        options.moduleDirs = {BinDir()};
        options.classDirs = {SourceDir() + "/config/Vessels"};
        start("", &options);
        AddVessel("xr", "XRSample");
        VESSEL* vessel = Vessel("xr");
        ASSERT_NE(vessel, nullptr);
        xr = static_cast<XRVesselCtrl*>(vessel);
        for (int code : {1, 2, 5}) xr->SetStateCode(code, 0);
    }

    static XRPartRecord Part(double position) {
        XRPartRecord part;
        std::memset(&part, 0, sizeof part);
        part.position = position;
        part.target = position;
        part.state = 3;
        return part;
    }

    // A record that differs from the vessel's state in every field.
    static wire::XRRecord Record(int32_t gate) {
        wire::XRRecord r{};
        r.header = {wire::kXR, 0};
        CopyName(r.vesselName, "xr");
        XRSystemsBlock block;
        for (int i = 0; i < 29; ++i) block.values[i] = 1000.0 + i;
        std::memcpy(r.xrBlock, &block, sizeof block);
        r.xrByteStates[0] = 1;
        r.xrByteStates[2] = 1;
        for (int i = 0; i < 15; ++i) r.xrStates[i] = 40 + i;
        r.xrStates[12] = gate;
        r.xrValue = 555.0;
        r.xrByteA = 1;
        r.xrByteB = 0;
        for (int i = 0; i < 8; ++i) {
            const XRPartRecord part = Part(0.1 * (i + 1));
            std::memcpy(r.xrRecords[i], &part, sizeof part);
        }
        return r;
    }

    double partPosition(int index) const {
        XRPartRecord part = Part(-1.0);
        xr->GetPartRecord(index, &part);
        return part.position;
    }
};

TEST_F(XRApply, ClosedGateAppliesOnlyItsOwnCodeButStillRecordsZeroAndOne) {
    const double valueBefore = xr->GetValue();
    send(Record(0));
    step();
    EXPECT_EQ(xr->GetStateCode(12, nullptr), 0);
    for (int i = 0; i < 15; ++i) {
        if (i == 12) continue;
        EXPECT_NE(xr->GetStateCode(i, nullptr), 40 + i) << "code " << i;
    }
    EXPECT_EQ(xr->GetValue(), valueBefore) << "the value is not adjusted";
    EXPECT_DOUBLE_EQ(partPosition(0), 0.1);
    EXPECT_DOUBLE_EQ(partPosition(1), 0.2);
    for (int i = 2; i < 8; ++i) EXPECT_DOUBLE_EQ(partPosition(i), 0.0) << "record " << i;
    // The ungated parts.
    XRSystemsBlock block;
    xr->GetSystemsBlock(&block);
    EXPECT_EQ(block.values[28], 1028.0);
    EXPECT_TRUE(xr->GetByteState(0));
    EXPECT_FALSE(xr->GetByteState(1));
    EXPECT_TRUE(xr->GetByteState(2));
    EXPECT_TRUE(xr->GetByteA());
    EXPECT_FALSE(xr->GetByteB());
}

TEST_F(XRApply, OpenGateAppliesEveryCodeTheValueAndTheRecordsTheirSubsystemsAllow) {
    wire::XRRecord r = Record(1);
    r.xrStates[2] = 1;  // records 2 and 3
    r.xrStates[1] = 0;  // not records 4 and 5
    r.xrStates[5] = 1;  // records 6 and 7
    send(r);
    step();
    for (int i = 0; i < 15; ++i) EXPECT_EQ(xr->GetStateCode(i, nullptr), r.xrStates[i]) << "code " << i;
    EXPECT_DOUBLE_EQ(xr->GetValue(), 555.0);
    const double expected[8] = {0.1, 0.2, 0.3, 0.4, 0.0, 0.0, 0.7, 0.8};
    for (int i = 0; i < 8; ++i) EXPECT_DOUBLE_EQ(partPosition(i), expected[i]) << "record " << i;
}

TEST_F(XRApply, VesselOfAClassWithoutTheInterfaceIsLeftAlone) {
    simhost::RegisterGenericClass("Plain2", SlaveClassOfVersion(2));
    AddVessel("plain", "Plain2");
    wire::XRRecord r = Record(1);
    CopyName(r.vesselName, "plain");
    send(r);
    step();  // a generic vessel has no XR operations: calling one would crash
    EXPECT_NE(Vessel("plain"), nullptr);

    // A class named after a plug-in that exports the flag (this module does)
    // is still no XR class: the plug-in is no vessel class module.
    simhost::RegisterGenericClass("Helmecho", SlaveClassOfVersion(2));
    AddVessel("namesake", "Helmecho");
    CopyName(r.vesselName, "namesake");
    send(r);
    step();
    EXPECT_NE(Vessel("namesake"), nullptr);
}

}  // namespace
