// Scripted key events: how descriptions read, and that they reach the focus vessel
// at their times, a tap's release one step after its press.
#include <cstring>

#include <gtest/gtest.h>

#include "AppOptions.h"
#include "HostAppFixture.h"
#include "KeyScript.h"

using namespace host_app_test;
using simhost_app::ParseKeySpec;
using simhost_app::ScriptedKey;

namespace {

TEST(KeySpec, ReadsLettersDigitsAndScanCodes) {
    ScriptedKey key;
    std::string error;
    ASSERT_TRUE(ParseKeySpec("1.5:k", key, error)) << error;
    EXPECT_EQ(key.time, 1.5);
    EXPECT_EQ(key.scanCode, static_cast<DWORD>(OAPI_KEY_K));
    EXPECT_EQ(key.virtualKey, static_cast<DWORD>('K'));
    EXPECT_EQ(key.action, ScriptedKey::Tap);
    EXPECT_FALSE(key.alt);

    ASSERT_TRUE(ParseKeySpec("0:1:down", key, error)) << error;
    EXPECT_EQ(key.scanCode, static_cast<DWORD>(OAPI_KEY_1));
    EXPECT_EQ(key.virtualKey, static_cast<DWORD>('1'));
    EXPECT_EQ(key.action, ScriptedKey::Down);
    ASSERT_TRUE(ParseKeySpec("0:0:up", key, error)) << error;
    EXPECT_EQ(key.scanCode, 0x0Bu);
    EXPECT_EQ(key.action, ScriptedKey::Up);

    ASSERT_TRUE(ParseKeySpec("2:0x39:TAP:alt", key, error)) << error;
    EXPECT_EQ(key.scanCode, static_cast<DWORD>(OAPI_KEY_SPACE));
    EXPECT_EQ(key.action, ScriptedKey::Tap);
    EXPECT_TRUE(key.alt);
    ASSERT_TRUE(ParseKeySpec("3:30:alt", key, error)) << error;
    EXPECT_EQ(key.scanCode, static_cast<DWORD>(OAPI_KEY_A));
    EXPECT_EQ(key.virtualKey, static_cast<DWORD>('A'));
    EXPECT_TRUE(key.alt);
}

TEST(KeySpec, RefusesMalformedSpecsWithAReason) {
    for (const char* description : {"", "1", "x:K", "-1:K", "nan:K", "1:", "1:KK", "1:256", "1:0x0", "1:K:sideways",
                                    "1:K:up:down", "1:K:alt:alt", "1:K:up:alt:down"}) {
        ScriptedKey key;
        std::string error;
        EXPECT_FALSE(ParseKeySpec(description, key, error)) << description;
        EXPECT_FALSE(error.empty()) << description;
    }
}

class KeyScriptDelivery : public HostAppTest {
protected:
    void SetUp() override {
        resetHost(false);
        focus_ = CreateVesselAt("Keyed", "Shuttle2", _V(6778000, 0, 0), _V(0, 7668.6, 0));
        other_ = CreateVesselAt("Other", "Shuttle2", _V(6778000, 0, 0), _V(0, 7668.6, 0));
        ASSERT_TRUE(focus_ && other_);
        oapiSetFocusObject(focus_);
    }

    OBJHANDLE focus_ = nullptr;
    OBJHANDLE other_ = nullptr;
};

TEST_F(KeyScriptDelivery, EventsArriveAtTheirTimesInOrder) {
    std::vector<ScriptedKey> keys(3);
    std::string error;
    // Given out of order on purpose: delivery follows the times.
    ASSERT_TRUE(ParseKeySpec("0.25:2:down", keys[0], error));
    ASSERT_TRUE(ParseKeySpec("0:K", keys[1], error));
    ASSERT_TRUE(ParseKeySpec("0.5:2:up", keys[2], error));
    simhost_app::KeyScript script(keys);

    script.deliverDue(0.0, host());
    auto received = host().keysReceivedBy(focus_);
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].key, static_cast<DWORD>(OAPI_KEY_K));
    EXPECT_TRUE(received[0].down);

    script.deliverDue(0.1, host());  // the tap's release, nothing else due
    received = host().keysReceivedBy(focus_);
    ASSERT_EQ(received.size(), 2u);
    EXPECT_EQ(received[1].key, static_cast<DWORD>(OAPI_KEY_K));
    EXPECT_FALSE(received[1].down);

    script.deliverDue(0.2, host());
    EXPECT_EQ(host().keysReceivedBy(focus_).size(), 2u);
    script.deliverDue(0.3, host());
    script.deliverDue(0.6, host());
    received = host().keysReceivedBy(focus_);
    ASSERT_EQ(received.size(), 4u);
    EXPECT_EQ(received[2].key, static_cast<DWORD>(OAPI_KEY_2));
    EXPECT_TRUE(received[2].down);
    EXPECT_EQ(received[3].key, static_cast<DWORD>(OAPI_KEY_2));
    EXPECT_FALSE(received[3].down);
    EXPECT_TRUE(script.finished());
    EXPECT_TRUE(host().keysReceivedBy(other_).empty());
}

TEST_F(KeyScriptDelivery, SeveralEventsDueAtOnceAllArrive) {
    std::vector<ScriptedKey> keys(2);
    std::string error;
    ASSERT_TRUE(ParseKeySpec("0.1:A:down", keys[0], error));
    ASSERT_TRUE(ParseKeySpec("0.2:B:down", keys[1], error));
    simhost_app::KeyScript script(keys);
    script.deliverDue(0.05, host());
    EXPECT_TRUE(host().keysReceivedBy(focus_).empty());
    script.deliverDue(1.0, host());
    const auto received = host().keysReceivedBy(focus_);
    ASSERT_EQ(received.size(), 2u);
    EXPECT_EQ(received[0].key, static_cast<DWORD>(OAPI_KEY_A));
    EXPECT_EQ(received[1].key, static_cast<DWORD>(OAPI_KEY_B));
}

TEST(ProgramArguments, ReadValuesIntoTheOptions) {
    const char* argv[] = {"simhost",
                          "--scenario",
                          "x.scn",
                          "--fast",
                          "--fps",
                          "30",
                          "--duration",
                          "2.5",
                          "--warp",
                          "10",
                          "--key",
                          "1:K",
                          "--key",
                          "2:L:down",
                          "--dump",
                          "d.json",
                          "--dump-every",
                          "0.5",
                          "--orbiter-version",
                          "160828",
                          "--module",
                          "a.so",
                          "--module",
                          "b.so",
                          "--save",
                          "Out",
                          "--quiet"};
    simhost_app::AppOptions options;
    std::string error;
    ASSERT_EQ(simhost_app::ParseArguments(sizeof argv / sizeof argv[0], argv, options, error),
              simhost_app::ParseOutcome::Run)
        << error;
    EXPECT_EQ(options.scenario, "x.scn");
    EXPECT_TRUE(options.host.virtualClock);
    EXPECT_EQ(options.fps, 30);
    EXPECT_EQ(options.duration, 2.5);
    EXPECT_TRUE(options.warpGiven);
    EXPECT_EQ(options.warp, 10.0);
    ASSERT_EQ(options.keys.size(), 2u);
    EXPECT_EQ(options.keys[1].action, ScriptedKey::Down);
    EXPECT_EQ(options.dumpFile, "d.json");
    EXPECT_EQ(options.dumpEvery, 0.5);
    EXPECT_EQ(options.host.orbiterVersion, 160828);
    EXPECT_EQ(options.modules, (std::vector<std::string>{"a.so", "b.so"}));
    EXPECT_EQ(options.saveName, "Out");
    EXPECT_TRUE(options.quiet);

    const char* realtime[] = {"simhost", "--scenario", "x.scn"};
    ASSERT_EQ(simhost_app::ParseArguments(3, realtime, options, error), simhost_app::ParseOutcome::Run);
    EXPECT_FALSE(options.host.virtualClock);  // real time unless --fast
    EXPECT_FALSE(options.warpGiven);
    EXPECT_EQ(options.fps, 60);
    EXPECT_EQ(options.duration, 10.0);
}

}  // namespace
