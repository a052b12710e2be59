// The device shell: one reply line per command line, empty lines for empty replies; it ends
// in order however it is ended.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include <gtest/gtest.h>

#include "tests/device/TestMedia.h"
#include "tests/support/QtTestApp.h"

namespace {

// Runs the shell with a window on `input` from a pipe and reads `replies` bytes; with
// `signal` that is sent then, the input still open. `status` gets the exit status.
std::string RunShell(const std::string& input, size_t replies, int signal, int& status) {
    int in[2], out[2];
    if (::pipe(in) != 0 || ::pipe(out) != 0) return "<no pipe>";
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(in[0], 0), ::dup2(out[1], 1), ::close(in[1]), ::close(out[0]);
        ::execl(VELKAF_DEVICE_SHELL, VELKAF_DEVICE_SHELL, "--show", "--ao=null", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(in[0]), ::close(out[1]);
    if (::write(in[1], input.data(), input.size()) < 0 || signal == 0) ::close(in[1]);
    std::string text;
    char buf[4096];
    for (ssize_t n; text.size() < replies && (n = ::read(out[0], buf, sizeof buf)) > 0;) text.append(buf, n);
    if (signal != 0) ::kill(pid, signal);
    if (!WaitUntil([&] { return ::waitpid(pid, &status, WNOHANG) == pid; }, 10000)) ::kill(pid, SIGKILL), ::waitpid(pid, &status, 0);
    if (signal != 0) ::close(in[1]);
    return ::close(out[0]), text;
}

TEST(DeviceShellTest, OneReplyLinePerCommandAndAnOrderlyEnd) {
    TestApplication();
    const std::string input = OpenCommand(MediaPath("video.mpg")) + "\nstatus movie length\n"
                              "set movie time format frames\nstatus movie length\nbogus command\n"
                              "seek movie to 50\r\n"  // a line ending from elsewhere
                              "where movie destination\nstatus movie position\nstatus movie mode\nclose movie\n"
                              "status movie mode";  // no line end at the end of input
    const std::string replies = "\n4000\n\n100\n\n\n0 0 320 240\n50\nstopped\n\n\n";
    int status = -1;
    EXPECT_EQ(RunShell(input, replies.size(), 0, status), replies);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    // With the window up and the input still open, SIGTERM ends it at once and cleanly: the
    // line reader is stopped and joined before the event loop and the device go.
    EXPECT_EQ(RunShell(input, 6, SIGTERM, status).substr(0, 6), "\n4000\n");
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

}  // namespace
