// The player under a window manager (openbox on a virtual display of the test's own), driven with xdotool.
#include <thread>
#include "tests/e2e/Desktop.h"

namespace {
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
}  // namespace
