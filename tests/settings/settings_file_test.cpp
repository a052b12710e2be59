#include "settings/SettingsFile.h"
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <functional>
#include <map>
#include <vector>
#include "platform/Files.h"
#include "platform/Paths.h"
#include "settings/GainModeFile.h"
#include "tests/support/TestSupport.h"

namespace {
using namespace std::string_literals;
std::string ReadSource(const std::string& path) { return ReadWholeFile(VELKAF_SOURCE_DIR "/" + path).value_or(""); }

// The values of a freshly created "KORU.CFG", setting 1 first.
const std::vector<std::string> kDefaultValues = {
    "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "1", "", "",
    "10", "10", "200", "320", "0", "1", "4", "1", "", "2000", "-2000", "34", "-34", "34", "-34", "2000", "-2000"};

// A configuration file of the defaults except `values` (setting number -> text), one key line
// per setting after a section header, lines ended by `lineEnd`.
std::string Cfg(const std::map<int, std::string>& values, const std::string& lineEnd = "\r\n") {
    std::string out = "[Section]" + lineEnd;
    for (int n = 1; n <= kSettingCount; ++n)
        out += "Key" + std::to_string(n) + "=" + (values.contains(n) ? values.at(n) : kDefaultValues[n - 1]) + lineEnd;
    return out;
}

// Every setting as "n=value" lines: compares whole records with a readable diff.
std::string Dump(const Settings& s) {
    std::string numbered;
    for (int n = 1; n <= kSettingCount; ++n) numbered += std::to_string(n) + "=\n";
    return FormatSettings(numbered, s);
}

TEST(ParseSettings, StoringRulesFallbacksAndFileShapesOnA1024x768Screen) {
    const std::string longPath = "/" + std::string(kPathLimit - 2, 'p'), tooLong = longPath + "p";
    const auto none = [](Settings&) {};
    const auto xy = [](int x, int y) { return [=](Settings& s) { s.mainX = x; s.mainY = y; }; };
    const std::vector<std::tuple<const char*, std::string, std::function<void(Settings&)>>> cases = {
        {"defaults", Cfg({}), none},
        {"x past the width resets both", Cfg({{1, "5000"}, {2, "300"}}), none},
        {"y equal to the height resets both", Cfg({{1, "40"}, {2, "768"}}), none},
        {"left of the screen passes", Cfg({{1, "-40"}, {2, "767"}}), xy(-40, 767)},
        {"64000 and more pass", Cfg({{1, "64000"}, {2, "99999"}}), xy(64000, 99999)},
        {"63999 fails", Cfg({{1, "63999"}, {2, "5"}}), none},
        {"video fallback", Cfg({{3, "12"}, {4, "9000"}}), [](auto& s) { s.videoY = 92; }},
        {"video accepted", Cfg({{3, "-5"}, {4, "600"}}), [](auto& s) { s.videoX = -5; s.videoY = 600; }},
        {"editor fallback keeps size", Cfg({{19, "5"}, {20, "9000"}, {21, "250"}, {22, "400"}}),
         [](auto& s) { s.editorX = 10; s.editorY = 100; s.editorWidth = 250; s.editorHeight = 400; }},
        {"not a number reads 0", Cfg({{1, "abc"}, {2, "-3"}, {5, "  +7tail"}, {6, "-12 3"}, {16, "0"}}),
         [](auto& s) { s.mainY = -3; s.wheelModePlaying = 7; s.wheelModePaused = -12; s.repeat = 0; }},
        {"size modes need keepVideoSize", Cfg({{23, "0"}, {24, "2"}, {25, "5"}}), none},
        {"size modes kept with it", Cfg({{23, "1"}, {24, "2"}, {25, "5"}}),
         [](auto& s) { s.keepVideoSize = 1; s.videoSizeMode = 2; s.fullScreenFit = 5; }},
        {"one empty speed resets all eight", Cfg({{28, "100"}, {29, "-100"}, {33, ""}}), none},
        {"speeds untested", Cfg({{28, "0"}, {35, "-1"}}), [](auto& s) { s.searchSpeed[0] = 0; s.searchSpeed[7] = -1; }},
        {"texts as bytes, '=' included", Cfg({{17, "/a=b/"}, {18, " /x.tsr "}, {27, "\x89\xb9.bmp"}}),
         [](auto& s) { s.lastTrackFolder = "/a=b/"; s.lastListFile = " /x.tsr "; s.backgroundFile = "\x89\xb9.bmp"; }},
        {"a text too long for a path is empty", Cfg({{17, longPath}, {18, tooLong}, {27, std::string(10000000, 'b')}}),
         [&](auto& s) { s.lastTrackFolder = longPath; }},
        {"LF only", Cfg({{1, "-7"}, {35, "-9"}}, "\n"), [](auto& s) { s.mainX = -7; s.searchSpeed[7] = -9; }},
        {"CR only", Cfg({{2, "11"}, {27, "b.bmp"}}, "\r"), [](auto& s) { s.mainY = 11; s.backgroundFile = "b.bmp"; }},
        {"any headers and keys", "\xff junk\r\n\r\n[日本語]\r\nx=5\r\n;;\r\nanything=6\r\n", xy(5, 6)},
        {"fewer '=' keep the rest", "a=3\r\nb=4\r\njunk", xy(3, 4)},
        {"more '=' are ignored", Cfg({{35, "-1"}}) + "Extra=5\r\n", [](auto& s) { s.searchSpeed[7] = -1; }},
        {"'=' last byte", "x=", none},
    };
    for (const auto& [name, bytes, expect] : cases) {
        Settings actual, expected;
        ParseSettings(bytes, actual, 1024, 768);
        expect(expected);
        EXPECT_EQ(Dump(actual), Dump(expected)) << name;
    }
}

TEST(FormatSettings, TemplateShapes) {
    Settings s;
    s.mainX = -40; s.mainY = 7; s.videoX = 3;
    s.lastTrackFolder = "/a\nb/";  // a line end would shift every later setting: written empty
    std::string beyond;
    for (int n = 1; n <= 37; ++n) beyond += "k" + std::to_string(n) + "=\r\n";
    const std::pair<std::string, std::string> cases[] = {
        {"a=\r\nb=\r\n", "a=-40\r\nb=7\r\n"}, {"a=\nb=\n", "a=-40\r\nb=7\r\n"},
        {"[S]\r\n\r\na =\r\n[T]\r\nb=\r\n", "[S]\r\n\r\na =-40\r\n[T]\r\nb=7\r\n"},
        {"a=junk\r\nb=99\r\nc=\r", "a=-40\r\nb=7\r\nc=3\r\n"}, {"a=\r\n[End]\r\n", "a=-40\r\n[End]\r\n=7\r\n"},
        {"a=\r\nb=", "a=-40\r\nb=7\r\n"}};
    for (const auto& [bytes, expected] : cases) EXPECT_EQ(FormatSettings(bytes, s), expected) << bytes;
    const std::string out = FormatSettings(beyond, s);
    EXPECT_NE(out.find("k16=1\r\nk17=\r\nk18=\r\n"), std::string::npos) << out;
    EXPECT_NE(out.find("k35=-2000\r\nk36=\r\nk37=\r\n"), std::string::npos) << out;
}

// With the shipped template: a start creates only a missing file, reads one that is there (names written on the old
// platform found by their decoding) and never touches an unreadable one; long values and names survive a save and load.
TEST(SettingsFolderTest, StartCreatesOnlyAMissingFileLeavesAnUnreadableOneAndASaveKeepsLongValuesAndNames) {
    TempFolder folder;
    folder.Write("KORU.sys", ReadSource("res/KORU.sys"));
    Settings s, back;
    EXPECT_EQ(LoadOrCreateSettings(folder.path(), s, 1024, 768), SettingsAtStart::Missing);
    EXPECT_EQ(folder.Read("KORU.CFG"), ReadSource("tests/settings/golden/KORU.CFG.defaults"));
    const std::string cp932 = "\x89\xb9\x8a\x79", latin1 = "caf\xe9";  // 音楽, café
    for (const std::string& n : {cp932 + "/x", "音楽/x"s, "bg/" + latin1 + ".bmp", "曲/x"s}) folder.Write(n, "");
    s.lastTrackFolder = folder.path() + cp932 + "/";  // the raw name exists: kept, though its decoding does too
    s.lastListFile = "/リスト/" + std::string(3000, 'l') + ".tsr";
    s.backgroundFile = latin1 + ".bmp";
    s.mainX = -40; s.videoY = 64000; s.keepVideoSize = 1; s.fullScreenFit = 5; s.searchSpeed[3] = 0;
    ASSERT_TRUE(SaveSettings(folder.path(), s));
    ASSERT_TRUE(LoadSettings(folder.path(), back, 1024, 768));
    EXPECT_EQ(Dump(back), Dump(s));
    // Written on the old platform: only the decoded name exists.
    const std::string config = Cfg({{1, "33"}, {15, "1"}, {17, folder.path() + "\x8b\xc8/"}, {18, "/\x89\xb9"}});
    folder.Write("KORU.CFG", config);
    EXPECT_EQ(LoadOrCreateSettings(folder.path(), back, 1024, 768), SettingsAtStart::Loaded);
    EXPECT_EQ(std::pair(back.mainX, back.shuffle), std::pair(33, 1));
    EXPECT_EQ(back.lastTrackFolder + "|" + back.lastListFile, folder.path() + "曲/|/\x89\xb9");
    for (bool fifo : {true, false}) {
        TempFolder other;
        other.Write("KORU.sys", "x=\r\n");
        if (fifo) ASSERT_EQ(::mkfifo((other.path() + "KORU.CFG").c_str(), 0644), 0);
        else other.Write("KORU.CFG/inside", "kept");
        Settings d;
        const char* const what = fifo ? "a FIFO" : "a folder";
        EXPECT_EQ(LoadOrCreateSettings(other.path(), d, 1024, 768), SettingsAtStart::Unreadable) << what;
        EXPECT_EQ(Dump(d), Dump(Settings{})) << what;
    }
    // Saving needs a writable folder and a template with a key line; else the old file stays.
    EXPECT_FALSE(SaveSettings(folder.path() + "gone/", Settings{}));
    for (const char* templateBytes : {"", "[WindowPoint]\r\n", static_cast<const char*>(nullptr)}) {
        if (templateBytes != nullptr) folder.Write("KORU.sys", templateBytes);
        else ::unlink((folder.path() + "KORU.sys").c_str());
        EXPECT_FALSE(SaveSettings(folder.path(), Settings{})) << (templateBytes ? templateBytes : "no template");
    }
    EXPECT_EQ(folder.Read("KORU.CFG"), config);
}

// The loudness mode's own file beside KORU.vol: each word read back, anything else the default; what a save writes is
// read by the next start; a save that cannot be written says so.
TEST(GainModeFileTest, EachWordReadsBackAnythingElseIsTheDefaultAndASaveIsReadAfterARestart) {
    struct Case { const char* bytes; int mode; bool named; };  // bytes nullptr: no file
    const Case cases[] = {
        {.bytes = "auto\n", .mode = 0, .named = true},    {.bytes = "track\n", .mode = 1, .named = true},
        {.bytes = "album\r\n", .mode = 2, .named = true}, {.bytes = "off", .mode = 3, .named = true},
        {.bytes = nullptr, .mode = 0, .named = false},    {.bytes = "", .mode = 0, .named = false},
        {.bytes = "Track\n", .mode = 0, .named = false},  {.bytes = "off\n\n", .mode = 0, .named = false},
        {.bytes = "2\n", .mode = 0, .named = false},      {.bytes = " album", .mode = 0, .named = false},
    };
    for (const Case& c : cases) {
        const TempFolder home;
        if (c.bytes) home.Write(kGainModeFileName, c.bytes);
        Settings now, next;  // this run, the next
        now.gainMode = 2;
        const char* const what = c.bytes ? c.bytes : "no file";
        EXPECT_EQ(std::pair(LoadGainMode(home.path(), now), now.gainMode), std::pair(c.named, c.mode)) << what;
        ASSERT_TRUE(SaveGainMode(home.path(), now) && LoadGainMode(home.path(), next)) << what;
        EXPECT_EQ(next.gainMode, c.mode) << what;
        if (c.mode == 0) { EXPECT_EQ(home.Read(kGainModeFileName), "auto\n") << what; }
    }
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(SaveGainMode(TempFolder().path() + "gone/", Settings{}));
    EXPECT_NE(::testing::internal::GetCapturedStderr().find("loudness mode could not be saved"), std::string::npos);
}
}  // namespace
