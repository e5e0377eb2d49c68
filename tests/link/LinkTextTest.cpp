// Texts of the view and the snapshot: addresses, dates, keys, JSON strings.
#include <gtest/gtest.h>

#include "LinkText.h"
#include "MasterAddress.h"
#include "SnapshotJson.h"

namespace {

TEST(MasterAddress, AcceptsAnAddressWithOrWithoutPort) {
    sockaddr_in address{};
    std::string error;
    ASSERT_TRUE(ParseMasterAddress("127.0.0.1", address, error)) << error;
    EXPECT_EQ(AddressText(address), "127.0.0.1:40000");
    ASSERT_TRUE(ParseMasterAddress("localhost:41000", address, error)) << error;
    EXPECT_EQ(AddressText(address), "127.0.0.1:41000");
}

TEST(MasterAddress, SaysWhatIsWrong) {
    sockaddr_in address{};
    const struct {
        const char* text;
        const char* named;
    } bad[] = {{"127.0.0.1:0", "bad port '0'"},
               {"127.0.0.1:65536", "bad port '65536'"},
               {"127.0.0.1:4x", "bad port '4x'"},
               {"127.0.0.1:", "bad port ''"},
               {"300.1.2.3", "bad master address '300.1.2.3'"},
               {"master.example", "bad master address"},
               {"0.0.0.0", "address of its own"},
               {"", "bad master address"}};
    for (const auto& b : bad) {
        std::string error;
        EXPECT_FALSE(ParseMasterAddress(b.text, address, error)) << b.text;
        EXPECT_NE(error.find(b.named), std::string::npos) << b.text << ": " << error;
    }
}

TEST(LinkText, DatesAndKeys) {
    EXPECT_EQ(MjdText(60000.5), "2023-02-25 12:00:00");
    EXPECT_EQ(MjdText(51544.0), "2000-01-01 00:00:00");
    EXPECT_EQ(MjdText(1.0e300), "?");
    wire::KeyEvent g;
    g.virtualKey = 'G';
    g.scanCode = 0x22;
    g.release = true;
    g.altHeld = true;
    EXPECT_EQ(KeyText(g), "G up alt");
    wire::KeyEvent f1;
    f1.virtualKey = 0x70;
    f1.scanCode = 0x3B;
    EXPECT_EQ(KeyText(f1), "scan 0x3B down");
}

TEST(SnapshotJson, StringsAreAlwaysValidJson) {
    EXPECT_EQ(JsonString("Orbiter-1"), "\"Orbiter-1\"");
    EXPECT_EQ(JsonString("a\"b\\c\n"), "\"a\\\"b\\\\c\\u000a\"");
    EXPECT_EQ(JsonString(std::string("\xff\x01", 2)), "\"\\u00ff\\u0001\"");
}

}  // namespace
