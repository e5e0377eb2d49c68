// Mirror vessels: creation and state, focus, modes, radios, control surfaces
// and scenario text.
#include <filesystem>

#include <unistd.h>

#include <memory>

#include "SlaveFixture.h"
#include "VesselApply.h"

namespace {

class MirrorVessel : public SlaveFixture {
protected:
    static wire::VesselRecord VesselRecordOf(const std::string& name, const std::string& className, double x,
                                             double mjd = kBaseMjd) {
        wire::VesselRecord r{};
        r.header = {wire::kVessel, 0};
        r.mjd = mjd;
        CopyName(r.vesselName, name);
        CopyName(r.className, className);
        r.status.rpos = {x, 0, 0};
        r.status.rvel = {0, 7500, 0};
        r.status.rbody = 0x1234;  // the master's handle: any non-zero value
        CopyName(r.rbodyName, "Earth");
        return r;
    }

    static wire::Vessel2Record Vessel2RecordOf(const std::string& name, const std::string& className, double x,
                                               double mjd = kBaseMjd) {
        wire::Vessel2Record r{};
        r.header = {wire::kVessel2, 0};
        r.mjd = mjd;
        CopyName(r.vesselName, name);
        CopyName(r.className, className);
        r.status2.version = 2;
        r.status2.rpos = {x, 0, 0};
        r.status2.rvel = {0, 7500, 0};
        r.status2.rbody = 0x1234;
        CopyName(r.rbodyName, "Earth");
        return r;
    }

    std::string textFile() const { return "VELSYNC_" + std::to_string(static_cast<int>(getpid())); }
};

TEST_F(MirrorVessel, CreatedWithTheMastersClassThenUpdatedForEveryInterfaceVersion) {
    for (int version = 0; version < 4; ++version)
        simhost::RegisterGenericClass("Gen" + std::to_string(version), SlaveClassOfVersion(version));
    start();
    for (int version = 0; version < 4; ++version) {
        SCOPED_TRACE(version);
        const std::string name = "mirror" + std::to_string(version);
        const std::string className = "Gen" + std::to_string(version);
        const DWORD vesselsBefore = oapiGetVesselCount();
        if (version < 2)
            send(VesselRecordOf(name, className, 7.1e6));
        else
            send(Vessel2RecordOf(name, className, 7.1e6));
        step();
        VESSEL* vessel = Vessel(name);
        ASSERT_NE(vessel, nullptr);
        EXPECT_STREQ(vessel->GetClassNameA(), className.c_str());
        EXPECT_EQ(vessel->Version(), version);
        EXPECT_NEAR(StatusOf(*vessel).rpos.x, 7.1e6, 1e-3);
        EXPECT_EQ(oapiGetVesselCount(), vesselsBefore + 1);

        if (version < 2)
            send(VesselRecordOf(name, className, 7.2e6));
        else
            send(Vessel2RecordOf(name, className, 7.2e6));
        step();
        EXPECT_EQ(Vessel(name), vessel) << "the same vessel, set again";
        EXPECT_NEAR(StatusOf(*vessel).rpos.x, 7.2e6, 1e-3);
        EXPECT_EQ(oapiGetVesselCount(), vesselsBefore + 1);
    }
}

TEST_F(MirrorVessel, AStateThatOvertookTheStartOfItsFarDateWaitsForThatDate) {
    simhost::RegisterGenericClass("Gen2", SlaveClassOfVersion(2));
    Helmecho& slave = start();
    const double tomorrow = Ahead(kSecondsPerDay);
    send(Vessel2RecordOf("early", "Gen2", 7.1e6, tomorrow));
    send(StartAt(tomorrow));
    step();
    EXPECT_EQ(Vessel("early"), nullptr) << "not carried a day along a straight line";
    EXPECT_EQ(slave.Link().aheadCount, 1);
    send(Vessel2RecordOf("early", "Gen2", 7.1e6, tomorrow));
    step();
    ASSERT_NE(Vessel("early"), nullptr);
    EXPECT_NEAR(StatusOf(*Vessel("early")).rpos.y, 0.0, 1.0) << "the next state, at its own date";
}

class FocusFollowing : public MirrorVessel {
protected:
    // Focus on "alpha"; the master names an unknown vessel, then "beta".
    // Returns whether the focus is "beta" in the end.
    bool followsToBeta(int switchFocus) {
        simhost::RegisterGenericClass("Gen2", SlaveClassOfVersion(2));
        start("switchFocus = " + std::to_string(switchFocus) + "\n");
        OBJHANDLE a = AddVessel("alpha", "Gen2");
        OBJHANDLE b = AddVessel("beta", "Gen2");
        oapiSetFocusObject(a);
        wire::FocusRecord focus{};
        focus.header = {wire::kFocus, 0};
        CopyName(focus.vesselName, "nobody");
        send(focus);
        step();
        EXPECT_EQ(oapiGetFocusInterface(), oapiGetVesselInterface(a)) << "an unknown name changes nothing";
        CopyName(focus.vesselName, "beta");
        send(focus);
        step();
        return oapiGetFocusInterface() == oapiGetVesselInterface(b);
    }
};

TEST_F(FocusFollowing, WithSwitchFocus) { EXPECT_TRUE(followsToBeta(1)); }

TEST_F(FocusFollowing, NotWithoutSwitchFocus) { EXPECT_FALSE(followsToBeta(0)); }

TEST_F(MirrorVessel, ModesRadiosAndControlSurfacesAreApplied) {
    simhost::RegisterGenericClass("Gen2", SlaveClassOfVersion(2));
    start();
    AddVessel("modes", "Gen2");
    VESSEL* vessel = Vessel("modes");
    ASSERT_NE(vessel, nullptr);
    vessel->ActivateNavmode(2);
    vessel->ActivateNavmode(7);
    vessel->SetNavChannel(0, 5);
    vessel->SetNavChannel(1, 6);

    wire::VesselExtraRecord extra{};
    extra.header = {wire::kVesselExtra, 0};
    CopyName(extra.vesselName, "modes");
    extra.navmodeBits = 0x12;
    extra.attitudeMode = 2;
    extra.adCtrlMode = 5;
    for (int i = 0; i < 16; ++i) extra.navChannels[i] = static_cast<uint16_t>(100 + i);
    send(extra);

    wire::AirfoilRecord airfoil{};
    airfoil.header = {wire::kAirfoil, 0};
    CopyName(airfoil.vesselName, "modes");
    for (int k = 0; k < 6; ++k) airfoil.surfaceLevels[k] = 0.1 * (k + 1) - 0.35;
    send(airfoil);
    step();

    for (int mode = 1; mode <= 7; ++mode)
        EXPECT_EQ(vessel->GetNavmodeState(mode), mode == 1 || mode == 4) << "mode " << mode;
    EXPECT_EQ(vessel->GetAttitudeMode(), 2);
    EXPECT_EQ(vessel->GetADCtrlMode(), 5u);
    ASSERT_EQ(vessel->GetNavCount(), 2u);
    EXPECT_EQ(vessel->GetNavChannel(0), 100u);
    EXPECT_EQ(vessel->GetNavChannel(1), 101u);
    for (int k = 0; k < 6; ++k)
        EXPECT_NEAR(vessel->GetControlSurfaceLevel(static_cast<AIRCTRL_TYPE>(k)), 0.1 * (k + 1) - 0.35, 1e-12);
}

TEST_F(MirrorVessel, ScenarioTextIsLoadedAndCarriedOnByTheTimeSinceCapture) {
    simhost::RegisterGenericClass("Gen2", SlaveClassOfVersion(2));
    start();
    AddVessel("texted", "Gen2");
    wire::VesselStateRecord r{};
    r.header = {wire::kVesselState, 0};
    r.mjd = kBaseMjd - 2.0 / kSecondsPerDay;  // captured 2 s before our date
    CopyName(r.vesselName, "texted");
    const std::string text = "STATUS Orbiting Earth\nRPOS 7300000 0 0\nRVEL 0 7400 10\nCARGO some boxes";
    std::memcpy(r.text, text.data(), text.size());
    r.textLength = static_cast<int32_t>(text.size());
    send(r, 56 + text.size());
    step();

    const VESSELSTATUS2 status = StatusOf(*Vessel("texted"));
    EXPECT_NEAR(status.rpos.x, 7300000.0, 1e-3);
    // The capture date carries about 1e-6 s of rounding.
    EXPECT_NEAR(status.rpos.y, 2 * 7400.0, 0.01);
    EXPECT_NEAR(status.rpos.z, 2 * 10.0, 0.01);
    EXPECT_NEAR(status.rvel.y, 7400.0, 1e-9);
    EXPECT_FALSE(harness.workspace.exists(textFile())) << "the temporary file is gone";
}

TEST_F(MirrorVessel, ScenarioTextIsIgnoredForOlderInterfacesAndUnknownVessels) {
    simhost::RegisterGenericClass("Gen1", SlaveClassOfVersion(1));
    start();
    AddVessel("old", "Gen1");
    wire::VesselStateRecord r{};
    r.header = {wire::kVesselState, 0};
    r.mjd = kBaseMjd;
    const std::string text = "RPOS 7300000 0 0";
    std::memcpy(r.text, text.data(), text.size());
    r.textLength = static_cast<int32_t>(text.size());
    for (const char* name : {"old", "nobody"}) {
        CopyName(r.vesselName, name);
        send(r, 56 + text.size());
    }
    step();
    EXPECT_NEAR(StatusOf(*Vessel("old")).rpos.x, 7.0e6, 1e-3);
    EXPECT_EQ(oapiGetVesselByName(const_cast<char*>("nobody")), nullptr);
}

TEST_F(MirrorVessel, UnwritableTemporaryFileSkipsTheTextWithOneLogLine) {
    simhost::RegisterGenericClass("Gen2", SlaveClassOfVersion(2));
    start();
    AddVessel("texted", "Gen2");
    // A folder where the file should go: it cannot be created.
    std::filesystem::create_directories(harness.workspace.path() / textFile());
    wire::VesselStateRecord r{};
    r.header = {wire::kVesselState, 0};
    r.mjd = kBaseMjd;
    CopyName(r.vesselName, "texted");
    const std::string text = "RPOS 7300000 0 0";
    std::memcpy(r.text, text.data(), text.size());
    r.textLength = static_cast<int32_t>(text.size());
    send(r, 56 + text.size());
    send(r, 56 + text.size());
    step();
    EXPECT_NEAR(StatusOf(*Vessel("texted")).rpos.x, 7.0e6, 1e-3);
    int reports = 0;
    for (const auto& line : logTexts())
        reports += line.find("scenario text of texted not applied") != std::string::npos;
    EXPECT_EQ(reports, 1);
}

TEST_F(MirrorVessel, LargestScenarioTextIsWrittenWholeAndNothingBehindIt) {
    simhost::RegisterGenericClass("Gen2", SlaveClassOfVersion(2));
    start();
    AddVessel("texted", "Gen2");
    // Too large for a datagram: applied directly, as the receive loop would.
    std::unique_ptr<VesselStateMessage> message(new VesselStateMessage());
    wire::VesselStateRecord& r = message->record();
    r.mjd = kBaseMjd;
    CopyName(r.vesselName, "texted");
    const std::string last = "RPOS 7300000 0 0";  // the very last bytes
    std::memset(r.text, ' ', sizeof r.text);
    for (size_t at = 0; at + 80 < sizeof r.text; at += 80) r.text[at] = '\n';
    std::memcpy(r.text + sizeof r.text - last.size(), last.data(), last.size());
    r.text[sizeof r.text - last.size() - 1] = '\n';
    r.textLength = wire::kMaxText;
    EXPECT_EQ(ApplyVesselState(*message), TextApplication::kApplied);
    EXPECT_NEAR(StatusOf(*Vessel("texted")).rpos.x, 7300000.0, 1e-3);
    EXPECT_FALSE(harness.workspace.exists(textFile()));
}

}  // namespace
