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
#include <regex>
#include <sstream>
#include <thread>

std::string PlayerBinary() { return VELKAF_PLAYER_BINARY; }

bool Eventually(const std::function<bool()>& condition, std::chrono::milliseconds bound) {
    for (const auto end = std::chrono::steady_clock::now() + bound; std::chrono::steady_clock::now() < end;) {
        if (condition()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return condition();
}

std::string Configuration(const std::string& changes) {
    std::ifstream in(std::string(VELKAF_SOURCE_DIR) + "/tests/settings/golden/KORU.CFG.defaults", std::ios::binary);
    std::string cfg((std::istreambuf_iterator<char>(in)), {}), item;
    for (std::istringstream lines(changes); std::getline(lines, item);)
        cfg = std::regex_replace(cfg, std::regex("\n" + item.substr(0, item.find('=') + 1) + "[^\r]*"), "\n" + item);
    return cfg;
}

void WriteStateFiles(const std::string& home, const std::vector<std::string>& entries, const std::string& changes) {
    std::ofstream list(home + "KORU.tsr", std::ios::binary | std::ios::trunc);
    for (const std::string& e : entries) list << e << "\r\n";
    std::ofstream(home + "KORU.CFG", std::ios::binary | std::ios::trunc) << Configuration(changes);
}

std::vector<std::string> Opens(const std::string& log) {
    static const std::regex open("mci> open \"([^\"]+)\" type mpegvideo alias movie");
    std::vector<std::string> names;
    for (auto it = std::sregex_iterator(log.begin(), log.end(), open); it != std::sregex_iterator(); ++it)
        names.push_back((*it)[1]);
    return names;
}

int CountOf(const std::string& text, const std::string& what) {
    int n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

::testing::AssertionResult PlayedInOrder(const std::string& log, const std::vector<std::string>& names) {
    size_t at = 0;
    for (const std::string& name : names) {
        if ((at = log.find("mci> open \"" + name + "\"", at)) == std::string::npos)
            return ::testing::AssertionFailure() << name << " never opened\n" << log;
        if ((at = log.find("mci> status movie mode  <stopped", at)) == std::string::npos)
            return ::testing::AssertionFailure() << name << " never ended\n" << log;
    }
    if (log.find("mci> close movie", at) == std::string::npos) return ::testing::AssertionFailure() << "not closed\n" << log;
    return ::testing::AssertionSuccess();
}

PlayerProcess::PlayerProcess(const std::string& home, const std::vector<std::string>& arguments,
                             const std::vector<std::string>& extraEnvironment, bool asNobody,
                             const std::string& logName)
    : logPath_(home + logName) {
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

bool PlayerProcess::WaitForLogAfter(const std::string& first, const std::string& then,
                                    std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    for (bool ended = false;; std::this_thread::sleep_for(std::chrono::milliseconds(20))) {
        const std::string log = Log();  // read once more after the child ended
        const size_t at = log.find(first);
        if (at != std::string::npos && log.find(then, at) != std::string::npos) return true;
        if (ended || std::chrono::steady_clock::now() >= end) return false;
        ended = Reap(WNOHANG);
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
    return Eventually([&] { return Reap(WNOHANG); }, timeout) ? exitStatus_ : -1;
}

bool PlayerProcess::CanRunAsNobody() { return ::geteuid() == 0 && ::getpwnam("nobody") != nullptr; }

bool PlayerProcess::WaitForQuitHandler(std::chrono::milliseconds timeout) {
    return Eventually([&] {
        std::ifstream status("/proc/" + std::to_string(pid_) + "/status");
        for (std::string line; std::getline(status, line);)
            if (line.starts_with("SigCgt:") && (std::stoull(line.substr(7), nullptr, 16) >> (SIGTERM - 1) & 1)) return true;
        return false;
    }, timeout);
}

void PlayerProcess::Signal(int signal) {
    if (pid_ > 0 && !reaped_) ::kill(pid_, signal);
}

int PlayerProcess::Quit(std::chrono::milliseconds timeout) {
    Signal(SIGTERM);
    return WaitForExit(timeout);
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

namespace {
// Ends a helper program: SIGTERM, and SIGKILL when it has not gone within 5 s.
void EndHelper(pid_t pid) {
    if (pid <= 0) return;
    ::kill(pid, SIGTERM);
    if (Eventually([&] { return ::waitpid(pid, nullptr, WNOHANG) != 0; }, std::chrono::seconds(5))) return;
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
}
}  // namespace

TestDaemon::~TestDaemon() { EndHelper(pid_); }

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

WindowManager::WindowManager(const std::string& display) {
    if (display.empty() || ShellOutput("command -v openbox").empty()) return;
    pid_ = ::fork();
    if (pid_ == 0) {
        ::setsid();
        const int null = ::open("/dev/null", O_RDWR);
        if (null >= 0) { ::dup2(null, 0), ::dup2(null, 1), ::dup2(null, 2), ::close(null); }
        ::setenv("DISPLAY", display.c_str(), 1);
        ::execlp("openbox", "openbox", "--sm-disable", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    // Up once it has named itself on the root window, as window managers do.
    running_ = pid_ > 0 && Eventually([&] {
        const std::string check = ShellOutput("DISPLAY=" + display + " timeout 5 xprop -root _NET_SUPPORTING_WM_CHECK");
        return check.find("window id") != std::string::npos;
    });
}

WindowManager::~WindowManager() { EndHelper(pid_); }
