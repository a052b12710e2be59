#pragma once
// What the player sounds like: a PulseAudio server of the test's own with one null sink "rec",
// whose monitor is recorded. VELKAF_SEAM_TOOL is the seam tool's path.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <memory>
#include <sstream>
#include <thread>
#include <tuple>
#include "tests/e2e/PlayerProcess.h"

inline std::vector<int> ReadLeft(const std::string& raw) {  // of raw s16le stereo
    std::ifstream in(raw, std::ios::binary);
    std::vector<char> b((std::istreambuf_iterator<char>(in)), {});
    std::vector<int> left;
    for (std::size_t i = 0; i + 4 <= b.size(); i += 4)
        left.push_back(static_cast<int16_t>(static_cast<uint8_t>(b[i]) | static_cast<uint8_t>(b[i + 1]) << 8));
    return left;
}
inline double Power(const std::vector<int>& x, std::size_t at, std::size_t n, double f) {  // Goertzel, 44.1 kHz
    const double k = 2 * std::cos(2 * M_PI * f / 44100);
    double s1 = 0, s2 = 0;
    for (std::size_t i = at; i < at + n; ++i) std::tie(s1, s2) = std::make_tuple(x[i] + k * s1 - s2, s1);
    return s1 * s1 + s2 * s2 - k * s1 * s2;
}

// A PulseAudio server of the test's own with one null sink "rec", no shared memory (its shared-memory path aborts under
// load), in a private runtime folder: `env` is what its clients need (the first two what the player needs).
struct PulseServer {
    bool Start() {  // false unless a client got an answer within 5 s
        daemon = std::make_unique<TestDaemon>(std::vector<std::string>{"pulseaudio", "-n", "--daemonize=no",
            "--disable-shm=yes", "--exit-idle-time=-1", "--system=no", "-L", "module-null-sink sink_name=rec", "-L",
            "module-native-protocol-unix auth-anonymous=1"}, env, false);
        const std::string info = "env '" + env[0] + "' '" + env[1] + "' pactl info >/dev/null 2>&1 && echo ok";
        if (!Eventually([&] { return ShellOutput(info) == "ok"; }, 5s)) daemon.reset();
        return daemon != nullptr;
    }
    // Records the sink's monitor into `raw` (s16le stereo) until the object goes.
    std::unique_ptr<TestDaemon> Recorder(const std::string& raw) const {
        return std::make_unique<TestDaemon>(std::vector<std::string>{"parecord", "--raw", "--format=s16le",
            "--rate=44100", "--channels=2", "-d", "rec.monitor", raw}, env, false);
    }
    TempFolder runtime;
    const std::vector<std::string> env = {"XDG_RUNTIME_DIR=" + runtime.path(),
                                          "PULSE_RUNTIME_PATH=" + runtime.path() + "pulse", "HOME=" + runtime.path()};
    std::unique_ptr<TestDaemon> daemon;
};

// What the seam tool says of a recording of `pieces` of its tone: each change of track (samples lost < 0, inserted
// > 0), and the longest silence.
struct Seams { std::vector<long> changes; double silenceMs = -1; std::string said; };
inline Seams MeasureSeams(const std::string& raw, int pieces) {
    Seams s;
    s.said = ShellOutput("python3 '" VELKAF_SEAM_TOOL "' measure '" + raw + "' " + std::to_string(pieces));
    std::istringstream in(s.said);
    std::string worst, each;
    double click = 0;
    if (!(in >> worst >> s.silenceMs >> click >> each)) return s;
    for (std::istringstream list(each); std::getline(list, worst, ',');) s.changes.push_back(std::stol(worst));
    return s;
}

class SoundE2E : public ::testing::Test {
protected:
    void SetUp() override {
        SKIP_WITHOUT("pulseaudio", "parecord", "pactl", "ffmpeg");
        ASSERT_TRUE(std::filesystem::exists(VELKAF_SEAM_TOOL)) << VELKAF_SEAM_TOOL;
        ASSERT_TRUE(m_pulse.Start()) << "pulseaudio did not start";
    }
    // The left channel of `span` from the moment the recorder connected (what it had not written
    // yet when it was ended is lost).
    std::vector<int> Record(std::chrono::milliseconds span) {
        auto recorder = m_pulse.Recorder(m_home.path() + "span.raw");
        std::this_thread::sleep_for(span);
        recorder.reset();
        return ReadLeft(m_home.path() + "span.raw");
    }
    // `pieces` pieces of 3 s of the seam tool's tone, cut at every 3 s and made into p0.<ext>... by
    // `encoders[k]` (the last one for the rest): "ffmpeg OPTIONS", "lame", "oggenc" or "opusenc". Their paths.
    std::vector<std::string> Pieces(int pieces, const std::string& ext, const std::vector<std::string>& encoders) {
        const std::string dir = m_media.path(), tone = dir + "tone.wav";
        ShellOutput("python3 '" VELKAF_SEAM_TOOL "' source '" + tone + "' " + std::to_string(pieces));
        std::vector<std::string> paths;
        for (int k = 0; k < pieces; ++k) {
            const std::string& encoder = encoders[std::min<std::size_t>(k, encoders.size() - 1)];
            const std::string piece = "'" + dir + "cut" + std::to_string(k) + ".wav'";
            paths.push_back(dir + "p" + std::to_string(k) + "." + ext);
            const std::string out = "'" + paths.back() + "'", ffmpeg = "ffmpeg -nostdin -v error -y -i ";
            ShellOutput(ffmpeg + "'" + tone + "' -ss " + std::to_string(3 * k) + " -t 3 " + piece);
            if (encoder.rfind("ffmpeg", 0) == 0) ShellOutput(ffmpeg + piece + " " + encoder.substr(6) + " " + out);
            else if (encoder == "oggenc") ShellOutput("oggenc -Q " + piece + " -o " + out);
            else ShellOutput(encoder + " --quiet " + piece + " " + out);  // lame, opusenc
        }
        return paths;
    }
    // Plays `files` as the player's list (repeat off, `environment` added; the player keeps the test's HOME) while
    // recording into m_rec, until the device closes after the last entry or `during` returns; the player's log.
    std::string PlayAndRecord(const std::vector<std::string>& files, std::vector<std::string> environment,
                              const std::function<void(PlayerProcess&)>& during = {}) {
        WriteStateFiles(m_home.path(), {}, "Repeat=0");
        environment.insert(environment.begin(), {m_pulse.env[0], m_pulse.env[1]});
        auto recorder = m_pulse.Recorder(m_rec);
        std::this_thread::sleep_for(300ms);
        PlayerProcess player(m_home.path(), files, environment);
        if (during) during(player);
        else player.WaitForLogAfter("mci> open \"" + files.back().substr(files.back().rfind('/') + 1) + "\"",
                                    "mci> close movie", 40s);
        const std::string log = player.Log();
        player.Quit();
        std::this_thread::sleep_for(200ms);
        return log;
    }
    TempFolder m_media, m_home;
    const std::string m_rec = m_home.path() + "rec.raw";  // the recording of PlayAndRecord, s16le stereo
    PulseServer m_pulse;
};
