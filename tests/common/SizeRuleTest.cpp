// The size rule and the factory: every type code, its exact size, the text
// message's bounds, unknown codes.
#include "CommonTestSupport.h"

namespace {

using helmtest::As;
using helmtest::Bytes;
using helmtest::Create;

class SizeRule : public helmtest::HostTest {};

struct Expected {
    int32_t type;
    int size;
};

// Sizes written out here, not taken from the records.
const Expected kCatalogue[] = {
    {-6, 8}, {-5, 8}, {-1, 8}, {0, 32}, {1, 640}, {2, 2304}, {3, 88},
    {4, 672}, {5, 40}, {7, 204}, {8, 84}, {9, 176},
};

TEST_F(SizeRule, EveryFixedTypeHasItsSize) {
    for (const Expected& e : kCatalogue) {
        Bytes bytes(e.type, static_cast<size_t>(e.size));
        EXPECT_EQ(e.size, PayloadSize(bytes.data(), bytes.size())) << "type " << e.type;
        std::unique_ptr<Message> m = Create(bytes);
        ASSERT_NE(nullptr, m) << "type " << e.type;
        EXPECT_EQ(e.type, m->type());
        EXPECT_EQ(e.size, m->size()) << "type " << e.type;
    }
}

TEST_F(SizeRule, FactoryBuildsTheClassOfEachCode) {
    auto built = [](int32_t type, int size) { return Create(Bytes(type, static_cast<size_t>(size))); };
    EXPECT_NE(nullptr, As<AckMessage>(built(-6, 8)));
    EXPECT_NE(nullptr, As<HelloMessage>(built(-5, 8)));
    EXPECT_NE(nullptr, As<EndMessage>(built(-1, 8)));
    EXPECT_NE(nullptr, As<StartMessage>(built(0, 32)));
    EXPECT_NE(nullptr, As<VesselMessage>(built(1, 640)));
    EXPECT_NE(nullptr, As<Vessel2Message>(built(2, 2304)));
    EXPECT_NE(nullptr, As<AirfoilMessage>(built(3, 88)));
    EXPECT_NE(nullptr, As<FocusMessage>(built(5, 40)));
    EXPECT_NE(nullptr, As<VesselStateMessage>(built(6, 56)));
    EXPECT_NE(nullptr, As<KeyboardMessage>(built(7, 204)));
    EXPECT_NE(nullptr, As<VesselExtraMessage>(built(8, 84)));
    EXPECT_NE(nullptr, As<AnimationMessage>(built(9, 176)));
    std::unique_ptr<Message> xr = built(4, 672);
    ASSERT_NE(nullptr, As<XRMessage>(xr));
    EXPECT_TRUE(As<XRMessage>(xr)->xrValid);
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
        EXPECT_EQ(-1, PayloadSize(bytes.data(), bytes.size()));
        EXPECT_EQ(nullptr, Create(bytes));
        EXPECT_NE(std::string::npos, logText().find("Message.cpp") );
        EXPECT_NE(std::string::npos, logText().find("Unhandled message type " + std::to_string(type)))
            << "type " << type;
    }
}

TEST_F(SizeRule, LocalMessagesReportTheirSizeAndCarryTheirType) {
    EXPECT_EQ(8, HelloMessage().size());
    EXPECT_EQ(-5, HelloMessage().type());
    EXPECT_EQ(204, KeyboardMessage().size());
    EXPECT_EQ(2304, Vessel2Message().size());
    VesselStateMessage text;
    EXPECT_EQ(56, text.size());
    text.record().textLength = 11;
    EXPECT_EQ(67, text.size());
    EXPECT_FALSE(XRMessage().xrValid);
}

}  // namespace
