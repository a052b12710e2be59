// What the player sounds like, as heard: a private PulseAudio server with one null sink, its monitor recorded.
// Continuous sound across changes of track: the real player plays a list cut from one continuous tone with a mark one
// second into every piece; the seam tool finds the marks by correlation and gives, for every change, the samples lost
// (< 0) or inserted (> 0), and the longest silence. Loudness tags: a list played with the default settings, tones at
// different levels tagged as a tagger would (the gain from the decoded file's own level), comes out at the level the
// tags promise; a gain that would clip is lowered to fit; two pieces of the seam tool's tone with different gains still
// join with every sample once.
#include "tests/e2e/SoundRecording.h"

namespace {
const std::string kLatency30 = "PULSE_LATENCY_MSEC=30";
using Strings = std::vector<std::string>;
constexpr double kTarget = 0.25 / M_SQRT2;  // the promised level: the RMS of a sine at a quarter of full scale
using GaplessE2E = SoundE2E;

// A list of four pieces of one tone records as the tone: every sample once at each of the three changes, and no
// silence, in every format whose files state their real length (the MP3 in its LAME tag, the AAC in its edit list: its
// encoder's padding is never heard). A change of sample rate (44.1 kHz, then 48 kHz) joins exactly; changes between a
// track with a picture and one without do as well as libmpv's own play of the same pair (measured beside mpv: picture
// then sound 1171 to 1702 samples short, sound then picture 2459, as it syncs the sound to the new picture), with no
// silence. The device adopted each next entry, cued by the tick, as it sounded.
TEST_F(GaplessE2E, EveryChangeOfAListRecordsAsTheWholeToneOrAsLibmpvJoinsAChangeOfFormat) {
    const std::string video = "ffmpeg -f lavfi -i testsrc2=s=160x120:r=25 -map 1:v -map 0:a -c:v mpeg4 -c:a flac "
                              "-shortest";
    // Four pieces by one encoder, else one by each encoder; every change `least`..`most` samples, silences <= `ms`.
    struct Case { const char* what; const char* ext = "flac"; Strings encoders; Strings env = {kLatency30};
                  long least = 0, most = 0; double ms = 1; };
    const Case cases[] = {
        {.what = "flac at 30 ms", .encoders = {"ffmpeg"}},
        {.what = "flac at the default latency", .encoders = {"ffmpeg"}, .env = {}},
        {.what = "wav", .ext = "wav", .encoders = {"ffmpeg"}},
        {.what = "mp3", .ext = "mp3", .encoders = {"lame"}},
        {.what = "ogg", .ext = "ogg", .encoders = {"oggenc"}},
        {.what = "opus", .ext = "opus", .encoders = {"opusenc"}},
        {.what = "wv", .ext = "wv", .encoders = {"ffmpeg"}},
        {.what = "m4a", .ext = "m4a", .encoders = {"ffmpeg -c:a aac"}},
        {.what = "44.1 then 48 kHz", .encoders = {"ffmpeg", "ffmpeg -ar 48000"}, .least = -2, .most = 2, .ms = 100},
        {.what = "picture, sound", .ext = "mkv", .encoders = {video, "ffmpeg -c:a flac"}, .least = -1800, .ms = 100},
        {.what = "sound, picture", .ext = "mkv", .encoders = {"ffmpeg -c:a flac", video}, .least = -2600, .ms = 100},
    };
    for (const Case& c : cases) {
        const int pieces = c.encoders.size() > 1 ? int(c.encoders.size()) : 4;
        const std::vector<std::string> files = Pieces(pieces, c.ext, c.encoders);
        std::string log;
        Seams s;
        const auto within = [&](long change) { return change >= c.least && change <= c.most; };
        for (int attempt = 0; attempt < 2; ++attempt) {  // a recording the machine cut into is made once more
            log = PlayAndRecord(files, c.env);
            s = MeasureSeams(m_rec, pieces);
            if (s.changes.size() + 1 == files.size() && std::ranges::all_of(s.changes, within)) break;
        }
        EXPECT_EQ(s.changes.size(), files.size() - 1) << c.what << ": " << s.said;
        EXPECT_TRUE(std::ranges::all_of(s.changes, within)) << c.what << ": samples lost (< 0) or inserted, " << s.said;
        EXPECT_LE(s.silenceMs, c.ms) << c.what << ": " << s.said;
        for (std::size_t k = 1; k < files.size(); ++k)
            EXPECT_NE(log.find("device: adopted " + files[k]), std::string::npos) << c.what << "\n" << log;
        EXPECT_EQ(log.find("not queued"), std::string::npos) << c.what << "\n" << log;
    }
}

// A sound server that goes away in the middle of a track and comes back on the same socket, or one that first appears
// after the player has started: the track plays on silently meanwhile, its null sink hears it again within 2 s of the
// server's return, and standard error says when the sound went and when it came back.
TEST_F(GaplessE2E, SoundComesBackWithItsServer) {
    const std::string tone = MediaPath("long.mp3");  // 20 s at 440 Hz
    for (const bool late : {false, true}) {
        SCOPED_TRACE(late ? "a server that starts late" : "a server that restarts");
        if (late) m_pulse.daemon.reset();
        WriteStateFiles(m_home.path(), {}, "Repeat=0");
        PlayerProcess player(m_home.path(), {tone}, {m_pulse.env[0], m_pulse.env[1]});
        ASSERT_TRUE(player.WaitForLog("mci> play movie", 20s)) << player.Log();
        if (!late) {
            const std::vector<int> before = Record(2s);
            EXPECT_TRUE(std::any_of(before.begin(), before.end(), [](int v) { return v > 2000; }))
                << before.size() << " samples before the restart, none loud\n" << player.Log();
            m_pulse.daemon.reset();
        }
        std::this_thread::sleep_for(3s);
        ASSERT_TRUE(m_pulse.Start()) << "pulseaudio did not start";
        const std::vector<int> after = Record(4s);
        const auto heard = std::find_if(after.begin(), after.end(), [](int v) { return std::abs(v) > 2000; });
        ASSERT_NE(heard, after.end()) << "no sound after the server came back\n" << player.Log();
        EXPECT_LT(heard - after.begin(), 2 * 44100);  // 2 s
        const std::string log = player.Log();
        EXPECT_LT(log.find("no sound output could be opened"), log.find("the sound output is back")) << log;
        EXPECT_EQ(player.Quit(), 0);
    }
}

// Choices over the desktop bus while an entry is cued: NEXT opens the next entry afresh (the cued read-ahead is
// dropped, not adopted); a file opened over the bus plays at once, and the entry cued then never sounds.
TEST_F(GaplessE2E, ChoicesWhileAnEntryIsCuedPlayOnlyTheChosen) {
    SKIP_WITHOUT("dbus-daemon", "playerctl");
    const SessionBus bus;
    ASSERT_FALSE(bus.FirstLine().empty());
    const double hz[] = {440, 550, 660, 880};  // a, b, c: the list; d: opened over the bus
    std::vector<std::string> files;
    for (int t = 0; t < 4; ++t) WriteToneWav(files.emplace_back(m_media.path() + "abcd"[t] + ".wav"), 3, hz[t], 0.2);
    const auto cued = [&](auto& p, int i) { return p.WaitForLog("mci> cue movie next \"" + files[i] + "\"", 20s); };
    const auto log = PlayAndRecord({files[0], files[1], files[2]}, {kLatency30, bus.Environment()}, [&](auto& p) {
        ASSERT_TRUE(p.WaitForLog("on the session bus", 20s) && cued(p, 1)) << p.Log();
        std::this_thread::sleep_for(500ms);
        bus.Run("playerctl -p velkaf next");
        ASSERT_TRUE(cued(p, 2)) << p.Log();
        std::this_thread::sleep_for(500ms);
        bus.Run("playerctl -p velkaf open 'file://" + files[3] + "'");
        ASSERT_TRUE(p.WaitForLogAfter("mci> open \"d.wav\"", "mci> close movie", 20s)) << p.Log();
    });
    EXPECT_NE(log.find("device: opened " + files[1]), std::string::npos) << log;
    EXPECT_EQ(log.find("device: adopted "), std::string::npos) << log;
    const std::vector<int> left = ReadLeft(m_rec);
    // What sounded, 20 ms at a time: a tone ten times stronger than each other one (not the click
    // of a change, which has something of every tone).
    int windows[4] = {};
    for (std::size_t at = 0; at + 882 <= left.size(); at += 882) {
        double power[4];
        for (int t = 0; t < 4; ++t) power[t] = Power(left, at, 882, hz[t]);
        const int top = int(std::ranges::max_element(power) - power);
        const bool alone = std::ranges::count_if(power, [&](double p) { return 10 * p >= power[top]; }) == 1;
        windows[top] += alone && power[top] > 1e9;  // below: silence
    }
    EXPECT_EQ(windows[2], 0) << "c was cued when d was chosen";
    EXPECT_GT(windows[3], 100) << "d plays whole";
}

double Rms(const std::vector<int>& x, std::size_t at, std::size_t n) {  // fraction of full scale
    double sum = 0;
    for (std::size_t i = at; i < at + n && i < x.size(); ++i) sum += double(x[i]) * x[i];
    return std::sqrt(sum / std::max<std::size_t>(n, 1)) / 32768;
}
double Db(double amplitude) { return 20 * std::log10(amplitude); }
double Peak(const std::vector<int>& x) {
    return std::abs(*std::ranges::max_element(x, {}, [](int v) { return std::abs(v); })) / 32768.0;
}

// ffmpeg makes `path` from `input` (inputs and options); the file as a decoder gives it, what a tagger measures.
std::vector<int> MakeDecoded(const std::string& path, const std::string& input) {
    ShellOutput("ffmpeg -nostdin -v error " + input + " '" + path + "'");
    ShellOutput("ffmpeg -nostdin -v error -i '" + path + "' -f s16le -ac 2 -ar 44100 '" + path + ".raw'");
    return ReadLeft(path + ".raw");
}
// With mutagen, as taggers write them: ID3v2 TXXX frames in MP3, else Vorbis or Opus comments.
void Tag(const std::string& path, const std::vector<std::pair<std::string, std::string>>& fields) {
    const bool id3 = path.ends_with(".mp3");
    std::string py = "import mutagen; from mutagen.id3 import TXXX; f=mutagen.File('" + path + "'); "
                     "f.tags is None and f.add_tags();";
    for (const auto& [k, v] : fields)
        py += id3 ? "f.tags.add(TXXX(desc='" + k + "',text=['" + v + "']));" : "f['" + k + "']='" + v + "';";
    ShellOutput("/usr/bin/python3 -c \"" + py + "f.save()\"");
}
using LoudnessE2E = SoundE2E;

TEST_F(LoudnessE2E, TaggedTracksPlayAtOneLevelUnclippedAndJoinExactly) {
    SKIP_WITHOUT("python3-mutagen");
    const auto tone = [](double hz, double amplitude) {  // 1.5 s of a sine in both channels
        return "-f lavfi -i 'aevalsrc=" + std::to_string(amplitude) + "*sin(2*PI*" + std::to_string(hz) + "*t)" +
               ":s=44100:c=stereo:d=1.5' ";
    };
    // Tones at three levels, tagged with the gain that brings the decoded file to kTarget (R128 in Opus: in 1/256 dB,
    // 5 dB below ReplayGain's reference).
    struct Track { const char* name; double hz, amplitude; const char* options; };
    const Track levelled[] = {{"a.flac", 330, 0.5, ""}, {"b.mp3", 550, 0.1, "-c:a libmp3lame -b:a 192k"},
                              {"c.opus", 660, 0.7, "-c:a libopus -b:a 128k"}};
    std::vector<std::string> files;
    for (const Track& t : levelled) {
        files.push_back(m_media.path() + t.name);
        const std::vector<int> decoded = MakeDecoded(files.back(), tone(t.hz, t.amplitude) + t.options);
        const double rms = Rms(decoded, 0, decoded.size()), gain = Db(kTarget / rms);
        const long r128 = std::lround((gain - 5) * 256), hundredths = std::lround(gain * 100);
        char text[32];
        std::snprintf(text, sizeof text, "%+.2f dB", hundredths / 100.0);
        const std::string peak = std::to_string(Peak(decoded));
        if (files.back().ends_with(".opus")) Tag(files.back(), {{"R128_TRACK_GAIN", std::to_string(r128)}});
        else Tag(files.back(), {{"REPLAYGAIN_TRACK_GAIN", text}, {"REPLAYGAIN_TRACK_PEAK", peak}});
    }
    // +12 dB would lift a half-scale sine far past full scale: lowered to fit its peak.
    files.push_back(m_media.path() + "d.flac");
    const std::vector<int> clip = MakeDecoded(files.back(), tone(770, 0.5));
    const double clipPeak = Peak(clip);
    Tag(files.back(), {{"REPLAYGAIN_TRACK_GAIN", "+12.00 dB"}, {"REPLAYGAIN_TRACK_PEAK", std::to_string(clipPeak)}});
    // The seam tool's tone (440 Hz) cut in two pieces of 3 s with different gains.
    const std::vector<std::string> pieces = Pieces(2, "flac", {"ffmpeg"});
    for (const auto& [piece, gain] : {std::pair{pieces[0], "-2 dB"}, {pieces[1], "-5 dB"}})
        Tag(files.emplace_back(piece), {{"REPLAYGAIN_TRACK_GAIN", gain}, {"REPLAYGAIN_TRACK_PEAK", "0.9"}});
    const std::string log = PlayAndRecord(files, {kLatency30});  // the default settings
    const std::vector<int> x = ReadLeft(m_rec);
    for (std::size_t i = 1; i < files.size(); ++i)
        EXPECT_NE(log.find("mci> cue movie next \"" + files[i] + "\" gain "), std::string::npos) << files[i];
    // 20 ms at a time: the strongest tone; each track's median level and its samples at full scale.
    const double hz[] = {330, 550, 660, 770, 440};
    std::vector<double> levels[5];
    std::size_t fullScale = 0;
    for (std::size_t at = 0; at + 882 <= x.size(); at += 882) {
        double power[5];
        for (int t = 0; t < 5; ++t) power[t] = Power(x, at, 882, hz[t]);
        const int which = int(std::ranges::max_element(power) - power);
        if (power[which] <= 1e10) continue;  // silence
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
    const Seams seams = MeasureSeams(m_rec, 2);
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
