// The relay keeps its clients by a master's rules, on a clock the test sets.
#include <gtest/gtest.h>

#include <arpa/inet.h>

#include "ClientTable.h"

namespace {

sockaddr_in At(uint16_t port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(port);
    return a;
}

using Hello = ClientTable::Hello;

TEST(ClientTable, HelloSubscribesOnlyAnAckRenews) {
    ClientTable table(64);
    EXPECT_EQ(table.hello(At(5000), 0.0), Hello::kSubscribed);
    EXPECT_EQ(table.hello(At(5000), 2.0), Hello::kAlreadyClient);
    // The second Hello did not renew: more than 3 s after subscribing it is gone.
    EXPECT_TRUE(table.dropSilent(3.0).empty());
    ASSERT_EQ(table.dropSilent(3.01).size(), 1u);
    EXPECT_FALSE(table.isClient(At(5000)));

    EXPECT_EQ(table.hello(At(5000), 4.0), Hello::kSubscribed);
    EXPECT_TRUE(table.ack(At(5000), 6.5));
    EXPECT_TRUE(table.dropSilent(9.4).empty());
    EXPECT_EQ(table.dropSilent(9.6).size(), 1u);
    EXPECT_FALSE(table.ack(At(5001), 9.7)) << "an Ack of a stranger subscribes nobody";
    EXPECT_TRUE(table.clients().empty());
}

TEST(ClientTable, NewcomersReceiveFromTheNextUpdateAndTheCapRefuses) {
    ClientTable table(2);
    EXPECT_EQ(table.hello(At(5000), 0.0), Hello::kSubscribed);
    EXPECT_EQ(table.hello(At(5001), 0.0), Hello::kSubscribed);
    EXPECT_EQ(table.hello(At(5002), 0.0), Hello::kRefused);
    EXPECT_TRUE(table.receivers().empty());
    table.admitNewcomers();
    ASSERT_EQ(table.receivers().size(), 2u);
    EXPECT_EQ(ntohs(table.receivers()[1].sin_port), 5001);

    // Dropping the first keeps the second findable and receiving.
    table.ack(At(5001), 2.0);
    EXPECT_EQ(table.dropSilent(3.5).size(), 1u);
    EXPECT_TRUE(table.ack(At(5001), 3.6));
    ASSERT_EQ(table.receivers().size(), 1u);
    EXPECT_EQ(ntohs(table.receivers()[0].sin_port), 5001);
    EXPECT_EQ(table.hello(At(5002), 3.7), Hello::kSubscribed) << "room again";
}

}  // namespace
