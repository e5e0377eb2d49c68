// The module log: file line and debug-string line formats, and when nothing
// is written.
#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "Log.h"
#include "SimHost.h"
#include "TempWorkspace.h"

namespace {

class ModuleLog : public ::testing::Test {
protected:
    void SetUp() override {
        simhost::Host::instance().reset();
        OpenLog("Test.log");
    }
    void TearDown() override { CloseLog(); }

    std::vector<std::string> fileLines() {
        std::fflush(logFile);
        return workspace.lines("Test.log");
    }

    TempWorkspace workspace;
};

TEST_F(ModuleLog, FileLineHasStampThreadRightAlignedSourceAndText) {
    Log("/deep/nested/dir/Helmcast.cpp", 7, "hello world");
    const auto lines = fileLines();
    ASSERT_EQ(lines.size(), 1u);
    const std::regex format(
        R"(^\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}\.\d{3} Thread \d{4,} {7}Helmcast\.cpp:   7:hello world$)");
    EXPECT_TRUE(std::regex_match(lines[0], format)) << lines[0];
}

TEST_F(ModuleLog, DebugStringHoldsTheShortFormOfTheLatestLine) {
    Log("src/Message.cpp", 7, "first");
    Log("src/Message.cpp", 1234, "second");
    const std::string debug = simhost::Host::instance().debugString();
    const std::regex format(R"(^\d{2}:\d{2}:\d{2}\.\d{3} Thread \d{4,} Message\.cpp:1234:second$)");
    EXPECT_TRUE(std::regex_match(debug, format)) << debug;
}

TEST_F(ModuleLog, WindowsPathsAndLongNamesArePrintedByTheirBaseName) {
    Log("C:\\work\\src\\Win.cpp", 12, "a");
    Log("x/AVeryLongSourceFileNameIndeed.cpp", 3, "b");
    const auto lines = fileLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[0].find("            Win.cpp:  12:a"), std::string::npos) << lines[0];
    EXPECT_NE(lines[1].find(" AVeryLongSourceFileNameIndeed.cpp:   3:b"), std::string::npos) << lines[1];
}

TEST_F(ModuleLog, EmptyTextIsReplacedByAMarker) {
    Log("Helmcast.cpp", 1, "");
    const auto lines = fileLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(LogText(lines[0]), "<empty log message>");
}

TEST_F(ModuleLog, FormattedTextIsCutAt254Characters) {
    const std::string longText(400, 'x');
    LogFormat("Helmcast.cpp", 2, "%s", longText.c_str());
    const auto lines = fileLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(LogText(lines[0]), std::string(254, 'x'));
}

TEST_F(ModuleLog, LinesKeepCallOrderAndReopeningEmptiesTheFile) {
    for (int i = 0; i < 5; ++i) LogFormat("Helmcast.cpp", i, "line %d", i);
    auto texts = LogTexts(fileLines());
    ASSERT_EQ(texts.size(), 5u);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(texts[i], "line " + std::to_string(i));
    CloseLog();
    OpenLog("Test.log");
    EXPECT_TRUE(fileLines().empty());
}

TEST_F(ModuleLog, NothingIsWrittenAnywhereWithoutAnOpenLog) {
    CloseLog();
    Log("Helmcast.cpp", 1, "lost");
    EXPECT_EQ(simhost::Host::instance().debugString(), "");
    EXPECT_EQ(workspace.read("Test.log"), "");
    OpenLog("/nonexistent-folder/Test.log");
    EXPECT_EQ(logFile, nullptr);
    Log("Helmcast.cpp", 1, "also lost");
    EXPECT_EQ(simhost::Host::instance().debugString(), "");
}

TEST_F(ModuleLog, DebugStringIsCutToTheHostBuffer) {
    const std::string longText(16000, 'y');
    Log("Helmcast.cpp", 1, longText.c_str());
    EXPECT_EQ(simhost::Host::instance().debugString().size(), 255u);
    const auto lines = fileLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(LogText(lines[0]), longText);
}

}  // namespace
