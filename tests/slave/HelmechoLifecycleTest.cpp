// The slave's configuration, socket, subscription and start-up effects.
#include "SlaveFixture.h"

namespace {

using ::testing::ElementsAre;

class HelmechoLifecycle : public SlaveFixture {};

TEST_F(HelmechoLifecycle, MissingConfigurationGivesTheDefaultsSilently) {
    Helmecho& slave = harness.load();
    EXPECT_EQ(slave.Settings().debug, 0);
    EXPECT_EQ(slave.Settings().switchFocus, 0);
    EXPECT_EQ(slave.Settings().waitForMaster, 0);
    EXPECT_EQ(slave.Settings().sendKeys, 0);
    EXPECT_EQ(slave.Settings().azimuth, 0.0);
    EXPECT_EQ(slave.Settings().elevation, 0.0);
    EXPECT_EQ(slave.MasterAddress().sin_family, AF_INET);
    EXPECT_EQ(ntohs(slave.MasterAddress().sin_port), 40000);
    EXPECT_EQ(ntohl(slave.MasterAddress().sin_addr.s_addr), INADDR_LOOPBACK);
    EXPECT_EQ(slave.Link().firstSeq, -1);
    EXPECT_EQ(slave.Link().lostCount, 0);
    EXPECT_EQ(slave.Link().droppedCount, 0);
    EXPECT_EQ(slave.Link().updateCount, 0);
    EXPECT_EQ(slave.PrevBacklog(), 1000000);
    EXPECT_EQ(slave.LastReportTime(), 0.0);
    EXPECT_EQ(slave.Link().delaySum, 0.0);
    EXPECT_EQ(slave.Link().delaySquareSum, 0.0);
    EXPECT_TRUE(slave.Socket().IsOpen());
    EXPECT_TRUE(logTexts().empty()) << "nothing is logged without debug";
}

TEST_F(HelmechoLifecycle, DebugEchoesEveryKeyInOrderThenTheBoundAddress) {
    writeConfig(
        "azimuth = 12.5\nelevation = -3\nsendKeys = 1\nwaitForMaster = 1\nswitchFocus = 1\n"
        "masterPort = 40123\nmasterIP = 127.0.0.2\ndebug = 1\n");
    Helmecho& slave = harness.load();
    EXPECT_THAT(
        logTexts(),
        ElementsAre("Config: debug=1", "Config: masterIP=127.0.0.2", "Config: masterPort=40123",
                    "Config: switchFocus=1", "Config: waitForMaster=1", "Config: sendKeys=1", "Config: elevation=-3",
                    "Config: azimuth=12.5", "Config: maxVessels=1000", "Config: slewDate=1",
                    "Bound to 0.0.0.0:" + std::to_string(LocalPort(static_cast<int>(slave.Socket().Handle())))));
    for (const auto& line : rawLog()) EXPECT_NE(line.find("Helmecho.cpp"), std::string::npos) << line;
    EXPECT_EQ(ntohl(slave.MasterAddress().sin_addr.s_addr), 0x7F000002u);
    EXPECT_EQ(ntohs(slave.MasterAddress().sin_port), 40123);
}

TEST_F(HelmechoLifecycle, PortUsesItsLow16Bits) {
    writeConfig("masterPort = " + std::to_string(40000 + 65536) + "\n");
    Helmecho& slave = harness.load();
    EXPECT_EQ(ntohs(slave.MasterAddress().sin_port), 40000);
}

TEST_F(HelmechoLifecycle, OverlongMasterAddressIsReadSafelyAndLoggedWithinTheLineBound) {
    const std::string overlong(300, '7');
    writeConfig("debug = 1\nmasterIP = " + overlong + "\nmasterPort = 40001\n");
    Helmecho& slave = harness.load();
    // The log line holds 254 characters.
    EXPECT_TRUE(harness.logged("Config: masterIP=" + overlong.substr(0, 254 - 17)));
    EXPECT_TRUE(harness.logged("Config: masterPort=40001")) << "the keys after it are read as usual";
    EXPECT_EQ(ntohs(slave.MasterAddress().sin_port), 40001);
}

TEST_F(HelmechoLifecycle, StartSubscribesAndTurnsTheCockpitCamera) {
    start("azimuth = 90\nelevation = 45\n");
    // start() has read the subscription; a new run subscribes again.
    harness.host().endSimulation();
    harness.host().startSimulation();
    const auto datagrams = receiveAll();
    ASSERT_EQ(datagrams.size(), 1u);
    EXPECT_EQ(datagrams[0].type(), wire::kHello);
    EXPECT_EQ(datagrams[0].bytes.size(), 8u);
    // Azimuth goes first, elevation second.
    EXPECT_DOUBLE_EQ(harness.host().lastCockpitPolar(), 90 * 3.141592653589793 / 180);
    EXPECT_DOUBLE_EQ(harness.host().lastCockpitAzimuth(), 45 * 3.141592653589793 / 180);
}

TEST_F(HelmechoLifecycle, SendKeysSendsOneKeyboardMessagePerStepEvenWithoutKeys) {
    start("sendKeys = 1\n");
    for (int i = 0; i < 3; ++i) step();
    const auto datagrams = receiveAll();
    ASSERT_EQ(datagrams.size(), 3u);
    int32_t previousSeq = datagrams[0].seq() - 1;
    for (const auto& d : datagrams) {
        EXPECT_EQ(d.type(), wire::kKeyboard);
        EXPECT_EQ(d.bytes.size(), 204u);
        EXPECT_EQ(d.read<int32_t>(8), 0) << "no key was pressed";
        EXPECT_EQ(d.seq(), previousSeq + 1);
        previousSeq = d.seq();
    }
}

TEST_F(HelmechoLifecycle, WithoutSendKeysNoKeyboardMessageButTheMastersKeysAreReplayed) {
    simhost::RegisterGenericClass("Keyed2", SlaveClassOfVersion(2));
    start();
    OBJHANDLE vessel = AddVessel("keyed", "Keyed2");
    oapiSetFocusObject(vessel);
    wire::KeyboardRecord keys{};
    keys.header = {wire::kKeyboard, 0};
    keys.keyCount = 1;
    keys.keys[0] = {0, 0x4C, static_cast<int32_t>(0x26u << 16)};  // scan code 0x26, down
    send(keys);
    step();
    EXPECT_EQ(countReceived(wire::kKeyboard), 0);
    const auto received = harness.host().keysReceivedBy(vessel);
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].key, 0x26u);
    EXPECT_TRUE(received[0].down);
}

}  // namespace
