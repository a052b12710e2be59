// The device shell: one reply line per command line, empty lines for empty replies.
#include <cstdio>
#include <string>

#include <gtest/gtest.h>

#include "tests/device/TestMedia.h"
#include "tests/support/TestSupport.h"

namespace {

std::string RunShell(const std::string& input) {
    TempFolder folder;
    const std::string commands = folder.Write("commands.txt", input);
    const std::string command = std::string("'") + VELKAF_DEVICE_SHELL + "' --ao=null < '" + commands + "' 2>/dev/null";
    FILE* out = ::popen(command.c_str(), "r");
    if (out == nullptr) return "<no shell>";
    std::string text;
    char buf[4096];
    size_t n = 0;
    while ((n = std::fread(buf, 1, sizeof buf, out)) > 0) text.append(buf, n);
    ::pclose(out);
    return text;
}

TEST(DeviceShellTest, OneReplyLinePerCommand) {
    const std::string input = "open \"" + MediaPath("video.mpg") + "\" type mpegvideo alias movie\n"
                              "status movie length\n"
                              "set movie time format frames\n"
                              "status movie length\n"
                              "bogus command\n"
                              "seek movie to 50\r\n"  // a line ending from elsewhere
                              "where movie destination\n"
                              "status movie position\n"
                              "status movie mode\n"
                              "close movie\n"
                              "status movie mode";  // no line end at the end of input
    EXPECT_EQ(RunShell(input), "\n4000\n\n100\n\n\n0 0 320 240\n50\nstopped\n\n\n");
}

}  // namespace
