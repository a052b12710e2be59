// Continuous sound across changes of track, as heard: a private PulseAudio server with one null
// sink, its monitor recorded while the real player plays a list cut from one continuous tone with
// a mark one second into every piece. The seam tool finds the marks by correlation and gives, for
// every change, the samples lost (< 0) or inserted (> 0), and the longest silence.
#include "tests/e2e/SoundRecording.h"

namespace {
const std::string kLatency30 = "PULSE_LATENCY_MSEC=30";
using Strings = std::vector<std::string>;

class GaplessE2E : public SoundE2E {
protected:
    // Plays `files` as the list and measures every change of track; a recording that the machine
    // cut into (a change outside `least`..`most` samples) is made once more.
    Seams PlayAndMeasure(const std::vector<std::string>& files, std::string& log,
                         const std::vector<std::string>& environment, long least = 0, long most = 0) {
        Seams s;
        for (int attempt = 0; attempt < 2; ++attempt) {
            PlayAndRecord(files, log, environment, m_home.path() + "rec.raw");
            s = MeasureSeams(m_home.path() + "rec.raw", static_cast<int>(files.size()));
            bool within = s.changes.size() + 1 == files.size();
            for (long c : s.changes) within = within && c >= least && c <= most;
            if (within) break;
        }
        return s;
    }
};

// A list of four pieces of one tone records as the tone: every sample once at each of the three
// changes, and no silence, in every format whose files state their real length (the MP3 in its
// LAME tag, the AAC in its edit list: its encoder's padding is never heard). The tick cued each
// next entry and the device adopted it as it sounded.
TEST_F(GaplessE2E, EveryChangeOfAListRecordsAsTheWholeTone) {
    struct Case { const char* ext; const char* encoder; bool defaultLatency; };
    const Case cases[] = {
        {.ext = "flac", .encoder = "ffmpeg", .defaultLatency = false},
        {.ext = "flac", .encoder = "ffmpeg", .defaultLatency = true},
        {.ext = "wav", .encoder = "ffmpeg", .defaultLatency = false},
        {.ext = "mp3", .encoder = "lame", .defaultLatency = false},
        {.ext = "ogg", .encoder = "oggenc", .defaultLatency = false},
        {.ext = "opus", .encoder = "opusenc", .defaultLatency = false},
        {.ext = "wv", .encoder = "ffmpeg", .defaultLatency = false},
        {.ext = "m4a", .encoder = "ffmpeg -c:a aac", .defaultLatency = false},
    };
    for (const Case& c : cases) {
        const std::string what = c.ext + std::string(c.defaultLatency ? " at the default latency" : " at 30 ms");
        const std::vector<std::string> files = Pieces(4, c.ext, {c.encoder});
        std::string log;
        const Seams s = PlayAndMeasure(files, log, c.defaultLatency ? Strings{} : Strings{kLatency30});
        EXPECT_EQ(s.changes, (std::vector<long>{0, 0, 0})) << what << ": " << s.said;
        EXPECT_LE(s.silenceMs, 1) << what << ": " << s.said;
        for (std::size_t k = 1; k < files.size(); ++k) {
            EXPECT_NE(log.find("mci> cue movie next \"" + files[k] + "\""), std::string::npos) << what << "\n" << log;
            EXPECT_NE(log.find("device: adopted " + files[k]), std::string::npos) << what << "\n" << log;
        }
        EXPECT_EQ(log.find("not queued"), std::string::npos) << what << "\n" << log;
    }
}

// A change of sample rate (44.1 kHz, then 48 kHz) joins exactly; changes between a track with a
// picture and one without do as well as libmpv's own play of the same pair (measured beside mpv:
// picture then sound 1171 to 1702 samples short, sound then picture 2459, as it syncs the sound
// to the new picture), with no silence.
TEST_F(GaplessE2E, ChangesOfFormatJoinAsLibmpvDoes) {
    const std::string video = "ffmpeg -f lavfi -i testsrc2=s=160x120:r=25 -map 1:v -map 0:a -c:v mpeg4 -c:a flac "
                              "-shortest";
    struct Case { const char* what; const char* ext; Strings encoders; long least, most; };
    const Case cases[] = {
        {.what = "44.1 then 48 kHz", .ext = "flac", .encoders = {"ffmpeg", "ffmpeg -ar 48000"}, .least = -2, .most = 2},
        {.what = "picture, sound", .ext = "mkv", .encoders = {video, "ffmpeg -c:a flac"}, .least = -1800, .most = 0},
        {.what = "sound, picture", .ext = "mkv", .encoders = {"ffmpeg -c:a flac", video}, .least = -2600, .most = 0},
    };
    for (const Case& c : cases) {
        std::string log;
        const Seams s = PlayAndMeasure(Pieces(2, c.ext, c.encoders), log, {kLatency30}, c.least, c.most);
        ASSERT_EQ(s.changes.size(), 1u) << c.what << ": " << s.said;
        EXPECT_GE(s.changes[0], c.least) << c.what << ": samples lost";
        EXPECT_LE(s.changes[0], c.most) << c.what << ": samples inserted";
        EXPECT_LE(s.silenceMs, 100) << c.what;
        EXPECT_NE(log.find("device: adopted "), std::string::npos) << c.what << "\n" << log;
    }
}

// A sound server that goes away in the middle of a track and comes back on the same socket, or
// one that first appears after the player has started: the track plays on silently meanwhile,
// its null sink hears it again within 2 s of the server's return, and standard error says when
// the sound went and when it came back.
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

// Choices over the desktop bus while an entry is cued: NEXT opens the next entry afresh (the
// cued read-ahead is dropped, not adopted); a file opened over the bus plays at once, and the
// entry cued then never sounds.
TEST_F(GaplessE2E, ChoicesWhileAnEntryIsCuedPlayOnlyTheChosen) {
    SKIP_WITHOUT("dbus-daemon", "playerctl");
    const SessionBus bus;
    ASSERT_FALSE(bus.FirstLine().empty());
    const double hz[] = {440, 550, 660, 880};  // a, b, c: the list; d: opened over the bus
    std::vector<std::string> files;
    for (int t = 0; t < 4; ++t) WriteToneWav(files.emplace_back(m_media.path() + "abcd"[t] + ".wav"), 3, hz[t], 0.2);
    const auto cued = [&](auto& p, int i) { return p.WaitForLog("mci> cue movie next \"" + files[i] + "\"", 20s); };
    std::string log;
    const std::string raw = m_home.path() + "rec.raw";
    PlayAndRecord({files[0], files[1], files[2]}, log, {kLatency30, bus.Environment()}, raw, [&](PlayerProcess& p) {
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
    const std::vector<int> left = ReadLeft(raw);
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
}  // namespace
