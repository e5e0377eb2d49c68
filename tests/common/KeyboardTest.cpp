// Keyboard sharing: recording through the hook, the batch limit, the
// duplicate and release rules, replay on the focus vessel.
#include "CommonTestSupport.h"
#include "TestKeys.h"

namespace {

using simhost::Host;

// Flags as a keyboard hook sees them: scan code in bits 16-23; release:
// transition bit 31 and previous-state bit 30; Alt held: context bit 29.
constexpr int32_t Press(uint32_t scan) { return static_cast<int32_t>(0x00000001u | (scan << 16)); }
constexpr int32_t Release(uint32_t scan) { return static_cast<int32_t>(0xC0000001u | (scan << 16)); }
constexpr int32_t AltRelease(uint32_t scan) { return static_cast<int32_t>(0xE0000001u | (scan << 16)); }

class Keyboard : public helmtest::HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        sharedKeyboard.Remove();
    }
    void TearDown() override {
        sharedKeyboard.Remove();
        HostTest::TearDown();
    }
    OBJHANDLE focusVessel() {
        OBJHANDLE v = helmtest::MakeVessel("Pilot");
        EXPECT_NE(nullptr, v);
        oapiSetFocusObject(v);
        return v;
    }
    static std::unique_ptr<KeyboardMessage> Batch(std::initializer_list<int32_t> flags) {
        std::unique_ptr<KeyboardMessage> m(new KeyboardMessage);
        for (int32_t f : flags) m->record().keys[m->record().keyCount++] = wire::KeyEntry{0, 0x41, f};
        return m;
    }
    const wire::KeyboardRecord& keys() const { return sharedKeyboard.Recorded().record(); }
};

TEST_F(Keyboard, SeventeenthEventOfABatchIsLost) {
    for (int i = 0; i < 17; ++i) sharedKeyboard.Record(0, 0x41 + i, Press(0x10 + i));
    EXPECT_EQ(16, keys().keyCount);
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(0x41 + i, keys().keys[i].virtualKey);
        EXPECT_EQ(Press(0x10 + i), keys().keys[i].keyFlags);
    }
}

TEST_F(Keyboard, NegativeCodesAreNotRecorded) {
    sharedKeyboard.Record(-1, 0x41, Press(0x1E));
    EXPECT_EQ(0, keys().keyCount);
    sharedKeyboard.Record(3, 0x41, Press(0x1E));  // looked-at events count too
    EXPECT_EQ(1, keys().keyCount);
    EXPECT_EQ(3, keys().keys[0].hookCode);
}

TEST_F(Keyboard, OnlyTheLastEventOfTheBatchIsADuplicate) {
    sharedKeyboard.Record(0, 0x41, Press(0x1E));
    sharedKeyboard.Record(0, 0x41, Press(0x1E));  // the same event seen twice
    EXPECT_EQ(1, keys().keyCount);
    sharedKeyboard.Record(0, 0x42, Press(0x30));
    sharedKeyboard.Record(0, 0x41, Press(0x1E));  // pressed again after another key
    EXPECT_EQ(3, keys().keyCount);

    // After a send, the same key pressed again is a new event.
    sharedKeyboard.Sent();
    sharedKeyboard.Record(0, 0x41, Press(0x1E));
    EXPECT_EQ(1, keys().keyCount);
    EXPECT_EQ(Press(0x1E), keys().keys[0].keyFlags);
    // And a different event after a send lands in entry 0.
    sharedKeyboard.Sent();
    sharedKeyboard.Record(0, 0x44, Press(0x20));
    EXPECT_EQ(1, keys().keyCount);
    EXPECT_EQ(0x44, keys().keys[0].virtualKey);
}

TEST_F(Keyboard, ReplayPressesAndReleasesOnTheFocusVessel) {
    OBJHANDLE pilot = focusVessel();
    sharedKeyboard.Replay(*Batch({Press(0x1E), Release(0x1E), Press(0x30)}));
    std::vector<Host::ReceivedKey> got = Host::instance().keysReceivedBy(pilot);
    ASSERT_EQ(3u, got.size());
    EXPECT_EQ(0x1Eu, got[0].key);
    EXPECT_TRUE(got[0].down);
    EXPECT_EQ(0x1Eu, got[1].key);
    EXPECT_FALSE(got[1].down);
    EXPECT_EQ(0x30u, got[2].key);
    EXPECT_TRUE(got[2].down);
    EXPECT_FALSE(sharedKeyboard.Down(0x1E));
    EXPECT_TRUE(sharedKeyboard.Down(0x30));
}

TEST_F(Keyboard, ReleaseWithAltHeldIsReplayedAsARelease) {
    OBJHANDLE pilot = focusVessel();
    sharedKeyboard.Replay(*Batch({Press(0x20), AltRelease(0x20)}));
    std::vector<Host::ReceivedKey> got = Host::instance().keysReceivedBy(pilot);
    ASSERT_EQ(2u, got.size());
    EXPECT_TRUE(got[0].down);
    EXPECT_EQ(0x20u, got[1].key);
    EXPECT_FALSE(got[1].down);
    EXPECT_FALSE(sharedKeyboard.Down(0x20));
    // The transition bit alone decides.
    sharedKeyboard.Replay(*Batch({static_cast<int32_t>(0x80000001u | (0x22u << 16))}));
    got = Host::instance().keysReceivedBy(pilot);
    ASSERT_EQ(3u, got.size());
    EXPECT_FALSE(got[2].down);
}

TEST_F(Keyboard, EmptyBatchChangesNothing) {
    sharedKeyboard.Replay(*Batch({Press(0x1E)}));  // before the vessel: nothing received
    OBJHANDLE pilot = focusVessel();
    std::unique_ptr<KeyboardMessage> empty = Batch({Release(0x1E)});
    empty->record().keyCount = 0;
    sharedKeyboard.Replay(*empty);
    EXPECT_TRUE(Host::instance().keysReceivedBy(pilot).empty());
    EXPECT_TRUE(sharedKeyboard.Down(0x1E));
}

TEST_F(Keyboard, WithoutFocusVesselTheKeyStateStillFollows) {
    ASSERT_EQ(nullptr, oapiGetFocusInterface());
    sharedKeyboard.Replay(*Batch({Press(0x25)}));
    EXPECT_TRUE(sharedKeyboard.Down(0x25));
    // A simulation's end forgets it, and what was recorded and not yet sent.
    sharedKeyboard.Record(0, 0x41, Press(0x1E));
    sharedKeyboard.Remove();
    EXPECT_FALSE(sharedKeyboard.Down(0x25));
    EXPECT_EQ(0, keys().keyCount);
}

TEST_F(Keyboard, ReplayNeverReadsPastSixteenEntries) {
    OBJHANDLE pilot = focusVessel();
    KeyboardMessage overfull;
    for (int i = 0; i < 16; ++i) overfull.record().keys[i] = wire::KeyEntry{0, 0x41, Press(0x02)};
    overfull.record().keyCount = 1000;  // built locally, not through the receive path
    sharedKeyboard.Replay(overfull);
    EXPECT_EQ(16u, Host::instance().keysReceivedBy(pilot).size());
}

// A hook installed before ours: it must still see every event.
int olderHookCalls = 0;
LRESULT CALLBACK OlderHook(int code, WPARAM wParam, LPARAM lParam) {
    ++olderHookCalls;
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

void NoInit(HINSTANCE) {}
void NoExit(HINSTANCE) {}

TEST_F(Keyboard, HookRecordsEventsAndPassesEveryOneOn) {
    OBJHANDLE pilot = focusVessel();
    Host::instance().attachInProcessModule("Helmcast.dll", NoInit, NoExit);
    olderHookCalls = 0;
    HHOOK older = SetWindowsHookExA(WH_KEYBOARD, OlderHook, GetModuleHandleA("Helmcast.dll"), 0);
    ASSERT_NE(nullptr, older);
    sharedKeyboard.Install("Helmcast.dll");
    ASSERT_TRUE(sharedKeyboard.Installed());
    EXPECT_EQ(std::string::npos, logText().find("Unable to install keyboard hook"));

    const simhost::KeyEvent press = Key(0x1E, 0x41), release = Key(0x1E, 0x41, false, true);
    Host::instance().deliverKey(press);
    Host::instance().deliverKey(release);

    ASSERT_EQ(2, keys().keyCount);
    EXPECT_EQ(HC_ACTION, keys().keys[0].hookCode);
    EXPECT_EQ(0x41, keys().keys[0].virtualKey);
    EXPECT_EQ(static_cast<int32_t>(Host::keyFlags(press)), keys().keys[0].keyFlags);
    EXPECT_EQ(static_cast<int32_t>(Host::keyFlags(release)), keys().keys[1].keyFlags);
    EXPECT_EQ(2, olderHookCalls);
    std::vector<Host::ReceivedKey> got = Host::instance().keysReceivedBy(pilot);
    ASSERT_EQ(2u, got.size());
    EXPECT_TRUE(got[0].down);
    EXPECT_FALSE(got[1].down);

    // What was recorded replays as it was typed.
    sharedKeyboard.Replay(*Batch({keys().keys[0].keyFlags, keys().keys[1].keyFlags}));
    got = Host::instance().keysReceivedBy(pilot);
    ASSERT_EQ(4u, got.size());
    EXPECT_EQ(0x1Eu, got[2].key);
    EXPECT_TRUE(got[2].down);
    EXPECT_FALSE(got[3].down);
    UnhookWindowsHookEx(older);
}

}  // namespace
