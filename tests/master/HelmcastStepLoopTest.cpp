// The master's step loop: update gate, update contents and order, clients,
// acknowledgements, time-outs, pausing, keystrokes and the periodic save.
#include <filesystem>

#include "MasterFixture.h"
#include "TestKeys.h"

namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

class MasterStepLoop : public MasterFixture {};

TEST_F(MasterStepLoop, UpdateNeedsStrictlyMoreThanTheInterval) {
    Helmcast& master = start("maxUpdateRate = 30\n");
    PeerSocket client;
    send(client, wire::kHello);
    const double begin = master.LastUpdateTime();

    harness.host().setSysTime(begin + 1.0 / 30.0);
    harness.host().step(0.0);
    EXPECT_EQ(master.LastUpdateTime(), begin) << "exactly one interval is not enough";
    EXPECT_TRUE(receiveAll(client).empty());

    harness.host().setSysTime(begin + 1.0 / 30.0 + 1e-6);
    harness.host().step(0.0);
    EXPECT_GT(master.LastUpdateTime(), begin);
    EXPECT_THAT(types(receiveAll(client)), ElementsAre(wire::kEnd)) << "the Hello answered";
}

TEST_F(MasterStepLoop, ThirtyPerSecondOnSixtyStepsIsAboutEveryOtherStep) {
    start("maxUpdateRate = 30\n");
    PeerSocket client;
    subscribe(client);
    for (int i = 0; i < 120; ++i) {
        harness.host().step(kFrame);
        send(client, wire::kAck);
    }
    int starts = 0;
    for (const auto& d : receiveAll(client)) starts += d.type() == wire::kStart ? 1 : 0;
    // Two seconds at most 30 a second; never more than every second step.
    EXPECT_GE(starts, 38);
    EXPECT_LE(starts, 60);
}

TEST_F(MasterStepLoop, RateZeroNeverUpdatesButStillSaves) {
    Helmcast& master = start("maxUpdateRate = 0\n");
    PeerSocket client;
    send(client, wire::kHello);
    std::filesystem::remove(harness.workspace.path() / "Scenarios/000Velsync.scn");
    for (int i = 0; i < 12; ++i) harness.host().step(1.0);
    EXPECT_EQ(clientCount(master), 0u);
    EXPECT_TRUE(receiveAll(client).empty());
    EXPECT_TRUE(harness.workspace.exists("Scenarios/000Velsync.scn"));
}

TEST_F(MasterStepLoop, NegativeRateUpdatesAtEveryStep) {
    start("maxUpdateRate = -1\n");
    PeerSocket client;
    send(client, wire::kHello);
    harness.host().step(0.0);  // answered with the end
    send(client, wire::kAck);
    harness.host().step(0.0);  // confirmed
    receiveAll(client);
    for (int i = 0; i < 5; ++i) harness.host().step(0.0);
    int starts = 0;
    for (const auto& d : receiveAll(client)) starts += d.type() == wire::kStart ? 1 : 0;
    EXPECT_EQ(starts, 5);
}

TEST_F(MasterStepLoop, UpdateCarriesEveryVesselInOrderWithConsecutiveSequenceNumbers) {
    simhost::RegisterGenericClass("Older1", ClassOfVersion(1));
    simhost::RegisterGenericClass("Modern2", ClassOfVersion(2));
    simhost::RegisterGenericClass("Future4", ClassOfVersion(4));
    start("maxUpdateRate = 10\n");
    addVessel("one", "Older1");
    addVessel("two", "Modern2");
    addVessel("four", "Future4");
    PeerSocket client;
    subscribe(client);
    update();
    const auto datagrams = receiveAll(client);
    using namespace wire;
    EXPECT_THAT(types(datagrams), ElementsAreArray({kStart, kFocus, kKeyboard,                     //
                                                    kVessel, kVesselExtra, kAirfoil, kAnimation,   // one
                                                    kVessel2, kVesselExtra, kAirfoil, kAnimation,  // two
                                                    kVesselExtra, kAirfoil, kAnimation,            // four
                                                    kEnd}));
    for (size_t i = 1; i < datagrams.size(); ++i) EXPECT_EQ(datagrams[i].seq(), datagrams[0].seq() + int(i));
    const int32_t expectedSizes[] = {32, 40, 204, 640, 84, 88, 176, 2304, 84, 88, 176, 84, 88, 176, 8};
    for (size_t i = 0; i < datagrams.size() && i < 15; ++i) EXPECT_EQ(int(datagrams[i].bytes.size()), expectedSizes[i]);
    EXPECT_TRUE(harness.logged("vessel four: unsupported vessel interface version 4"));
}

TEST_F(MasterStepLoop, UpdateWithoutClientsStillAdvancesTheSequence) {
    simhost::RegisterGenericClass("Modern2", ClassOfVersion(2));
    start("debug = 1\nmaxUpdateRate = 10\n");
    addVessel("two", "Modern2");
    const int32_t first = sendSequence;  // counts from the module's load, for the whole process
    update();
    update();
    PeerSocket client;
    subscribe(client);
    update();
    const auto datagrams = receiveAll(client);
    ASSERT_FALSE(datagrams.empty());
    // Three updates of 3 + 4 + 1 messages each went before this one.
    EXPECT_EQ(datagrams.front().seq(), first + 3 * 8);
    EXPECT_EQ(std::string(oapiDebugString()).rfind("CLIENTS:", 0), 0u);
}

TEST_F(MasterStepLoop, HelloIsAnsweredByTheEndAloneAnAckConfirmsAndOnlyAcksKeepAClient) {
    Helmcast& master = start("debug = 1\nmaxUpdateRate = 10\n");
    PeerSocket client;
    send(client, wire::kHello);
    between();
    update();
    const auto answer = receiveAll(client);
    ASSERT_THAT(types(answer), ElementsAre(wire::kEnd)) << "no more bytes than the Hello";
    EXPECT_EQ(clientCount(master), 0u);

    send(client, wire::kAck);
    between();
    ASSERT_EQ(clientCount(master), 1u);
    EXPECT_EQ(clientPort(master, 0), client.port());
    EXPECT_TRUE(harness.logged("Client 127.0.0.1:" + std::to_string(client.port()) + " subscribed"));
    update();
    const auto full = receiveAll(client);
    ASSERT_FALSE(full.empty());
    EXPECT_EQ(full.front().type(), wire::kStart);
    EXPECT_EQ(full.front().seq(), answer.front().seq() + 1) << "numbers stay contiguous: nothing counts as lost";
    send(client, wire::kHello);
    update();
    update();
    EXPECT_EQ(types(receiveAll(client)).front(), wire::kStart) << "a client's Hello is not answered";

    // Hellos for four seconds: still dropped, since they do not renew.
    for (int i = 0; i < 4; ++i) {
        send(client, wire::kHello);
        update();
    }
    EXPECT_EQ(clientCount(master), 0u);
    EXPECT_TRUE(harness.logged("Client #0 timed out"));

    subscribe(client);
    ASSERT_EQ(clientCount(master), 1u);
    for (int i = 0; i < 6; ++i) {
        send(client, wire::kAck);
        update();
    }
    EXPECT_EQ(clientCount(master), 1u) << "acknowledgements keep it";
}

TEST_F(MasterStepLoop, TwoAdjacentSilentClientsLeaveInTheSameUpdate) {
    Helmcast& master = start("debug = 1\nmaxUpdateRate = 10\n");
    PeerSocket first, second, third;
    subscribe({&first, &second, &third});
    ASSERT_EQ(clientCount(master), 3u);
    for (int i = 0; i < 4; ++i) {
        send(third, wire::kAck);
        update();
    }
    ASSERT_EQ(clientCount(master), 1u);
    EXPECT_EQ(clientPort(master, 0), third.port());
    EXPECT_EQ(harness.countLogged("Client #0 timed out"), 2);
}

TEST_F(MasterStepLoop, WaitForAckHoldsThirtyMillisecondsForASilentClient) {
    Helmcast& master = start("waitForACK = 1\nmaxUpdateRate = 10\n");
    PeerSocket client;
    subscribe(client);
    ASSERT_EQ(clientCount(master), 1u);

    const double before = harness.host().sysTime();
    harness.host().step(1.0);
    EXPECT_NEAR(harness.host().sysTime() - before, 1.0 + 0.030, 1e-9) << "30 sleeps of 1 ms";
}

TEST_F(MasterStepLoop, WaitForAckEndsAtOnceWhenEveryClientAcknowledged) {
    Helmcast& master = start("waitForACK = 1\nmaxUpdateRate = 10\n");
    PeerSocket client;
    subscribe(client);
    ASSERT_EQ(clientCount(master), 1u);
    send(client, wire::kAck);  // already waiting when the receive phase starts
    const double before = harness.host().sysTime();
    harness.host().step(1.0);
    EXPECT_NEAR(harness.host().sysTime() - before, 1.0, 1e-9);
}

TEST_F(MasterStepLoop, AClientConfirmedInTheReceivePhaseIsNotWaitedFor) {
    Helmcast& master = start("waitForACK = 1\nmaxUpdateRate = 10\n");
    PeerSocket client;
    send(client, wire::kHello);
    send(client, wire::kAck);  // before any answer: confirms nothing
    between();
    EXPECT_EQ(clientCount(master), 0u);
    send(client, wire::kAck);  // read after this update's end answered the Hello
    const double before = harness.host().sysTime();
    update();
    ASSERT_EQ(clientCount(master), 1u);
    EXPECT_DOUBLE_EQ(master.Table().Clients()[0].lastContactSeconds, before + 1.0);
    EXPECT_NEAR(harness.host().sysTime() - before, 1.0, 1e-9) << "no counter to wait for";
}

TEST_F(MasterStepLoop, WaitForClientsPausesWhileNobodyIsSubscribed) {
    start("waitForClients = 1\nmaxUpdateRate = 10\n");
    update();
    EXPECT_TRUE(harness.host().paused());
    harness.host().setPaused(false);
    PeerSocket client;
    send(client, wire::kHello);
    update();
    EXPECT_TRUE(harness.host().paused()) << "an unconfirmed client is nobody yet";
    harness.host().setPaused(false);
    subscribe(client);
    harness.host().setPaused(false);
    update();
    EXPECT_FALSE(harness.host().paused());
}

TEST_F(MasterStepLoop, KeystrokesOfConfirmedClientsOnlyAreReplayed) {
    simhost::RegisterGenericClass("Modern2", ClassOfVersion(2));
    start("maxUpdateRate = 10\n");
    OBJHANDLE ship = addVessel("ship", "Modern2");
    oapiSetFocusObject(ship);
    wire::KeyboardRecord keys;
    std::memset(&keys, 0, sizeof keys);
    keys.header.type = wire::kKeyboard;
    keys.keyCount = 1;
    keys.keys[0] = {0, 'G', static_cast<int32_t>(0x22u << 16 | 1u)};
    PeerSocket stranger;  // never subscribed
    PeerSocket unconfirmed;
    send(unconfirmed, wire::kHello);
    PeerSocket client;
    subscribe(client);
    stranger.sendTo(port, &keys, sizeof keys);
    unconfirmed.sendTo(port, &keys, sizeof keys);
    keys.keys[0].keyFlags = static_cast<int32_t>(0x23u << 16 | 1u);
    client.sendTo(port, &keys, sizeof keys);
    update();
    const auto received = harness.host().keysReceivedBy(ship);
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].key, 0x23u);
    EXPECT_TRUE(received[0].down);
    EXPECT_TRUE(harness.logged("Ignored keys from senders that are no client: 2, the last from 127.0.0.1:" +
                               std::to_string(unconfirmed.port()) + " (keys)"));
}

TEST_F(MasterStepLoop, ReadOnlyIgnoresClientKeysButSendsItsOwn) {
    simhost::RegisterGenericClass("Modern2", ClassOfVersion(2));
    Helmcast& master = start("readOnly = 1\nmaxUpdateRate = 10\n");
    OBJHANDLE ship = addVessel("ship", "Modern2");
    oapiSetFocusObject(ship);
    PeerSocket client;
    subscribe(client);
    ASSERT_EQ(clientCount(master), 1u);

    wire::KeyboardRecord keys;
    std::memset(&keys, 0, sizeof keys);
    keys.header.type = wire::kKeyboard;
    keys.keyCount = 1;
    keys.keys[0] = {0, 'G', static_cast<int32_t>(0x22u << 16 | 1u)};
    client.sendTo(port, &keys, sizeof keys);
    harness.host().deliverKey(Key(0x26, 'L'));  // typed at the master
    receiveAll(client);
    update();

    const auto received = harness.host().keysReceivedBy(ship);
    ASSERT_EQ(received.size(), 1u) << "only the master's own key";
    EXPECT_EQ(received[0].key, 0x26u);
    bool sentOwnKey = false;
    for (const auto& d : receiveAll(client)) {
        if (d.type() == wire::kKeyboard && d.read<int32_t>(8) == 1 && ((d.read<int32_t>(20) >> 16) & 0xFF) == 0x26)
            sentOwnKey = true;
    }
    EXPECT_TRUE(sentOwnKey);
}

TEST_F(MasterStepLoop, ScenarioTextGoesOncePerUpdateForListedClassesOfVersionTwoOrMore) {
    simhost::RegisterGenericClass("Older1", ClassOfVersion(1));
    simhost::RegisterGenericClass("Modern2", ClassOfVersion(2));
    start("maxUpdateRate = 10\ntextSyncClasses = modern2, OLDER1, MODERN2\n");
    addVessel("one", "Older1");
    addVessel("two", "Modern2");
    PeerSocket client;
    subscribe(client);
    update();
    std::vector<Datagram> texts;
    for (auto& d : receiveAll(client))
        if (d.type() == wire::kVesselState) texts.push_back(d);
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].name(16), "two");
    const int32_t length = texts[0].read<int32_t>(48);
    EXPECT_EQ(int(texts[0].bytes.size()), 56 + length);
    const std::string text(reinterpret_cast<const char*>(texts[0].bytes.data() + 56), size_t(length));
    EXPECT_NE(text.find("RPOS"), std::string::npos) << text;
    EXPECT_NE(text.back(), '\n') << "the last line feed is not sent";
    EXPECT_TRUE(harness.workspace.exists("VELSYNC_m")) << "the capture file stays";
}

TEST_F(MasterStepLoop, CountsAreCutToTheMessageCapacities) {
    simhost::GenericClassSpec big = ClassOfVersion(2);
    big.propellantMasses.assign(20, 100.0);
    big.thrusters = 70;
    big.animations = 40;
    big.dockPorts = 0;
    simhost::RegisterGenericClass("Big2", big);
    start("maxUpdateRate = 10\n");
    addVessel("big", "Big2");
    PeerSocket client;
    subscribe(client);
    update();
    bool sawVessel = false, sawAnimation = false;
    for (const auto& d : receiveAll(client)) {
        if (d.type() == wire::kVessel2) {
            sawVessel = true;
            EXPECT_EQ(d.read<uint32_t>(224), 16u);  // propellant count
            EXPECT_EQ(d.read<uint32_t>(232), 64u);  // thruster count
            EXPECT_EQ(d.read<uint32_t>(240), 0u);   // docking count
            EXPECT_EQ(d.read<uint32_t>(228), 0u) << "pointers travel as zero";
        }
        if (d.type() == wire::kAnimation) {
            sawAnimation = true;
            EXPECT_EQ(d.read<int32_t>(40), 16);
        }
    }
    EXPECT_TRUE(sawVessel);
    EXPECT_TRUE(sawAnimation);
}

TEST_F(MasterStepLoop, PeriodicSaveComesAfterMoreThanTenSeconds) {
    Helmcast& master = start("maxUpdateRate = 10\n");
    const double started = master.LastSaveTime();
    std::filesystem::remove(harness.workspace.path() / "Scenarios/000Velsync.scn");
    harness.host().setSysTime(started + 10.0);
    harness.host().step(0.0);
    EXPECT_FALSE(harness.workspace.exists("Scenarios/000Velsync.scn"));
    harness.host().setSysTime(started + 10.001);
    harness.host().step(0.0);
    EXPECT_TRUE(harness.workspace.exists("Scenarios/000Velsync.scn"));
    EXPECT_GT(master.LastSaveTime(), started);
}

TEST_F(MasterStepLoop, StatusLineStopsBeforeAnEntryThatWouldNotFit) {
    Helmcast& master = start("debug = 1\nmaxUpdateRate = 10\n");
    std::vector<std::unique_ptr<PeerSocket>> clients;
    std::vector<const PeerSocket*> peers;
    for (int i = 0; i < 13; ++i) {
        clients.push_back(std::make_unique<PeerSocket>());
        peers.push_back(clients.back().get());
    }
    subscribe(peers);
    ASSERT_EQ(clientCount(master), 13u);
    update();
    const std::string line = oapiDebugString();
    EXPECT_EQ(line.rfind("CLIENTS:", 0), 0u);
    EXPECT_EQ(line.size(), 8u + 11u * 22u) << line;
}

TEST_F(MasterStepLoop, NoClientsShowsInTheStatusLine) {
    start("debug = 1\nmaxUpdateRate = 10\n");
    update();
    EXPECT_STREQ(oapiDebugString(), "NO CLIENTS");
}

}  // namespace
