// helmrelay's flags and configuration file, and what it says about mistakes.
#include <gtest/gtest.h>

#include <fstream>
#include <vector>

#include "MasterAddress.h"
#include "RelayOptions.h"
#include "TempWorkspace.h"

namespace {

bool Parse(std::vector<std::string> args, RelayOptions& options, std::string& error) {
    args.insert(args.begin(), "helmrelay");
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    return ParseRelayOptions(static_cast<int>(argv.size()), argv.data(), options, error);
}

TEST(RelayOptions, FlagsAndDefaults) {
    RelayOptions o;
    std::string error;
    ASSERT_TRUE(Parse({"127.0.0.1:41000", "--max-clients", "200", "--json", "--seconds", "5"}, o, error)) << error;
    EXPECT_EQ(AddressText(o.master), "127.0.0.1:41000");
    EXPECT_EQ(AddressText(o.listen), "0.0.0.0:40000");
    EXPECT_EQ(o.maxClients, 200);
    EXPECT_EQ(o.output, RelayOptions::Output::kJson);
    EXPECT_EQ(o.seconds, 5.0);
    ASSERT_TRUE(Parse({"127.0.0.1", "--listen", "127.0.0.2:40100"}, o, error)) << error;
    EXPECT_EQ(AddressText(o.listen), "127.0.0.2:40100");
}

TEST(RelayOptions, FileGivesWhatTheFlagsDoNot) {
    TempWorkspace workspace;
    workspace.write("relay.cfg",
                    "; the group flight's relay\nMaster = 127.0.0.1:41000\nlisten = 41001  # slaves\nMAXCLIENTS=8\n");
    const std::string path = (workspace.path() / "relay.cfg").string();
    RelayOptions o;
    std::string error;
    ASSERT_TRUE(Parse({"--config", path, "--listen", "41002"}, o, error)) << error;
    EXPECT_EQ(AddressText(o.master), "127.0.0.1:41000");
    EXPECT_EQ(AddressText(o.listen), "0.0.0.0:41002") << "the flag wins";
    EXPECT_EQ(o.maxClients, 8);
}

TEST(RelayOptions, SaysWhatIsWrong) {
    TempWorkspace workspace;
    workspace.write("typo.cfg", "master = 127.0.0.1\nmaxClient = 8\n");
    workspace.write("twice.cfg", "master = 127.0.0.1\nmaster = 127.0.0.2\n");
    const struct {
        std::vector<std::string> args;
        const char* said;
    } bad[] = {{{}, "no master given"},
               {{"127.0.0.1", "--listen", "0"}, "bad listening port '0'"},
               {{"127.0.0.1", "--listen", "300.0.0.1:41000"}, "bad listening address '300.0.0.1'"},
               {{"127.0.0.1:41000", "--listen", "41000"}, "would subscribe to itself"},
               {{"127.0.0.1", "--max-clients", "0"}, "bad client count '0'"},
               {{"127.0.0.1", "--seconds"}, "--seconds needs a value"},
               {{"127.0.0.1", "--bogus"}, "unknown option --bogus"},
               {{"127.0.0.1", "127.0.0.2"}, "one master only"},
               {{"--config", (workspace.path() / "typo.cfg").string()}, "typo.cfg:2: unknown key 'maxClient'"},
               {{"--config", (workspace.path() / "twice.cfg").string()}, "twice.cfg:2: 'master' is given twice"},
               {{"--config", (workspace.path() / "none.cfg").string()}, "cannot read the configuration file"}};
    for (const auto& b : bad) {
        RelayOptions o;
        std::string error;
        EXPECT_FALSE(Parse(b.args, o, error)) << b.said;
        EXPECT_NE(error.find(b.said), std::string::npos) << "'" << error << "' lacks '" << b.said << "'";
    }
}

}  // namespace

namespace {

TEST(RelayOptions, TrunkEnds) {
    TempWorkspace workspace;
    workspace.write("far.cfg", "trunk = 127.0.0.1:40300\ntrunkKey = trunk.key\nlisten = 40100\n");
    const std::string far = (workspace.path() / "far.cfg").string();
    RelayOptions o;
    std::string error;
    ASSERT_TRUE(Parse({"127.0.0.1:41000", "--trunk-listen", "40300", "--trunk-key", "k"}, o, error)) << error;
    EXPECT_EQ(o.trunk.role, TrunkSettings::Role::kNear);
    EXPECT_EQ(AddressText(o.trunk.address), "0.0.0.0:40300");
    EXPECT_FALSE(o.serveClients) << "a near end has clients of its own only when given --listen";
    RelayOptions f;
    ASSERT_TRUE(Parse({"--config", far}, f, error)) << error;
    EXPECT_EQ(f.trunk.role, TrunkSettings::Role::kFar);
    EXPECT_EQ(f.trunk.keyFile, "trunk.key");
    EXPECT_TRUE(f.serveClients);
    EXPECT_EQ(AddressText(f.listen), "0.0.0.0:40100");

    const std::vector<std::pair<std::vector<std::string>, std::string>> mistakes{
        {{"127.0.0.1", "--trunk-listen", "40300"}, "needs a key"},
        {{"127.0.0.1", "--trunk-listen", "40300", "--trunk-key", "k", "--insecure"}, "not both"},
        {{"127.0.0.1", "--trunk", "127.0.0.2:40300", "--insecure"}, "no MASTER"},
        {{"127.0.0.1", "--trunk", "127.0.0.2", "--trunk-listen", "40300", "--insecure"}, "not both"},
    };
    for (const auto& [args, says] : mistakes) {
        RelayOptions m;
        EXPECT_FALSE(Parse(args, m, error)) << args.back();
        EXPECT_NE(error.find(says), std::string::npos) << error;
    }
    RelayOptions insecure;
    ASSERT_TRUE(Parse({"--trunk", "127.0.0.2", "--insecure"}, insecure, error)) << error;
    EXPECT_TRUE(insecure.trunk.insecure);
}

}  // namespace
