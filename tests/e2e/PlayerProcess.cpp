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
bool Eventually(const std::function<bool()>& condition, std::chrono::milliseconds bound,
                std::chrono::microseconds step) {
    for (const auto end = std::chrono::steady_clock::now() + bound; std::chrono::steady_clock::now() < end;) {
        if (condition()) return true;
        std::this_thread::sleep_for(step);
    }
    return condition();
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
std::string MissingTool(const std::vector<std::string>& tools) {
    for (const std::string& tool : tools)
        if (ShellOutput(tool.starts_with("python3-") ? "/usr/bin/python3 -c 'import " + tool.substr(8) + "' && echo ok"
                                                     : "command -v " + tool).empty()) return tool;
    return "";
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
int CountOf(const std::string& text, const std::string& what) {
    int n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}
namespace {
// `env` with `extra` ("NAME=value") added, each replacing what it names.
std::vector<std::string> With(std::vector<std::string> env, const std::vector<std::string>& extra) {
    for (const std::string& e : extra) {
        const std::string name = e.substr(0, e.find('=') + 1);
        std::erase_if(env, [&](const std::string& v) { return v.starts_with(name); });
        env.push_back(e);
    }
    return env;
}

// Forks `argv` (PATH searched) with `env`, output and errors on `out` and `err` (unless -1); `inChild` first (126).
pid_t Spawn(std::vector<std::string> argv, std::vector<std::string> env, int out, int err,
            const std::function<bool()>& inChild) {
    std::vector<char*> cargv, cenv;  // made before the fork: the child only execs
    for (auto& a : argv) cargv.push_back(a.data());
    for (auto& e : env) cenv.push_back(e.data());
    cargv.push_back(nullptr);
    cenv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid != 0) return pid;
    if (out >= 0) ::dup2(out, 1);
    if (err >= 0) ::dup2(err, 2);
    if (!inChild()) ::_exit(126);
    ::execvpe(cargv[0], cargv.data(), cenv.data());
    ::_exit(127);
}
}  // namespace

PlayerProcess::PlayerProcess(const std::string& home, const std::vector<std::string>& arguments,
                             const std::vector<std::string>& extraEnvironment, bool asNobody,
                             const std::string& logName) : m_logPath(home + logName) {
    // No session bus unless the test gives one: players of parallel tests never meet.
    std::vector<std::string> env = {"VELKAF_HOME=" + home, "VELKAF_LOG=1", "QT_QPA_PLATFORM=offscreen",
                                    "DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent/bus"};
    for (const std::string keep : {"QT_QPA_PLATFORM", "PATH", "HOME", "DISPLAY", "XDG_RUNTIME_DIR", "ASAN_OPTIONS"})
        if (const char* v = std::getenv(keep.c_str())) env = With(env, {keep + "=" + v});
    // Nobody has no home of its own, and root's runtime folder is not for it.
    if (asNobody) std::erase_if(env, [](const std::string& e) { return e.starts_with("XDG_RUNTIME_DIR="); });
    if (asNobody) env = With(env, {"HOME=" + home});
    std::vector<std::string> argv = {PlayerBinary()};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    const passwd* nobody = asNobody ? ::getpwnam("nobody") : nullptr;
    // Emptied here: a log left by an earlier run must never be read as this one's.
    const int log = ::open(m_logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    m_pid = Spawn(argv, With(env, extraEnvironment), log, log, [&] {
        return !asNobody || (nobody != nullptr && ::setgroups(0, nullptr) == 0 && ::setgid(nobody->pw_gid) == 0 &&
                             ::setuid(nobody->pw_uid) == 0);
    });
    ::close(log);
}
PlayerProcess::~PlayerProcess() {
    Signal(SIGKILL);
    if (m_pid > 0 && !m_reaped) ::waitpid(m_pid, nullptr, 0);
}
std::string PlayerProcess::Log() const {
    std::ifstream in(m_logPath, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}
bool PlayerProcess::WaitForLogAfter(const std::string& first, const std::string& then,
                                    std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    for (bool ended = false;; std::this_thread::sleep_for(20ms)) {
        const std::string log = Log();  // read once more after the child ended
        const size_t at = log.find(first);
        if (at != std::string::npos && log.find(then, at) != std::string::npos) return true;
        if (ended || std::chrono::steady_clock::now() >= end) return false;
        ended = Reap(WNOHANG);
    }
}
bool PlayerProcess::Reap(int flags) {
    if (m_reaped) return true;
    int status = 0;
    if (::waitpid(m_pid, &status, flags) != m_pid) return false;
    m_reaped = true;
    m_exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return true;
}
int PlayerProcess::WaitForExit(std::chrono::milliseconds timeout) {
    return Eventually([&] { return Reap(WNOHANG); }, timeout) ? m_exitStatus : -1;
}
bool PlayerProcess::WaitForQuitHandler(std::chrono::milliseconds timeout) {
    return Eventually([&] {
        std::ifstream status("/proc/" + std::to_string(m_pid) + "/status");
        for (std::string l; std::getline(status, l);)
            if (l.starts_with("SigCgt:")) return (std::stoull(l.substr(7), nullptr, 16) >> (SIGTERM - 1) & 1) == 1;
        return false;
    }, timeout);
}
void PlayerProcess::Signal(int signal) { if (m_pid > 0 && !m_reaped) ::kill(m_pid, signal); }
int PlayerProcess::Quit(std::chrono::milliseconds timeout) {
    Signal(SIGTERM);
    return WaitForExit(timeout);
}
bool PlayerProcess::CanRunAsNobody() { return ::geteuid() == 0 && ::getpwnam("nobody") != nullptr; }

TestDaemon::TestDaemon(std::vector<std::string> argv, const std::vector<std::string>& env, bool announces) {
    std::vector<std::string> environment;
    for (char** e = environ; *e != nullptr; ++e) environment.emplace_back(*e);
    int fds[2] = {-1, -1};
    if (announces ? ::pipe2(fds, O_CLOEXEC) != 0 : (fds[1] = ::open("/dev/null", O_WRONLY | O_CLOEXEC)) < 0) return;
    const int err = announces ? -1 : fds[1];
    m_pid = Spawn(std::move(argv), With(environment, env), fds[1], err, [] { return ::setsid() > 0; });
    ::close(fds[1]);
    // The first line comes once the daemon accepts connections; end of file if it failed.
    char c = 0;
    while (fds[0] >= 0 && ::read(fds[0], &c, 1) == 1 && c != '\n') m_firstLine += c;
    if (fds[0] >= 0) ::close(fds[0]);
    if (c != '\n') m_firstLine.clear();
}
TestDaemon::~TestDaemon() {
    if (m_pid <= 0) return;
    ::kill(m_pid, SIGTERM);
    if (Eventually([&] { return ::waitpid(m_pid, nullptr, WNOHANG) != 0; }, 5s)) return;
    ::kill(m_pid, SIGKILL);
    ::waitpid(m_pid, nullptr, 0);
}
