// Mistakes in Helmecho.cfg are told, whatever debug says; a master given by
// host name is looked up once; an address that is no address sends nothing.
#include "SlaveFixture.h"

namespace {

class SlaveConfigMistakes : public SlaveFixture {};

TEST_F(SlaveConfigMistakes, AHostNameIsLookedUpAndSubscribedTo) {
    writeConfig("masterIP = localhost\nmasterPort = " + std::to_string(master.port()) + "\n");
    Helmecho& slave = harness.load();
    harness.host().startSimulation();
    EXPECT_EQ(ntohl(slave.MasterAddress().sin_addr.s_addr), INADDR_LOOPBACK);
    EXPECT_EQ(countReceived(wire::kHello), 1);
    EXPECT_TRUE(logTexts().empty());
}

TEST_F(SlaveConfigMistakes, AnAddressThatIsNoAddressIsToldAndNothingIsSent) {
    writeConfig("masterIP = no-such-host.invalid\nmasterPort = " + std::to_string(master.port()) + "\nsendKeys = 1\n");
    harness.load();
    harness.host().startSimulation();
    for (int i = 0; i < 3; ++i) {
        harness.host().advanceSysTime(1.5);
        step();
    }
    EXPECT_TRUE(
        harness.logged("masterIP = no-such-host.invalid: neither a dotted IPv4 address nor a host name with an "
                       "IPv4 address; no subscription will be sent"));
    EXPECT_TRUE(receiveAll().empty()) << "no Hello, no keys, to nobody";
}

TEST_F(SlaveConfigMistakes, UnknownKeysAndUnreadableValuesAreToldWithWhatIsUsed) {
    writeConfig("masterPrt = 41000\nmasterPort = abc\nelevaton = 10\nazimuth = 10deg\nswitchFocus = 1\n");
    Helmecho& slave = harness.load();
    EXPECT_EQ(ntohs(slave.MasterAddress().sin_port), 40000);
    EXPECT_EQ(slave.Settings().azimuth, 0.0);
    EXPECT_EQ(slave.Settings().switchFocus, 1);
    EXPECT_EQ(logTexts(), (std::vector<std::string>{
                              "masterPort = abc: not a whole number, using the default 40000",
                              "azimuth = 10deg: not a number, using the default 0",
                              "masterPrt: unknown key, did you mean masterPort?",
                              "elevaton: unknown key, did you mean elevation?",
                          }));
}

}  // namespace
