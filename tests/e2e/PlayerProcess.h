#pragma once
#include <gtest/gtest.h>
#include <sys/types.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

// The real player binary run as a child process for end-to-end tests: its own program folder
// (VELKAF_HOME), the device log on (VELKAF_LOG=1 unless extraEnvironment sets VELKAF_LOG)
// with standard error captured to a file, headless by default. `asNobody` runs it as the
// user nobody, where file permissions matter (the tests run as root); see CanRunAsNobody.
class PlayerProcess {
public:
    // `extraEnvironment` ("NAME=value") is added last and replaces what it names.
    // `logName`: the file in `home` that takes its standard error (two players on one home).
    PlayerProcess(const std::string& home, const std::vector<std::string>& arguments,
                  const std::vector<std::string>& extraEnvironment = {}, bool asNobody = false,
                  const std::string& logName = "player.log");
    // True when this process may start a child as nobody (it runs as root and nobody exists).
    static bool CanRunAsNobody();
    ~PlayerProcess();  // kills the child if it still runs

    // Waits until the log holds `then` after the first `first` (true), or the timeout passes or
    // the child ends without it (false).
    bool WaitForLogAfter(const std::string& first, const std::string& then, std::chrono::milliseconds timeout);
    bool WaitForLog(const std::string& text, std::chrono::milliseconds timeout) { return WaitForLogAfter(text, "", timeout); }
    // Waits for the child to end; returns its exit status, or -1 on timeout.
    int WaitForExit(std::chrono::milliseconds timeout);
    void Signal(int signal);
    // SIGTERM, the orderly quit; then WaitForExit.
    int Quit(std::chrono::milliseconds timeout = std::chrono::seconds(20));
    // Waits until the child has its SIGTERM handler (from /proc), so a signal quits in order.
    bool WaitForQuitHandler(std::chrono::milliseconds timeout);
    std::string Log() const;
    pid_t pid() const { return pid_; }

private:
    pid_t pid_ = -1;
    std::string logPath_;
    bool reaped_ = false;
    int exitStatus_ = -1;
    bool Reap(int flags);
};

// Path of the built player (set by the build).
std::string PlayerBinary();
// Polls `condition` until it holds (true) or `bound` passes (false).
bool Eventually(const std::function<bool()>& condition, std::chrono::milliseconds bound = std::chrono::seconds(10));

// "KORU.CFG" as the player writes it on its first start, with `changes` ("Key=value" lines)
// in place of those keys' defaults.
std::string Configuration(const std::string& changes = "");
// Writes `entries` as the last playlist and Configuration(changes) as the settings of `home`.
void WriteStateFiles(const std::string& home, const std::vector<std::string>& entries, const std::string& changes);
// The names the device was asked to open, in order.
std::vector<std::string> Opens(const std::string& log);
// How often `what` stands in `text`.
int CountOf(const std::string& text, const std::string& what);
// The log shows the device opening each of `names` in turn, each ending (mode "stopped")
// before the next opens, and the device closed after the last.
::testing::AssertionResult PlayedInOrder(const std::string& log, const std::vector<std::string>& names);

// A helper program of a test (Xvfb, a private session bus) that says on its first line of
// standard output where it listens; ended with the object. FirstLine is empty when it could
// not start.
class TestDaemon {
public:
    explicit TestDaemon(std::vector<std::string> argv);
    ~TestDaemon();
    TestDaemon(const TestDaemon&) = delete;
    TestDaemon& operator=(const TestDaemon&) = delete;
    const std::string& FirstLine() const { return firstLine_; }

private:
    pid_t pid_ = -1;
    std::string firstLine_;
};

// A virtual X display of the test's own; Name() is ":N", or empty when Xvfb cannot start.
class VirtualDisplay : public TestDaemon {
public:
    explicit VirtualDisplay(const std::string& size = "1024x768")
        : TestDaemon({"Xvfb", "-displayfd", "1", "-screen", "0", size + "x24", "-nolisten", "tcp"}) {}
    std::string Name() const { return FirstLine().empty() ? std::string() : ":" + FirstLine(); }
};

// The standard output of a shell command, without its last line end.
std::string ShellOutput(const std::string& command);

// A window manager (openbox) on `display`, so that windows are placed, raised and moved as on a
// desktop. Running() is false when it is not installed or took more than 10 s to take the screen.
class WindowManager {
public:
    explicit WindowManager(const std::string& display);
    ~WindowManager();
    WindowManager(const WindowManager&) = delete;
    WindowManager& operator=(const WindowManager&) = delete;
    bool Running() const { return running_; }

private:
    pid_t pid_ = -1;
    bool running_ = false;
};
