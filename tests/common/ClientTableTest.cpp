// Who gets a master's (or a relay's) updates, on a clock the test sets:
// answered Hellos, confirming Acks, caps and displacement, acknowledgement
// windows, time-outs, the pool of unconfirmed addresses and the allow-list.
#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <limits>
#include <vector>

#include "ClientTable.h"
#include "ClientTakeIn.h"
#include "WireRecords.h"

namespace {

const uint32_t kLoopback = htonl(0x7F000001u);
const uint32_t kLoopback2 = htonl(0x7F000002u);

Endpoint At(uint16_t port, uint32_t address = kLoopback) {
    Endpoint e;
    e.address = address;
    e.port = htons(port);
    return e;
}

using Hello = ClientTable::HelloVerdict;
using Ack = ClientTable::AckVerdict;

// One update as a master runs it, at `now`, acknowledged by `ackers`.
void Update(ClientTable& table, double now, const std::vector<Endpoint>& ackers = {}) {
    table.Join();
    table.TakeAnswers();
    table.EndSent(now);
    for (const Endpoint& e : ackers) table.Ack(e, now);
}

// A Hello answered by an update's end, and the Ack that confirms.
void Confirm(ClientTable& table, const Endpoint& e, double now) {
    ASSERT_EQ(table.Hello(e, now), Hello::kAnswer);
    table.TakeAnswers();
    ASSERT_EQ(table.Ack(e, now), Ack::kConfirmed);
}

TEST(ClientTable, AHelloIsAnsweredOnceAnAckAfterTheAnswerConfirmsAndOnlyAcksRenew) {
    ClientTable table;
    EXPECT_EQ(table.Hello(At(5000), 0.0), Hello::kAnswer);
    EXPECT_EQ(table.Ack(At(5000), 0.0), Ack::kStranger) << "no answer went out yet";
    EXPECT_EQ(table.Hello(At(5000), 0.01), Hello::kAnswer);
    ASSERT_EQ(table.TakeAnswers().size(), 1u) << "one answer for the Hellos between two ends";
    EXPECT_TRUE(table.TakeAnswers().empty());
    EXPECT_EQ(table.Ack(At(5000), 0.1), Ack::kConfirmed);
    EXPECT_TRUE(table.Receivers().empty()) << "from the next update on";
    table.Join();
    ASSERT_EQ(table.Receivers().size(), 1u);

    EXPECT_EQ(table.Hello(At(5000), 2.0), Hello::kAlreadyClient);
    table.DropSilent(3.1);
    EXPECT_TRUE(table.IsClient(At(5000))) << "3 s after its Ack";
    table.DropSilent(3.11);
    EXPECT_FALSE(table.IsClient(At(5000))) << "the Hello did not renew";
    const auto left = table.TakeDepartures();
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left[0].why, ClientTable::Leaving::kSilent);
    EXPECT_EQ(table.Ack(At(5001), 3.2), Ack::kStranger);

    // An answer long ago confirms nothing.
    table.Hello(At(5002), 4.0);
    table.TakeAnswers();
    EXPECT_EQ(table.Ack(At(5002), 7.5), Ack::kStranger);
}

TEST(ClientTable, CapsRefuseClientsThatAcknowledgeAndDisplaceOnesThatDoNot) {
    ClientRules rules;
    rules.maxClients = 2;
    ClientTable table(rules);
    Confirm(table, At(5000), 0.0);
    Confirm(table, At(5001), 0.0);
    table.Hello(At(5002), 0.0);
    table.TakeAnswers();
    EXPECT_EQ(table.Ack(At(5002), 0.0), Ack::kRefused) << "nobody has been judged yet";

    // Eight updates: 5000 acknowledges each, 5001 one.
    for (int i = 0; i < 8; ++i)
        Update(table, 0.1 * i, i == 0 ? std::vector<Endpoint>{At(5000), At(5001)} : std::vector<Endpoint>{At(5000)});
    table.TakeDepartures();
    EXPECT_EQ(table.Ack(At(5002), 0.9), Ack::kConfirmed);
    EXPECT_TRUE(table.IsClient(At(5000)));
    EXPECT_FALSE(table.IsClient(At(5001)));
    const auto left = table.TakeDepartures();
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left[0].why, ClientTable::Leaving::kDisplaced);

    table.Hello(At(5003), 1.0);
    table.TakeAnswers();
    EXPECT_EQ(table.Ack(At(5003), 1.0), Ack::kRefused) << "the others acknowledge, or are too new to judge";
}

TEST(ClientTable, OneAddressTakesAtMostItsShareAndOthersStillGetIn) {
    ClientRules rules;
    rules.maxClientsPerAddress = 2;
    ClientTable table(rules);
    const uint32_t other = kLoopback2;
    for (uint16_t port : {5000, 5001, 5002}) table.Hello(At(port), 0.0);
    table.Hello(At(5000, other), 0.0);
    table.TakeAnswers();
    EXPECT_EQ(table.Ack(At(5000), 0.0), Ack::kConfirmed);
    EXPECT_EQ(table.Ack(At(5001), 0.0), Ack::kConfirmed);
    EXPECT_EQ(table.Ack(At(5002), 0.0), Ack::kRefused);
    EXPECT_EQ(table.Ack(At(5000, other), 0.0), Ack::kConfirmed);
}

TEST(ClientTable, FewerThanOneAckInFourUpdatesOverAWindowUnconfirms) {
    ClientTable table;
    Confirm(table, At(5000), 0.0);
    Confirm(table, At(5001), 0.0);
    // 30 updates a second for two seconds: 5000 acknowledges every third,
    // 5001 every fifth.
    for (int i = 0; i < 61; ++i) {
        std::vector<Endpoint> ackers;
        if (i % 3 == 0) ackers.push_back(At(5000));
        if (i % 5 == 0) ackers.push_back(At(5001));
        Update(table, i / 30.0, ackers);
    }
    EXPECT_TRUE(table.IsClient(At(5000)));
    EXPECT_FALSE(table.IsClient(At(5001)));
    const auto left = table.TakeDepartures();
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left[0].why, ClientTable::Leaving::kFewAcks);
    EXPECT_EQ(table.Ack(At(5001), 2.1), Ack::kStranger) << "it must be answered again";
}

TEST(ClientTable, AHelloFloodStaysInItsPoolAndAGenuineHelloIsStillAnswered) {
    ClientRules rules;
    rules.maxUnconfirmed = 100;
    rules.maxClients = 4;
    ClientTable table(rules);
    Confirm(table, At(1), 0.0);
    for (int port = 2000; port < 3000; ++port) table.Hello(At(static_cast<uint16_t>(port)), 0.0);
    table.Hello(At(5000), 0.0);
    EXPECT_LE(table.Unconfirmed(), 100u);
    const auto answers = table.TakeAnswers();
    EXPECT_LE(answers.size(), 100u) << "no more answers than the pool holds";
    EXPECT_EQ(answers.back(), At(5000));
    EXPECT_EQ(table.Ack(At(5000), 0.0), Ack::kConfirmed);
    EXPECT_EQ(table.Clients().size(), 2u) << "the flood took no client's place";
    EXPECT_EQ(table.Ack(At(2000), 0.0), Ack::kStranger) << "the oldest left the pool";
}

TEST(ClientTable, OnlyAllowedAddressesAreAnswered) {
    ClientRules rules;
    rules.allowed = AllowList("10.0.0.0/8, 127.0.0.2");
    ClientTable table(rules);
    EXPECT_EQ(table.Hello(At(5000), 0.0), Hello::kNotAllowed);
    EXPECT_EQ(table.Hello(At(5000, kLoopback2), 0.0), Hello::kAnswer);
    EXPECT_EQ(table.TakeAnswers().size(), 1u);
}

TEST(AllowList, ReadsAddressesPrefixesAndRangesAndNamesWhatItCannotRead) {
    const AllowList list("192.168.1.0/24, 10.0.0.5-10.0.0.9 172.16.0.1,, 300.1.1.1 10.0.0.9-10.0.0.5 host 1.2.3.4/33");
    EXPECT_EQ(list.Entries().size(), 3u);
    EXPECT_EQ(list.Unusable(), (std::vector<std::string>{"300.1.1.1", "10.0.0.9-10.0.0.5", "host", "1.2.3.4/33"}));
    auto allows = [&](const char* text) {
        uint32_t address = 0;
        EXPECT_TRUE(ParseDottedAddress(text, std::string(text).size(), address)) << text;
        return list.Allows(address);
    };
    EXPECT_TRUE(allows("192.168.1.200"));
    EXPECT_FALSE(allows("192.168.2.1"));
    EXPECT_TRUE(allows("10.0.0.5"));
    EXPECT_TRUE(allows("10.0.0.9"));
    EXPECT_FALSE(allows("10.0.0.10"));
    EXPECT_TRUE(allows("172.16.0.1"));
    EXPECT_TRUE(AllowList("").Allows(0x01020304u)) << "empty: anyone";
    EXPECT_FALSE(AllowList("nonsense").Allows(0x01020304u)) << "nothing usable: nobody";
}

TEST(ClientTakeIn, ReadsOnlyWhatAClientSendsAndJudgesItsBytes) {
    using V = ClientTakeIn::Verdict;
    const auto screen = [](const auto& record, int cut = 0) {
        return ClientTakeIn::Screen(reinterpret_cast<const uint8_t*>(&record), static_cast<int>(sizeof record) - cut);
    };
    wire::HeaderRecord hello{};
    hello.header.type = wire::kHello;
    EXPECT_EQ(screen(hello).verdict, V::kHello);
    hello.header.type = wire::kAck;
    EXPECT_EQ(screen(hello).verdict, V::kAck);
    EXPECT_EQ(screen(hello, 1).rejection, wire::Rejection::kTooShort);

    // A master's own kind is not read, not even to judge its bytes.
    wire::StartRecord start{};
    start.header.type = wire::kStart;
    start.mjd = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(screen(start).verdict, V::kNotForMaster);
    hello.header.type = 12345;
    EXPECT_EQ(screen(hello).rejection, wire::Rejection::kUnknownType);

    wire::KeyboardRecord keys{};
    keys.header.type = wire::kKeyboard;
    keys.keyCount = wire::kMaxKeys + 100;
    const ClientTakeIn::Outcome taken = screen(keys);
    EXPECT_EQ(taken.verdict, V::kKeys);
    EXPECT_EQ(taken.keyEvents, wire::kMaxKeys) << "the count as the arrays may use it";
    EXPECT_EQ(screen(keys, 4).verdict, V::kNotMessage);
}

}  // namespace
