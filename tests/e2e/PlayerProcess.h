#pragma once
#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

// The real player binary run as a child process for end-to-end tests: its own program folder
// (VELKAF_HOME), the device log on (VELKAF_LOG=1 unless extraEnvironment sets VELKAF_LOG)
// with standard error captured to a file, headless by default. `asNobody` runs it as the
// user nobody, where file permissions matter (the tests run as root); see CanRunAsNobody.
class PlayerProcess {
public:
    // `extraEnvironment` ("NAME=value") is added last and replaces what it names.
    PlayerProcess(const std::string& home, const std::vector<std::string>& arguments,
                  const std::vector<std::string>& extraEnvironment = {}, bool asNobody = false);
    // True when this process may start a child as nobody (it runs as root and nobody exists).
    static bool CanRunAsNobody();
    ~PlayerProcess();  // kills the child if it still runs

    // Waits until the log holds `text` (true) or the timeout passes (false).
    bool WaitForLog(const std::string& text, std::chrono::milliseconds timeout);
    // Waits until the log holds `then` after the first `first` (true) or the timeout passes.
    bool WaitForLogAfter(const std::string& first, const std::string& then, std::chrono::milliseconds timeout);
    // Waits for the child to end; returns its exit status, or -1 on timeout.
    int WaitForExit(std::chrono::milliseconds timeout);
    void Signal(int signal);
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
