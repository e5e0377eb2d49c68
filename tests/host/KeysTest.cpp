// Key delivery: through the keyboard hook chain, then to the focus vessel.
#include <sstream>
#include <vector>

#include "HostTestFixture.h"
#include "TestKeys.h"

namespace {

struct HookSeen {
    int code;
    WPARAM vk;
    LPARAM flags;
};
std::vector<HookSeen> seen;
HHOOK installed = nullptr;
bool swallow = false;

LRESULT CALLBACK Recorder(int code, WPARAM wParam, LPARAM lParam) {
    seen.push_back(HookSeen{code, wParam, lParam});
    if (swallow) return 1;
    return CallNextHookEx(installed, code, wParam, lParam);
}

class Keys : public HostTest {
protected:
    Keys() {
        seen.clear();
        swallow = false;
        installed = SetWindowsHookExA(WH_KEYBOARD, &Recorder, nullptr, GetCurrentThreadId());
    }
    ~Keys() override { UnhookWindowsHookEx(installed); }
};

TEST_F(Keys, FlagsFollowTheKeyboardHookLayout) {
    EXPECT_EQ(simhost::Host::keyFlags(Key(0x26, 'L', true)), 0x00260001);
    EXPECT_EQ(static_cast<uint32_t>(simhost::Host::keyFlags(Key(0x26, 'L', false))), 0xC0260001u);
    EXPECT_EQ(simhost::Host::keyFlags(Key(0x1E, 'A', true, true)), 0x201E0001);
}

TEST_F(Keys, HooksSeeTheEventThenTheFocusVesselGetsIt) {
    OBJHANDLE a = orbiting("A");
    OBJHANDLE b = orbiting("B");
    oapiSetFocusObject(b);
    host().deliverKey(Key(OAPI_KEY_L, 'L', true));
    host().deliverKey(Key(OAPI_KEY_L, 'L', false));

    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].code, HC_ACTION);
    EXPECT_EQ(seen[0].vk, static_cast<WPARAM>('L'));
    EXPECT_EQ(seen[1].flags, simhost::Host::keyFlags(Key(OAPI_KEY_L, 'L', false)));

    auto keys = host().keysReceivedBy(b);
    ASSERT_EQ(keys.size(), 2u);
    EXPECT_EQ(keys[0].key, static_cast<DWORD>(OAPI_KEY_L));
    EXPECT_TRUE(keys[0].down);
    EXPECT_FALSE(keys[1].down);
    EXPECT_TRUE(host().keysReceivedBy(a).empty());

    // The generic class toggled its lights on the press only.
    std::ostringstream dump;
    host().dumpState(dump);
    EXPECT_NE(dump.str().find("LIGHTS 1\\n"), std::string::npos);
    EXPECT_NE(dump.str().find("KEYCOUNT 2"), std::string::npos);
}

TEST_F(Keys, ASwallowedKeyNeverReachesTheVessel) {
    OBJHANDLE a = orbiting("A");
    swallow = true;
    host().deliverKey(Key(OAPI_KEY_K, 'K', true));
    EXPECT_EQ(seen.size(), 1u);
    EXPECT_TRUE(host().keysReceivedBy(a).empty());
}

TEST_F(Keys, SendBufferedKeyReturnsTheCallbacksAnswer) {
    VESSEL* v = iface(orbiting("A"));
    char table[256] = {};
    EXPECT_EQ(v->SendBufferedKey(OAPI_KEY_L, true, table), 1);
    EXPECT_EQ(v->SendBufferedKey(OAPI_KEY_K, true, table), 0);
    EXPECT_EQ(host().keysReceivedBy(v->GetHandle()).size(), 2u);
}

}  // namespace
