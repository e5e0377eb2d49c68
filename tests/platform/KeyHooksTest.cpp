// The keyboard hook chain: order, passing on, swallowing, unhooking.
#include <gtest/gtest.h>

#include <string>

#include "platform/PlatformServices.h"

namespace {

// What the hooks saw, in call order.
std::string calls;
HHOOK firstHook = nullptr;
HHOOK secondHook = nullptr;
HHOOK thirdHook = nullptr;

LRESULT CALLBACK PassOnA(int code, WPARAM wParam, LPARAM lParam) {
    calls += "A" + std::to_string(wParam);
    return CallNextHookEx(firstHook, code, wParam, lParam);
}

LRESULT CALLBACK SwallowB(int /*code*/, WPARAM wParam, LPARAM /*lParam*/) {
    calls += "B" + std::to_string(wParam);
    return 1;
}

LRESULT CALLBACK PassOnC(int code, WPARAM wParam, LPARAM lParam) {
    calls += "C" + std::to_string(wParam);
    return CallNextHookEx(thirdHook, code, wParam, lParam);
}

// Unhooks itself and the hook below it, then passes the event on.
LRESULT CALLBACK UnhookingC(int code, WPARAM wParam, LPARAM lParam) {
    calls += "c";
    EXPECT_EQ(UnhookWindowsHookEx(thirdHook), TRUE);
    EXPECT_EQ(UnhookWindowsHookEx(secondHook), TRUE);
    return CallNextHookEx(thirdHook, code, wParam, lParam);
}

LRESULT CALLBACK ChecksArguments(int code, WPARAM wParam, LPARAM lParam) {
    calls += "code" + std::to_string(code) + ":" + std::to_string(wParam) + ":" + std::to_string(lParam);
    return 0;
}

class KeyHooks : public ::testing::Test {
protected:
    void TearDown() override { simhost::KeyHooksClear(); }

    // What the chain made of one event: the hooks' calls, and " swallowed"
    // when it was.
    static std::string deliver(WPARAM key, int code = HC_ACTION, LPARAM flags = 0) {
        calls.clear();
        const bool swallowed = simhost::KeyHooksDeliver(code, key, flags);
        return calls + (swallowed ? " swallowed" : "");
    }
};

TEST_F(KeyHooks, OnlyKeyboardHooksWithAProcedureInstall) {
    EXPECT_EQ(SetWindowsHookExA(13 /* low-level keyboard */, PassOnA, nullptr, 0), nullptr);
    EXPECT_EQ(SetWindowsHookExA(WH_KEYBOARD, nullptr, nullptr, 0), nullptr);
    EXPECT_EQ(deliver(65), "");
    EXPECT_EQ(UnhookWindowsHookEx(nullptr), FALSE);
    int bogus = 0;
    EXPECT_EQ(UnhookWindowsHookEx(reinterpret_cast<HHOOK>(&bogus)), FALSE);
}

TEST_F(KeyHooks, NewestFirstAndPassedOnToTheEnd) {
    firstHook = SetWindowsHookExA(WH_KEYBOARD, PassOnA, nullptr, 0);
    thirdHook = SetWindowsHookExA(WH_KEYBOARD, PassOnC, nullptr, 0);
    ASSERT_NE(firstHook, nullptr);
    ASSERT_NE(thirdHook, nullptr);
    EXPECT_EQ(deliver(7), "C7A7");
}

TEST_F(KeyHooks, ASwallowingHookEndsTheChainAndTheEventIsSwallowed) {
    firstHook = SetWindowsHookExA(WH_KEYBOARD, PassOnA, nullptr, 0);
    secondHook = SetWindowsHookExA(WH_KEYBOARD, SwallowB, nullptr, 0);
    thirdHook = SetWindowsHookExA(WH_KEYBOARD, PassOnC, nullptr, 0);
    EXPECT_EQ(deliver(3), "C3B3 swallowed");

    // Without the swallowing hook the event reaches the oldest one.
    EXPECT_EQ(UnhookWindowsHookEx(secondHook), TRUE);
    EXPECT_EQ(UnhookWindowsHookEx(secondHook), FALSE);
    EXPECT_EQ(deliver(4), "C4A4");
}

TEST_F(KeyHooks, UnhookingDuringDeliveryIsSafeAndSkipsRemovedHooks) {
    firstHook = SetWindowsHookExA(WH_KEYBOARD, PassOnA, nullptr, 0);
    secondHook = SetWindowsHookExA(WH_KEYBOARD, SwallowB, nullptr, 0);
    thirdHook = SetWindowsHookExA(WH_KEYBOARD, UnhookingC, nullptr, 0);
    EXPECT_EQ(deliver(5), "cA5");
    EXPECT_EQ(deliver(6), "A6");
}

TEST_F(KeyHooks, ArgumentsReachTheHookAndNextOutsideDeliveryIsZero) {
    SetWindowsHookExA(WH_KEYBOARD, ChecksArguments, nullptr, 0);
    const LPARAM release = static_cast<LPARAM>(0xC0000001u);
    EXPECT_EQ(deliver(0x41, HC_NOREMOVE, release), "code3:65:" + std::to_string(release));
    EXPECT_EQ(CallNextHookEx(nullptr, HC_ACTION, 1, 0), 0);
    simhost::KeyHooksClear();
    EXPECT_EQ(deliver(1), "");
}

}  // namespace
