// What a bad link or a stranger can do to the slave: foreign senders,
// copies, late and stale datagrams, dates and values that cannot be
// applied, keys in a discarded backlog, and a master that starts numbering
// afresh.
#include <algorithm>

#include "SlaveFixture.h"

namespace {

class HostileLink : public SlaveFixture {
protected:
    OBJHANDLE focus = nullptr;

    // A slave with a focus vessel that records the keys it is given.
    Helmecho& startWithFocus(const std::string& config = "") {
        simhost::RegisterGenericClass("Keyed2", SlaveClassOfVersion(2));
        Helmecho& slave = start(config);
        focus = AddVessel("keyed", "Keyed2");
        oapiSetFocusObject(focus);
        return slave;
    }

    // A key press (or release) of the given scan code, numbered `seq`.
    void sendKey(int32_t seq, uint32_t scanCode, bool release = false) const {
        wire::KeyboardRecord keys{};
        keys.header = {wire::kKeyboard, seq};
        keys.keyCount = 1;
        keys.keys[0] = {0, 0x41, static_cast<int32_t>(scanCode << 16 | (release ? 0x80000000u : 0u))};
        send(keys);
    }

    // A vessel state of the master's for `name` of `className`.
    void sendVessel(const std::string& name, const std::string& className) const {
        wire::Vessel2Record r{};
        r.header = {wire::kVessel2, 0};
        r.mjd = kBaseMjd;
        CopyName(r.vesselName, name);
        std::memcpy(r.className, className.data(), std::min(className.size(), sizeof r.className - 1));
        r.status2.version = 2;
        r.status2.rpos = {7.1e6, 0, 0};
        r.status2.rvel = {0, 7500, 0};
        send(r);
    }

    std::vector<UINT> keysSeen() {
        std::vector<UINT> codes;
        for (const auto& key : harness.host().keysReceivedBy(focus)) codes.push_back(key.key);
        return codes;
    }

    int countLines(const std::string& prefix) const {
        int count = 0;
        for (const auto& text : logTexts()) count += text.rfind(prefix, 0) == 0 ? 1 : 0;
        return count;
    }
};

TEST_F(HostileLink, OnlyTheMasterIsListenedTo) {
    startWithFocus();
    PeerSocket stranger;
    const wire::StartRecord start = StartAt(Ahead(30.0), 1, 8.0);
    // An empty datagram first: where FIONREAD counts only the first datagram
    // it reads 0, and the receive must not take that for an empty queue.
    stranger.sendTo(slavePort, &start, 0);
    for (int i = 0; i < 3; ++i) stranger.sendTo(slavePort, &start, sizeof start);
    send(StartAt(Ahead(1.0), 5, 2.0));
    step();
    EXPECT_EQ(harness.host().simMJD(), Ahead(1.0)) << "only the master's date is applied";
    EXPECT_EQ(harness.host().timeAcceleration(), 2.0);
    const std::string report = "Ignored datagrams from a sender that is not the master: 4, the last from 127.0.0.1:" +
                               std::to_string(stranger.port());
    EXPECT_TRUE(harness.logged(report)) << "reported after the step that met them, with the sender";
    EXPECT_EQ(countLines("Ignored datagrams from a sender"), 1) << "not one line per datagram";
}

TEST_F(HostileLink, CopiesAreTakenOnceAndKeysReplayedOnce) {
    Helmecho& slave = startWithFocus();
    sendKey(10, 0x26);
    sendKey(10, 0x26);
    sendKey(11, 0x27);
    sendKey(10, 0x26);
    step();
    EXPECT_EQ(keysSeen(), (std::vector<UINT>{0x26, 0x27}));
    EXPECT_EQ(slave.Link().duplicateCount, 2);
    EXPECT_EQ(slave.Link().lostCount, 0);
    EXPECT_EQ(slave.Link().lastSeq, 11);
}

TEST_F(HostileLink, AnOlderUpdateIsIgnoredButLateKeysAndReorderedMessagesOfTheCurrentOneAreTaken) {
    Helmecho& slave = startWithFocus();
    send(StartAt(Ahead(2.0), 20, 4.0));
    send(StartAt(Ahead(1.0), 10, 1.0));  // an older update, arriving late
    sendKey(12, 0x30);                   // its keys still count
    sendHeader(wire::kEnd, 14);          // its end does not
    sendHeader(wire::kEnd, 22);          // the current update's end before...
    sendHeader(wire::kHello, 21);        // ...a message of its middle
    step();
    EXPECT_EQ(harness.host().simMJD(), Ahead(2.0)) << "the date does not go back";
    EXPECT_EQ(harness.host().timeAcceleration(), 4.0);
    EXPECT_EQ(keysSeen(), std::vector<UINT>{0x30});
    EXPECT_EQ(slave.Link().updateCount, 1);
    EXPECT_EQ(slave.Link().staleCount, 2);
    step();
    EXPECT_EQ(slave.Link().lastSeq, 22);
    EXPECT_EQ(slave.Link().lostCount, 0) << "21 filled its gap; 10 and 14 were not taken in";
}

TEST_F(HostileLink, AKeyReleasedIsNotPressedAgainByItsLatePress) {
    startWithFocus();
    sendKey(31, 0x26, true);  // the release overtook...
    sendKey(30, 0x26);        // ...its press
    sendKey(29, 0x27);        // another key's press, late too: it was not replayed yet
    sendKey(32, 0x26);
    step();
    const auto keys = harness.host().keysReceivedBy(focus);
    ASSERT_EQ(keys.size(), 3u);
    EXPECT_EQ(keys[0].key, 0x26u);
    EXPECT_FALSE(keys[0].down);
    EXPECT_EQ(keys[1].key, 0x27u);
    EXPECT_EQ(keys[2].key, 0x26u);
    EXPECT_TRUE(keys[2].down);
}

TEST_F(HostileLink, AForgedFleetStopsAtMaxVesselsAndUnsafeClassNamesCreateNothing) {
    simhost::RegisterGenericClass("Safe2", SlaveClassOfVersion(2));
    start("maxVessels = 3\n");
    const DWORD before = oapiGetVesselCount();
    for (int i = 0; i < 5; ++i) sendVessel("forged" + std::to_string(i), "Safe2");
    for (const char* hostile : {"../Safe2", "Vessels/Safe2", "Vessels\\Safe2", "C:Safe2",
                                "Safe\x01"
                                "2"})
        sendVessel("hostile", hostile);
    sendVessel("hostile", "../Safe2");
    step();
    EXPECT_EQ(oapiGetVesselCount(), before + 3);
    EXPECT_NE(Vessel("forged2"), nullptr);
    EXPECT_EQ(Vessel("forged3"), nullptr);
    EXPECT_EQ(Vessel("hostile"), nullptr);
    EXPECT_EQ(countLines("Vessels not created, this slave made maxVessels=3 already: 2,"), 1);
    EXPECT_EQ(countLines("vessel hostile: class name \"../Safe2\" is no safe file name"), 1) << "once per name";
    EXPECT_EQ(countLines("vessel hostile: class name \"Safe?2\""), 1) << "control characters shown as '?'";
    EXPECT_EQ(countLines("vessel hostile: class name"), 5);
}

TEST_F(HostileLink, ARestartedMasterIsFollowedAfterASecondOfSilence) {
    Helmecho& slave = startWithFocus();
    send(StartAt(Ahead(2.0), 500));
    step();
    send(StartAt(Ahead(1.0), 1));
    step();
    EXPECT_EQ(harness.host().simMJD(), Ahead(2.0)) << "right after, a low number is a late copy";
    harness.host().advanceSysTime(1.5);
    send(StartAt(Ahead(1.0), 2));
    sendHeader(wire::kEnd, 3);
    step();
    EXPECT_EQ(harness.host().simMJD(), Ahead(1.0)) << "after the silence, a new numbering";
    EXPECT_EQ(countReceived(wire::kAck), 1) << "and its update completes";
    EXPECT_EQ(slave.Link().lastSeq, 3);
}

TEST_F(HostileLink, KeysInADiscardedBacklogAreStillReplayedInOrder) {
    Helmecho& slave = startWithFocus();
    // A small backlog behind the first end sets the mark...
    sendHeader(wire::kEnd, 1);
    sendHeader(wire::kHello, 2);
    step();
    step();
    // ...a larger one behind the next is discarded, keys and all.
    sendHeader(wire::kEnd, 3);
    send(StartAt(Ahead(5.0), 4));
    sendKey(5, 0x31);
    sendKey(6, 0x32);
    sendKey(6, 0x32);
    step();
    EXPECT_EQ(slave.Link().droppedCount, 4);
    EXPECT_EQ(harness.host().simMJD(), kBaseMjd) << "discarded states are not applied";
    EXPECT_EQ(keysSeen(), (std::vector<UINT>{0x31, 0x32}));
}

TEST_F(HostileLink, DatesAndValuesThatCannotBeAppliedAreRefusedAndCounted) {
    startWithFocus();
    send(StartAt(1.0e305, 1, 3.0));  // finite, but its offset is not
    wire::AnimationRecord animation{};
    animation.header = {wire::kAnimation, 2};
    CopyName(animation.vesselName, "keyed");
    animation.animCount = 3;
    animation.animStates[1] = std::nan("");
    send(animation);
    step();
    EXPECT_EQ(harness.host().simMJD(), kBaseMjd);
    EXPECT_NE(harness.host().timeAcceleration(), 3.0) << "nothing of the message is applied";
    for (double state : AnimationStates(*Vessel("keyed"))) EXPECT_TRUE(std::isfinite(state));
    EXPECT_TRUE(harness.logged("Ignored datagrams of the master that are no message: 2, the last from 127.0.0.1:" +
                               std::to_string(master.port()) + " (values that cannot be applied)"));
}

}  // namespace
