// The simhost program as a user runs it: argument errors, a short run of the
// bundled scenario with dumps, scripted keys, the final save, a stop signal.
#include <csignal>
#include <filesystem>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>

#include "HostAppPaths.h"
#include "ProgramRunner.h"

using namespace host_app_test;

namespace {

const char* const kDemoVessels[] = {"Orbiter-1", "Relay-2", "Lander-3", "Station-A", "Crew-B", "XR-5"};

std::vector<std::string> dumpLines(const std::string& path) {
    std::vector<std::string> lines;
    std::istringstream in(ReadFile(path));
    for (std::string line; std::getline(in, line);) {
        if (!line.empty()) lines.push_back(line);
    }
    return lines;
}

size_t countOf(const std::vector<std::string>& lines, const std::string& text) {
    size_t n = 0;
    for (const std::string& line : lines) n += line.find(text) != std::string::npos;
    return n;
}

std::string nameField(const char* name) { return std::string("\"name\":\"") + name + "\""; }

// The arguments of a quick run of the bundled scenario.
std::vector<std::string> demoRun(std::vector<std::string> more) {
    std::vector<std::string> args{"--scenario", demoScenario(), "--classes", classesDir(), "--fast", "--quiet"};
    args.insert(args.end(), more.begin(), more.end());
    return args;
}

TEST(SimhostProgram, BadArgumentsExitWith2AndSayWhy) {
    const std::string dir = scratchDir();
    struct Case {
        std::vector<std::string> args;
        const char* mentions;
    };
    const Case cases[] = {
        {{}, "scenario"},
        {{"--bogus"}, "--bogus"},
        {{"--scenario"}, "--scenario"},
        {{"--scenario", demoScenario(), "--fps", "0"}, "--fps"},
        {{"--scenario", demoScenario(), "--fps", "12x"}, "--fps"},
        {{"--scenario", demoScenario(), "--duration", "-1"}, "--duration"},
        {{"--scenario", demoScenario(), "--warp", "0"}, "--warp"},
        {{"--scenario", demoScenario(), "--key", "1:??"}, "??"},
        {{"--scenario", demoScenario(), "--root", dir + "/missing"}, "missing"},
        {{"--scenario", demoScenario(), "--dump-every", "1"}, "--dump"},
        {{"--scenario", dir + "/None.scn"}, "None.scn"},
        {{"--scenario", demoScenario(), "--classes", classesDir(), "--module", dir + "/Nothing.so"}, "Nothing.so"},
        {{"--scenario", demoScenario(), "--dump", dir + "/no/such/folder/d.json"}, "d.json"},
    };
    for (const Case& c : cases) {
        const ProgramResult r = RunSimhost(c.args, dir);
        std::string joined;
        for (const std::string& a : c.args) joined += a + " ";
        EXPECT_EQ(r.exitCode, 2) << joined;
        EXPECT_NE(r.err.find(c.mentions), std::string::npos) << joined << "\n" << r.err;
    }
}

TEST(SimhostProgram, HelpPrintsTheUsage) {
    const ProgramResult r = RunSimhost({"--help"}, scratchDir());
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_NE(r.out.find("Usage: simhost"), std::string::npos);
    EXPECT_NE(r.out.find("--dump-every"), std::string::npos);
}

TEST(SimhostProgram, ShortRunOfTheDemoDumpsEveryVessel) {
    const std::string dir = scratchDir();
    const ProgramResult r = RunSimhost(demoRun({"--duration", "1", "--dump", dir + "/state.json"}), dir);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(r.out.empty()) << "--quiet prints nothing: " << r.out;
    const std::vector<std::string> lines = dumpLines(dir + "/state.json");
    EXPECT_EQ(lines.size(), 6u);
    for (const char* name : kDemoVessels) EXPECT_EQ(countOf(lines, nameField(name)), 1u) << name;
}

TEST(SimhostProgram, DumpEveryAppendsDatedStates) {
    const std::string dir = scratchDir();
    const ProgramResult r = RunSimhost(
        demoRun({"--duration", "1", "--fps", "20", "--dump", dir + "/state.json", "--dump-every", "0.25"}), dir);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::vector<std::string> lines = dumpLines(dir + "/state.json");
    // Dumps at 0.25, 0.5, 0.75 and 1 s, then the final one.
    EXPECT_EQ(countOf(lines, nameField("XR-5")), 5u);
    EXPECT_EQ(lines.size(), 5u * 6u);
    EXPECT_EQ(countOf(lines, "\"mjd\""), lines.size());
}

TEST(SimhostProgram, ScriptedKeysReachTheFocusVessel) {
    const std::string dir = scratchDir();
    const ProgramResult r = RunSimhost(
        demoRun({"--duration", "0.5", "--key", "0.1:G", "--key", "0.2:0x1E:down", "--dump", dir + "/state.json"}), dir);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::vector<std::string> lines = dumpLines(dir + "/state.json");
    std::string focus;
    for (const std::string& line : lines) {
        if (line.find(nameField("Orbiter-1")) != std::string::npos) focus = line;
    }
    ASSERT_FALSE(focus.empty());
    // G pressed and released one step later, then A pressed; no one else gets them.
    EXPECT_NE(focus.find("\"keys\":[[34,true],[34,false],[30,true]]"), std::string::npos) << focus;
    EXPECT_EQ(countOf(lines, "\"keys\":[]"), 5u);
}

TEST(SimhostProgram, SaveWritesTheScenarioUnderTheRoot) {
    const std::string dir = scratchDir();
    std::filesystem::create_directories(dir + "/Scenarios");
    std::filesystem::create_directories(dir + "/Config");
    const ProgramResult r = RunSimhost(demoRun({"--root", dir, "--duration", "0.2", "--save", "AfterRun"}), dir);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    std::string saved = ReadFile(dir + "/Scenarios/AfterRun.scn");
    if (saved.empty()) saved = ReadFile(dir + "/Scenarios/AfterRun");
    ASSERT_FALSE(saved.empty());
    for (const char* name : kDemoVessels) EXPECT_NE(saved.find(name), std::string::npos) << name;
    EXPECT_NE(saved.find("XR_VALUE"), std::string::npos);

    // The saved scenario runs again.
    std::vector<std::string> args{"--root",  dir,          "--classes", classesDir(), "--fast",
                                  "--quiet", "--duration", "0.2",       "--scenario", "AfterRun"};
    const ProgramResult reload = RunSimhost(args, dir);
    EXPECT_EQ(reload.exitCode, 0) << reload.err;
}

TEST(SimhostProgram, ModulesSeeTheWholeRunAndAreUnloaded) {
    const std::string dir = scratchDir();
    // A bare name is found in the program's own folder.
    const ProgramResult r = RunSimhost(demoRun({"--module", "HostAppProbe", "--duration", "0.5", "--fps", "20"}), dir);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(ReadFile(dir + "/probe.log"), "start\nend steps=10\nexit\n");
}

TEST(SimhostProgram, StatusLineShowsTheDebugString) {
    const std::string dir = scratchDir();
    const ProgramResult r =
        RunSimhost({"--scenario", demoScenario(), "--classes", classesDir(), "--fast", "--status", "--duration", "0.5",
                    "--fps", "20", "--warp", "4", "--module", binDir() + "/HostAppProbe.so"},
                   dir);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    // The last refresh shows the state at the end of the run.
    EXPECT_NE(r.out.find("t=2.00 s"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("warp 4"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("vessels 6"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("probe step 10"), std::string::npos) << r.out;
}

TEST(SimhostProgram, TerminationSignalEndsTheRunCleanly) {
    const std::string dir = scratchDir();
    std::vector<std::string> args{"--scenario",
                                  demoScenario(),
                                  "--classes",
                                  classesDir(),
                                  "--realtime",
                                  "--duration",
                                  "600",
                                  "--dump",
                                  dir + "/state.json",
                                  "--module",
                                  binDir() + "/HostAppProbe.so"};
    ProgramRun run(args, dir);
    ASSERT_GT(run.pid(), 0);
    // Wait (generously) until the run has started, then ask it to stop.
    for (int i = 0; i < 600 && run.outputSoFar().find("vessels") == std::string::npos; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_EQ(kill(run.pid(), SIGTERM), 0);
    const ProgramResult r = run.wait();
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("stopped"), std::string::npos) << r.out;
    const std::vector<std::string> lines = dumpLines(dir + "/state.json");
    for (const char* name : kDemoVessels) EXPECT_EQ(countOf(lines, nameField(name)), 1u) << name;
    const std::string probe = ReadFile(dir + "/probe.log");
    EXPECT_EQ(probe.rfind("start\nend steps=", 0), 0u) << probe;
    EXPECT_NE(probe.find("\nexit\n"), std::string::npos) << probe;
}

TEST(SimhostProgram, RootFolderIsTheModulesWorkingFolderAndRelativePathsStillHold) {
    const std::string dir = scratchDir();
    std::filesystem::create_directories(dir + "/root/Config");
    const ProgramResult r = RunSimhost(
        demoRun({"--root", "root", "--module", "HostAppProbe", "--duration", "0.2", "--dump", "state.json"}), dir);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_FALSE(ReadFile(dir + "/root/probe.log").empty()) << "the module wrote into the root folder";
    EXPECT_TRUE(ReadFile(dir + "/probe.log").empty());
    EXPECT_FALSE(ReadFile(dir + "/state.json").empty()) << "the dump path is taken where the program started";
}

}  // namespace
