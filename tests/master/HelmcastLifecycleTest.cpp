// Loading the master, reading its configuration, opening its server socket.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "Helmcast.h"
#include "Loopback.h"
#include "ModuleHarness.h"

namespace {

using ::testing::ElementsAre;

class HelmcastLifecycle : public ::testing::Test {
protected:
    ModuleHarness<Helmcast> harness{kMasterModuleFile};

    void configure(const std::string& items) { harness.workspace.write("Config/Helmcast.cfg", items); }

    static int BoundPort(const Helmcast& master) { return LocalPort(static_cast<int>(master.Socket().Handle())); }

    std::vector<std::string> configLines() {
        std::vector<std::string> lines;
        for (const auto& text : harness.logTexts())
            if (text.rfind("Config:", 0) == 0) lines.push_back(text);
        return lines;
    }
};

TEST_F(HelmcastLifecycle, LoadingOpensAnEmptyLogAndRegistersTheModuleButNoServer) {
    harness.workspace.write("Helmcast.log", "left over from an earlier run\n");
    Helmcast& master = harness.load();
    EXPECT_TRUE(harness.workspace.exists("Helmcast.log"));
    EXPECT_EQ(harness.workspace.read("Helmcast.log"), "");
    EXPECT_FALSE(master.ServerReady());
    EXPECT_TRUE(master.Table().Clients().empty());
    EXPECT_TRUE(master.TextSyncClasses().empty());
}

TEST_F(HelmcastLifecycle, MissingConfigurationGivesTheDefaultsSilently) {
    PeerSocket probe(40000);
    if (!probe.bound()) GTEST_SKIP() << "port 40000 is taken on this machine";
    probe.release();
    Helmcast& master = harness.load();
    harness.host().startSimulation();
    ASSERT_TRUE(master.ServerReady());
    EXPECT_EQ(master.Settings().debug, 0);
    EXPECT_EQ(master.Settings().waitForClients, 0);
    EXPECT_EQ(master.Settings().waitForACK, 0);
    EXPECT_EQ(master.Settings().maxUpdateRate, 30);
    EXPECT_EQ(master.Settings().readOnly, 0);
    EXPECT_TRUE(master.TextSyncClasses().empty());
    EXPECT_EQ(BoundPort(master), 40000);
    EXPECT_TRUE(configLines().empty());
    for (const auto& text : harness.logTexts()) EXPECT_NE(text, "UDP server created");
}

TEST_F(HelmcastLifecycle, DebugEchoesEveryKeyInOrder) {
    const int port = FreeUdpPort();
    configure("debug = 1\nwaitForClients = 1\nwaitForACK = 1\nmaxUpdateRate = 12\nmasterPort = " +
              std::to_string(port) + "\nreadOnly = 1\nmaxClients = 5\n");
    Helmcast& master = harness.load();
    harness.host().startSimulation();
    ASSERT_TRUE(master.ServerReady());
    EXPECT_THAT(configLines(), ElementsAre("Config: debug=1", "Config: waitForClients=1", "Config: waitForACK=1",
                                           "Config: maxUpdateRate=12", "Config: masterPort=" + std::to_string(port),
                                           "Config: readOnly=1", "Config: maxClients=5",
                                           "Config: maxClientsPerAddress=16", "Config: allowedClients="));
    EXPECT_TRUE(harness.logged("UDP server created"));
    EXPECT_EQ(master.Settings().waitForACK, 1);
    EXPECT_EQ(master.Settings().maxUpdateRate, 12);
}

TEST_F(HelmcastLifecycle, PortUsesItsLow16BitsAndEchoesTheConfiguredValue) {
    const int port = FreeUdpPort();
    configure("debug = 1\nmasterPort = " + std::to_string(65536 + port) + "\n");
    Helmcast& master = harness.load();
    harness.host().startSimulation();
    ASSERT_TRUE(master.ServerReady());
    EXPECT_EQ(BoundPort(master), port);
    const auto lines = configLines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Config: masterPort=" + std::to_string(65536 + port)), lines.end());
}

TEST_F(HelmcastLifecycle, UnreadableValuesKeepTheirDefaults) {
    configure("maxUpdateRate = fast\nreadOnly = \nmasterPort = " + std::to_string(FreeUdpPort()) + "\n");
    Helmcast& master = harness.load();
    harness.host().startSimulation();
    EXPECT_EQ(master.Settings().maxUpdateRate, 30);
    EXPECT_EQ(master.Settings().readOnly, 0);
}

TEST_F(HelmcastLifecycle, BindFailureIsLoggedWithoutDebugAndRetriedAtTheNextStart) {
    PeerSocket holder;  // holds the port the master wants
    ASSERT_TRUE(holder.bound());
    configure("masterPort = " + std::to_string(holder.port()) + "\n");
    {  // a loopback holder also blocks the wildcard address the master binds
        int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in any;
        std::memset(&any, 0, sizeof any);
        any.sin_family = AF_INET;
        any.sin_port = htons(static_cast<uint16_t>(holder.port()));
        ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&any), sizeof any), -1);
        ::close(fd);
    }
    Helmcast& master = harness.load();
    harness.host().startSimulation();
    EXPECT_FALSE(master.ServerReady());
    EXPECT_FALSE(master.Socket().IsOpen()) << "a failed start keeps no socket";
    EXPECT_TRUE(harness.logged("bind() error: 10048"));
    EXPECT_TRUE(harness.logged("UDP port " + std::to_string(holder.port()) +
                               " is in use by another program (another master?): nothing is sent until a later "
                               "simulation start finds it free"));

    harness.host().endSimulation();
    holder.release();
    harness.host().startSimulation();
    EXPECT_TRUE(master.ServerReady());
    EXPECT_EQ(BoundPort(master), holder.port());

    // Nobody can bind beside it to read its clients' Hellos and answer as it.
    int intruder = ::socket(AF_INET, SOCK_DGRAM, 0);
    const int on = 1;
    ::setsockopt(intruder, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in same = LoopbackAddress(holder.port());
    EXPECT_EQ(::bind(intruder, reinterpret_cast<sockaddr*>(&same), sizeof same), -1);
    ::close(intruder);
}

TEST_F(HelmcastLifecycle, ClassListIsSplitAtBlanksAndCommasOnly) {
    configure("debug = 1\ntextSyncClasses = X2.Mk1,Glider-A  Shuttle2 ,, A.B\nmasterPort = " +
              std::to_string(FreeUdpPort()) + "\n");
    Helmcast& master = harness.load();
    harness.host().startSimulation();
    EXPECT_THAT(master.TextSyncClasses(), ElementsAre("X2.Mk1", "Glider-A", "Shuttle2", "A.B"));
    std::vector<std::string> usingLines;
    for (const auto& text : harness.logTexts())
        if (text.rfind("Config: using text sync", 0) == 0) usingLines.push_back(text);
    EXPECT_THAT(usingLines, ElementsAre("Config: using text sync for vessel class X2.Mk1",
                                        "Config: using text sync for vessel class Glider-A",
                                        "Config: using text sync for vessel class Shuttle2",
                                        "Config: using text sync for vessel class A.B"));
}

TEST_F(HelmcastLifecycle, ClassListOfSeparatorsOnlyGivesNoNames) {
    EXPECT_TRUE(SplitClassList(" ,, ,\t").empty());
    EXPECT_THAT(SplitClassList("ClassA, ClassB"), ElementsAre("ClassA", "ClassB"));
    EXPECT_THAT(SplitClassList("A.B, C.D"), ElementsAre("A.B", "C.D"));
}

TEST_F(HelmcastLifecycle, SimulationStartSavesTheSyncScenario) {
    configure("masterPort = " + std::to_string(FreeUdpPort()) + "\n");
    harness.load();
    harness.host().startSimulation();
    EXPECT_TRUE(harness.workspace.exists("Scenarios/000Velsync.scn"));
}

}  // namespace
