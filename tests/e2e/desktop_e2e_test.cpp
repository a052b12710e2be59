// The player under a window manager (openbox on a virtual display of the test's own), driven with xdotool, and
// every picture right as seen on a 1920 x 1080 screen: the video window fits the screen and each new picture, the
// screen saver is held off while a picture plays, and Japanese sound and subtitles come first.
#include <algorithm>
#include <cstdio>
#include <ostream>
#include <regex>
#include <sstream>
#include <thread>
#include "tests/e2e/SoundRecording.h"

namespace {
struct Box { int x = 0, y = 0, w = 0, h = 0; friend bool operator==(const Box&, const Box&) = default; };
std::ostream& operator<<(std::ostream& o, const Box& b) { return o << b.x << "," << b.y << " " << b.w << "x" << b.h; }

// An MPEG-2 clip of one colour, 25 frames a second; "made" once it is.
std::string MakeClip(const std::string& path, const std::string& colour, const std::string& size, int seconds) {
    return ShellOutput("timeout 60 ffmpeg -nostdin -v error -f lavfi -i color=c=" + colour + ":s=" + size +
                       ":r=25 -t " + std::to_string(seconds) + " -c:v mpeg2video -y '" + path + "' && echo made");
}

// Skipped without Xvfb, openbox, xdotool, xwininfo or ffmpeg (the clips); openbox is up once it has named itself on
// the root window, as window managers do. `home` is the player's program folder.
class OpenboxDesktop : public ::testing::Test {
protected:
    explicit OpenboxDesktop(const std::string& size) : desk(size) {}
    void SetUp() override {
        const auto up = [&] { return CountOf(desk.Run("xprop -root _NET_SUPPORTING_WM_CHECK"), "window id") > 0; };
        const std::string missing = MissingTool({"openbox", "xdotool", "xwininfo", "ffmpeg"});
        if (desk.Name().empty() || !missing.empty() || !Eventually(up)) GTEST_SKIP() << "needs Xvfb, " << missing;
    }
    // The first visible window of `pid` (named `name` when given: a regular expression) for which `ok` holds, once
    // there is one; its id in `id`.
    Box Window(pid_t pid, const std::function<bool(const Box&)>& ok, const std::string& name = "",
               std::string* id = nullptr) const {
        const std::string search = "xdotool search --onlyvisible --pid " + std::to_string(pid) +
                                   (name.empty() ? "" : " --all --name '" + name + "'");
        Box found;
        Eventually([&] {
            std::istringstream ids(desk.Run(search));
            for (std::string w; std::getline(ids, w);) {
                Box b;
                std::sscanf(desk.Run("xdotool getwindowgeometry --shell " + w).c_str(),
                            "WINDOW=%*d X=%d Y=%d WIDTH=%d HEIGHT=%d", &b.x, &b.y, &b.w, &b.h);
                if (!ok(b)) continue;
                found = b;
                if (id != nullptr) *id = w;
                return true;
            }
            return false;
        });
        return found;
    }
    Box Window(pid_t pid, int width) const {  // the one `width` wide (the player: 321)
        return Window(pid, [width](const Box& b) { return b.w == width; });
    }
    const VirtualDisplay desk;
    const TestDaemon wm{{"openbox", "--sm-disable"}, {"DISPLAY=" + desk.Name()}, false};
    TempFolder home;
};

struct DesktopE2E : OpenboxDesktop { DesktopE2E() : OpenboxDesktop("1600x1000") {} };

constexpr int kPlayerWidth = 321;

// A touchpad tap (press and release at one instant) on the body moves nothing and the next click acts.
TEST_F(DesktopE2E, TapOnTheSkinIsAClickAndADragMovesTheWindow) {
    WriteStateFiles(home.path(), {}, "x=200\ny=150");
    PlayerProcess player(home.path(), {}, desk.Environment());
    ASSERT_TRUE(player.WaitForLog("first tick done", 20s)) << player.Log();
    const Box start = Window(player.pid(), kPlayerWidth);
    ASSERT_EQ(start, (Box{200, 150, kPlayerWidth, 92})) << player.Log();
    for (int tap = 0; tap < 5; ++tap) {
        desk.Run("xdotool mousemove 320 158 mousedown 1 mouseup 1");  // (120, 8): no button there
        std::this_thread::sleep_for(150ms);
        desk.Run("xdotool mousemove_relative 30 20 sleep 0.1 mousemove_relative -- -30 -20");
        std::this_thread::sleep_for(150ms);
        EXPECT_EQ(Window(player.pid(), kPlayerWidth), start) << "tap " << tap << "\n" << player.Log()
            << desk.Run("xwininfo -root -tree");
    }
    desk.Run("xdotool mousemove 230 192 click 1");  // REPEAT at (30, 42): off, seen in the saved settings
    desk.Run("xdotool mousemove 320 158 mousedown 1 mousemove_relative 6 4 sleep 0.2 "
             "mousemove_relative 24 16 sleep 0.2 mousemove_relative 30 20 sleep 0.3 mouseup 1");
    EXPECT_TRUE(Eventually([&] {
        const Box m = Window(player.pid(), kPlayerWidth);
        return m.x >= 245 && m.x <= 260 && m.y >= 180 && m.y <= 190;
    }, 5s)) << Window(player.pid(), kPlayerWidth);
    ASSERT_EQ(player.Quit(), 0) << player.Log();
    EXPECT_NE(home.Read("KORU.CFG").find("\r\nRepeat=0\r\n"), std::string::npos);
}

// A 1280 x 720 clip's window lies below the player; twice the size fits the screen in shape below the player, at
// scale 2 too.
TEST_F(DesktopE2E, FirstRunShowsThePlayerUncoveredAndTheVideoInsideTheScreen) {
    const std::string clip = home.path() + "clip720.mpg";
    ASSERT_EQ(MakeClip(clip, "navy", "1280x720", 20), "made");
    {
        PlayerProcess player(home.path(), {clip}, desk.Environment());
        EXPECT_EQ(Window(player.pid(), kPlayerWidth), (Box{0, 0, kPlayerWidth, 92})) << player.Log();
        EXPECT_EQ(Window(player.pid(), 1280), (Box{0, 92, 1280, 720})) << player.Log();
        desk.Run("xdotool mousemove 120 8 click 1");  // a click on the player: both stay visible
        desk.Run("xdotool mousemove 165 80 click 1");  // zoom +: 2560 x 1440 wanted
        EXPECT_EQ(Window(player.pid(), 1600), (Box{0, 92, 1600, 900})) << player.Log();
        EXPECT_EQ(Window(player.pid(), kPlayerWidth), (Box{0, 0, kPlayerWidth, 92})) << "uncovered, unmoved";
        ASSERT_EQ(player.Quit(), 0) << player.Log();
        EXPECT_NE(home.Read("KORU.CFG").find("\r\nMovieX=0\r\nMovieY=92\r\n"), std::string::npos);
    }
    TempFolder hidpi;
    PlayerProcess player(hidpi.path(), {clip}, desk.Environment({"QT_SCALE_FACTOR=2"}));
    EXPECT_EQ(Window(player.pid(), 2 * kPlayerWidth), (Box{0, 0, 2 * kPlayerWidth, 184})) << player.Log();
    // 800 x 500 logical pixels: the picture shrinks, keeping its shape, into the 408 rows below the player.
    EXPECT_EQ(Window(player.pid(), 1450), (Box{0, 184, 1450, 816})) << player.Log();
    ASSERT_EQ(player.Quit(), 0) << player.Log();
}

// `--new-instance` on a running player's folder: a guest, it says so, stands apart, leaves the files as they were.
TEST_F(DesktopE2E, SecondPlayerOnTheSameFolderIsAGuestAndTakesNothingAway) {
    std::vector<std::string> entries;
    for (int i = 1; i <= 34; ++i) entries.push_back(home.path() + "music/" + std::to_string(i) + ".wav");
    WriteStateFiles(home.path(), entries, "x=100\ny=100\nRepeat=0");
    const std::string list = home.Read("KORU.tsr");
    WriteToneWav(home.path() + "new.wav", 1.0, 440.0, 0.2);
    PlayerProcess first(home.path(), {}, desk.Environment());
    ASSERT_TRUE(first.WaitForLog("first tick done: 34 entries", 20s)) << first.Log();
    const std::vector<std::string> arguments = {"--new-instance", home.path() + "new.wav"};
    PlayerProcess guest(home.path(), arguments, desk.Environment(), false, "guest.log");
    ASSERT_TRUE(guest.WaitForLog("first tick done: 1 entries", 20s)) << guest.Log();
    EXPECT_NE(guest.Log().find("velkaf: another player is using " + home.path() +
                               ": this one runs as a guest and will not save the playlist, settings or volume"),
              std::string::npos) << guest.Log();
    EXPECT_EQ(Window(first.pid(), kPlayerWidth), (Box{100, 100, kPlayerWidth, 92}));
    EXPECT_EQ(Window(guest.pid(), kPlayerWidth), (Box{132, 132, kPlayerWidth, 92}));
    ASSERT_EQ(first.Quit(), 0) << first.Log();
    const std::string settings = home.Read("KORU.CFG"), volume = home.Read("KORU.vol");
    ASSERT_EQ(guest.Quit(), 0) << guest.Log();
    EXPECT_NE(guest.Log().find("velkaf: guest player quits: the playlist, settings and volume in " + home.path() +
                               " were left as they are"), std::string::npos) << guest.Log();
    EXPECT_EQ(home.Read("KORU.tsr"), list);
    EXPECT_EQ(std::pair(home.Read("KORU.CFG"), home.Read("KORU.vol")), std::pair(settings, volume));
}

// A screenshot of the root window, 24-bit, read back pixel by pixel.
struct Shot {
    int width = 0; std::string rgb;
    uint32_t At(int x, int y) const {
        const std::size_t i = (std::size_t(y) * width + x) * 3;
        if (i + 2 >= rgb.size()) return 0;
        return uint32_t(uint8_t(rgb[i])) << 16 | uint8_t(rgb[i + 1]) << 8 | uint8_t(rgb[i + 2]);
    }
    bool Near(int x, int y, uint32_t c) const {
        const uint32_t p = At(x, y);
        for (int s = 0; s < 24; s += 8) if (std::abs(int(p >> s & 255) - int(c >> s & 255)) > 24) return false;
        return true;
    }
};

// The video windows are found by their title "VELKAF": their picture child is a window of the pid as well.
struct PictureE2E : OpenboxDesktop {
    PictureE2E() : OpenboxDesktop("1920x1080") {}
    Shot Screenshot() const {
        desk.Run("ffmpeg -v error -y -f x11grab -video_size 1920x1080 -i " + desk.Name() +
                 " -frames:v 1 -f rawvideo -pix_fmt rgb24 '" + home.path() + "shot.rgb'");
        return Shot{1920, home.Read("shot.rgb")};
    }
};

// A first run with a 1920 x 1080 clip and then an 854 x 480 one: the first window lies wholly on the
// screen below the player, the second is of its own size, its picture window no larger, and shows its colour.
TEST_F(PictureE2E, FirstRunPicturesFitTheScreenAndEachNewPictureGetsItsOwnWindow) {
    const std::string big = home.path() + "big.mpg", small = home.path() + "small.mpg";
    ASSERT_EQ(MakeClip(big, "0x3050c0", "1920x1080", 2), "made");
    ASSERT_EQ(MakeClip(small, "0xd04020", "854x480", 6), "made");
    PlayerProcess player(home.path(), {big, small}, desk.Environment());
    EXPECT_EQ(Window(player.pid(), [](const Box& b) { return b.w > 854; }, "^VELKAF$"), (Box{0, 92, 1756, 988}));
    std::string id;
    const Box second = Window(player.pid(), [](const Box& b) { return b.w == 854; }, "^VELKAF$", &id);
    ASSERT_EQ(second.h, 480) << second << "\n" << player.Log();
    std::this_thread::sleep_for(700ms);
    // The picture window: the host's one child, no larger than the host.
    const std::string tree = desk.Run("xwininfo -children -id " + id);
    std::smatch child;
    ASSERT_TRUE(std::regex_search(tree, child, std::regex(R"(\)\s+(\d+)x(\d+)[+-])"))) << tree;
    EXPECT_TRUE(std::stoi(child[1]) <= 854 && std::stoi(child[2]) <= 480) << tree;
    const Shot shot = Screenshot();
    for (const auto& [x, y] : {std::pair{4, 4}, {427, 240}, {850, 476}})
        EXPECT_TRUE(shot.Near(second.x + x, second.y + y, 0xd04020)) << x << "," << y << ": " << std::hex
            << shot.At(second.x + x, second.y + y) << "\n" << desk.Run("xwininfo -root -tree");
    ASSERT_EQ(player.Quit(), 0) << player.Log();
    EXPECT_NE(player.Log().find("device: adopted " + small), std::string::npos) << "handed over without a gap";
}

// A stand-in screen saver on a private session bus records the player's calls: Inhibit while a picture plays, UnInhibit
// after a pause, after the change to a sound-only entry and at the quit; a list of sound alone calls nothing.
TEST(ScreenSaverE2E, HeldOffWhileAPicturePlaysAndLetGoOtherwise) {
    SKIP_WITHOUT("dbus-daemon", "playerctl", "ffmpeg", "python3-dbus", "python3-gi");
    const SessionBus bus;
    ASSERT_FALSE(bus.FirstLine().empty());
    TempFolder home;
    const std::string clip = home.path() + "clip.mpg", tone = home.path() + "tone.wav";
    const TestDaemon standIn({"/usr/bin/python3", VELKAF_SOURCE_DIR "/tests/e2e/screensaver_standin.py",
                              home.path() + "calls.txt"}, {bus.Environment()});
    ASSERT_EQ(standIn.FirstLine(), "ready");
    ASSERT_EQ(MakeClip(clip, "navy", "320x240", 4), "made");
    WriteToneWav(tone, 4.0, 440.0, 0.2);
    const auto calls = [&] { return home.Read("calls.txt"); };
    {
        WriteStateFiles(home.path(), {clip, tone, clip}, "Repeat=0");
        PlayerProcess player(home.path(), {}, {bus.Environment()});
        ASSERT_TRUE(Eventually([&] { return calls() == "Inhibit velkaf 1\n"; })) << calls() << player.Log();
        bus.Run("playerctl -p velkaf pause");
        EXPECT_TRUE(Eventually([&] { return calls() == "Inhibit velkaf 1\nUnInhibit 1\n"; }, 1s)) << calls();
        bus.Run("playerctl -p velkaf play");
        ASSERT_TRUE(Eventually([&] { return CountOf(calls(), "Inhibit velkaf 2\n") == 1; }, 1s)) << calls();
        ASSERT_TRUE(player.WaitForLog("mci> open \"tone.wav\"", 10s)) << player.Log();
        EXPECT_TRUE(Eventually([&] { return calls().ends_with("Inhibit velkaf 2\nUnInhibit 2\n"); }, 1s)) << calls();
        ASSERT_TRUE(Eventually([&] { return calls().ends_with("Inhibit velkaf 3\n"); })) << calls() << player.Log();
        ASSERT_EQ(player.Quit(), 0) << player.Log();
        EXPECT_TRUE(calls().ends_with("Inhibit velkaf 3\nUnInhibit 3\n")) << calls() << "at the quit";
    }
    home.Write("calls.txt", "");
    PlayerProcess player(home.path(), {tone}, {bus.Environment()});
    ASSERT_TRUE(player.WaitForLog("mci> play movie", 10s)) << player.Log();
    std::this_thread::sleep_for(1500ms);
    ASSERT_EQ(player.Quit(), 0) << player.Log();
    EXPECT_EQ(calls(), "") << "a sound-only list";
}

// Bright pixels (subtitle text) in the lower half of `box`.
int BrightPixels(const Shot& shot, const Box& box) {
    int n = 0;
    for (int y = box.y + box.h / 2; y < box.y + box.h; ++y)
        for (int x = box.x; x < box.x + box.w; ++x) n += (shot.At(x, y) & 0xe0e0e0) == 0xe0e0e0;
    return n;
}

// An MKV with an English default sound (440 Hz), a Japanese one (660 Hz) and a Japanese subtitle: the Japanese sound is
// heard and its subtitle shows; B then gives the English sound, V no subtitle, each named in the log's title line.
TEST_F(PictureE2E, JapaneseSoundAndSubtitleFirstAndTheKeysChooseOthers) {
    SKIP_WITHOUT("pulseaudio", "parecord", "pactl");
    PulseServer pulse;
    ASSERT_TRUE(pulse.Start()) << "pulseaudio did not start";
    const std::string film = home.path() + "film.mkv";
    home.Write("ja.srt", "1\n00:00:00,000 --> 00:00:08,000\nNIHONGO NIHONGO\n");
    ASSERT_EQ(ShellOutput("cd '" + home.path() + "' && timeout 60 ffmpeg -nostdin -v error -f lavfi -i "
                          "color=c=navy:s=320x240:r=25 -f lavfi -i sine=f=440:r=44100 -f lavfi -i sine=f=660:r=44100 "
                          "-i ja.srt -map 0:v -map 1:a -map 2:a -map 3:s -t 8 -c:v mpeg2video -c:a flac -c:s srt "
                          "-metadata:s:a:0 language=eng -metadata:s:a:1 language=jpn -metadata:s:s:0 language=jpn "
                          "-disposition:a:0 default -disposition:a:1 0 -disposition:s:0 0 film.mkv && echo made"),
              "made");
    const std::string raw = home.path() + "rec.raw";
    const auto recorder = pulse.Recorder(raw);
    PlayerProcess player(home.path(), {film}, desk.Environment({pulse.env[0], pulse.env[1]}));
    const Box video = Window(player.pid(), [](const Box& b) { return b.w == 320; }, "^VELKAF$");
    ASSERT_EQ(video.h, 240) << player.Log();
    std::this_thread::sleep_for(1500ms);
    EXPECT_GT(BrightPixels(Screenshot(), video), 40) << "the Japanese subtitle shows";
    desk.Run("xdotool windowactivate --sync " + desk.Window(player.pid()) + " key b");
    ASSERT_TRUE(player.WaitForLog("device: audio track 1 of 2 (eng)", 3s)) << player.Log();
    EXPECT_TRUE(player.WaitForLog("title line: \xE9\x9F\xB3\xE5\xA3\xB0 1/2: eng |", 1s)) << player.Log();
    desk.Run("xdotool windowactivate --sync " + desk.Window(player.pid()) + " key v");
    ASSERT_TRUE(player.WaitForLog("device: subtitle track 0 of 1 (none)", 3s)) << player.Log();
    std::this_thread::sleep_for(800ms);
    EXPECT_EQ(BrightPixels(Screenshot(), video), 0) << "no subtitle";
    ASSERT_EQ(player.Quit(), 0) << player.Log();
    std::this_thread::sleep_for(200ms);
    const std::vector<int> left = ReadLeft(raw);
    std::vector<double> ratios;  // 660 Hz over 440 Hz, 100 ms at a time, where something sounds
    for (std::size_t at = 0; at + 4410 <= left.size(); at += 4410) {
        const double ja = Power(left, at, 4410, 660), en = Power(left, at, 4410, 440);
        if (ja + en > 1e12) ratios.push_back(ja / (en + 1));
    }
    ASSERT_GT(ratios.size(), 10u) << left.size();
    EXPECT_GT(ratios.front(), 100) << "the Japanese sound first";
    // The median of the last five: the chunk the quit cuts off splatters into every frequency.
    std::nth_element(ratios.end() - 5, ratios.end() - 3, ratios.end());
    EXPECT_LT(ratios.end()[-3], 0.01) << "the English sound after B";
}
}  // namespace
