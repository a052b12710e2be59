// Loudness tags as heard: the real player plays a list with the default settings into a private PulseAudio null sink
// whose monitor is recorded. Tones at different levels, tagged as a tagger would (the gain from the decoded file's own
// level), come out at the level the tags promise; a gain that would clip is lowered to fit; two pieces of the seam
// tool's tone with different gains still join with every sample once.
#include "tests/e2e/SoundRecording.h"

namespace {
constexpr double kTarget = 0.25 / M_SQRT2;  // the promised level: the RMS of a sine at a quarter of full scale

double Rms(const std::vector<int>& x, std::size_t at, std::size_t n) {  // fraction of full scale
    double sum = 0;
    for (std::size_t i = at; i < at + n && i < x.size(); ++i) sum += double(x[i]) * x[i];
    return std::sqrt(sum / std::max<std::size_t>(n, 1)) / 32768;
}
double Db(double amplitude) { return 20 * std::log10(amplitude); }
double Peak(const std::vector<int>& x) {
    return std::abs(*std::ranges::max_element(x, {}, [](int v) { return std::abs(v); })) / 32768.0;
}

class LoudnessE2E : public SoundE2E {
protected:
    void SetUp() override {
        SKIP_WITHOUT("python3-mutagen");
        SoundE2E::SetUp();
    }
    // media/name made by ffmpeg from `input` (inputs and options); returns its path.
    std::string Make(const std::string& name, const std::string& input) {
        ShellOutput("ffmpeg -nostdin -v error " + input + " '" + m_media.path() + name + "'");
        return m_media.path() + name;
    }
    // The file as a decoder gives it, what a tagger measures.
    std::vector<int> Decoded(const std::string& path) {
        ShellOutput("ffmpeg -nostdin -v error -i '" + path + "' -f s16le -ac 2 -ar 44100 '" + path + ".raw'");
        return ReadLeft(path + ".raw");
    }
    // With mutagen, as taggers write them: ID3v2 TXXX frames in MP3, else Vorbis or Opus comments.
    void Tag(const std::string& path, const std::vector<std::pair<std::string, std::string>>& fields) {
        const bool id3 = path.ends_with(".mp3");
        std::string py = id3 ? "from mutagen.mp3 import MP3; from mutagen.id3 import TXXX; f=MP3('" + path +
                                   "'); f.tags is None and f.add_tags();"
                             : "import mutagen; f=mutagen.File('" + path + "');";
        for (const auto& [k, v] : fields)
            py += id3 ? "f.tags.add(TXXX(desc='" + k + "',text=['" + v + "']));" : "f['" + k + "']='" + v + "';";
        ShellOutput("/usr/bin/python3 -c \"" + py + "f.save()\"");
    }
};

TEST_F(LoudnessE2E, TaggedTracksPlayAtOneLevelUnclippedAndJoinExactly) {
    const auto tone = [](double hz, double amplitude) {
        return std::to_string(amplitude) + "*sin(2*PI*" + std::to_string(hz) + "*t)";
    };
    const auto source = [](const std::string& signal, const char* seconds) {
        return "-f lavfi -i 'aevalsrc=" + signal + ":s=44100:c=stereo:d=" + seconds + "' ";
    };
    // Tones at three levels, tagged with the gain that brings the decoded file to kTarget (R128 in Opus: in 1/256 dB,
    // 5 dB below ReplayGain's reference).
    struct Track { const char* name; double hz, amplitude; const char* options; };
    const Track levelled[] = {{"a.flac", 330, 0.5, ""}, {"b.mp3", 550, 0.1, "-c:a libmp3lame -b:a 192k"},
                              {"c.opus", 660, 0.7, "-c:a libopus -b:a 128k"}};
    std::vector<std::string> files;
    for (int t = 0; t < 3; ++t) {
        files.push_back(Make(levelled[t].name, source(tone(levelled[t].hz, levelled[t].amplitude), "1.5") +
                                                   levelled[t].options));
        const std::vector<int> decoded = Decoded(files.back());
        const double rms = Rms(decoded, 0, decoded.size()), gain = Db(kTarget / rms);
        const long r128 = std::lround((gain - 5) * 256), hundredths = std::lround(gain * 100);
        char text[32];
        std::snprintf(text, sizeof text, "%+.2f dB", hundredths / 100.0);
        const std::string peak = std::to_string(Peak(decoded));
        if (files.back().ends_with(".opus")) Tag(files.back(), {{"R128_TRACK_GAIN", std::to_string(r128)}});
        else Tag(files.back(), {{"REPLAYGAIN_TRACK_GAIN", text}, {"REPLAYGAIN_TRACK_PEAK", peak}});
    }
    // +12 dB would lift a half-scale sine far past full scale: lowered to fit its peak.
    files.push_back(Make("d.flac", source(tone(770, 0.5), "1.5")));
    const std::vector<int> clip = Decoded(files.back());
    const double clipPeak = Peak(clip);
    Tag(files.back(), {{"REPLAYGAIN_TRACK_GAIN", "+12.00 dB"}, {"REPLAYGAIN_TRACK_PEAK", std::to_string(clipPeak)}});
    // The seam tool's tone (440 Hz) cut in two pieces of 3 s with different gains.
    const std::vector<std::string> pieces = Pieces(2, "flac", {"ffmpeg"});
    for (const auto& [piece, gain] : {std::pair{pieces[0], "-2 dB"}, {pieces[1], "-5 dB"}})
        Tag(files.emplace_back(piece), {{"REPLAYGAIN_TRACK_GAIN", gain}, {"REPLAYGAIN_TRACK_PEAK", "0.9"}});
    std::string log;
    PlayAndRecord(files, log, {"PULSE_LATENCY_MSEC=30"}, m_home.path() + "rec.raw");  // the default settings
    const std::vector<int> x = ReadLeft(m_home.path() + "rec.raw");
    for (std::size_t i = 1; i < files.size(); ++i)
        EXPECT_NE(log.find("mci> cue movie next \"" + files[i] + "\" gain "), std::string::npos) << files[i];
    // 20 ms at a time: the strongest tone; each track's median level and its samples at full scale.
    const double hz[] = {330, 550, 660, 770, 440};
    std::vector<double> levels[5];
    std::size_t fullScale = 0;
    for (std::size_t at = 0; at + 882 <= x.size(); at += 882) {
        int which = -1;
        double best = 1e10;  // below: silence
        for (int t = 0; t < 5; ++t)
            if (const double p = Power(x, at, 882, hz[t]); p > best) { best = p; which = t; }
        if (which < 0) continue;
        levels[which].push_back(Rms(x, at, 882));
        if (which == 3) fullScale += std::count_if(&x[at], &x[at] + 882, [](int v) { return std::abs(v) >= 32767; });
    }
    const auto median = [](std::vector<double> v) {
        std::nth_element(v.begin(), v.begin() + v.size() / 2, v.end());
        return v.empty() ? 0.0 : v[v.size() / 2];
    };
    for (int t = 0; t < 3; ++t) {
        EXPECT_NEAR(Db(median(levels[t])), Db(kTarget), 0.3) << levelled[t].name;
        EXPECT_GT(levels[t].size(), 60u) << levelled[t].name << " sounded whole";
    }
    const double fitted = Db(Rms(clip, 0, clip.size()) / clipPeak);  // raised until its peak is at full scale
    EXPECT_NEAR(Db(median(levels[3])), fitted, 0.3) << "the gain lowered to fit the peak, not clipped";
    EXPECT_LT(fullScale, levels[3].size() * 882 / 50) << "a clipped sine stays at full scale";  // 2 % of its samples
    // The join: every sample once and no silence, each piece at its own gain (the first half of the 440 Hz windows
    // the first piece's).
    const Seams seams = MeasureSeams(m_home.path() + "rec.raw", 2);
    EXPECT_EQ(seams.changes, std::vector<long>{0}) << "samples lost (< 0) or inserted (> 0): " << seams.said;
    EXPECT_LE(seams.silenceMs, 0.1) << "a silence at the join: " << seams.said;
    const std::vector<double>& joined = levels[4];
    const std::size_t half = joined.size() / 2;
    const double step =
        Db(median({joined.begin() + half, joined.end()}) / median({joined.begin(), joined.begin() + half}));
    EXPECT_NEAR(step, -3, 0.3) << "each piece with its own gain";
    // The mode beside KORU.vol: missing at the first start (the default, logged), written at quit.
    EXPECT_NE(log.find("no loudness mode in"), std::string::npos) << log;
    EXPECT_EQ(m_home.Read("KORU.gain"), "auto\n");
}
}  // namespace
