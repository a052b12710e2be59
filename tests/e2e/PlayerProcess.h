#pragma once
#include <gtest/gtest.h>
#include <sys/types.h>
#include <chrono>
#include <functional>
#include <string>
#include <vector>
#include "tests/device/TestMedia.h"      // the tests' generated media
#include "tests/support/TestSupport.h"  // and temporary folders
using namespace std::chrono_literals;  // NOLINT: the tests' waits read as 20s, 300ms

// The real player as a child process: program folder `home`, the device log on with standard error
// in `home` + `logName`, headless and off the session bus unless `extraEnvironment` ("NAME=value",
// replacing what it names) says otherwise; `asNobody`: as the user nobody, where permissions matter.
class PlayerProcess {
public:
    PlayerProcess(const std::string& home, const std::vector<std::string>& arguments,
                  const std::vector<std::string>& extraEnvironment = {}, bool asNobody = false,
                  const std::string& logName = "player.log");
    static bool CanRunAsNobody();  // this process runs as root and nobody exists
    ~PlayerProcess();  // kills the child if it still runs
    // Whether the log holds `then` after the first `first` before the timeout or the child's end.
    bool WaitForLogAfter(const std::string& first, const std::string& then, std::chrono::milliseconds timeout);
    bool WaitForLog(const std::string& t, std::chrono::milliseconds timeout) { return WaitForLogAfter(t, "", timeout); }
    int WaitForExit(std::chrono::milliseconds timeout);  // the exit status (128 + signal if killed), -1: timeout
    void Signal(int signal);
    int Quit(std::chrono::milliseconds timeout = 20s);  // SIGTERM, then WaitForExit
    bool WaitForQuitHandler(std::chrono::milliseconds timeout);  // its SIGTERM handler is set: a signal quits in order
    std::string Log() const;
    pid_t pid() const { return m_pid; }
private:
    pid_t m_pid = -1; int m_exitStatus = -1; bool m_reaped = false; std::string m_logPath;
    bool Reap(int flags);
};

std::string PlayerBinary();  // set by the build
// Polls `condition` every `step` until it holds (true) or `bound` passes (false).
bool Eventually(const std::function<bool()>& condition, std::chrono::milliseconds bound = 10s,
                std::chrono::microseconds step = 50ms);
std::string ShellOutput(const std::string& command);  // its standard output, without the last line end
// The first of `tools` not installed ("python3-NAME": Debian's python3 cannot import NAME), or "".
std::string MissingTool(const std::vector<std::string>& tools);
#define SKIP_WITHOUT(...) \
    if (const std::string missing = MissingTool({__VA_ARGS__}); !missing.empty()) GTEST_SKIP() << missing << " missing"

// "KORU.CFG" as the player writes it on its first start, `changes` ("Key=value" lines) in place of those keys'.
std::string Configuration(const std::string& changes = "");
// Writes `entries` as the last playlist and Configuration(changes) as the settings of `home`.
void WriteStateFiles(const std::string& home, const std::vector<std::string>& entries, const std::string& changes);
int CountOf(const std::string& text, const std::string& what);  // how often `what` stands in `text`

// A helper program in a session of its own, `env` added to ours, ended with the object (SIGTERM, SIGKILL after 5 s).
// When `announces`, its first output line says where it listens (FirstLine, "" if it failed); else output is dropped.
class TestDaemon {
public:
    explicit TestDaemon(std::vector<std::string> argv, const std::vector<std::string>& env = {}, bool announces = true);
    ~TestDaemon();
    TestDaemon(const TestDaemon&) = delete; TestDaemon& operator=(const TestDaemon&) = delete;
    const std::string& FirstLine() const { return m_firstLine; }
private:
    pid_t m_pid = -1; std::string m_firstLine;
};

// A private session bus; Environment() is the address for a client's environment.
struct SessionBus : TestDaemon {
    explicit SessionBus(const std::vector<std::string>& env = {})
        : TestDaemon({"dbus-daemon", "--session", "--nofork", "--nopidfile", "--print-address=1"}, env) {}
    std::string Environment() const { return "DBUS_SESSION_BUS_ADDRESS=" + FirstLine(); }
    // The output of a shell command `c` (playerctl...) run as a client of this bus, bounded at 20 s.
    std::string Run(const std::string& c) const { return ShellOutput("env '" + Environment() + "' timeout 20 " + c); }
};

// A virtual X display of the test's own; Name() is ":N", or empty when Xvfb cannot start.
struct VirtualDisplay : TestDaemon {
    explicit VirtualDisplay(const std::string& size = "1024x768")
        : TestDaemon({"Xvfb", "-displayfd", "1", "-screen", "0", size + "x24", "-nolisten", "tcp"}) {}
    std::string Name() const { return FirstLine().empty() ? std::string() : ":" + FirstLine(); }
    // What a player needs to show its windows here, and `more`.
    std::vector<std::string> Environment(std::vector<std::string> more = {}) const {
        more.insert(more.begin(), {"DISPLAY=" + Name(), "QT_QPA_PLATFORM=xcb"});
        return more;
    }
    // The output of a shell command `c` (xdotool, xprop...) run on this display, bounded at 20 s.
    std::string Run(const std::string& c) const { return ShellOutput("DISPLAY=" + Name() + " timeout 20 " + c); }
    std::string Window(pid_t pid) const {  // the id of the first visible window of `pid`, once there is one
        const std::string ids = Run("xdotool search --sync --onlyvisible --pid " + std::to_string(pid));
        return ids.substr(0, ids.find('\n'));
    }
};
