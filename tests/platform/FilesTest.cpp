// The host's file calls: path roots, item readers, scenario lines, writers.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <limits>
#include <string>
#include <vector>

#include "TempWorkspace.h"
#include "platform/PlatformServices.h"

namespace {

class Files : public ::testing::Test {
protected:
    void SetUp() override { simhost::FilesSetRoot(workspace.path().string()); }
    void TearDown() override {
        simhost::FilesCloseAll();
        simhost::FilesSetRoot("");
    }

    FILEHANDLE openConfig(const std::string& text) {
        workspace.write("Config/Test.cfg", text);
        return oapiOpenFile("Test.cfg", FILE_IN, CONFIG);
    }

    TempWorkspace workspace;
};

TEST_F(Files, PathRootsAreFoldersBelowTheRoot) {
    const std::string root = workspace.path().string();
    EXPECT_EQ(simhost::FilesPath("a.cfg", ROOT), root + "/a.cfg");
    EXPECT_EQ(simhost::FilesPath("a.cfg", CONFIG), root + "/Config/a.cfg");
    EXPECT_EQ(simhost::FilesPath("a.scn", SCENARIOS), root + "/Scenarios/a.scn");
    EXPECT_EQ(simhost::FilesPath("t", TEXTURES), root + "/Textures/t");
    EXPECT_EQ(simhost::FilesPath("t", TEXTURES2), root + "/Textures2/t");
    EXPECT_EQ(simhost::FilesPath("m", MESHES), root + "/Meshes/m");
    EXPECT_EQ(simhost::FilesPath("x.so", MODULES), root + "/Modules/x.so");
    simhost::FilesSetRoot("");
    EXPECT_EQ(simhost::FilesPath("a.cfg", ROOT), "a.cfg");
    EXPECT_EQ(simhost::FilesPath("a.cfg", CONFIG), "Config/a.cfg");
    // TempWorkspace made the workspace the current directory.
    FILEHANDLE file = oapiOpenFile("Rel.cfg", FILE_OUT, CONFIG);
    ASSERT_NE(file, nullptr);
    oapiCloseFile(file, FILE_OUT);
    EXPECT_TRUE(workspace.exists("Config/Rel.cfg"));
}

TEST_F(Files, MissingFileGivesNullAndEveryReaderReportsMissing) {
    FILEHANDLE file = oapiOpenFile("Absent.cfg", FILE_IN, CONFIG);
    EXPECT_EQ(file, nullptr);
    char value[256] = "default";
    int number = 7;
    double real = 1.5;
    bool flag = true;
    char* line = nullptr;
    char item[] = "Key";
    EXPECT_FALSE(oapiReadItem_string(file, item, value));
    EXPECT_FALSE(oapiReadItem_int(file, item, number));
    EXPECT_FALSE(oapiReadItem_float(file, item, real));
    EXPECT_FALSE(oapiReadItem_bool(file, item, flag));
    EXPECT_FALSE(oapiReadScenario_nextline(file, line));
    EXPECT_STREQ(value, "default");
    EXPECT_EQ(number, 7);
    // A handle that was never given out is refused the same way.
    int bogus = 0;
    EXPECT_FALSE(oapiReadItem_int(reinterpret_cast<FILEHANDLE>(&bogus), item, number));
    oapiCloseFile(reinterpret_cast<FILEHANDLE>(&bogus), FILE_IN);  // harmless
}

TEST_F(Files, ItemReadersParseTagValueLines) {
    FILEHANDLE file = openConfig(
        "; leading comment = 1\n"
        "  Port   =   5000   ; the server port\r\n"
        "Name = Big Ship  One ; trailing comment\n"
        "Rate = 12.5\n"
        "BadInt = 12abc\n"
        "BadFloat = 3.0.1\n"
        "Empty =\n"
        "Enabled = TRUE\n"
        "Off = false\n"
        "Neg = -42\n"
        "commented ; = 9\n"
        "Huge = 99999999999\n");
    ASSERT_NE(file, nullptr);
    int port = 0;
    char tagPort[] = "port";
    EXPECT_TRUE(oapiReadItem_int(file, tagPort, port));
    EXPECT_EQ(port, 5000);

    char name[256] = {};
    char tagName[] = "NAME";
    EXPECT_TRUE(oapiReadItem_string(file, tagName, name));
    EXPECT_STREQ(name, "Big Ship  One");

    double rate = 0;
    char tagRate[] = "Rate";
    EXPECT_TRUE(oapiReadItem_float(file, tagRate, rate));
    EXPECT_DOUBLE_EQ(rate, 12.5);

    // Numbers that are not entirely numbers leave the caller's default.
    int badInt = 3;
    char tagBadInt[] = "BadInt";
    EXPECT_FALSE(oapiReadItem_int(file, tagBadInt, badInt));
    EXPECT_EQ(badInt, 3);
    double badFloat = 2.0;
    char tagBadFloat[] = "BadFloat";
    EXPECT_FALSE(oapiReadItem_float(file, tagBadFloat, badFloat));
    EXPECT_EQ(badFloat, 2.0);
    char tagEmpty[] = "Empty";
    EXPECT_FALSE(oapiReadItem_int(file, tagEmpty, badInt));
    int huge = 1;
    char tagHuge[] = "Huge";
    EXPECT_FALSE(oapiReadItem_int(file, tagHuge, huge));
    EXPECT_EQ(huge, 1);
    // Rate = 12.5 is a number but not an integer.
    int rateAsInt = 0;
    EXPECT_FALSE(oapiReadItem_int(file, tagRate, rateAsInt));

    int negative = 0;
    char tagNeg[] = "neg";
    EXPECT_TRUE(oapiReadItem_int(file, tagNeg, negative));
    EXPECT_EQ(negative, -42);

    bool enabled = false;
    bool off = true;
    char tagEnabled[] = "Enabled";
    char tagOff[] = "Off";
    EXPECT_TRUE(oapiReadItem_bool(file, tagEnabled, enabled));
    EXPECT_TRUE(enabled);
    EXPECT_TRUE(oapiReadItem_bool(file, tagOff, off));
    EXPECT_FALSE(off);

    // A '=' inside a comment makes no item; a missing key is missing.
    int commented = 0;
    char tagCommented[] = "commented";
    char tagLeading[] = "leading comment";
    char tagMissing[] = "Missing";
    EXPECT_FALSE(oapiReadItem_int(file, tagCommented, commented));
    EXPECT_FALSE(oapiReadItem_int(file, tagLeading, commented));
    EXPECT_FALSE(oapiReadItem_int(file, tagMissing, commented));
    oapiCloseFile(file, FILE_IN);
}

TEST_F(Files, ItemsAreFoundWhateverTheReadPosition) {
    FILEHANDLE file = openConfig("First = 1\nSecond = 2\n");
    ASSERT_NE(file, nullptr);
    char* line = nullptr;
    ASSERT_TRUE(oapiReadScenario_nextline(file, line));
    ASSERT_TRUE(oapiReadScenario_nextline(file, line));
    EXPECT_FALSE(oapiReadScenario_nextline(file, line));
    int first = 0;
    char tag[] = "First";
    EXPECT_TRUE(oapiReadItem_int(file, tag, first));
    EXPECT_EQ(first, 1);
    oapiCloseFile(file, FILE_IN);
}

TEST_F(Files, LongStringValueIsCutToFitAUsualBuffer) {
    FILEHANDLE file = openConfig("Text = " + std::string(1000, 'a') + "\n");
    ASSERT_NE(file, nullptr);
    char value[256];
    char tag[] = "Text";
    ASSERT_TRUE(oapiReadItem_string(file, tag, value));
    EXPECT_EQ(std::strlen(value), 255u);
    oapiCloseFile(file, FILE_IN);
}

TEST_F(Files, ScenarioLinesAreTrimmedUncommentedAndStopAtEnd) {
    workspace.write("Scenarios/S.scn",
                    "BEGIN_SHIPS   \n"
                    "\n"
                    "   ; only a comment\n"
                    "Ship-1:Class\n"
                    "  STATUS Orbiting Earth   ; where\n"
                    "\t RPOS 1 2 3\r\n"
                    "  end  \n"
                    "END_SHIPS\n"
                    "last");
    FILEHANDLE file = oapiOpenFile("S.scn", FILE_IN, SCENARIOS);
    ASSERT_NE(file, nullptr);
    char* line = nullptr;
    std::vector<std::string> lines;
    while (oapiReadScenario_nextline(file, line)) lines.push_back(line);
    EXPECT_EQ(lines, (std::vector<std::string>{"BEGIN_SHIPS", "Ship-1:Class", "STATUS Orbiting Earth", "RPOS 1 2 3"}));
    // Reading goes on after the END line; END_SHIPS is no END.
    ASSERT_TRUE(oapiReadScenario_nextline(file, line));
    EXPECT_STREQ(line, "END_SHIPS");
    char* previous = line;
    ASSERT_TRUE(oapiReadScenario_nextline(file, line));
    EXPECT_STREQ(line, "last");
    EXPECT_EQ(line, previous);  // the buffer is reused
    EXPECT_FALSE(oapiReadScenario_nextline(file, line));
    oapiCloseFile(file, FILE_IN);
}

TEST_F(Files, ScenarioWritersRoundTripDoublesExactly) {
    const double values[] = {0.1,
                             1.0 / 3.0,
                             -6778137.123456789,
                             1e-300,
                             6.02214076e23,
                             std::nextafter(1.0, 2.0),
                             std::numeric_limits<double>::denorm_min()};
    FILEHANDLE file = oapiOpenFile("W.scn", FILE_OUT, SCENARIOS);
    ASSERT_NE(file, nullptr);
    char tagName[] = "NAME";
    char value[] = "two words";
    char tagCount[] = "COUNT";
    char tagF[] = "F";
    char tagV[] = "V";
    char line[] = "Free line";
    oapiWriteScenario_string(file, tagName, value);
    oapiWriteScenario_int(file, tagCount, -12);
    for (double v : values) oapiWriteScenario_float(file, tagF, v);
    oapiWriteScenario_vec(file, tagV, _V(values[0], values[1], values[2]));
    oapiWriteLine(file, line);
    oapiCloseFile(file, FILE_OUT);

    std::vector<std::string> lines = workspace.lines("Scenarios/W.scn");
    ASSERT_EQ(lines.size(), 4 + std::size(values));
    EXPECT_EQ(lines[0], "  NAME two words");
    EXPECT_EQ(lines[1], "  COUNT -12");
    for (size_t i = 0; i < std::size(values); ++i) {
        ASSERT_EQ(lines[2 + i].rfind("  F ", 0), 0u) << lines[2 + i];
        EXPECT_EQ(std::strtod(lines[2 + i].c_str() + 4, nullptr), values[i]) << lines[2 + i];
    }
    double x = 0, y = 0, z = 0;
    ASSERT_EQ(std::sscanf(lines[2 + std::size(values)].c_str(), "  V %lf %lf %lf", &x, &y, &z), 3);
    EXPECT_EQ(x, values[0]);
    EXPECT_EQ(y, values[1]);
    EXPECT_EQ(z, values[2]);
    EXPECT_EQ(lines.back(), "Free line");
}

TEST_F(Files, ItemWritersAreReadBackAndAppendKeepsContent) {
    FILEHANDLE file = oapiOpenFile("Items.cfg", FILE_OUT, CONFIG);
    ASSERT_NE(file, nullptr);
    char tagS[] = "Label";
    char valueS[] = "with blanks inside";
    char tagF[] = "Gain";
    char tagI[] = "Count";
    oapiWriteItem_string(file, tagS, valueS);
    oapiWriteItem_float(file, tagF, 1.0 / 7.0);
    oapiCloseFile(file, FILE_OUT);
    file = oapiOpenFile("Items.cfg", FILE_APP, CONFIG);
    ASSERT_NE(file, nullptr);
    oapiWriteItem_int(file, tagI, 99);
    oapiCloseFile(file, FILE_APP);

    file = oapiOpenFile("Items.cfg", FILE_IN, CONFIG);
    ASSERT_NE(file, nullptr);
    char label[256] = {};
    double gain = 0;
    int count = 0;
    EXPECT_TRUE(oapiReadItem_string(file, tagS, label));
    EXPECT_STREQ(label, "with blanks inside");
    EXPECT_TRUE(oapiReadItem_float(file, tagF, gain));
    EXPECT_EQ(gain, 1.0 / 7.0);
    EXPECT_TRUE(oapiReadItem_int(file, tagI, count));
    EXPECT_EQ(count, 99);
    oapiCloseFile(file, FILE_IN);

    // Writing truncates.
    file = oapiOpenFile("Items.cfg", FILE_OUT, CONFIG);
    oapiCloseFile(file, FILE_OUT);
    EXPECT_EQ(workspace.read("Config/Items.cfg"), "");
}

TEST_F(Files, ClosedHandleIsRefusedEvenWhenANewFileIsOpen) {
    FILEHANDLE first = openConfig("Key = 1\n");
    ASSERT_NE(first, nullptr);
    oapiCloseFile(first, FILE_IN);
    workspace.write("Config/Other.cfg", "Key = 2\n");
    FILEHANDLE second = oapiOpenFile("Other.cfg", FILE_IN, CONFIG);
    ASSERT_NE(second, nullptr);
    EXPECT_NE(first, second);
    int key = 0;
    char tag[] = "Key";
    EXPECT_FALSE(oapiReadItem_int(first, tag, key));
    EXPECT_TRUE(oapiReadItem_int(second, tag, key));
    EXPECT_EQ(key, 2);
    // Writers ignore a read handle and reading a write handle finds nothing.
    char line[] = "ignored";
    oapiWriteLine(second, line);
    EXPECT_EQ(workspace.read("Config/Other.cfg"), "Key = 2\n");
    simhost::FilesCloseAll();
    EXPECT_FALSE(oapiReadItem_int(second, tag, key));
}

}  // namespace
