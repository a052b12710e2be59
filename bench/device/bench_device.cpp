// The media device against the mpv player on the same files in the same run:
//   open latency    command to ready (stopped at 0, length and picture size known)
//   seek latency    exact seek while stopped, command to the new frame shown
//   frame step      one frame forward while stopped, as the player steps ("seek to n + 1")
//   CPU             per second of playback, shown in a host at natural size; the peer is
//                   `mpv --vo=null --ao=null`, which only decodes (the lower bound)
// Files: 640x480 25 fps MPEG-1 with MP2 sound, and 1280x720 25 fps H.264 (MP4) with AAC sound.
// The peer's latencies are measured through mpv's JSON IPC with --vo=null --ao=null; ours
// with the null audio output and the picture rendered into a host. Medians of many runs.
//
// usage: bench_device [seconds of playback for the CPU figure, default 10]
#include <QApplication>
#include <QElapsedTimer>
#include <clocale>
#include <ctime>
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "device/MpvMediaDevice.h"
#include "device/VideoHostWidget.h"

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

double Median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double ProcessCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + ts.tv_nsec / 1e9;
}

struct Media {
    const char* name;
    const char* what;
    const char* ffmpegArgs;  // encoding; the inputs and the output are added
    int width, height;
};

const Media kMedia[] = {
    {"bench640.mpg", "640x480, 25 fps, MPEG-1 + MP2",
     "-c:v mpeg1video -b:v 2500k -g 12 -bf 2 -c:a mp2 -b:a 192k -f mpeg", 640, 480},
    {"bench720.mp4", "1280x720, 25 fps, H.264 + AAC",
     "-c:v libx264 -preset veryfast -crf 23 -g 50 -pix_fmt yuv420p -c:a aac", 1280, 720},
};

std::string MakeMedia(const Media& m) {
    const std::string dir = VELKAF_BENCH_MEDIA_DIR;
    std::filesystem::create_directories(dir);
    const std::string file = dir + "/" + m.name;
    std::error_code ec;
    if (std::filesystem::file_size(file, ec) > 0 && !ec) return file;
    const std::string part = dir + "/part-" + m.name;
    const std::string cmd = "ffmpeg -nostdin -v error -y -f lavfi -i testsrc2=size=" + std::to_string(m.width) + "x" +
                            std::to_string(m.height) +
                            ":rate=25 -f lavfi -i sine=frequency=440:sample_rate=44100 -t 30 " + m.ffmpegArgs + " '" +
                            part + "'";
    if (std::system(cmd.c_str()) != 0) {
        std::fprintf(stderr, "bench_device: ffmpeg failed\n");
        std::exit(1);
    }
    std::filesystem::rename(part, file);
    return file;
}

void Pump(int ms) {
    const auto end = Clock::now() + std::chrono::milliseconds(ms);
    while (Clock::now() < end) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

// ---- the mpv player through its JSON IPC ------------------------------------------------

class MpvPeer {
public:
    MpvPeer() {
        m_socketPath = "/tmp/velkaf-bench-mpv-" + std::to_string(::getpid()) + ".sock";
        m_pid = ::fork();
        if (m_pid == 0) {
            const int null = ::open("/dev/null", O_RDWR);
            ::dup2(null, 0);
            ::dup2(null, 1);
            ::dup2(null, 2);
            const std::string ipc = "--input-ipc-server=" + m_socketPath;
            ::execlp("mpv", "mpv", "--no-config", "--idle=yes", "--pause", "--keep-open=yes", "--vo=null", "--ao=null",
                     "--hr-seek=yes", "--hr-seek-demuxer-offset=1.0", "--audio-display=no", ipc.c_str(),
                     static_cast<char*>(nullptr));
            ::_exit(127);
        }
        for (int i = 0; i < 500 && m_fd < 0; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
            sockaddr_un addr{};
            addr.sun_family = AF_UNIX;
            std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", m_socketPath.c_str());
            if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) {
                m_fd = fd;
            } else {
                ::close(fd);
            }
        }
    }

    ~MpvPeer() {
        if (m_fd >= 0) {
            Send(R"({"command":["quit"]})");
            ::close(m_fd);
        }
        if (m_pid > 0) { ::waitpid(m_pid, nullptr, 0); }
        ::unlink(m_socketPath.c_str());
    }

    bool Ok() const { return m_fd >= 0; }

    void Send(const std::string& json) {
        const std::string line = json + "\n";
        [[maybe_unused]] ssize_t n = ::write(m_fd, line.data(), line.size());
    }

    // Reads events until one contains `text`; false after 5 s.
    bool WaitFor(const std::string& text) {
        const auto end = Clock::now() + std::chrono::seconds(5);
        for (;;) {
            const size_t nl = m_buffer.find('\n');
            if (nl != std::string::npos) {
                const std::string line = m_buffer.substr(0, nl);
                m_buffer.erase(0, nl + 1);
                if (line.find(text) != std::string::npos) return true;
                continue;
            }
            if (Clock::now() > end) return false;
            char chunk[4096];
            const ssize_t n = ::read(m_fd, chunk, sizeof chunk);
            if (n <= 0) return false;
            m_buffer.append(chunk, static_cast<size_t>(n));
        }
    }

private:
    std::string m_socketPath;
    pid_t m_pid = -1;
    int m_fd = -1;
    std::string m_buffer;
};

std::string Seconds(double s) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.6f", s);
    return buf;
}

// CPU seconds per second of playback of the decoding-only mpv player.
double PeerCpu(const std::string& file, int seconds) {
    const auto start = Clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int null = ::open("/dev/null", O_RDWR);
        ::dup2(null, 1);
        ::dup2(null, 2);
        const std::string length = "--length=" + std::to_string(seconds);
        ::execlp("mpv", "mpv", "--no-config", "--vo=null", "--ao=null", length.c_str(), file.c_str(),
                 static_cast<char*>(nullptr));
        ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    const double wall = std::chrono::duration<double>(Clock::now() - start).count();
    const double cpu =
        usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec + usage.ru_stime.tv_usec / 1e6;
    return cpu / wall;
}

struct Figures {
    std::vector<double> open, seek, step;  // ms
    double cpu = 0;                        // CPU seconds per second of playback
    uint64_t shown = 0;                    // frames that reached the host
};

Figures Ours(const Media& m, const std::string& file, const std::vector<int>& frames, int playSeconds) {
    Figures f;
    const std::string open = "open \"" + file + "\" type mpegvideo alias movie";
    MediaDeviceOptions options;
    options.audioOutput = "null";
    options.openWaitMs = options.openTimeoutMs;  // the whole open is measured
    MpvMediaDevice device(options);
    VideoHostWidget host;
    host.resize(m.width, m.height);
    host.show();
    Pump(100);
    for (int i = 0; i < 10; ++i) {
        const auto t = Clock::now();
        if (!device.Execute(open).ok) {
            std::fprintf(stderr, "bench_device: open failed\n");
            std::exit(1);
        }
        f.open.push_back(Ms(Clock::now() - t));
        device.Execute("close movie");
    }
    device.Execute(open);
    device.Execute("window movie handle " + std::to_string(host.hostId()));
    device.Execute("set movie time format frames");
    for (int n : frames) {
        const auto t = Clock::now();
        device.Execute("seek movie to " + std::to_string(n));
        f.seek.push_back(Ms(Clock::now() - t));
        Pump(2);
        const auto s = Clock::now();
        device.Execute("seek movie to " + std::to_string(n + 1));
        f.step.push_back(Ms(Clock::now() - s));
        Pump(2);
    }

    // CPU while playing, host at natural size, painting on this thread.
    device.Execute("seek movie to 0");
    device.Execute("play movie");
    Pump(500);  // past start-up
    const double cpu0 = ProcessCpuSeconds();
    const auto wall0 = Clock::now();
    const uint64_t frames0 = host.FramesReceived();
    Pump(playSeconds * 1000);
    f.cpu = (ProcessCpuSeconds() - cpu0) / std::chrono::duration<double>(Clock::now() - wall0).count();
    f.shown = host.FramesReceived() - frames0;
    device.Execute("close movie");
    return f;
}

// Empty figures when the mpv player is not there.
Figures Peer(const std::string& file, const std::vector<int>& frames, int playSeconds) {
    Figures f;
    if (MpvPeer mpv; !mpv.Ok()) {
        std::fprintf(stderr, "bench_device: the mpv player did not start (package mpv); no peer figures\n");
        return f;
    } else {
        const std::string load = R"({"command":["loadfile",")" + file + R"(","replace"]})";
        for (int i = 0; i < 10; ++i) {
            const auto t = Clock::now();
            mpv.Send(load);
            mpv.WaitFor("\"file-loaded\"");
            mpv.WaitFor("\"playback-restart\"");
            f.open.push_back(Ms(Clock::now() - t));
        }
        for (int n : frames) {
            const auto t = Clock::now();
            mpv.Send(R"({"command":["seek",")" + Seconds(n / 25.0) + R"(","absolute+exact"]})");
            mpv.WaitFor("\"playback-restart\"");
            f.seek.push_back(Ms(Clock::now() - t));
            const auto s = Clock::now();
            mpv.Send(R"({"command":["seek",")" + Seconds((n + 1) / 25.0) + R"(","absolute+exact"]})");
            mpv.WaitFor("\"playback-restart\"");
            f.step.push_back(Ms(Clock::now() - s));
        }
    }
    f.cpu = PeerCpu(file, playSeconds);
    return f;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // libmpv needs C number formatting; QApplication has just set the locale.
    std::setlocale(LC_NUMERIC, "C");
    const int playSeconds = argc > 1 ? std::max(2, std::atoi(argv[1])) : 10;
    std::mt19937 random(7);
    // Frame numbers of the seeks, the same for both.
    std::vector<int> frames;
    for (int i = 0; i < 30; ++i) frames.push_back(static_cast<int>(random() % 700));

    for (const Media& m : kMedia) {
        const std::string file = MakeMedia(m);
        const Figures ours = Ours(m, file, frames, playSeconds);
        const Figures peer = Peer(file, frames, playSeconds);
        std::printf("file: %s (%s)\n", file.c_str(), m.what);
        std::printf("%-34s %12s %12s\n", "", "velkaf", "mpv");
        std::printf("%-34s %9.1f ms %9.1f ms\n", "open latency (median of 10)", Median(ours.open), Median(peer.open));
        std::printf("%-34s %9.1f ms %9.1f ms\n", "seek latency (median of 30)", Median(ours.seek), Median(peer.seek));
        std::printf("%-34s %9.1f ms %9.1f ms\n", "frame step (median of 30)", Median(ours.step), Median(peer.step));
        std::printf("%-34s %10.1f %% %10.1f %%   (ratio %.2f)\n", "CPU per second of playback", ours.cpu * 100,
                    peer.cpu * 100, peer.cpu > 0 ? ours.cpu / peer.cpu : 0.0);
        std::printf("frames shown in %d s: %llu\n\n", playSeconds, static_cast<unsigned long long>(ours.shown));
    }
    return 0;
}
