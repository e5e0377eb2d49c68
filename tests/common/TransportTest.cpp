// The transport over real loopback sockets: sequence numbers, fan-out,
// receive through the modules' socket with the sender's address, receive
// errors.
#include "CommonTestSupport.h"
#include "ScriptedSocketCalls.h"

namespace {

using helmtest::Get;
using helmtest::UdpSocket;

class Transport : public helmtest::HostTest {};

TEST_F(Transport, WithoutClientsTheCounterStillAdvances) {
    UdpSocket master;
    StartMessage start;
    const int32_t before = sendSequence;
    SendToClients(master.socket(), {}, start);
    EXPECT_EQ(before + 1, sendSequence);
    SendToClients(master.socket(), {}, start);
    EXPECT_EQ(before + 2, sendSequence);
}

TEST_F(Transport, OneClientGetsTheBytesWithTheCurrentSequence) {
    UdpSocket master, client;
    StartMessage start;
    start.record().mjd = 60000.25;
    start.record().timeAccel = 10.0;
    const int32_t before = sendSequence;
    SendToClients(master.socket(), {client.address()}, start);
    std::vector<uint8_t> got = client.readRaw();
    ASSERT_EQ(32u, got.size());
    EXPECT_EQ(0, Get<int32_t>(got.data(), 0));
    EXPECT_EQ(before, Get<int32_t>(got.data(), 4));
    EXPECT_EQ(60000.25, Get<double>(got.data(), 8));
    EXPECT_EQ(10.0, Get<double>(got.data(), 16));
    EXPECT_EQ(0, std::memcmp(got.data(), start.payload(), 32));
    EXPECT_EQ(before + 1, sendSequence);
}

TEST_F(Transport, ThreeClientsGetTheSameSequenceAndTheNextMessageTheNext) {
    UdpSocket master, a, b, c;
    const std::vector<sockaddr_in> clients = {a.address(), b.address(), c.address()};
    const int32_t first = sendSequence;
    EndMessage end;
    SendToClients(master.socket(), clients, end);
    FocusMessage focus;
    std::strcpy(focus.record().vesselName, "Alpha");
    SendToClients(master.socket(), clients, focus);
    for (UdpSocket* s : {&a, &b, &c}) {
        std::vector<uint8_t> one = s->readRaw();
        ASSERT_EQ(8u, one.size());
        EXPECT_EQ(-1, Get<int32_t>(one.data(), 0));
        EXPECT_EQ(first, Get<int32_t>(one.data(), 4));
        std::vector<uint8_t> two = s->readRaw();
        ASSERT_EQ(40u, two.size());
        EXPECT_EQ(5, Get<int32_t>(two.data(), 0));
        EXPECT_EQ(first + 1, Get<int32_t>(two.data(), 4));
        EXPECT_STREQ("Alpha", reinterpret_cast<const char*>(two.data() + 8));
    }
    EXPECT_EQ(first + 2, sendSequence);
}

TEST_F(Transport, SendToMasterCarriesConsecutiveSequences) {
    UdpSocket slave, master;
    HelloMessage hello;
    AckMessage ack;
    const int32_t before = sendSequence;
    SendToMaster(slave.socket(), master.address(), hello);
    SendToMaster(slave.socket(), master.address(), ack);
    std::vector<uint8_t> one = master.readRaw();
    std::vector<uint8_t> two = master.readRaw();
    ASSERT_EQ(8u, one.size());
    ASSERT_EQ(8u, two.size());
    EXPECT_EQ(-5, Get<int32_t>(one.data(), 0));
    EXPECT_EQ(-6, Get<int32_t>(two.data(), 0));
    EXPECT_EQ(before, Get<int32_t>(one.data(), 4));
    EXPECT_EQ(before + 1, Get<int32_t>(two.data(), 4));
    EXPECT_EQ(before + 2, sendSequence);
}

TEST_F(Transport, MasterReceiveReportsTheSender) {
    UdpSocket master, slave;
    HelloMessage hello;
    SendToMaster(slave.socket(), master.address(), hello);
    const UdpSocket::Taken taken = master.take();
    ASSERT_NE(nullptr, dynamic_cast<HelloMessage*>(taken.message));
    EXPECT_EQ(slave.address().sin_port, taken.from.sin_port);
    EXPECT_EQ(htonl(INADDR_LOOPBACK), taken.from.sin_addr.s_addr);
}

TEST_F(Transport, SlaveReceiveBuildsTheMessage) {
    UdpSocket master, slave;
    KeyboardMessage keys;
    keys.record().keyCount = 1;
    keys.record().keys[0] = wire::KeyEntry{0, 0x41, 0x001E0001};
    SendToClients(master.socket(), {slave.address()}, keys);
    auto* k = dynamic_cast<KeyboardMessage*>(slave.take().message);
    ASSERT_NE(nullptr, k);
    EXPECT_EQ(1, k->record().keyCount);
    EXPECT_EQ(0x001E0001, k->record().keys[0].keyFlags);
}

TEST_F(Transport, LargestTextThatFitsOneDatagramTravelsWhole) {
    // 65,451 text bytes: 65,507 bytes of datagram, the most IPv4 UDP carries.
    UdpSocket master, slave;
    std::unique_ptr<VesselStateMessage> text(new VesselStateMessage);
    text->record().mjd = oapiGetSimMJD();
    std::strcpy(text->record().vesselName, "Big");
    text->record().textLength = 65451;
    for (int i = 0; i < 65451; ++i) text->record().text[i] = static_cast<char>('a' + i % 26);
    SendToClients(master.socket(), {slave.address()}, *text);
    auto* got = dynamic_cast<VesselStateMessage*>(slave.take().message);
    ASSERT_NE(nullptr, got);
    EXPECT_EQ(65507, got->size());
    EXPECT_EQ(0, std::memcmp(text->record().text, got->record().text, 65451));
}

TEST_F(Transport, MalformedDatagramGivesNullWithoutLogLine) {
    UdpSocket master, slave;
    helmtest::Bytes start(0, 31);
    master.sendRaw(slave.address(), start.data(), start.size());
    const UdpSocket::Taken taken = slave.take();
    EXPECT_EQ(nullptr, taken.message);
    EXPECT_EQ(Rejection::kWrongLength, taken.why);
    EXPECT_EQ("", logText());
}

TEST_F(Transport, ReceiveErrorIsLoggedWithItsCodeOnceASecond) {
    ScriptedSocketCalls failing(0, 10038);
    ::UdpSocket socket(failing);
    ASSERT_EQ(SocketStep::kDone, socket.Open(SocketSettings{}).failed);
    EXPECT_FALSE(ReceiveQueued(socket));
    EXPECT_FALSE(ReceiveQueued(socket));
    const std::string log = logText();
    EXPECT_EQ(log.find("recvfrom() error"), log.rfind("recvfrom() error"))
        << "the second within the second is not told";
    EXPECT_NE(std::string::npos, log.find("Message.cpp")) << log;
    EXPECT_NE(std::string::npos, log.find("recvfrom() error: 10038")) << log;
}

}  // namespace
