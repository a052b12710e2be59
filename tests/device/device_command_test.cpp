// The device's command language: what the player writes parses to what it means; anything
// else is refused with a reason.
#include <string>

#include <gtest/gtest.h>

#include "device/DeviceCommand.h"

namespace {

DeviceCommand Parse(const std::string& text) {
    ParsedCommand p = ParseDeviceCommand(text);
    EXPECT_TRUE(p.command.has_value()) << text << ": " << p.error;
    return p.command.value_or(DeviceCommand{});
}

// Each command as the player writes it, and other spellings, read back in canonical form.
TEST(DeviceCommandTest, EveryCommandThePlayerSends) {
    const std::pair<std::string, std::string> cases[] = {  // text, canonical ("": the same)
        {"open \"/a/\xe6\x97\xa5 b.mp3\" type mpegvideo alias movie", ""}, {"close movie", ""}, {"stop movie", ""},
        {"play movie", ""}, {"play movie from 12345", ""}, {"pause movie", ""}, {"seek movie to -3", ""},
        {"seek movie to start", ""}, {"seek movie to end", ""}, {"status movie position", ""}, {"status movie length", ""},
        {"status movie mode", ""}, {"status movie time format", ""}, {"set movie time format milliseconds", ""},
        {"set movie time format frames", ""}, {"window movie handle 83886082", ""}, {"window movie handle default", ""},
        {"window movie handle default state minimized", ""}, {"where movie destination", ""}, {"put movie destination", ""},
        {"put movie destination at -5 20 0 0", ""}, {"seek movie to 2147483647", ""}, {"seek movie to -2147483648", ""},
        {"SEEK  movie\tTO +007", "seek movie to 7"}, {"set movie time format ms", "set movie time format milliseconds"},
        {"open clip.mpg", "open \"clip.mpg\" type mpegvideo"},  // the path is the alias
        {"OPEN \"a b.mpg\" ALIAS M TYPE MPEGVideo", "open \"a b.mpg\" type mpegvideo alias M"},
        {"\t open   \"x\"y\"\ttype mpegvideo   alias movie  ", "open \"x\"y\" type mpegvideo alias movie"},
        {"cue movie next \"/m/a \"b\".flac\"", ""}, {"cue movie next", ""}, {"CUE movie NEXT b.flac", "cue movie next \"b.flac\""},
    };
    for (const auto& [text, canonical] : cases) {
        const DeviceCommand c = Parse(text);
        EXPECT_EQ(FormatDeviceCommand(c), canonical.empty() ? text : canonical);
        EXPECT_EQ(Parse(FormatDeviceCommand(c)), c) << text;
    }
}

TEST(DeviceCommandTest, MalformedCommandsAreRefused) {
    const std::string cases[] = {
        "", " \t ", "movie", "open", "open \"\" alias movie", "open \"x.mpg alias movie",
        "open \"x.mpg\"alias movie", "open x\"y.mpg alias movie", "open\"x.mpg\" alias movie",
        "open \"x.mpg\" type cdaudio alias movie", "open x.mpg alias", "open x.mpg alias a alias b",
        "open x.mpg type mpegvideo type mpegvideo", "open x.mpg shareable", "open \"x\" alias movie\n",
        std::string("open \"x") + '\0' + "y\" alias movie", "close", "close movie now", "close \"movie\"",
        "play movie from", "play movie from 2147483648", "play movie from -2147483649",
        "play movie from 1e3", "play movie from 0x10", "play movie from +-1", "play movie from --1",
        "play movie to 5", "seek movie 5", "seek movie to", "seek movie to middle", "status movie",
        "status movie time", "status movie ready", "set movie time format", "set movie time format smpte 30",
        "set movie audio all off", "window movie handle", "window movie handle 5 state minimized",
        "window movie handle default state hide", "window movie text caption", "where movie",
        "where movie destination max", "put movie destination at 1 2 3", "put movie destination at 1 2 3 4 5",
        "put movie destination at 1 2 -3 4", "put movie destination at 1 2 3 -4", "put movie window at 1 2 3 4",
        "status movie mode\n", "status movie\rmode", std::string("status movie mode\0", 18),
        "capability movie can play", "cue movie", "cue movie after \"x\"", "cue movie next \"\"",
        "cue movie next \"x\" now", "cue movie next a b", "cue \"x\"", "cue movie next \"x\"y", std::string(kMaxCommandLength + 1, 'a'),
    };
    for (const std::string& text : cases) {
        const ParsedCommand p = ParseDeviceCommand(text);
        EXPECT_FALSE(p.command.has_value()) << text;
        EXPECT_FALSE(p.error.empty()) << text;
    }
    EXPECT_EQ(Parse("open \"" + std::string(kMaxCommandLength - 7, 'x') + "\"").path.size(), kMaxCommandLength - 7);
}

}  // namespace
