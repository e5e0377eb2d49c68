// The hostile sender's datagrams, judged by the modules' own factory: junk
// must never be taken for a message (or a flood would test something else),
// and forged messages must pass every check (so only their sender can give
// them away).
#include <gtest/gtest.h>

#include <memory>

#include "ForgedMessages.h"
#include "JunkDatagrams.h"
#include "Message.h"
#include "SimHost.h"

namespace {

class HostileDatagrams : public ::testing::Test {
   protected:
    void SetUp() override { simhost::Host::instance().reset(); }
    void TearDown() override { simhost::Host::instance().reset(); }
};

std::unique_ptr<Message> Build(const std::vector<uint8_t>& bytes) {
    return std::unique_ptr<Message>(CreateMessage(bytes.data(), static_cast<int>(bytes.size())));
}

TEST_F(HostileDatagrams, NoJunkOfAnyKindIsAMessage) {
    hostile::JunkDatagrams junk(2024);
    for (int kind = 0; kind < hostile::kJunkKinds; ++kind) {
        for (int i = 0; i < 1000; ++i) {
            const std::vector<uint8_t> bytes = junk.next(static_cast<hostile::JunkKind>(kind));
            ASSERT_FALSE(bytes.empty());
            EXPECT_EQ(nullptr, Build(bytes)) << "kind " << kind << ", " << bytes.size() << " bytes";
        }
    }
}

TEST_F(HostileDatagrams, ForgedMessagesPassEveryCheck) {
    std::unique_ptr<Message> hello = Build(hostile::ForgedHello(5));
    ASSERT_NE(nullptr, hello);
    EXPECT_EQ(-5, hello->type());

    std::unique_ptr<Message> start = Build(hostile::ForgedStart(6, 60001.5));
    ASSERT_NE(nullptr, start);
    EXPECT_EQ(60001.5, static_cast<StartMessage&>(*start).record().mjd);

    std::unique_ptr<Message> vessel = Build(hostile::ForgedVessel(7, 60001.5, "Intruder"));
    ASSERT_NE(nullptr, vessel);
    EXPECT_STREQ("Intruder", static_cast<Vessel2Message&>(*vessel).record().vesselName);

    std::unique_ptr<Message> keys = Build(hostile::ForgedKeyTap(8, 0xFA));
    ASSERT_NE(nullptr, keys);
    const wire::KeyboardRecord& r = static_cast<KeyboardMessage&>(*keys).record();
    ASSERT_EQ(2, r.keyCount);
    EXPECT_EQ(0xFA, (r.keys[0].keyFlags >> 16) & 0xFF);
    EXPECT_EQ(0, static_cast<uint32_t>(r.keys[0].keyFlags) >> 31);  // press
    EXPECT_EQ(1u, static_cast<uint32_t>(r.keys[1].keyFlags) >> 31);  // release
}

}  // namespace
