// The hostile sender's datagrams, judged by the protocol core the modules
// use: junk must be refused for the reason its kind gives (or a flood would
// test something else), and forged messages must pass every check (so only
// their sender can give them away).
#include <gtest/gtest.h>

#include <cstring>

#include "ForgedMessages.h"
#include "JunkDatagrams.h"
#include "WireCheck.h"

namespace {

using hostile::JunkKind;
using wire::Rejection;

Rejection Check(const std::vector<uint8_t>& bytes) {
    return wire::CheckDatagram(bytes.data(), static_cast<int>(bytes.size()));
}

TEST(HostileDatagrams, EveryKindOfJunkIsRefusedForItsOwnReason) {
    const struct {
        JunkKind kind;
        Rejection why;
    } kinds[] = {{JunkKind::kTruncatedHeader, Rejection::kTooShort},
                 {JunkKind::kUnknownType, Rejection::kUnknownType},
                 {JunkKind::kWrongSize, Rejection::kWrongLength},
                 {JunkKind::kBadTextLength, Rejection::kWrongLength}};
    hostile::JunkDatagrams junk(2024);
    for (const auto& k : kinds) {
        for (int i = 0; i < 2000; ++i) {
            const std::vector<uint8_t> bytes = junk.Next(k.kind);
            ASSERT_EQ(k.why, Check(bytes)) << "kind " << static_cast<int>(k.kind) << ", " << bytes.size() << " bytes";
        }
    }
    for (int i = 0; i < 2000; ++i) ASSERT_NE(Rejection::kNone, Check(junk.Next()));
}

TEST(HostileDatagrams, ForgedMessagesPassEveryCheck) {
    EXPECT_EQ(Rejection::kNone, Check(hostile::ForgedHello(5)));
    EXPECT_EQ(Rejection::kNone, Check(hostile::ForgedStart(6, 60001.5)));
    EXPECT_EQ(Rejection::kNone, Check(hostile::ForgedVessel(7, 60001.5, "Intruder")));
    EXPECT_EQ(Rejection::kNone, Check(hostile::ForgedAck(9)));
    EXPECT_EQ(Rejection::kNone, Check(hostile::ForgedEnd(10)));
    // Only the slave's own rule may stop a class name that leaves the class folders.
    EXPECT_EQ(Rejection::kNone, Check(hostile::ForgedVessel(11, 60001.5, "Probe", "../Probe\x01")));

    const std::vector<uint8_t> keys = hostile::ForgedKeyTap(8, 0xFA);
    ASSERT_EQ(Rejection::kNone, Check(keys));
    wire::KeyboardRecord r;
    std::memcpy(&r, keys.data(), sizeof r);
    ASSERT_EQ(2, r.keyCount);
    EXPECT_EQ(0xFA, (r.keys[0].keyFlags >> 16) & 0xFF);
    EXPECT_EQ(0u, static_cast<uint32_t>(r.keys[0].keyFlags) >> 31);  // press
    EXPECT_EQ(1u, static_cast<uint32_t>(r.keys[1].keyFlags) >> 31);  // release
}

}  // namespace
