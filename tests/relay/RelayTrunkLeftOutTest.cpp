// A relay built without the trunk (HELM_TRUNK off, as on Windows) refuses
// either end of one and says why, and runs as a plain relay otherwise.
#include <gtest/gtest.h>

#include <string>

#include "RelayTrunk.h"

namespace {

TEST(RelayTrunkLeftOut, RefusesEitherEndWithTheReasonAndLetsAPlainRelayBe) {
    RelayEvents events(RelayEvents::Sink::kNone);
    for (const TrunkSettings::Role role : {TrunkSettings::Role::kNear, TrunkSettings::Role::kFar}) {
        RelayTrunk trunk(events);
        TrunkSettings settings;
        settings.role = role;
        settings.insecure = true;
        std::string error;
        EXPECT_FALSE(trunk.Open(settings, error));
        EXPECT_NE(error.find("built without the trunk"), std::string::npos) << error;
        EXPECT_FALSE(trunk.IsNear() || trunk.IsFar());
    }
    RelayTrunk none(events);
    std::string error;
    EXPECT_TRUE(none.Open(TrunkSettings{}, error)) << error;
    EXPECT_EQ(none.Socket(), nullptr);
}

}  // namespace
