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

TEST(DeviceCommandTest, EveryCommandThePlayerSends) {
    struct Case {
        std::string text;
        DeviceCommand expected;
    };
    auto make = [](DeviceVerb verb, auto&& fill) {
        DeviceCommand c;
        c.verb = verb;
        c.alias = "movie";
        fill(c);
        return c;
    };
    auto none = [](DeviceCommand&) {};
    const Case cases[] = {
        {"open \"clip one.mpg\" type mpegvideo alias movie",
         make(DeviceVerb::Open, [](DeviceCommand& c) { c.path = "clip one.mpg"; })},
        {"open \"/a/\xe6\x97\xa5\xe6\x9c\xac.mp3\" type mpegvideo alias movie",
         make(DeviceVerb::Open, [](DeviceCommand& c) { c.path = "/a/\xe6\x97\xa5\xe6\x9c\xac.mp3"; })},
        {"close movie", make(DeviceVerb::Close, none)},
        {"stop movie", make(DeviceVerb::Stop, none)},
        {"play movie", make(DeviceVerb::Play, none)},
        {"play movie from 0", make(DeviceVerb::Play, [](DeviceCommand& c) { c.hasFrom = true; })},
        {"play movie from 12345", make(DeviceVerb::Play, [](DeviceCommand& c) { c.hasFrom = true; c.from = 12345; })},
        {"pause movie", make(DeviceVerb::Pause, none)},
        {"seek movie to 250", make(DeviceVerb::Seek, [](DeviceCommand& c) { c.to = 250; })},
        {"seek movie to -3", make(DeviceVerb::Seek, [](DeviceCommand& c) { c.to = -3; })},
        {"seek movie to start", make(DeviceVerb::Seek, [](DeviceCommand& c) { c.seekTarget = SeekTarget::Start; })},
        {"status movie position", make(DeviceVerb::Status, [](DeviceCommand& c) { c.item = StatusItem::Position; })},
        {"status movie length", make(DeviceVerb::Status, [](DeviceCommand& c) { c.item = StatusItem::Length; })},
        {"status movie mode", make(DeviceVerb::Status, [](DeviceCommand& c) { c.item = StatusItem::Mode; })},
        {"status movie time format", make(DeviceVerb::Status, [](DeviceCommand& c) { c.item = StatusItem::TimeFormat; })},
        {"set movie time format milliseconds", make(DeviceVerb::Set, none)},
        {"set movie time format frames", make(DeviceVerb::Set, [](DeviceCommand& c) { c.format = TimeFormat::Frames; })},
        {"window movie handle 83886082", make(DeviceVerb::Window, [](DeviceCommand& c) { c.handle = 83886082; })},
        {"window movie handle default", make(DeviceVerb::Window, [](DeviceCommand& c) { c.defaultWindow = true; })},
        {"window movie handle default state minimized",
         make(DeviceVerb::Window, [](DeviceCommand& c) { c.defaultWindow = true; c.minimized = true; })},
        {"where movie destination", make(DeviceVerb::Where, none)},
        {"put movie destination at 0 20 1024 768",
         make(DeviceVerb::Put, [](DeviceCommand& c) { c.hasRect = true; c.rect = {0, 20, 1024, 768}; })},
        {"put movie destination at -5 -7 0 0",
         make(DeviceVerb::Put, [](DeviceCommand& c) { c.hasRect = true; c.rect = {-5, -7, 0, 0}; })},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(Parse(c.text), c.expected);
        // The canonical text means the same.
        EXPECT_EQ(Parse(FormatDeviceCommand(c.expected)), c.expected);
    }
}

TEST(DeviceCommandTest, OpenWordsAndAliases) {
    struct Case {
        const char* text;
        const char* path;
        const char* alias;
    };
    const Case cases[] = {
        {"open clip.mpg alias movie", "clip.mpg", "movie"},
        {"open clip.mpg", "clip.mpg", "clip.mpg"},  // the path is the alias
        {"open \"a b.mpg\" alias m type mpegvideo", "a b.mpg", "m"},
        {"OPEN \"x.wav\" TYPE MPEGVideo ALIAS Movie", "x.wav", "Movie"},
        {"open \"type\" alias alias", "type", "alias"},
        {"\t open   \"x.mpg\"\ttype mpegvideo   alias movie  ", "x.mpg", "movie"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const DeviceCommand cmd = Parse(c.text);
        EXPECT_EQ(cmd.verb, DeviceVerb::Open);
        EXPECT_EQ(cmd.path, c.path);
        EXPECT_EQ(cmd.alias, c.alias);
    }
}

TEST(DeviceCommandTest, MalformedCommandsAreRefused) {
    const std::string cases[] = {
        "",
        " \t ",
        "movie",
        "open",
        "open \"\" alias movie",
        "open \"x.mpg alias movie",
        "open \"x.mpg\"alias movie",
        "open x\"y.mpg alias movie",
        "open x.mpg type cdaudio alias movie",
        "open x.mpg alias",
        "open x.mpg alias a alias b",
        "open x.mpg type mpegvideo type mpegvideo",
        "open x.mpg shareable",
        "close",
        "close movie now",
        "close \"movie\"",
        "play movie from",
        "play movie from 2147483648",
        "play movie from -2147483649",
        "play movie from 1e3",
        "play movie from 0x10",
        "play movie from +-1",
        "play movie from --1",
        "play movie to 5",
        "seek movie 5",
        "seek movie to",
        "seek movie to middle",
        "status movie",
        "status movie time",
        "status movie format",
        "status movie ready",
        "set movie time format",
        "set movie time format smpte 30",
        "set movie audio all off",
        "window movie",
        "window movie handle",
        "window movie handle 5 state minimized",
        "window movie handle default state hide",
        "window movie text caption",
        "where movie",
        "where movie destination max",
        "put movie destination at",
        "put movie destination at 1 2 3",
        "put movie destination at 1 2 3 4 5",
        "put movie destination at 1 2 -3 4",
        "put movie destination at 1 2 3 -4",
        "put movie window at 1 2 3 4",
        "status movie mode\n",
        "status movie\rmode",
        std::string("status movie mode\0", 18),
        "capability movie can play",
        std::string(kMaxCommandLength + 1, 'a'),
    };
    for (const std::string& text : cases) {
        SCOPED_TRACE(text);
        const ParsedCommand p = ParseDeviceCommand(text);
        EXPECT_FALSE(p.command.has_value());
        EXPECT_FALSE(p.error.empty());
    }
}

TEST(DeviceCommandTest, NumbersAtTheLimits) {
    EXPECT_EQ(Parse("seek movie to 2147483647").to, 2147483647);
    EXPECT_EQ(Parse("seek movie to -2147483648").to, -2147483647 - 1);
    EXPECT_EQ(Parse("seek movie to +7").to, 7);
    EXPECT_EQ(Parse("seek movie to 007").to, 7);
}

TEST(DeviceCommandTest, LongPathsAreKeptWhole) {
    const std::string path = "/" + std::string(4095, 'x');
    const DeviceCommand c = Parse("open \"" + path + "\" type mpegvideo alias movie");
    EXPECT_EQ(c.path, path);
}

}  // namespace
