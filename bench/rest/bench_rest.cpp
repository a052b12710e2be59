// The player beside its peers (Audacious GTK and Qt, mpv) in the same run, on a virtual display
// with a private session bus and a sound server playing into a null sink of their own:
//   start  exec to the first window mapped (median, min, max)
//   quit   SIGTERM at a random moment after the start to the process's exit
//   rest   idle with nothing open: CPU, main-thread wake-ups a second, resident memory
//   folder a folder of 20 000 WAV files on the command line: exec to the first sound (the
//          first stream the sound server gets) and the resident memory then
//   list   resident memory per entry of a 100 000-entry last playlist (the player only)
//   play   whole-process CPU playing 1920x1080 H.264 and 640x480 MPEG-1 in a window, beside
//          mpv decoding only (--vo=null --ao=null) and mpv showing it (--vo=x11); then the
//          player and mpv decoding only at the same time, with and without the player's sound
// Usage: bench_rest [runs=10] [rest seconds=20] [player binary, to measure another build]
//                   [sections, comma-separated, default start,rest,folder,list,play].
// Missing peers and tools are installed with apt-get.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using Strings = std::vector<std::string>;

double MsSince(Clock::time_point t0) { return std::chrono::duration<double, std::milli>(Clock::now() - t0).count(); }

// Starts argv with `env` added; its standard output and error go to the returned fd (or
// /dev/null when `out` is null).
pid_t Spawn(const Strings& argv, const Strings& env, int* out = nullptr) {
    int fds[2] = {-1, -1};
    if (out != nullptr && pipe2(fds, O_CLOEXEC) != 0) std::exit(1);
    const pid_t pid = fork();
    if (pid == 0) {
        const int sink = out != nullptr ? fds[1] : open("/dev/null", O_WRONLY);
        dup2(sink, 1), dup2(sink, 2);
        for (const std::string& e : env) putenv(strdup(e.c_str()));
        std::vector<char*> args;
        for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    if (out != nullptr) close(fds[1]), *out = fds[0];
    return pid;
}

// Reads fd until `text` appears or the time is up; keeps what it read in `seen`.
bool WaitForText(int fd, const std::string& text, std::string& seen, int timeoutMs) {
    const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
    char buffer[4096];
    while (seen.find(text) == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
        pollfd p{fd, POLLIN, 0};
        if (left <= 0 || poll(&p, 1, static_cast<int>(left)) <= 0) return false;
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n <= 0) return false;
        seen.append(buffer, static_cast<size_t>(n));
    }
    return true;
}

// Keeps a child's output pipe drained in the background.
void DrainInBackground(int fd) {
    std::thread([fd] {
        char buffer[4096];
        while (read(fd, buffer, sizeof buffer) > 0) {}
        close(fd);
    }).detach();
}

// SIGTERM, then the time until the process is gone; SIGKILL after 10 s (reported as such).
double TerminateMs(pid_t pid) {
    const auto t0 = Clock::now();
    kill(pid, SIGTERM);
    while (waitpid(pid, nullptr, WNOHANG) == 0) {
        if (MsSince(t0) > 10000) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return MsSince(t0);
}

std::string StatusField(const std::string& path, const std::string& field) {
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(field + ":", 0) == 0) return line.substr(field.size() + 1);
    return {};
}
long RssKiB(pid_t pid) { return std::atol(StatusField("/proc/" + std::to_string(pid) + "/status", "VmRSS").c_str()); }
// Context switches of the main thread: each one is a wake-up from a sleep (or a preemption).
long MainThreadSwitches(pid_t pid) {
    const std::string path = "/proc/" + std::to_string(pid) + "/task/" + std::to_string(pid) + "/status";
    return std::atol(StatusField(path, "voluntary_ctxt_switches").c_str()) +
           std::atol(StatusField(path, "nonvoluntary_ctxt_switches").c_str());
}
double CpuSeconds(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    const std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::istringstream fields(all.substr(all.rfind(')') + 2));
    std::string f;
    long ticks = 0;
    for (int i = 3; i <= 15 && fields >> f; ++i)
        if (i == 14 || i == 15) ticks += std::atol(f.c_str());
    return static_cast<double>(ticks) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// Watches the display for the first viewable top-level window of a given process
// (_NET_WM_PID), by looking at the window tree every millisecond (events can be missed: a
// window mapped before its pid is set, or unmapped and mapped again).
class MapWatch {
public:
    explicit MapWatch(const std::string& display) : m_d(XOpenDisplay(display.c_str())) {
        if (m_d == nullptr) return;
        XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });  // windows may go while looked at
        m_pidAtom = XInternAtom(m_d, "_NET_WM_PID", False);
    }
    ~MapWatch() {
        if (m_d != nullptr) XCloseDisplay(m_d);
    }
    bool WaitMapped(pid_t pid, int timeoutMs) {
        if (m_d == nullptr) return false;
        const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
        while (Clock::now() < end) {
            Window root, parent, *children = nullptr;
            unsigned int count = 0;
            bool mapped = false;
            if (XQueryTree(m_d, DefaultRootWindow(m_d), &root, &parent, &children, &count) != 0) {
                for (unsigned int i = 0; i < count && !mapped; ++i) {
                    XWindowAttributes a;
                    mapped = XGetWindowAttributes(m_d, children[i], &a) != 0 && a.map_state == IsViewable &&
                             PidOf(children[i]) == pid;
                }
                if (children != nullptr) XFree(children);
            }
            if (mapped) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return false;
    }

private:
    long PidOf(Window w) {
        Atom type;
        int format;
        unsigned long items, after;
        unsigned char* data = nullptr;
        long pid = -1;
        if (XGetWindowProperty(m_d, w, m_pidAtom, 0, 1, False, XA_CARDINAL, &type, &format, &items, &after, &data) ==
                Success &&
            data != nullptr && items == 1)
            pid = static_cast<long>(*reinterpret_cast<unsigned long*>(data));
        if (data != nullptr) XFree(data);
        return pid;
    }
    Display* m_d;
    Atom m_pidAtom = None;
};

struct Program {
    std::string name;
    Strings argv;         // the folder or nothing is appended for the folder run
    bool player = false;  // VELKAF: its own home per run
};

struct Figures {
    std::vector<double> startMs, quitMs;
};

std::string Median(std::vector<double> v) {
    if (v.empty()) return "n/a";
    std::sort(v.begin(), v.end());
    char text[96];
    std::snprintf(text, sizeof text, "%.1f ms (%.1f to %.1f, %zu runs)", v[v.size() / 2], v.front(), v.back(),
                  v.size());
    return text;
}

std::string ShellOutput(const std::string& command, const Strings& env) {
    std::string line;
    for (const std::string& e : env) line += "'" + e + "' ";
    FILE* pipe = popen(("env " + line + command + " 2>/dev/null").c_str(), "r");
    std::string out;
    char buffer[4096];
    for (size_t n; pipe != nullptr && (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
    if (pipe != nullptr) pclose(pipe);
    return out;
}

bool Have(const char* tool) {
    return std::system((std::string("command -v ") + tool + " >/dev/null 2>&1").c_str()) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::atoi(argv[1]) : 10;
    const int restSeconds = argc > 2 ? std::atoi(argv[2]) : 20;
    const std::string player = argc > 3 && argv[3][0] != '\0' ? argv[3] : VELKAF_PLAYER_BINARY;
    const std::string sections = "," + std::string(argc > 4 ? argv[4] : "start,rest,folder,list,play") + ",";
    const auto wanted = [&](const char* name) {
        return sections.find("," + std::string(name) + ",") != std::string::npos;
    };
    std::setvbuf(stdout, nullptr, _IOLBF, 0);

    // Set-up: the peers and the tools, from Debian's packages when missing.
    if (!Have("mpv") || !Have("audacious") || !Have("Xvfb") || !Have("pulseaudio") || !Have("dbus-daemon") ||
        !Have("ffmpeg") || !Have("pactl")) {
        const std::string sudo = geteuid() == 0 ? "" : "sudo ";
        std::system((sudo + "apt-get install -y -qq --no-install-recommends mpv audacious xvfb pulseaudio "
                            "pulseaudio-utils dbus-daemon ffmpeg >/dev/null")
                        .c_str());
    }

    char pattern[] = "/tmp/velkaf-bench-rest-XXXXXX";
    const std::string tmp = std::string(mkdtemp(pattern)) + "/";
    const std::string display = ":" + std::to_string(70 + getpid() % 200);
    mkdir((tmp + "run").c_str(), 0700);
    mkdir((tmp + "home").c_str(), 0700);
    const Strings base = {"DISPLAY=" + display,   "XDG_RUNTIME_DIR=" + tmp + "run",
                          "HOME=" + tmp + "home", "XDG_CONFIG_HOME=" + tmp + "home/.config",
                          "QT_QPA_PLATFORM=xcb",  "VELKAF_LOG="};
    const pid_t xvfb = Spawn({"Xvfb", display, "-screen", "0", "2560x1440x24", "-nolisten", "tcp"}, {});
    int busOut = -1;
    const pid_t bus =
        Spawn({"dbus-daemon", "--session", "--nofork", "--nopidfile", "--print-address=1"}, base, &busOut);
    std::string busAddress;
    WaitForText(busOut, "\n", busAddress, 5000);
    busAddress.resize(busAddress.find('\n'));
    DrainInBackground(busOut);
    Strings env = base;
    env.push_back("DBUS_SESSION_BUS_ADDRESS=" + busAddress);
    const pid_t pulse = Spawn({"pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1", "--load=module-null-sink",
                               "--load=module-native-protocol-unix", "--load=module-always-sink"},
                              env);
    std::this_thread::sleep_for(std::chrono::seconds(2));

    const std::vector<Program> programs = {
        {"VELKAF", {player}, true},
        {"Audacious (GTK)", {"audacious", "--gtk"}},
        {"Audacious (Qt)", {"audacious", "--qt"}},
        {"mpv (idle window)", {"mpv", "--no-config", "--idle=yes", "--force-window=yes"}},
    };
    const auto homeFor = [&](const Program& p, const std::string& name) {
        Strings e = env;
        if (p.player) {
            mkdir((tmp + name).c_str(), 0700);
            e.push_back("VELKAF_HOME=" + tmp + name + "/");
        }
        return e;
    };

    // start and quit, and a rest once per program
    std::mt19937 random(12345);
    if (wanted("start")) {
        std::printf("%-20s %-40s %-40s\n", "program", "exec to window mapped", "SIGTERM to exit (random moment)");
        for (const Program& p : programs) {
            Figures f;
            for (int i = 0; i < runs; ++i) {
                MapWatch watch(display);
                const auto t0 = Clock::now();
                const pid_t pid = Spawn(p.argv, homeFor(p, "quit"));
                if (watch.WaitMapped(pid, 20000)) f.startMs.push_back(MsSince(t0));
                std::this_thread::sleep_for(std::chrono::milliseconds(700 + random() % 500));
                const double quit = TerminateMs(pid);
                if (quit >= 0) f.quitMs.push_back(quit);
                // A single-instance program's bus name is released a moment after its exit;
                // a start before that would hand over to the one just gone.
                std::this_thread::sleep_for(std::chrono::milliseconds(500));
            }
            std::printf("%-20s %-40s %-40s\n", p.name.c_str(), Median(f.startMs).c_str(), Median(f.quitMs).c_str());
        }
    }

    if (wanted("rest")) {
        std::printf("\n%-20s %-12s %-22s %-10s  (nothing open, %d s)\n", "program", "idle CPU", "main-thread wake-ups",
                    "RSS", restSeconds);
        for (const Program& p : programs) {
            MapWatch watch(display);
            const pid_t pid = Spawn(p.argv, homeFor(p, "rest"));
            watch.WaitMapped(pid, 20000);
            std::this_thread::sleep_for(std::chrono::seconds(3));
            const double cpu0 = CpuSeconds(pid);
            const long switches0 = MainThreadSwitches(pid);
            std::this_thread::sleep_for(std::chrono::seconds(restSeconds));
            const double cpu = CpuSeconds(pid) - cpu0;
            const long switches = MainThreadSwitches(pid) - switches0;
            std::printf(
                "%-20s %-12s %-22s %-10s\n", p.name.c_str(),
                (std::to_string(100.0 * cpu / restSeconds).substr(0, 5) + " %").c_str(),
                (std::to_string(static_cast<double>(switches) / restSeconds).substr(0, 5) + " a second").c_str(),
                (std::to_string(RssKiB(pid) / 1024.0).substr(0, 5) + " MiB").c_str());
            TerminateMs(pid);
        }
    }

    // a folder of 20 000 WAV files (hard links of one short tone) to the first sound
    if (wanted("folder")) {
        const std::string folder = tmp + "folder/";
        mkdir(folder.c_str(), 0700);
        if (std::system(
                ("ffmpeg -v error -y -f lavfi -i sine=frequency=440:duration=30 '" + folder + "00000.wav'").c_str()) !=
            0)
            return 1;
        for (int i = 1; i < 20000; ++i) {
            char name[32];
            std::snprintf(name, sizeof name, "%05d.wav", i);
            link((folder + "00000.wav").c_str(), (folder + name).c_str());
        }
        std::printf("\n%-20s %-40s %s\n", "program", "20 000-file folder: exec to first sound", "RSS then");
        const std::vector<Program> folderPrograms = {
            programs[0],
            programs[1],
            programs[2],
            {"mpv (no window)", {"mpv", "--no-config", "--no-video", "--no-terminal"}}};
        for (const Program& p : folderPrograms) {
            std::vector<double> ms;
            long rss = 0;
            for (int i = 0; i < std::max(3, runs / 2); ++i) {
                int events = -1;
                const pid_t subscribe = Spawn({"pactl", "subscribe"}, env, &events);
                std::this_thread::sleep_for(std::chrono::milliseconds(300));
                Strings args = p.argv;
                args.push_back(p.player ? folder.substr(0, folder.size() - 1) : folder);
                const auto t0 = Clock::now();
                const pid_t pid = Spawn(args, homeFor(p, "folder" + std::to_string(i)));
                // The first new stream that is this process's (the server tells its client's pid).
                const std::string owner = "application.process.id = \"" + std::to_string(pid) + "\"";
                std::string seen;
                while (WaitForText(events, "'new' on sink-input", seen, 30000)) {
                    if (ShellOutput("pactl list sink-inputs", env).find(owner) != std::string::npos) {
                        ms.push_back(MsSince(t0));
                        break;
                    }
                    seen.clear();
                }
                rss = RssKiB(pid);
                TerminateMs(pid);
                kill(subscribe, SIGTERM), waitpid(subscribe, nullptr, 0), close(events);
            }
            std::printf("%-20s %-40s %.1f MiB\n", p.name.c_str(), Median(ms).c_str(), rss / 1024.0);
        }
    }

    // memory per entry: the slope of the player's resident memory between a 10 000- and a
    // 100 000-entry last list. Both start the same way (the first entry is tried, which starts
    // the engine), so only the list makes the difference; an empty list would not start it.
    if (wanted("list")) {
        const int sizes[2] = {10000, 100000};
        long rss[2] = {};
        for (int i = 0; i < 2; ++i) {
            const std::string folder = tmp + "list" + std::to_string(sizes[i]) + "/";
            mkdir(folder.c_str(), 0700);
            std::ofstream list(folder + "KORU.tsr", std::ios::binary);
            for (int n = 0; n < sizes[i]; ++n)
                list << "/home/someone/Music/Artist " << n / 1000 << "/Album " << n / 10 << "/" << n % 100
                     << " A Song Title.mp3\r\n";
            list.close();
            MapWatch watch(display);
            Strings e = env;
            e.push_back("VELKAF_HOME=" + folder);
            const pid_t pid = Spawn({player}, e);
            watch.WaitMapped(pid, 20000);
            std::this_thread::sleep_for(std::chrono::seconds(4));
            rss[i] = RssKiB(pid);
            TerminateMs(pid);
        }
        std::printf("\nVELKAF with a 10 000-entry list: %.1f MiB, 100 000: %.1f MiB, %.0f bytes an entry\n",
                    rss[0] / 1024.0, rss[1] / 1024.0, (rss[1] - rss[0]) * 1024.0 / (sizes[1] - sizes[0]));
    }

    // playing in a window: CPU of the whole process over the same seconds of the same file
    if (wanted("play")) {
        struct Clip {
            const char* name;
            const char* encoding;
            const char* size;
        };
        const Clip clips[] = {
            {"1920x1080 H.264", "-c:v libx264 -preset veryfast -crf 23 -g 50 -pix_fmt yuv420p -c:a aac", "1920x1080"},
            {"640x480 MPEG-1", "-c:v mpeg1video -q:v 4 -c:a mp2", "640x480"},
        };
        const int seconds = std::max(5, restSeconds);
        // Rounds of the three runs in turn, so a slow spell of the machine falls on all of them.
        const int rounds = std::clamp(runs, 1, 5);
        std::printf(
            "\n%-16s %-20s %-20s %-20s %s\n(CPU of one core over %d s of playback, median of %d rounds "
            "(min to max))\n",
            "clip", "VELKAF (window)", "mpv decode only", "mpv --vo=x11", "VELKAF / decode only", seconds, rounds);
        for (const Clip& c : clips) {
            const std::string file = tmp + c.size + (std::string(c.size) == "640x480" ? ".mpg" : ".mp4");
            const std::string encode = "ffmpeg -nostdin -v error -y -f lavfi -i testsrc2=size=" + std::string(c.size) +
                                       ":rate=25 -f lavfi -i sine=frequency=440 -t " + std::to_string(seconds + 6) +
                                       " " + c.encoding + " '" + file + "'";
            if (std::system(encode.c_str()) != 0) return 1;
            const std::vector<Strings> runs3 = {
                {player, "--new-instance", file},
                {"mpv", "--no-config", "--no-terminal", "--vo=null", "--ao=null", file},
                {"mpv", "--no-config", "--no-terminal", "--vo=x11", file},
            };
            std::vector<std::vector<double>> percent(runs3.size());
            for (int round = 0; round < rounds; ++round)
                for (size_t i = 0; i < runs3.size(); ++i) {
                    const pid_t pid = Spawn(runs3[i], homeFor(programs[i == 0 ? 0 : 3], "play"));
                    std::this_thread::sleep_for(std::chrono::seconds(3));  // started and playing
                    const double cpu0 = CpuSeconds(pid);
                    std::this_thread::sleep_for(std::chrono::seconds(seconds));
                    percent[i].push_back(100.0 * (CpuSeconds(pid) - cpu0) / seconds);
                    TerminateMs(pid);
                }
            std::string line;
            for (std::vector<double>& v : percent) {
                std::sort(v.begin(), v.end());
                char text[48];
                std::snprintf(text, sizeof text, "%.1f %% (%.1f-%.1f)", v[v.size() / 2], v.front(), v.back());
                line += text + std::string(21 - std::min<size_t>(20, std::strlen(text)), ' ');
            }
            std::printf("%-16s %s%.2f\n", c.name, line.c_str(), percent[0][rounds / 2] / percent[1][rounds / 2]);

            // Side by side: the player and mpv decoding only play at once, measured over the same
            // seconds, so a slow spell falls on both alike; again with no sound server for the
            // player (libmpv falls back to no output), which is what the decode-only run has.
            std::string sideBySide;
            for (const bool sound : {true, false}) {
                std::vector<double> ratios;
                for (int round = 0; round < rounds; ++round) {
                    Strings playerEnv = homeFor(programs[0], "play");
                    if (!sound) playerEnv.push_back("PULSE_SERVER=unix:" + tmp + "no-sound-server");
                    const pid_t pids[2] = {Spawn(runs3[0], playerEnv), Spawn(runs3[1], homeFor(programs[3], "play"))};
                    std::this_thread::sleep_for(std::chrono::seconds(3));
                    const double cpu0[2] = {CpuSeconds(pids[0]), CpuSeconds(pids[1])};
                    std::this_thread::sleep_for(std::chrono::seconds(seconds));
                    const double ratio = (CpuSeconds(pids[0]) - cpu0[0]) / (CpuSeconds(pids[1]) - cpu0[1]);
                    for (const pid_t pid : pids) TerminateMs(pid);
                    ratios.push_back(ratio);
                }
                std::sort(ratios.begin(), ratios.end());
                char text[96];
                std::snprintf(text, sizeof text, "%s %.2f (%.2f-%.2f)", sound ? "with sound" : "; without sound",
                              ratios[ratios.size() / 2], ratios.front(), ratios.back());
                sideBySide += text;
            }
            std::printf("%-16s side by side, VELKAF / decode only, median of %d: %s\n", "", rounds, sideBySide.c_str());
        }
    }

    for (const pid_t pid : {pulse, bus, xvfb}) kill(pid, SIGTERM), waitpid(pid, nullptr, 0);
    std::system(("rm -rf '" + tmp + "'").c_str());
    return 0;
}
