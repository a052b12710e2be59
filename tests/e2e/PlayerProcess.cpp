#include "tests/e2e/PlayerProcess.h"

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

std::string PlayerBinary() { return VELKAF_PLAYER_BINARY; }

PlayerProcess::PlayerProcess(const std::string& home, const std::vector<std::string>& arguments,
                             const std::vector<std::string>& extraEnvironment, bool asNobody)
    : logPath_(home + "player.log") {
    // No session bus unless the test gives one: players of parallel tests never meet.
    std::vector<std::string> env = {"VELKAF_HOME=" + home, "VELKAF_LOG=1",
                                    "DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent/bus"};
    if (const char* platform = std::getenv("QT_QPA_PLATFORM")) env.push_back(std::string("QT_QPA_PLATFORM=") + platform);
    else env.push_back("QT_QPA_PLATFORM=offscreen");
    // Nobody has no home of its own, and root's runtime folder is not for it.
    if (asNobody) env.push_back("HOME=" + home);
    for (std::string keep : {"PATH", "HOME", "DISPLAY", "XDG_RUNTIME_DIR", "ASAN_OPTIONS"}) {
        if (asNobody && (keep == "HOME" || keep == "XDG_RUNTIME_DIR")) continue;
        if (const char* v = std::getenv(keep.c_str())) env.push_back(keep + "=" + v);
    }
    // The test's own values replace the defaults of the same name.
    for (const std::string& extra : extraEnvironment) {
        const std::string name = extra.substr(0, extra.find('=') + 1);
        std::erase_if(env, [&](const std::string& e) { return e.rfind(name, 0) == 0; });
        env.push_back(extra);
    }
    const passwd* nobody = asNobody ? ::getpwnam("nobody") : nullptr;

    std::vector<std::string> argv = {PlayerBinary()};
    argv.insert(argv.end(), arguments.begin(), arguments.end());

    // Emptied here, not in the child: a log left by an earlier run must never be read as this one's.
    ::close(::open(logPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644));
    pid_ = ::fork();
    if (pid_ == 0) {
        const int fd = ::open(logPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd >= 0) { ::dup2(fd, 2); ::dup2(fd, 1); ::close(fd); }
        if (asNobody && (nobody == nullptr || ::setgroups(0, nullptr) != 0 || ::setgid(nobody->pw_gid) != 0 ||
                         ::setuid(nobody->pw_uid) != 0))
            ::_exit(126);
        std::vector<char*> cargv, cenv;
        for (auto& a : argv) cargv.push_back(a.data());
        cargv.push_back(nullptr);
        for (auto& e : env) cenv.push_back(e.data());
        cenv.push_back(nullptr);
        ::execve(cargv[0], cargv.data(), cenv.data());
        ::_exit(127);
    }
}

PlayerProcess::~PlayerProcess() {
    if (pid_ > 0 && !reaped_) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
}

std::string PlayerProcess::Log() const {
    std::ifstream in(logPath_);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

bool PlayerProcess::WaitForLog(const std::string& text, std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < end) {
        if (Log().find(text) != std::string::npos) return true;
        if (Reap(WNOHANG)) return Log().find(text) != std::string::npos;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

bool PlayerProcess::WaitForLogAfter(const std::string& first, const std::string& then,
                                    std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        const std::string log = Log();
        const size_t at = log.find(first);
        if (at != std::string::npos && log.find(then, at) != std::string::npos) return true;
        if (std::chrono::steady_clock::now() >= end || Reap(WNOHANG)) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

bool PlayerProcess::Reap(int flags) {
    if (reaped_) return true;
    int status = 0;
    if (::waitpid(pid_, &status, flags) != pid_) return false;
    reaped_ = true;
    exitStatus_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return true;
}

int PlayerProcess::WaitForExit(std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!Reap(WNOHANG)) {
        if (std::chrono::steady_clock::now() >= end) return -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return exitStatus_;
}

bool PlayerProcess::CanRunAsNobody() { return ::geteuid() == 0 && ::getpwnam("nobody") != nullptr; }

bool PlayerProcess::WaitForQuitHandler(std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < end && !Reap(WNOHANG)) {
        std::ifstream status("/proc/" + std::to_string(pid_) + "/status");
        for (std::string line; std::getline(status, line);)
            if (line.starts_with("SigCgt:") && (std::stoull(line.substr(7), nullptr, 16) >> (SIGTERM - 1) & 1)) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

void PlayerProcess::Signal(int signal) {
    if (pid_ > 0 && !reaped_) ::kill(pid_, signal);
}

TestDaemon::TestDaemon(std::vector<std::string> argv) {
    int fds[2];
    if (::pipe(fds) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
        ::setsid();
        ::dup2(fds[1], 1);
        ::close(fds[0]);
        ::close(fds[1]);
        std::vector<char*> args;
        for (auto& a : argv) args.push_back(a.data());
        args.push_back(nullptr);
        ::execvp(args[0], args.data());
        ::_exit(127);
    }
    ::close(fds[1]);
    // The first line comes once the daemon accepts connections; end of file if it failed.
    char c = 0;
    while (::read(fds[0], &c, 1) == 1 && c != '\n') firstLine_ += c;
    ::close(fds[0]);
    if (c != '\n') firstLine_.clear();
}

TestDaemon::~TestDaemon() {
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
    }
}

std::string ShellOutput(const std::string& command) {
    std::string out;
    if (FILE* pipe = ::popen((command + " 2>/dev/null").c_str(), "r")) {
        char buffer[256];
        while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) out += buffer;
        ::pclose(pipe);
    }
    if (!out.empty() && out.back() == '\n') out.pop_back();
    return out;
}
