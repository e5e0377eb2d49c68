// Scripted keys on Windows: typed into the host's window with SendInput,
// they pass the system's keyboard hooks with the flags the POSIX stand-in's
// hook chain gives them (Host::keyFlags) and then reach the focus vessel,
// unless a hook swallowed them. Needs a display (scripts/winrun runs this
// under Xvfb).
#include <gtest/gtest.h>

#include <vector>

#include "TestKeys.h"
#include "World.h"  // Windows' own headers, through the SDK's

namespace {

struct Seen {
    WPARAM virtualKey;
    uint32_t flags;
};
struct Delivered {
    DWORD scanCode;
    bool down;
};

std::vector<Seen> hooked;
std::vector<Delivered> delivered;
HHOOK hook = nullptr;
WPARAM swallowed = 0;  // the virtual key the hook keeps from the vessel

LRESULT CALLBACK RecordingHook(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION) {
        hooked.push_back(Seen{wParam, static_cast<uint32_t>(lParam)});
        if (wParam == swallowed) return 1;
    }
    return CallNextHookEx(hook, code, wParam, lParam);
}

uint32_t FlagsOf(const simhost::KeyEvent& key) { return static_cast<uint32_t>(simhost::Host::keyFlags(key)); }

class WindowsKeyInput : public ::testing::Test {
protected:
    void SetUp() override {
        hooked.clear();
        delivered.clear();
        swallowed = 0;
        hook = SetWindowsHookExA(WH_KEYBOARD, RecordingHook, nullptr, GetCurrentThreadId());
        ASSERT_NE(hook, nullptr);
    }
    void TearDown() override { UnhookWindowsHookEx(hook); }

    // Types the events; what is still on its way is taken in a few more
    // pumps, each after a short wait (bounded).
    void type(const std::vector<simhost::KeyEvent>& keys, size_t expectedDeliveries) {
        for (const simhost::KeyEvent& key : keys) simhost::TypeKey(key);
        for (int i = 0; i < 100 && delivered.size() < expectedDeliveries; ++i) {
            Sleep(10);
            simhost::PumpKeyInput();
        }
        ASSERT_FALSE(hooked.empty()) << "no key reached the window: is there a display (xvfb-run)?";
    }
};

TEST_F(WindowsKeyInput, KeysPassTheHooksWithTheStandInsFlagsThenReachTheFocusVessel) {
    const simhost::KeyEvent lDown = Key(0x26, 'L', true), lUp = Key(0x26, 'L', false);
    const simhost::KeyEvent gDown = Key(0x22, 'G', true, true), gUp = Key(0x22, 'G', false, true);
    const simhost::KeyEvent space = Key(0x39, 0, true);  // a scan code without a virtual key
    type({lDown, lUp, gDown, gUp, space}, 7);

    // "Alt held" is Alt itself pressed around the key, as a keyboard types it.
    const uint32_t altDown = 0x20380001u, altUp = 0xC0380001u;
    const std::vector<uint32_t> expected{FlagsOf(lDown), FlagsOf(lUp), altDown,       FlagsOf(gDown),
                                         FlagsOf(gUp),   altUp,        FlagsOf(space)};
    ASSERT_EQ(hooked.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(hooked[i].flags, expected[i]) << "event " << i;
    EXPECT_EQ(hooked[0].virtualKey, static_cast<WPARAM>('L'));
    EXPECT_EQ(hooked[2].virtualKey, static_cast<WPARAM>(VK_MENU));
    EXPECT_EQ(hooked[6].virtualKey, static_cast<WPARAM>(VK_SPACE)) << "the system names the key from its scan code";

    const std::vector<std::pair<DWORD, bool>> vessel{{0x26, true},  {0x26, false}, {0x38, true}, {0x22, true},
                                                     {0x22, false}, {0x38, false}, {0x39, true}};
    ASSERT_EQ(delivered.size(), vessel.size());
    for (size_t i = 0; i < vessel.size(); ++i) {
        EXPECT_EQ(delivered[i].scanCode, vessel[i].first) << "event " << i;
        EXPECT_EQ(delivered[i].down, vessel[i].second) << "event " << i;
    }
    simhost::TypeKey(Key(0x39, 0, false));
}

TEST_F(WindowsKeyInput, AKeyAHookSwallowsDoesNotReachTheVessel) {
    swallowed = 'K';
    type({Key(0x25, 'K', true), Key(0x25, 'K', false), Key(0x31, 'N', true), Key(0x31, 'N', false)}, 2);
    EXPECT_EQ(hooked.size(), 4u) << "the hook sees every event";
    ASSERT_EQ(delivered.size(), 2u);
    EXPECT_EQ(delivered[0].scanCode, 0x31u);
    EXPECT_EQ(delivered[1].scanCode, 0x31u);
}

}  // namespace

// What the host does with a key that passed the hooks; here, only recorded.
namespace simhost {
void RecordKeyState(DWORD, bool) {}
void DeliverKeyToFocus(DWORD scanCode, bool down) { delivered.push_back(Delivered{scanCode, down}); }
}  // namespace simhost
