// Loudness tags as heard: the real player plays a list with the default settings into a private PulseAudio null sink
// whose monitor is recorded. Tones at different levels, tagged as a tagger would (the gain from the decoded file's own
// level), come out at the level the tags promise; a gain that would clip is lowered to fit; two pieces of one signal
// with different gains still join with every sample once.
#include <gtest/gtest.h>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <tuple>
#include <vector>
#include "tests/e2e/PlayerProcess.h"
#include "tests/support/TestSupport.h"

namespace {
constexpr int kRate = 44100;
constexpr double kTarget = 0.25 / M_SQRT2;  // the promised level: the RMS of a sine at a quarter of full scale
constexpr int kPiece = 66150;               // 1.5 s: each seam piece; its mark lies 0.5 s in
constexpr int kBurst = 441;                 // the mark: 10 ms of 3 kHz

std::vector<int> ReadLeft(const std::string& raw) {  // raw s16le stereo
    std::ifstream in(raw, std::ios::binary);
    std::vector<char> b((std::istreambuf_iterator<char>(in)), {});
    std::vector<int> left;
    for (std::size_t i = 0; i + 4 <= b.size(); i += 4)
        left.push_back(static_cast<int16_t>(static_cast<uint8_t>(b[i]) | static_cast<uint8_t>(b[i + 1]) << 8));
    return left;
}

double Power(const std::vector<int>& x, std::size_t at, std::size_t n, double f) {  // Goertzel
    const double k = 2 * std::cos(2 * M_PI * f / kRate);
    double s1 = 0, s2 = 0;
    for (std::size_t i = at; i < at + n; ++i) std::tie(s1, s2) = std::make_tuple(x[i] + k * s1 - s2, s1);
    return s1 * s1 + s2 * s2 - k * s1 * s2;
}

double Burst(int i) { return std::sin(2 * M_PI * 3000 * i / kRate) * (0.5 - 0.5 * std::cos(2 * M_PI * i / kBurst)); }

// The marks: strong 3 kHz windows at least 0.5 s apart, each placed where the burst correlates best.
std::vector<int> Marks(const std::vector<int>& x) {
    std::vector<std::pair<double, int>> coarse;
    for (int p = 0; p + kBurst < static_cast<int>(x.size()); p += kBurst / 4)
        coarse.push_back({Power(x, p, kBurst, 3000), p});
    double peak = 0;
    for (const auto& [e, p] : coarse) peak = std::max(peak, e);
    std::vector<int> marks;
    for (const auto& [e, p] : coarse) {
        if (e < 0.05 * peak || (!marks.empty() && p - marks.back() < kRate / 2)) continue;
        double best = -1e300;
        int at = p;
        for (int q = std::max(0, p - kBurst); q < std::min(static_cast<int>(x.size()) - kBurst, p + kBurst); ++q) {
            double c = 0;
            for (int i = 0; i < kBurst; ++i) c += Burst(i) * x[q + i];
            if (c > best) best = c, at = q;
        }
        marks.push_back(at);
    }
    return marks;
}

double Db(double amplitude) { return 20 * std::log10(amplitude); }

class LoudnessE2E : public ::testing::Test {
protected:
    void SetUp() override {
        SKIP_WITHOUT("pulseaudio", "parecord", "ffmpeg");
        if (ShellOutput("/usr/bin/python3 -c 'import mutagen; print(1)'") != "1")
            GTEST_SKIP() << "python3-mutagen missing";
        pulse_ = std::make_unique<TestDaemon>(
            std::vector<std::string>{"pulseaudio", "-n", "--daemonize=no", "--disable-shm=yes", "--exit-idle-time=-1",
                                     "--system=no", "-L", "module-null-sink sink_name=rec", "-L",
                                     "module-native-protocol-unix auth-anonymous=1"},
            pulseEnv_, false);
        ASSERT_TRUE(Eventually([&] { return std::filesystem::exists(runtime_.path() + "pulse/native"); }, 5s));
    }
    // Encodes `signal` (an aevalsrc expression of t, 1.5 s) into media/name with ffmpeg `options`.
    std::string Make(const std::string& name, const std::string& signal, const std::string& options = "") {
        const std::string path = media_.path() + name;
        ShellOutput("ffmpeg -nostdin -v error -f lavfi -i 'aevalsrc=" + signal + ":s=44100:c=stereo:d=1.5' " + options +
                    " '" + path + "'");
        return path;
    }
    // The RMS and peak of the file as a decoder gives it (what a tagger measures), fractions of full scale.
    std::pair<double, double> Decoded(const std::string& path) {
        const std::string raw = path + ".raw";
        ShellOutput("ffmpeg -nostdin -v error -i '" + path + "' -f s16le -ac 2 -ar 44100 '" + raw + "'");
        const std::vector<int> x = ReadLeft(raw);
        double sum = 0, peak = 0;
        for (int v : x) sum += double(v) * v, peak = std::max(peak, std::abs(v) / 32768.0);
        return {std::sqrt(sum / std::max<std::size_t>(1, x.size())) / 32768.0, peak};
    }
    // Sets Vorbis comments, ID3v2 TXXX frames (MP3) or Opus comments with mutagen, as taggers write them.
    void Tag(const std::string& path, const std::vector<std::pair<std::string, std::string>>& fields) {
        const bool id3 = path.ends_with(".mp3");
        std::string py = id3 ? "from mutagen.mp3 import MP3; from mutagen.id3 import TXXX; f=MP3('" + path +
                                   "'); f.tags is None and f.add_tags();"
                             : "import mutagen; f=mutagen.File('" + path + "');";
        for (const auto& [k, v] : fields)
            py += id3 ? "f.tags.add(TXXX(desc='" + k + "',text=['" + v + "']));" : "f['" + k + "']='" + v + "';";
        ShellOutput("/usr/bin/python3 -c \"" + py + "f.save()\"");
    }
    std::vector<int> PlayAndRecord(const std::vector<std::string>& files, std::string& log) {
        TempFolder home;
        WriteStateFiles(home.path(), {}, "Repeat=0");
        const std::string raw = home.path() + "rec.raw";
        {
            const TestDaemon recorder(
                {"parecord", "--raw", "--format=s16le", "--rate=44100", "--channels=2", "-d", "rec.monitor", raw},
                pulseEnv_, false);
            std::this_thread::sleep_for(300ms);
            PlayerProcess player(home.path(), files, {pulseEnv_[0], pulseEnv_[1], "PULSE_LATENCY_MSEC=30"});
            player.WaitForLogAfter("mci> open \"" + files.back().substr(files.back().rfind('/') + 1) + "\"",
                                   "mci> close movie", 40s);
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
};

TEST_F(LoudnessE2E, TaggedTracksPlayAtOneLevelUnclippedAndJoinExactly) {
    const auto tone = [](double hz, double amplitude) {
        return std::to_string(amplitude) + "*sin(2*PI*" + std::to_string(hz) + "*t)";
    };
    struct Track { const char* name; double hz, amplitude; const char* options; bool r128; };
    const Track levelled[] = {
        {"a.flac", 440, 0.5, "", false}, {"b.mp3", 550, 0.1, "-c:a libmp3lame -b:a 192k", false},
        {"c.opus", 660, 0.7, "-c:a libopus -b:a 128k", true},
    };
    std::vector<std::string> files;
    std::vector<double> promised;  // dBFS
    for (const Track& t : levelled) {
        files.push_back(Make(t.name, tone(t.hz, t.amplitude), t.options));
        const auto [rms, peak] = Decoded(files.back());
        const double gain = Db(kTarget / rms);
        char text[32];
        if (t.r128) {
            std::snprintf(text, sizeof text, "%ld", std::lround((gain - 5) * 256));
            Tag(files.back(), {{"R128_TRACK_GAIN", text}});
            promised.push_back(Db(rms) + std::lround((gain - 5) * 256) / 256.0 + 5);
        } else {
            std::snprintf(text, sizeof text, "%+.2f dB", gain);
            Tag(files.back(), {{"REPLAYGAIN_TRACK_GAIN", text}, {"REPLAYGAIN_TRACK_PEAK", std::to_string(peak)}});
            promised.push_back(Db(rms) + std::round(gain * 100) / 100);
        }
    }
    // +12 dB would lift a half-scale sine far past full scale: lowered to fit, the peak stays within it.
    files.push_back(Make("d.flac", tone(770, 0.5)));
    const auto [clipRms, clipPeak] = Decoded(files.back());
    Tag(files.back(), {{"REPLAYGAIN_TRACK_GAIN", "+12.00 dB"}, {"REPLAYGAIN_TRACK_PEAK", std::to_string(clipPeak)}});
    // One signal with a mark 0.5 s into each piece, cut in two; the pieces get different gains.
    const std::string marked = tone(880, 0.5) + "+if(between(mod(t\\,1.5)\\,0.5\\,0.51)\\,0.4*sin(2*PI*3000*t)*"
                                                "(0.5-0.5*cos(2*PI*(mod(t\\,1.5)-0.5)/0.01))\\,0)";  // commas escaped
    const std::string whole = media_.path() + "whole.wav";
    ShellOutput("ffmpeg -nostdin -v error -f lavfi -i 'aevalsrc=" + marked + ":s=44100:c=stereo:d=3' '" + whole + "'");
    for (const auto& [name, cut, gain] :
         {std::tuple{"e1.flac", "-t 1.5", "-2.00 dB"}, {"e2.flac", "-ss 1.5", "-5.00 dB"}}) {
        files.push_back(media_.path() + name);
        ShellOutput("ffmpeg -nostdin -v error -i '" + whole + "' " + cut + " '" + files.back() + "'");
        Tag(files.back(), {{"REPLAYGAIN_TRACK_GAIN", gain}, {"REPLAYGAIN_TRACK_PEAK", "0.9"}});
    }

    std::string log;
    const std::vector<int> x = PlayAndRecord(files, log);
    for (std::size_t i = 0; i + 1 < files.size(); ++i)
        EXPECT_NE(log.find("mci> cue movie next \"" + files[i + 1] + "\" gain "), std::string::npos) << files[i + 1];

    // What sounded, 20 ms at a time: the strongest of the tones, and the window's level.
    const double hz[] = {440, 550, 660, 770};
    std::vector<double> levels[4];
    std::size_t fullScale[4] = {}, windows[4] = {};
    for (std::size_t at = 0; at + 882 <= x.size(); at += 882) {
        double best = 1e10;
        int which = -1;
        for (int t = 0; t < 4; ++t)
            if (const double p = Power(x, at, 882, hz[t]); p > best) best = p, which = t;
        if (which < 0 || Power(x, at, 882, 880) > best) continue;
        double sum = 0;
        for (std::size_t i = at; i < at + 882; ++i)
            sum += double(x[i]) * x[i], fullScale[which] += std::abs(x[i]) >= 32767;
        levels[which].push_back(std::sqrt(sum / 882) / 32768), ++windows[which];
    }
    const auto median = [](std::vector<double> v) {
        if (v.empty()) return 0.0;
        std::nth_element(v.begin(), v.begin() + v.size() / 2, v.end());
        return v[v.size() / 2];
    };
    for (int t = 0; t < 3; ++t) {
        const double heard = Db(median(levels[t]));
        std::printf("%s: heard %.2f dBFS, promised %.2f dBFS\n", levelled[t].name, heard, promised[t]);
        EXPECT_NEAR(heard, promised[t], 0.3) << levelled[t].name;
        EXPECT_NEAR(heard, Db(kTarget), 0.3) << levelled[t].name;
        EXPECT_GT(windows[t], 60u) << levelled[t].name << " sounded whole";
    }
    const double clipHeard = Db(median(levels[3])), clipExpected = Db(clipRms / clipPeak);
    std::printf("d.flac: heard %.2f dBFS, %zu of %zu samples at full scale; fitted %.2f dBFS\n", clipHeard,
                fullScale[3], windows[3] * 882, clipExpected);
    EXPECT_NEAR(clipHeard, clipExpected, 0.3) << "the gain lowered to fit the peak, not clipped";
    EXPECT_LT(fullScale[3], windows[3] * 882 / 50) << "a clipped sine stays at full scale";

    const std::vector<int> marks = Marks(x);
    ASSERT_EQ(marks.size(), 2u) << "the two marked pieces";
    EXPECT_EQ(marks[1] - marks[0], kPiece) << "samples lost (< 0) or inserted (> 0) at the join";
    const auto rms = [&](int from) {  // 0.5 s after a mark
        double sum = 0;
        for (int i = from + kBurst; i < from + kBurst + kRate / 2; ++i) sum += double(x[i]) * x[i];
        return std::sqrt(sum / (kRate / 2));
    };
    std::printf("join: %d samples off, second piece %.2f dB from the first\n", marks[1] - marks[0] - kPiece,
                Db(rms(marks[1]) / rms(marks[0])));
    EXPECT_NEAR(Db(rms(marks[1]) / rms(marks[0])), -3, 0.3) << "each piece with its own gain";
    std::size_t run = 0, longest = 0;
    for (int i = marks[0]; i < marks[1]; ++i) longest = std::max(longest, run = std::abs(x[i]) < 300 ? run + 1 : 0);
    EXPECT_LE(longest, 4u) << "a silence at the join";
}
}  // namespace
