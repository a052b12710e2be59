// The loudness mode's own file beside KORU.vol: each word read back, anything else the default; a save read back by
// the next start; a save that cannot be written says so and leaves nothing behind.
#include <gtest/gtest.h>
#include <string>
#include "settings/GainModeFile.h"
#include "state/Settings.h"
#include "tests/support/TestSupport.h"

namespace {
TEST(GainModeFileTest, EachWordReadsBackAnythingElseIsTheDefault) {
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
        Settings settings;
        settings.gainMode = 2;
        EXPECT_EQ(std::pair(LoadGainMode(home.path(), settings), settings.gainMode), std::pair(c.named, c.mode))
            << (c.bytes ? c.bytes : "no file");
    }
}

TEST(GainModeFileTest, WhatIsSavedIsReadAfterARestart) {
    const TempFolder home;
    for (const int mode : {1, 3, 2, 0}) {
        Settings before, after;  // this run, the next
        before.gainMode = mode;
        ASSERT_TRUE(SaveGainMode(home.path(), before) && LoadGainMode(home.path(), after));
        EXPECT_EQ(after.gainMode, mode);
    }
    EXPECT_EQ(home.Read(kGainModeFileName), "auto\n");
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(SaveGainMode(home.path() + "gone/", Settings{}));
    EXPECT_NE(::testing::internal::GetCapturedStderr().find("loudness mode could not be saved"), std::string::npos);
}
}  // namespace
