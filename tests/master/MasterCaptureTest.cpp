// What the master captures of vessels offering the XR interface, and of
// scenario text that a datagram cannot carry.
#include "MasterFixture.h"
#include "TestPaths.h"

namespace {

class MasterCapture : public MasterFixture {
protected:
    // A host that finds the XR sample class module and the bundled classes.
    void useBundledClasses() {
        simhost::HostOptions options;
        options.rootDir = harness.workspace.path().string();
        options.moduleDirs = {BinDir()};
        options.classDirs = {SourceDir() + "/config/Vessels"};
        harness.host().reset(options);
    }

    std::vector<Datagram> oneUpdate() {
        PeerSocket client;
        subscribe(client);
        update();
        return receiveAll(client);
    }
};

TEST_F(MasterCapture, OnlyAVesselOfAnXRClassSendsItsXRState) {
    useBundledClasses();
    start("maxUpdateRate = 10\n");
    OBJHANDLE xr = addVessel("xr", "XRSample");
    addVessel("plain", "Shuttle2", 7.2e6);
    ASSERT_NE(xr, nullptr);
    auto* ctrl = static_cast<XRVesselCtrl*>(oapiGetVesselInterface(xr));
    ctrl->SetStateCode(12, 1);
    ctrl->SetStateCode(3, 7);
    ctrl->SetByteB(true);
    XRPartRecord part{0.25, 0.25, 0.1, 2, 0, 0.0};  // at its target: it stays
    ctrl->SetPartRecord(5, &part);

    std::vector<Datagram> xrMessages;
    for (auto& d : oneUpdate())
        if (d.type() == wire::kXR) xrMessages.push_back(d);
    ASSERT_EQ(xrMessages.size(), 1u);
    const Datagram& m = xrMessages[0];
    EXPECT_EQ(m.name(8), "xr");
    EXPECT_EQ(m.read<int32_t>(276 + 4 * 12), 1);
    EXPECT_EQ(m.read<int32_t>(276 + 4 * 3), 7);
    EXPECT_EQ(m.read<uint8_t>(345), 1);
    EXPECT_DOUBLE_EQ(m.read<double>(352 + 40 * 5), 0.25);
    EXPECT_DOUBLE_EQ(m.read<double>(336), ctrl->GetValue());
}

TEST_F(MasterCapture, ScenarioTextTooLongForADatagramIsReportedOnceAndNotSent) {
    simhost::RegisterGenericClass("Modern2", ClassOfVersion(2));
    start("maxUpdateRate = 10\ntextSyncClasses = Modern2\n");
    OBJHANDLE big = addVessel("big", "Modern2");
    // The generic class writes its cargo text into its scenario lines.
    std::string cargo(70000, 'c');
    harness.workspace.write("cargo.scn", "CARGO " + cargo + "\n");
    FILEHANDLE file = oapiOpenFile("cargo.scn", FILE_IN, ROOT);
    ASSERT_NE(file, nullptr);
    VESSELSTATUS2 status = BlankStatus2();
    static_cast<VESSEL2*>(oapiGetVesselInterface(big))->clbkLoadStateEx(file, &status);
    oapiCloseFile(file, FILE_IN);

    PeerSocket client;
    subscribe(client);
    for (int i = 0; i < 2; ++i) update();
    int texts = 0, vessels = 0;
    for (const auto& d : receiveAll(client)) {
        texts += d.type() == wire::kVesselState ? 1 : 0;
        vessels += d.type() == wire::kVessel2 ? 1 : 0;
    }
    EXPECT_EQ(texts, 0);
    EXPECT_EQ(vessels, 2) << "the vessel's other messages still go";
    EXPECT_EQ(harness.countLoggedStartingWith("vessel big: scenario text of"), 1);
}

TEST_F(MasterCapture, LongNamesAreCutTo31Characters) {
    simhost::RegisterGenericClass("Modern2", ClassOfVersion(2));
    start("maxUpdateRate = 10\n");
    const std::string longName(40, 'n');
    addVessel(longName, "Modern2");
    for (const auto& d : oneUpdate()) {
        if (d.type() == wire::kVessel2) {
            EXPECT_EQ(d.name(16), longName.substr(0, 31));
            EXPECT_EQ(d.read<char>(16 + 31), '\0');
        }
    }
}

}  // namespace
