#include "settings/SettingsFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "tests/support/TestSupport.h"

namespace {

const std::string kSource = VELKAF_SOURCE_DIR;

std::string ReadSource(const std::string& relative) {
    std::ifstream in(kSource + "/" + relative, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The values of a freshly created "KORU.CFG", setting 1 first.
const std::vector<std::string> kDefaultValues = {
    "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "1", "", "",
    "10", "10", "200", "320", "0", "1", "4", "1", "", "2000", "-2000", "34", "-34", "34",
    "-34", "2000", "-2000"};

// A configuration file with the default values except `values` (setting number -> text),
// one key line per setting and a section header, lines ended by `lineEnd`.
std::string ConfigWith(const std::map<int, std::string>& values, const std::string& lineEnd = "\r\n") {
    std::string out = "[Section]" + lineEnd;
    for (int n = 1; n <= kSettingCount; ++n) {
        auto it = values.find(n);
        out += "Key" + std::to_string(n) + "=" + (it != values.end() ? it->second : kDefaultValues[n - 1]) + lineEnd;
    }
    return out;
}

// Every setting as text, one "n=value" line each: compares whole records with a readable diff.
std::string Dump(const Settings& s) {
    std::string numbered;
    for (int n = 1; n <= kSettingCount; ++n) numbered += std::to_string(n) + "=\n";
    return FormatSettings(numbered, s);
}

struct StoreCase {
    const char* name;
    std::map<int, std::string> values;
    std::function<void(Settings&)> expect;  // changes from the defaults
};

TEST(ParseSettings, StoringRulesAndFallbacksOnA1024x768Screen) {
    const std::vector<StoreCase> cases = {
        {"defaults", {}, [](Settings&) {}},
        {"x past the width resets both", {{1, "5000"}, {2, "300"}}, [](Settings&) {}},
        {"y equal to the height resets both", {{1, "40"}, {2, "768"}}, [](Settings&) {}},
        {"left of the screen passes", {{1, "-40"}, {2, "767"}}, [](Settings& s) { s.mainX = -40; s.mainY = 767; }},
        {"64000 and more pass", {{1, "64000"}, {2, "99999"}}, [](Settings& s) { s.mainX = 64000; s.mainY = 99999; }},
        {"63999 fails", {{1, "63999"}, {2, "5"}}, [](Settings&) {}},
        {"video fallback", {{3, "12"}, {4, "9000"}}, [](Settings& s) { s.videoY = 92; }},
        {"video accepted", {{3, "-5"}, {4, "600"}}, [](Settings& s) { s.videoX = -5; s.videoY = 600; }},
        {"editor fallback keeps size", {{19, "2000"}, {20, "30"}, {21, "250"}, {22, "400"}},
         [](Settings& s) { s.editorX = 10; s.editorY = 100; s.editorWidth = 250; s.editorHeight = 400; }},
        {"not a number reads 0 and is range-tested", {{1, "abc"}, {2, "-3"}, {5, "x1"}},
         [](Settings& s) { s.mainY = -3; }},
        {"decimal reading", {{5, "  +7tail"}, {6, "-12 3"}, {16, "0"}},
         [](Settings& s) { s.wheelModePlaying = 7; s.wheelModePaused = -12; s.repeat = 0; }},
        {"size modes need keepVideoSize", {{23, "0"}, {24, "2"}, {25, "5"}}, [](Settings&) {}},
        {"size modes kept with keepVideoSize", {{23, "1"}, {24, "2"}, {25, "5"}},
         [](Settings& s) { s.keepVideoSize = 1; s.videoSizeMode = 2; s.fullScreenFit = 5; }},
        {"one empty speed resets all eight", {{28, "100"}, {29, "-100"}, {33, ""}, {35, "7"}}, [](Settings&) {}},
        {"speeds without a test", {{28, "0"}, {29, "123456"}, {35, "-1"}},
         [](Settings& s) { s.searchSpeed[0] = 0; s.searchSpeed[1] = 123456; s.searchSpeed[7] = -1; }},
        {"texts unchanged, '=' included", {{17, "/music/a=b/"}, {18, " /lists/x.tsr "}, {27, "sky.bmp"}},
         [](Settings& s) { s.lastTrackFolder = "/music/a=b/"; s.lastListFile = " /lists/x.tsr "; s.backgroundFile = "sky.bmp"; }},
        {"CP932 text becomes UTF-8", {{17, "/\x89\xb9\x8a\x79/"}}, [](Settings& s) { s.lastTrackFolder = "/音楽/"; }},
    };
    for (const StoreCase& c : cases) {
        Settings actual;
        ParseSettings(ConfigWith(c.values), actual, 1024, 768);
        Settings expected;
        c.expect(expected);
        EXPECT_EQ(Dump(actual), Dump(expected)) << c.name;
    }
}

TEST(ParseSettings, FileShapes) {
    const std::string longPath = "/" + std::string(2999, 'p');
    struct Case {
        const char* name;
        std::string bytes;
        std::function<void(Settings&)> expect;
    };
    const std::vector<Case> cases = {
        {"LF only", ConfigWith({{1, "-7"}, {17, longPath}, {35, "-9"}}, "\n"),
         [&](Settings& s) { s.mainX = -7; s.lastTrackFolder = longPath; s.searchSpeed[7] = -9; }},
        {"CR only", ConfigWith({{2, "11"}, {27, "b.bmp"}}, "\r"), [](Settings& s) { s.mainY = 11; s.backgroundFile = "b.bmp"; }},
        {"any headers and keys", "\xff garbage\r\n\r\n[日本語]\r\nx=5\r\n;;;\r\n  \r\nanything at all=6\r\n",
         [](Settings& s) { s.mainX = 5; s.mainY = 6; }},
        {"fewer '=' keep the rest", "a=3\r\nb=4\r\nc=5", [](Settings& s) { s.mainX = 3; s.mainY = 4; s.videoX = 5; }},
        {"trailing text without '='", "a=3\r\njunk\r\n", [](Settings& s) { s.mainX = 3; }},
        {"more '=' are ignored", ConfigWith({{35, "-1"}}) + "Extra=5\r\nMore=6\r\n", [](Settings& s) { s.searchSpeed[7] = -1; }},
        {"empty file", "", [](Settings&) {}},
        {"'=' last byte", "x=", [](Settings&) {}},
    };
    for (const Case& c : cases) {
        Settings actual;
        ParseSettings(c.bytes, actual, 1024, 768);
        Settings expected;
        c.expect(expected);
        EXPECT_EQ(Dump(actual), Dump(expected)) << c.name;
    }
}

struct TemplateCase {
    const char* name;
    std::string templateBytes;
    std::string expected;
};

TEST(FormatSettings, TemplateShapes) {
    Settings s;
    s.mainX = -40;
    s.mainY = 7;
    const std::vector<TemplateCase> cases = {
        {"CR LF", "a=\r\nb=\r\n", "a=-40\r\nb=7\r\n"},
        {"LF only", "a=\nb=\n", "a=-40\r\nb=7\r\n"},
        {"headers copied", "[S]\r\n\r\na =\r\n[T]\r\nb=\r\n", "[S]\r\n\r\na =-40\r\n[T]\r\nb=7\r\n"},
        {"text after '=' replaced", "a=junk\r\nb=99\r\n", "a=-40\r\nb=7\r\n"},
        {"last line without '='", "a=\r\n[End]\r\n", "a=-40\r\n[End]\r\n=7\r\n"},
        {"no final line end", "a=\r\nb=", "a=-40\r\nb=7\r\n"},
    };
    for (const TemplateCase& c : cases) EXPECT_EQ(FormatSettings(c.templateBytes, s), c.expected) << c.name;
}

TEST(FormatSettings, KeysBeyondTheRecordGetNoValue) {
    std::string keys;
    for (int n = 1; n <= 37; ++n) keys += "k" + std::to_string(n) + "=\r\n";
    const std::string out = FormatSettings(keys, Settings{});
    EXPECT_NE(out.find("k35=-2000\r\nk36=\r\nk37=\r\n"), std::string::npos) << out;
}

TEST(FormatSettings, TextHoldingALineEndIsWrittenEmptySoLaterSettingsStayInPlace) {
    Settings s;
    s.lastTrackFolder = "/a\nb/";
    s.lastListFile = "/l.tsr";
    Settings back;
    ParseSettings(FormatSettings(ReadSource("res/KORU.sys"), s), back, 1024, 768);
    EXPECT_EQ(back.lastTrackFolder, "");
    EXPECT_EQ(back.lastListFile, "/l.tsr");
    EXPECT_EQ(back.editorX, 10);
}

class SettingsFolder : public ::testing::Test {
protected:
    void ShipTemplate() { folder.Write("KORU.sys", ReadSource("res/KORU.sys")); }
    TempFolder folder;
};

TEST_F(SettingsFolder, DefaultsFromTheShippedTemplateMatchTheGoldenFile) {
    ShipTemplate();
    ASSERT_TRUE(SaveSettings(folder.path(), Settings{}));
    const std::string written = folder.Read("KORU.CFG");
    EXPECT_EQ(written, ReadSource("tests/settings/golden/KORU.CFG.defaults"));
    EXPECT_EQ(written.substr(0, 35), "[WindowPoint]\r\nx=0\r\ny=0\r\nMovieX=0\r\n");
}

TEST_F(SettingsFolder, StartWithoutConfigCreatesItWithTheDefaults) {
    ShipTemplate();
    Settings s;
    EXPECT_FALSE(LoadOrCreateSettings(folder.path(), s, 1024, 768));
    EXPECT_EQ(folder.Read("KORU.CFG"), ReadSource("tests/settings/golden/KORU.CFG.defaults"));
}

TEST_F(SettingsFolder, StartWithConfigLoadsItAndLeavesItAlone) {
    ShipTemplate();
    const std::string config = ConfigWith({{1, "33"}, {15, "1"}});
    folder.Write("KORU.CFG", config);
    Settings s;
    EXPECT_TRUE(LoadOrCreateSettings(folder.path(), s, 1024, 768));
    EXPECT_EQ(s.mainX, 33);
    EXPECT_EQ(s.shuffle, 1);
    EXPECT_EQ(folder.Read("KORU.CFG"), config);
}

TEST_F(SettingsFolder, LongPathsSurviveASaveAndLoad) {
    ShipTemplate();
    Settings s;
    s.lastTrackFolder = "/" + std::string(2998, 'f') + "/";
    s.lastListFile = "/リスト/" + std::string(3000, 'l') + ".tsr";
    s.backgroundFile = std::string(3000, 'b') + ".bmp";
    s.mainX = -40;
    s.videoY = 64000;
    s.keepVideoSize = 1;
    s.videoSizeMode = 2;
    s.fullScreenFit = 5;
    s.searchSpeed[3] = 0;
    ASSERT_TRUE(SaveSettings(folder.path(), s));
    Settings back;
    ASSERT_TRUE(LoadSettings(folder.path(), back, 1024, 768));
    EXPECT_EQ(Dump(back), Dump(s));
}

TEST_F(SettingsFolder, MissingOrEmptyTemplateWritesNothing) {
    Settings s;
    EXPECT_FALSE(SaveSettings(folder.path(), s));
    EXPECT_EQ(folder.Read("KORU.CFG"), "<missing>");

    folder.Write("KORU.CFG", "old");
    EXPECT_FALSE(SaveSettings(folder.path(), s));
    EXPECT_EQ(folder.Read("KORU.CFG"), "old");

    folder.Write("KORU.sys", "[WindowPoint]\r\n");
    EXPECT_FALSE(SaveSettings(folder.path(), s));
    EXPECT_EQ(folder.Read("KORU.CFG"), "old");
}

TEST_F(SettingsFolder, UnwritableFolderKeepsTheOldFile) {
    ShipTemplate();
    folder.Write("KORU.CFG", "old");
    Settings s;
    // A folder that does not exist cannot take the temporary file.
    EXPECT_FALSE(SaveSettings(folder.path() + "gone/", s));
    EXPECT_EQ(folder.Read("KORU.CFG"), "old");
}

TEST_F(SettingsFolder, UnreadableConfigKeepsTheRecord) {
    Settings s;
    s.mainX = 12;
    EXPECT_FALSE(LoadSettings(folder.path(), s, 1024, 768));
    ASSERT_EQ(::mkdir((folder.path() + "KORU.CFG").c_str(), 0755), 0);
    EXPECT_FALSE(LoadSettings(folder.path(), s, 1024, 768));
    EXPECT_EQ(s.mainX, 12);
}

std::string CurrentFolder() {
    char* cwd = ::getcwd(nullptr, 0);
    std::string result = cwd != nullptr ? cwd : "";
    std::free(cwd);
    return result;
}

TEST_F(SettingsFolder, RestoreWorkingFolderGoesToTheDeepestExistingFolder) {
    const std::string root = std::filesystem::canonical(folder.path()).string();
    std::filesystem::create_directories(root + "/a/b");
    struct Case {
        std::string lastTrackFolder;
        std::string expected;  // empty: the current folder does not change
    };
    const std::vector<Case> cases = {
        {root + "/a/b/", root + "/a/b"},
        {root + "/a/b/deleted/", root + "/a/b"},
        {root + "/a/gone/deeper/", root + "/a"},
        {root + "/a", root + "/a"},
        {"", ""},
        {"relative/folder/", ""},
    };
    for (const Case& c : cases) {
        CurrentFolderGuard guard;
        ASSERT_EQ(::chdir("/"), 0);
        Settings s;
        s.lastTrackFolder = c.lastTrackFolder;
        EXPECT_EQ(RestoreWorkingFolder(s), !c.expected.empty()) << c.lastTrackFolder;
        EXPECT_EQ(CurrentFolder(), c.expected.empty() ? "/" : c.expected) << c.lastTrackFolder;
    }
}

}  // namespace
