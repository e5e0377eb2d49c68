// The size rule and the factory: every type code, its exact size, the text
// message's bounds, unknown codes.
#include "CommonTestSupport.h"

namespace {

using helmtest::As;
using helmtest::Bytes;
using helmtest::Create;

class SizeRule : public helmtest::HostTest {};

// A code's size and the class it builds, both written out here, not taken
// from the records.
struct Expected {
    int32_t type;
    int size;
    bool (*isItsClass)(const Message&);
    std::unique_ptr<Message> (*madeToSend)();
};

template <class M>
bool Is(const Message& message) {
    return dynamic_cast<const M*>(&message) != nullptr;
}

template <class M>
std::unique_ptr<Message> MadeToSend() {
    return std::unique_ptr<Message>(new M);
}

const Expected kCatalogue[] = {
    {-6, 8, Is<AckMessage>, MadeToSend<AckMessage>},
    {-5, 8, Is<HelloMessage>, MadeToSend<HelloMessage>},
    {-1, 8, Is<EndMessage>, MadeToSend<EndMessage>},
    {0, 32, Is<StartMessage>, MadeToSend<StartMessage>},
    {1, 640, Is<VesselMessage>, MadeToSend<VesselMessage>},
    {2, 2304, Is<Vessel2Message>, MadeToSend<Vessel2Message>},
    {3, 88, Is<AirfoilMessage>, MadeToSend<AirfoilMessage>},
    {4, 672, Is<XRMessage>, MadeToSend<XRMessage>},
    {5, 40, Is<FocusMessage>, MadeToSend<FocusMessage>},
    {7, 204, Is<KeyboardMessage>, MadeToSend<KeyboardMessage>},
    {8, 84, Is<VesselExtraMessage>, MadeToSend<VesselExtraMessage>},
    {9, 176, Is<AnimationMessage>, MadeToSend<AnimationMessage>},
};

// Received at its size, a code builds its class; a message of that class
// made to send carries the code and goes out at that size.
TEST_F(SizeRule, EveryFixedTypeHasItsSizeAndItsClass) {
    for (const Expected& e : kCatalogue) {
        Bytes bytes(e.type, static_cast<size_t>(e.size));
        EXPECT_EQ(e.size, PayloadSize(bytes.data(), bytes.size())) << "type " << e.type;
        std::unique_ptr<Message> received = Create(bytes);
        ASSERT_NE(nullptr, received) << "type " << e.type;
        EXPECT_TRUE(e.isItsClass(*received)) << "type " << e.type;
        EXPECT_EQ(e.type, received->type());
        EXPECT_EQ(e.size, received->size()) << "type " << e.type;
        const std::unique_ptr<Message> toSend = e.madeToSend();
        EXPECT_EQ(e.type, toSend->type());
        EXPECT_EQ(e.size, toSend->size()) << "type " << e.type;
    }
    // What the fuzz target relies on: a received XR record counts as read.
    EXPECT_TRUE(As<XRMessage>(Create(Bytes(4, 672)))->xrValid);
    // The text message made to send: its fixed part, then as long as its text.
    VesselStateMessage text;
    EXPECT_EQ(6, text.type());
    EXPECT_EQ(56, text.size());
    text.record().textLength = 11;
    EXPECT_EQ(67, text.size());
}

TEST_F(SizeRule, WrongLengthIsNoMessageAndNoLogLine) {
    for (const Expected& e : kCatalogue) {
        for (int delta : {-1, 1}) {
            Bytes bytes(e.type, static_cast<size_t>(e.size + delta));
            EXPECT_EQ(nullptr, Create(bytes)) << "type " << e.type << " length " << e.size + delta;
        }
    }
    // A header-only datagram of a longer type.
    EXPECT_EQ(nullptr, Create(Bytes(0, 8)));
    EXPECT_EQ(nullptr, Create(Bytes(-5, 4)));
    EXPECT_EQ("", logText());
}

TEST_F(SizeRule, StartMessageOnlyAtExactly32Bytes) {
    EXPECT_NE(nullptr, As<StartMessage>(Create(Bytes(0, 32))));
    EXPECT_EQ(nullptr, Create(Bytes(0, 31)));
    EXPECT_EQ(nullptr, Create(Bytes(0, 33)));
    EXPECT_EQ("", logText());
}

TEST_F(SizeRule, TextMessageIs56PlusItsTextLength) {
    Bytes empty(6, 56);
    empty.put<int32_t>(48, 0);
    EXPECT_EQ(56, PayloadSize(empty.data(), empty.size()));
    EXPECT_NE(nullptr, As<VesselStateMessage>(Create(empty)));

    Bytes hundred(6, 156);
    hundred.put<int32_t>(48, 100);
    EXPECT_NE(nullptr, Create(hundred));
    Bytes hundredShort(6, 155);
    hundredShort.put<int32_t>(48, 100);
    EXPECT_EQ(nullptr, Create(hundredShort));
    Bytes hundredLong(6, 157);
    hundredLong.put<int32_t>(48, 100);
    EXPECT_EQ(nullptr, Create(hundredLong));

    Bytes largest(6, 65592);
    largest.put<int32_t>(48, 65536);
    largest.raw()[65591] = 'z';
    std::unique_ptr<Message> m = Create(largest);
    ASSERT_NE(nullptr, As<VesselStateMessage>(m));
    EXPECT_EQ(65592, m->size());
    EXPECT_EQ('z', As<VesselStateMessage>(m)->record().text[65535]);
}

TEST_F(SizeRule, TextLengthOutOfBoundsHasNoSize) {
    Bytes negative(6, 56);
    negative.put<int32_t>(48, -1);
    EXPECT_EQ(-1, PayloadSize(negative.data(), negative.size()));
    EXPECT_EQ(nullptr, Create(negative));
    Bytes tooLong(6, 56);
    tooLong.put<int32_t>(48, 65537);
    EXPECT_EQ(-1, PayloadSize(tooLong.data(), tooLong.size()));
    // Shorter than the fixed part: the text length cannot even be read.
    EXPECT_EQ(nullptr, Create(Bytes(6, 50)));
    EXPECT_EQ(nullptr, Create(Bytes(6, 8)));
}

TEST_F(SizeRule, UnknownCodesAreLoggedAndDropped) {
    for (int32_t type : {-2, -3, -4, -7, 10}) {
        // A flood of unknown types gets at most one line a second.
        simhost::Host::instance().advanceSysTime(1.0);
        Bytes bytes(type, 8);
        EXPECT_EQ(nullptr, Create(bytes));
        EXPECT_NE(std::string::npos, logText().find("Unhandled message type " + std::to_string(type)))
            << "type " << type;
        EXPECT_EQ(-1, PayloadSize(bytes.data(), bytes.size()));
    }
    EXPECT_NE(std::string::npos, logText().find("Message.cpp"));
    // The same for a datagram taken off a socket, as the modules read them.
    simhost::Host::instance().advanceSysTime(1.0);
    helmtest::UdpSocket master, slave;
    Bytes unknown(11, 8);
    master.sendRaw(slave.address(), unknown.data(), unknown.size());
    EXPECT_EQ(nullptr, slave.take().message);
    EXPECT_NE(std::string::npos, logText().find("Unhandled message type 11"));
}

}  // namespace
