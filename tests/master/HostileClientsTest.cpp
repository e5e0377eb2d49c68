// What strangers can do to the master: junk between the clients' datagrams,
// more subscriptions than the table takes; and what the master must not
// leak or repeat.
#include "MasterFixture.h"
#include "TestKeys.h"

namespace {

class HostileClients : public MasterFixture {};

TEST_F(HostileClients, BadDatagramsBetweenHellosAndAcksAreReadPastAndReportedOnce) {
    Helmcast& master = start("maxUpdateRate = 10\n");
    PeerSocket live;
    subscribe(live);
    ASSERT_EQ(clientCount(master), 1u);

    PeerSocket stranger;
    const uint8_t junk[40] = {10, 0, 0, 0};  // unknown type 10
    const int32_t shortStart[2] = {wire::kStart, 0};
    // An empty datagram first: where FIONREAD counts only the first datagram
    // it reads 0, and the drain must not take that for an empty queue.
    stranger.sendTo(port, junk, 0);
    for (int i = 0; i < 50; ++i) {
        stranger.sendTo(port, junk, sizeof junk);
        stranger.sendTo(port, shortStart, sizeof shortStart);
        stranger.sendTo(port, junk, 3);
    }
    PeerSocket newcomer;
    send(newcomer, wire::kHello);
    harness.host().advanceSysTime(2.5);
    send(live, wire::kAck);
    update();
    // 3.5 s after its subscription: only its acknowledgement behind the junk
    // keeps the live client.
    EXPECT_EQ(clientCount(master), 1u) << "the live client stays";
    update();
    EXPECT_THAT(types(receiveAll(newcomer)), ::testing::ElementsAre(wire::kEnd)) << "the newcomer is answered";
    // Start messages are not even read by a master: the unknown and short
    // ones are counted.
    EXPECT_EQ(harness.countLoggedStartingWith("Ignored datagrams that are no message: 101, the last from 127.0.0.1:" +
                                              std::to_string(stranger.port())),
              1);
    EXPECT_EQ(harness.countLoggedStartingWith("Unhandled message type 10"), 1) << "one line a second at most";
}

TEST_F(HostileClients, TheClientTableStopsAtMaxClients) {
    Helmcast& master = start("maxUpdateRate = 10\nmaxClients = 2\n");
    PeerSocket a, b, c, d;
    subscribe({&a, &b, &c, &d});
    ASSERT_EQ(clientCount(master), 2u);
    EXPECT_EQ(clientPort(master, 1), b.port());
    EXPECT_EQ(harness.countLoggedStartingWith(
                  "Refused subscriptions, the client table is full (maxClients=2, maxClientsPerAddress=16): 2, the "
                  "last from 127.0.0.1:" +
                  std::to_string(d.port())),
              1);
    update();
    EXPECT_FALSE(receiveAll(a).empty());
    EXPECT_EQ(receiveAll(c).size(), 0u) << "a refused client gets nothing";
}

TEST_F(HostileClients, OnlyTheKeysOfThisUpdateTravelAndVersionErrorsAreLoggedOnce) {
    simhost::RegisterGenericClass("Future4", ClassOfVersion(4));
    start("maxUpdateRate = 10\n");
    oapiSetFocusObject(addVessel("four", "Future4"));
    PeerSocket client;
    subscribe(client);
    for (DWORD scanCode : {0x10u, 0x11u, 0x12u}) harness.host().deliverKey(Key(scanCode, 0));
    update();
    harness.host().deliverKey(Key(0x13, 0));
    receiveAll(client);
    update();
    bool checked = false;
    for (const auto& d : receiveAll(client)) {
        if (d.type() != wire::kKeyboard) continue;
        ASSERT_EQ(d.read<int32_t>(8), 1);
        EXPECT_EQ((d.read<int32_t>(20) >> 16) & 0xFF, 0x13);
        for (size_t offset = 24; offset < 204; offset += 4) EXPECT_EQ(d.read<int32_t>(offset), 0) << offset;
        checked = true;
    }
    EXPECT_TRUE(checked);
    EXPECT_EQ(harness.countLoggedStartingWith("vessel four: unsupported vessel interface version 4"), 1);
}

}  // namespace
