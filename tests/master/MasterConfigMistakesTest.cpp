// Mistakes in Helmcast.cfg are told, whatever debug says; a correct file
// stays as quiet as before.
#include "MasterFixture.h"

namespace {

class MasterConfigMistakes : public MasterFixture {};

TEST_F(MasterConfigMistakes, UnknownKeysAndUnreadableValuesAreToldOnceWithWhatIsUsed) {
    Helmcast& master =
        start("maxUpdateRat = 5\nreadonly = 1\nmaxUpdateRate = 30Hz\nwaitForACK = yes\nfrobnicate = 1\n");
    ASSERT_TRUE(master.ServerReady());
    EXPECT_EQ(master.Settings().maxUpdateRate, 30);
    EXPECT_EQ(master.Settings().waitForACK, 0);
    EXPECT_EQ(master.Settings().readOnly, 1) << "keys are matched regardless of case, as the host does";
    EXPECT_EQ(harness.logTexts(), (std::vector<std::string>{
                                      "waitForACK = yes: not a whole number, using the default 0",
                                      "maxUpdateRate = 30Hz: not a whole number, using the default 30",
                                      "maxUpdateRat: unknown key, did you mean maxUpdateRate?",
                                      "frobnicate: unknown key",
                                  }));
}

TEST_F(MasterConfigMistakes, ACorrectFileWithoutDebugLogsNothing) {
    Helmcast& master = start(
        "; every key\ndebug = 0\nwaitForClients = 0\nwaitForACK = 1\nmaxUpdateRate = 20\nreadOnly = 0\n"
        "maxClients = 8\ntextSyncClasses = A, B\n\n");
    ASSERT_TRUE(master.ServerReady());
    EXPECT_EQ(master.Settings().maxUpdateRate, 20);
    EXPECT_EQ(master.Settings().maxClients, 8);
    EXPECT_TRUE(harness.logTexts().empty());
}

}  // namespace
