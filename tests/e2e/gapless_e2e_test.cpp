// Continuous sound across a change of track, as heard: a private PulseAudio server with one
// null sink, its monitor recorded while the real player plays a two-entry list cut from one
// continuous signal. The figures compare with libmpv's own gapless play of the same files.
#include <gtest/gtest.h>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>
#include "tests/e2e/PlayerProcess.h"
#include "tests/support/TestSupport.h"

using namespace std::chrono_literals;

namespace {
constexpr int kRate = 44100;
constexpr double kRampSeconds = 4.0;  // cut in the middle; the level rises 0.2 a second
constexpr int kSilence = 1500;        // |sample| at or below: silence
const std::string kLatency30 = "PULSE_LATENCY_MSEC=30";

// `spanMs` between the envelope's crossings of the ramp's levels at 1/4 and 3/4; `silenceMs` the
// longest silence inside the sound.
struct Joint { double spanMs = -1, silenceMs = -1; };

// Left channel of raw s16le stereo.
std::vector<int> ReadLeft(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
    std::vector<int> left;
    for (std::size_t i = 0; i + 4 <= bytes.size(); i += 4)
        left.push_back(static_cast<int16_t>(static_cast<uint8_t>(bytes[i]) | static_cast<uint8_t>(bytes[i + 1]) << 8));
    return left;
}

Joint Measure(const std::vector<int>& left) {
    constexpr int kWindow = 88;  // 2 ms
    std::vector<int> envelope;
    for (std::size_t i = 0; i + kWindow < left.size(); i += kWindow) {
        int peak = 0;
        for (std::size_t j = i; j < i + kWindow; ++j) peak = std::max(peak, std::abs(left[j]));
        envelope.push_back(peak);
    }
    const auto cross = [&](double t) {
        const double level = 32767 * (0.1 + 0.8 * t / kRampSeconds);
        for (std::size_t i = 0; i + 3 < envelope.size(); ++i)
            if (envelope[i] >= level && envelope[i + 1] >= level && envelope[i + 2] >= level) return i * 2.0;
        return -1.0;
    };
    Joint j;
    const double t1 = cross(kRampSeconds / 4), t2 = cross(kRampSeconds * 3 / 4);
    if (t1 >= 0 && t2 >= 0) j.spanMs = t2 - t1;
    std::size_t first = left.size(), last = 0, run = 0, longest = 0;
    for (std::size_t i = 0; i < left.size(); ++i)
        if (std::abs(left[i]) > kSilence) first = std::min(first, i), last = i;
    for (std::size_t i = first; i < last; ++i) {
        run = std::abs(left[i]) <= kSilence ? run + 1 : 0;
        longest = std::max(longest, run);
    }
    j.silenceMs = first < last ? longest * 1000.0 / kRate : -1;
    return j;
}

class GaplessE2E : public ::testing::Test {
protected:
    void SetUp() override {
        SKIP_WITHOUT("pulseaudio", "parecord", "ffmpeg");
        // A PulseAudio server of the test's own: a private runtime folder, no shared memory (its
        // shared-memory path aborts under load), one null sink "rec".
        pulse_ = std::make_unique<TestDaemon>(
            std::vector<std::string>{"pulseaudio", "-n", "--daemonize=no", "--disable-shm=yes", "--exit-idle-time=-1",
                                     "--system=no", "-L", "module-null-sink sink_name=rec", "-L",
                                     "module-native-protocol-unix auth-anonymous=1"},
            pulseEnv_, false);
        ASSERT_TRUE(Eventually([&] { return std::filesystem::exists(runtime_.path() + "pulse/native"); }, 5s))
            << "pulseaudio did not start";
        // 16-bit stereo: a 440 Hz sine whose amplitude rises from 0.1 to 0.9 of full scale.
        const std::string ramp = "(0.1+0.2*t)*sin(2*PI*440*t):s=44100:c=stereo:d=" + std::to_string(kRampSeconds);
        ShellOutput("cd '" + media_.path() + "' && ffmpeg -nostdin -v error -f lavfi -i 'aevalsrc=" + ramp +
                    "' -c:a pcm_s16le ramp.wav && ffmpeg -nostdin -v error -i ramp.wav -f s16le ramp.raw");
        reference_ = Measure(ReadLeft(media_.path() + "ramp.raw"));
        ASSERT_GT(reference_.spanMs, 0);
    }
    // Cuts the ramp at its middle into a.<ext> and b.<ext> with ffmpeg's `first` and `second`
    // options; returns their paths.
    std::vector<std::string> Cut(const std::string& first, const std::string& second) {
        const std::string half = std::to_string(kRampSeconds / 2);
        std::vector<std::string> paths;
        for (const auto& [name, options, cut] : {std::tuple<std::string, std::string, std::string>{"a", first, " -t "},
                                                 {"b", second, " -ss "}}) {
            const std::size_t space = options.rfind(' ');
            paths.push_back(media_.path() + name + options.substr(space + 1));
            ShellOutput("ffmpeg -nostdin -v error -y -i '" + media_.path() + "ramp.wav' " + options.substr(0, space) +
                        cut + half + " '" + paths.back() + "'");
        }
        return paths;
    }
    // Plays `files` as the player's list (repeat off, `environment` added) while recording the null
    // sink, until the list has ended or `during` returns; the player's log goes to `log`. The
    // recording's left channel.
    std::vector<int> PlayAndRecord(const std::vector<std::string>& files, std::string& log,
                                   const std::vector<std::string>& environment,
                                   const std::function<void(PlayerProcess&)>& during = {}) {
        TempFolder home;
        WriteStateFiles(home.path(), {}, "Repeat=0");
        std::vector<std::string> env = {pulseEnv_[0], pulseEnv_[1]};  // the player keeps the test's HOME
        env.insert(env.end(), environment.begin(), environment.end());
        const std::string raw = home.path() + "rec.raw";
        {
            const TestDaemon recorder(
                {"parecord", "--raw", "--format=s16le", "--rate=44100", "--channels=2", "-d", "rec.monitor", raw},
                pulseEnv_, false);
            std::this_thread::sleep_for(300ms);
            PlayerProcess player(home.path(), files, env);
            // The list ends with the device closed after the last entry.
            if (during) during(player);
            else player.WaitForLogAfter("mci> open \"" + files.back().substr(files.back().rfind('/') + 1) + "\"",
                                        "mci> close movie", 30s);
            log = player.Log();
            player.Quit();
            std::this_thread::sleep_for(200ms);
        }
        return ReadLeft(raw);
    }
    TempFolder runtime_, media_;
    const std::vector<std::string> pulseEnv_ = {"XDG_RUNTIME_DIR=" + runtime_.path(),
                                                "PULSE_RUNTIME_PATH=" + runtime_.path() + "pulse",
                                                "HOME=" + runtime_.path()};
    std::unique_ptr<TestDaemon> pulse_;
    Joint reference_;
};

// The ramp cut in two and played as a list records as the whole ramp: lossless formats lose
// or add no sample, lossy ones do as well as libmpv's own gapless play (measured beside mpv:
// Opus 12 ms short, MP3 with its LAME header 106 ms long, at both latencies), and nowhere a
// silence. The tick cued the second entry, and the device adopted it as it sounded.
TEST_F(GaplessE2E, TwoHalvesOfOneSignalRecordAsTheWhole) {
    struct Case { const char* options; const char* ext; double minDeltaMs, maxDeltaMs; };
    const Case cases[] = {
        {.options = "", .ext = "flac", .minDeltaMs = -2, .maxDeltaMs = 2},
        {.options = "", .ext = "wav", .minDeltaMs = -2, .maxDeltaMs = 2},
        {.options = "-c:a libopus", .ext = "opus", .minDeltaMs = -16, .maxDeltaMs = 4},
        {.options = "-c:a libmp3lame", .ext = "mp3", .minDeltaMs = -4, .maxDeltaMs = 114},
    };
    for (const Case& c : cases) {
        for (const std::vector<std::string>& latency : {std::vector<std::string>{kLatency30}, {}}) {
            const std::string options = c.options + std::string(" .") + c.ext, b = media_.path() + "b." + c.ext;
            std::string log;
            const Joint j = Measure(PlayAndRecord(Cut(options, options), log, latency));
            const std::string what = c.ext + std::string(latency.empty() ? " at the default latency" : " at 30 ms");
            EXPECT_GE(j.spanMs - reference_.spanMs, c.minDeltaMs) << what;
            EXPECT_LE(j.spanMs - reference_.spanMs, c.maxDeltaMs) << what;
            EXPECT_LE(j.silenceMs, 5) << what;
            EXPECT_NE(log.find("mci> cue movie next \"" + b + "\""), std::string::npos) << log;
            EXPECT_NE(log.find("device: adopted " + b), std::string::npos) << log;
        }
    }
}

// A change of sample rate (44.1 kHz, then 48 kHz) and changes between a track with a picture
// and one without: the first track ends whole, the second starts within 100 ms. Into a picture
// libmpv syncs the new sound to it: its own play of that pair is 16 ms short after a 22 ms
// silence, ours 18 ms.
TEST_F(GaplessE2E, ChangesOfFormatEndTheFirstTrackWhole) {
    const std::string video = "-f lavfi -i testsrc2=s=160x120:r=25 -map 1:v -map 0:a -c:v mpeg4 -c:a flac -shortest";
    struct Case { const char* what; std::string first, second; double minDeltaMs; };
    const Case cases[] = {
        {.what = "44.1 then 48 kHz", .first = " .flac", .second = "-ar 48000 .flac", .minDeltaMs = -2},
        {.what = "picture then sound", .first = video + " .mkv", .second = " .flac", .minDeltaMs = -2},
        {.what = "sound then picture", .first = " .flac", .second = video + " .mkv", .minDeltaMs = -24},
    };
    for (const Case& c : cases) {
        std::string log;
        const Joint j = Measure(PlayAndRecord(Cut(c.first, c.second), log, {kLatency30}));
        EXPECT_GE(j.spanMs - reference_.spanMs, c.minDeltaMs) << c.what << ": samples lost";
        EXPECT_LE(j.spanMs - reference_.spanMs, 100) << c.what;
        EXPECT_LE(j.silenceMs, 100) << c.what;
        EXPECT_NE(log.find("device: adopted "), std::string::npos) << c.what << "\n" << log;
    }
}

// Goertzel: the power of `f` Hz in n samples of `left` from `at`.
double Power(const std::vector<int>& left, std::size_t at, std::size_t n, double f) {
    const double k = 2 * std::cos(2 * M_PI * f / kRate);
    double s1 = 0, s2 = 0;
    for (std::size_t i = at; i < at + n; ++i) std::tie(s1, s2) = std::make_tuple(left[i] + k * s1 - s2, s1);
    return s1 * s1 + s2 * s2 - k * s1 * s2;
}

// Choices over the desktop bus while an entry is cued: NEXT opens the next entry afresh (the
// cued read-ahead is dropped, not adopted); a file opened over the bus plays at once, and the
// entry cued then never sounds.
TEST_F(GaplessE2E, ChoicesWhileAnEntryIsCuedPlayOnlyTheChosen) {
    SKIP_WITHOUT("dbus-daemon", "playerctl");
    const SessionBus bus;
    ASSERT_FALSE(bus.FirstLine().empty());
    const double hz[] = {440, 550, 660, 880};  // a, b, c: the list; d: opened over the bus
    std::vector<std::string> files;
    for (const char* name : {"a", "b", "c", "d"}) {
        files.push_back(media_.path() + name + ".flac");
        ShellOutput("ffmpeg -nostdin -v error -f lavfi -i sine=frequency=" + std::to_string(hz[files.size() - 1]) +
                    ":sample_rate=44100:duration=3 -ac 2 '" + files.back() + "'");
    }
    const auto cued = [&](auto& p, int i) { return p.WaitForLog("mci> cue movie next \"" + files[i] + "\"", 20s); };
    const auto ctl = [&](const std::string& args) { bus.Run("playerctl -p velkaf " + args); };
    std::string log;
    const std::vector<std::string> env = {kLatency30, bus.Environment()};
    const std::vector<int> left = PlayAndRecord({files[0], files[1], files[2]}, log, env, [&](PlayerProcess& p) {
        ASSERT_TRUE(p.WaitForLog("on the session bus", 20s) && cued(p, 1)) << p.Log();
        std::this_thread::sleep_for(500ms);
        ctl("next");
        ASSERT_TRUE(cued(p, 2)) << p.Log();
        std::this_thread::sleep_for(500ms);
        ctl("open 'file://" + files[3] + "'");
        ASSERT_TRUE(p.WaitForLogAfter("mci> open \"d.flac\"", "mci> close movie", 20s)) << p.Log();
    });
    EXPECT_NE(log.find("device: opened " + files[1]), std::string::npos) << log;
    EXPECT_EQ(log.find("device: adopted "), std::string::npos) << log;
    // What sounded, 20 ms at a time: the strongest of the four tones.
    int windows[4] = {};
    for (std::size_t at = 0; at + 882 <= left.size(); at += 882) {
        double best = 1e9;  // below: silence
        int which = -1;
        for (int t = 0; t < 4; ++t)
            if (const double p = Power(left, at, 882, hz[t]); p > best) best = p, which = t;
        if (which >= 0) ++windows[which];
    }
    EXPECT_EQ(windows[2], 0) << "c was cued when d was chosen";
    EXPECT_GT(windows[3], 100) << "d plays whole";
}
}  // namespace
