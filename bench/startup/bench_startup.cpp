// Start-up and idle cost of the real player: time from exec to the end of the first tick
// (median of N starts), resident memory after start, and CPU used per minute while idle with
// nothing open; then the CPU per minute while it plays an audio file with the elapsed-time
// display. Usage: bench_startup [starts=10] [seconds per CPU figure=60] [baseline player binary]
// With a baseline (another build of the player, e.g. one without the accessibility factory) its
// starts alternate with this build's, so both medians see the same load; 0 seconds skips the
// CPU figures.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Child {
    pid_t pid = -1;
    int errFd = -1;
};

// With `log`, the device log goes to the pipe (to see the first tick); without, the player runs
// as a user runs it and its own CPU is measured undisturbed.
Child Start(const std::string& home, const std::string& file = std::string(), bool log = true,
            const char* binary = VELKAF_PLAYER_BINARY) {
    int fds[2];
    if (pipe(fds) != 0) std::exit(1);
    Child c;
    c.pid = fork();
    if (c.pid == 0) {
        dup2(fds[1], 2);
        close(fds[0]);
        close(fds[1]);
        setenv("VELKAF_HOME", home.c_str(), 1);
        if (log) setenv("VELKAF_LOG", "1", 1);
        else unsetenv("VELKAF_LOG");
        if (!getenv("DISPLAY")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
        if (file.empty()) execl(binary, binary, static_cast<char*>(nullptr));
        else execl(binary, binary, file.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    c.errFd = fds[0];
    return c;
}

// Reads the child's log until `text` appears; returns false on end of file or timeout.
bool WaitFor(Child& c, const std::string& text, std::string& seen, int timeoutMs) {
    const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
    char buffer[4096];
    while (seen.find(text) == std::string::npos) {
        const int left =
            static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count());
        if (left <= 0) return false;
        pollfd p{c.errFd, POLLIN, 0};
        if (poll(&p, 1, left) <= 0) return false;
        const ssize_t n = read(c.errFd, buffer, sizeof buffer);
        if (n <= 0) return false;
        seen.append(buffer, static_cast<size_t>(n));
        if (seen.size() > (1 << 20)) seen.erase(0, seen.size() - 4096);
    }
    return true;
}

// Keeps draining the child's log so that it never blocks on a full pipe.
void Drain(int fd, std::chrono::milliseconds duration) {
    const auto end = Clock::now() + duration;
    char buffer[4096];
    while (Clock::now() < end) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 100) > 0 && read(fd, buffer, sizeof buffer) <= 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
}

void Stop(Child& c) {
    kill(c.pid, SIGTERM);
    std::string rest;
    WaitFor(c, "\x01never", rest, 5000);
    waitpid(c.pid, nullptr, 0);
    close(c.errFd);
}

long RssKiB(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
    return -1;
}

double CpuSeconds(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::istringstream fields(all.substr(all.rfind(')') + 2));
    std::string f;
    long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && fields >> f; ++i) {
        if (i == 14) utime = std::atol(f.c_str());
        if (i == 15) stime = std::atol(f.c_str());
    }
    return static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

}  // namespace

int main(int argc, char** argv) {
    const int starts = argc > 1 ? std::atoi(argv[1]) : 10;
    const int idleSeconds = argc > 2 ? std::atoi(argv[2]) : 60;
    char pattern[] = "/tmp/velkaf-bench-XXXXXX";
    const std::string home = std::string(mkdtemp(pattern)) + "/";

    const char* baseline = argc > 3 ? argv[3] : nullptr;
    std::vector<const char*> binaries{VELKAF_PLAYER_BINARY};
    if (baseline) binaries.push_back(baseline);
    std::vector<std::vector<double>> startMs(binaries.size());
    for (int i = 0; i < starts; ++i)
        for (size_t b = 0; b < binaries.size(); ++b) {
            const auto t0 = Clock::now();
            Child c = Start(home, std::string(), true, binaries[b]);
            std::string seen;
            if (!WaitFor(c, "first tick done", seen, 30000)) {
                std::fprintf(stderr, "%s did not start:\n%s\n", binaries[b], seen.c_str());
                return 1;
            }
            startMs[b].push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
            Stop(c);
        }
    for (size_t b = 0; b < binaries.size(); ++b) {
        std::vector<double>& ms = startMs[b];
        std::sort(ms.begin(), ms.end());
        std::printf("start to first tick%s: median %.1f ms (min %.1f, max %.1f, %d starts)\n",
                    b == 0 ? "" : " of the baseline", ms[ms.size() / 2], ms.front(), ms.back(), starts);
    }
    if (idleSeconds <= 0) return 0;

    Child c = Start(home, std::string(), false);
    Drain(c.errFd, std::chrono::seconds(3));
    std::printf("resident memory after start: %.1f MiB\n", RssKiB(c.pid) / 1024.0);
    const double cpu0 = CpuSeconds(c.pid);
    Drain(c.errFd, std::chrono::seconds(idleSeconds));
    const double cpu = CpuSeconds(c.pid) - cpu0;
    std::printf("idle CPU: %.3f s over %d s = %.3f s per minute (%.2f%% of one core)\n", cpu, idleSeconds,
                cpu * 60.0 / idleSeconds, 100.0 * cpu / idleSeconds);
    Stop(c);

    // Playing: a tagged MP3 longer than the measurement, shown with the elapsed time.
    const std::string song = home + "song.mp3";
    const std::string make =
        "ffmpeg -v error -y -f lavfi -i sine=frequency=440:duration=" + std::to_string(idleSeconds + 30) +
        " -c:a libmp3lame -id3v2_version 0 -write_id3v1 1 -metadata title=Bench -metadata "
        "artist=VELKAF '" +
        song + "'";
    if (std::system(make.c_str()) != 0) return 1;
    Child p = Start(home, song, false);
    Drain(p.errFd, std::chrono::seconds(3));
    const double play0 = CpuSeconds(p.pid);
    Drain(p.errFd, std::chrono::seconds(idleSeconds));
    const double playing = CpuSeconds(p.pid) - play0;
    std::printf("playing an MP3 (elapsed time shown): %.3f s over %d s = %.2f s per minute (%.2f%% of one core)\n",
                playing, idleSeconds, playing * 60.0 / idleSeconds, 100.0 * playing / idleSeconds);
    Stop(p);
    return 0;
}
