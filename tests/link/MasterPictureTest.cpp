// The picture of the master's simulation from its records.
#include <gtest/gtest.h>

#include <string>

#include "LinkRecords.h"
#include "MasterPicture.h"

namespace {

using namespace linktest;

template <class Record>
void Apply(MasterPicture& picture, const Record& record, double now, bool fresh = true, size_t size = sizeof(Record)) {
    const std::vector<uint8_t> bytes = BytesOf(record, size);
    picture.Apply(bytes.data(), static_cast<int>(bytes.size()), fresh, now);
}

wire::KeyEntry Key(char letter, uint32_t scanCode, bool release, bool alt) {
    uint32_t flags = 1u | (scanCode << 16) | (alt ? 1u << 29 : 0u) | (release ? 3u << 30 : 0u);
    return wire::KeyEntry{0, letter, static_cast<int32_t>(flags)};
}

TEST(MasterPicture, RowsSayWhatTheRecordsCarry) {
    MasterPicture picture;
    auto start = Zeroed<wire::StartRecord>(wire::kStart, 1);
    start.mjd = 60000.25;
    start.timeAccel = 10.0;
    start.simStep = 0.02;
    Apply(picture, start, 0.0);
    auto focus = Zeroed<wire::FocusRecord>(wire::kFocus, 2);
    SetName(focus.vesselName, "Orbiter-1");
    Apply(picture, focus, 0.0);
    Apply(picture, Orbiting(3, "Orbiter-1", "Earth", 6778000.0, 7668.6), 0.0);

    auto landed = Zeroed<wire::VesselRecord>(wire::kVessel, 4);
    SetName(landed.vesselName, "Lander-3");
    SetName(landed.className, "Tug0");
    landed.status.rbody = 7;
    landed.status.base = 9;
    landed.status.status = 1;
    SetName(landed.rbodyName, "Earth");
    SetName(landed.baseName, "Cape");
    Apply(picture, landed, 0.0);

    auto text = Zeroed<wire::VesselStateRecord>(wire::kVesselState, 5);
    SetName(text.vesselName, "Orbiter-1");
    text.textLength = 4;
    std::memcpy(text.text, "A\nB\n", 4);
    Apply(picture, text, 0.0, true, wire::kVesselStateFixedSize + 4);
    auto xr = Zeroed<wire::XRRecord>(wire::kXR, 6);
    SetName(xr.vesselName, "Lander-3");
    Apply(picture, xr, 0.0);

    auto keys = Zeroed<wire::KeyboardRecord>(wire::kKeyboard, 7);
    keys.keyCount = 2;
    keys.keys[0] = Key('G', 0x22, false, true);
    keys.keys[1] = Key('G', 0x22, true, true);
    Apply(picture, keys, 0.0);

    const SimulationFacts& sim = picture.Simulation();
    EXPECT_TRUE(sim.known);
    EXPECT_EQ(sim.mjd, 60000.25);
    EXPECT_EQ(sim.timeAcceleration, 10.0);
    EXPECT_EQ(sim.focus, "Orbiter-1");

    const std::vector<VesselRow> rows = picture.Vessels(0.5);
    ASSERT_EQ(rows.size(), 2u);
    const VesselRow& lander = rows[0];
    const VesselRow& orbiter = rows[1];
    EXPECT_EQ(lander.name, "Lander-3");
    EXPECT_EQ(lander.interfaceVersion, "<2");
    EXPECT_TRUE(lander.landed);
    EXPECT_EQ(lander.base, "Cape");
    EXPECT_EQ(lander.carries, unsigned(kCarriesXR));
    EXPECT_TRUE(lander.lastKeys.empty());

    EXPECT_EQ(orbiter.className, "Shuttle2");
    EXPECT_EQ(orbiter.interfaceVersion, "2-3");
    EXPECT_EQ(orbiter.body, "Earth");
    EXPECT_TRUE(orbiter.altitudeKnown);
    EXPECT_NEAR(orbiter.altitude, 407000.0, 1.0);
    EXPECT_NEAR(orbiter.speed, 7668.6, 1e-9);
    EXPECT_EQ(orbiter.carries, unsigned(kCarriesText));
    ASSERT_EQ(orbiter.lastKeys.size(), 2u) << "keys belong to the focus vessel";
    EXPECT_EQ(orbiter.lastKeys[0].scanCode, 0x22u);
    EXPECT_FALSE(orbiter.lastKeys[0].release);
    EXPECT_TRUE(orbiter.lastKeys[1].release);
    EXPECT_TRUE(orbiter.lastKeys[1].altHeld);
}

TEST(MasterPicture, HostileFieldsAreReadSafely) {
    MasterPicture picture;
    auto record = Orbiting(1, "", "Vulcan", 1.0e7, 1.0);
    std::memset(record.vesselName, 'A', wire::kNameSize);  // no terminator
    Apply(picture, record, 0.0);
    auto keys = Zeroed<wire::KeyboardRecord>(wire::kKeyboard, 2);
    keys.keyCount = 1000;  // cut to 16 before use
    Apply(picture, keys, 0.0);

    const std::vector<VesselRow> rows = picture.Vessels(0.0);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].name, std::string(31, 'A'));
    EXPECT_FALSE(rows[0].altitudeKnown) << "a body of unknown size";
    EXPECT_EQ(rows[0].distance, 1.0e7);
}

TEST(MasterPicture, OlderUpdatesDoNotMoveItBackAndGoneVesselsLeave) {
    MasterPicture picture;
    Apply(picture, Orbiting(10, "Orbiter-1", "Earth", 7.0e6, 1.0), 0.0);
    Apply(picture, Orbiting(2, "Orbiter-1", "Earth", 8.0e6, 1.0), 0.1, false);
    ASSERT_EQ(picture.Vessels(0.1).size(), 1u);
    EXPECT_EQ(picture.Vessels(0.1)[0].distance, 7.0e6);
    EXPECT_TRUE(picture.Vessels(MasterPicture::kForgetSeconds + 0.5).empty());
}

}  // namespace
