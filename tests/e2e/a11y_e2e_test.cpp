// The player as a screen reader meets it: a private session bus, a virtual display, Debian's
// AT-SPI bus, and as the clients the pyatspi probe (tests/e2e/atspi_probe.py) and Orca itself.
#include <regex>
#include <sstream>
#include "tests/e2e/PlayerProcess.h"

namespace {
std::vector<std::string> LinesStartingWith(const std::string& text, const std::string& prefix) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (line.starts_with(prefix)) lines.push_back(line.substr(prefix.size()));
    return lines;
}

// The pyatspi probe lists the hotspots, presses PLAY and NEXT and reads the position and the title; Orca itself, on the
// desktop all the while, speaks the new title at the change of track (its debug log has every utterance; no speech
// server is needed for that, and none is started: one would outlive the test). The accessibility bus starts on its
// first call (its socket in the test's own runtime folder); the player joins it once it is there. Every client call is
// bounded, so a bus that never answers fails the test instead of hanging it.
TEST(AccessibilityE2E, AScreenReaderListsPressesAndReadsTheHotspotsAndOrcaSpeaksTheNewTitle) {
    SKIP_WITHOUT("dbus-daemon", "dbus-send", "Xvfb", "/usr/libexec/at-spi-bus-launcher", "python3-pyatspi", "openbox",
                 "orca");
    TempFolder runtime, home;
    const SessionBus bus{{"XDG_RUNTIME_DIR=" + runtime.path()}};
    const VirtualDisplay display{"800x600"};
    ASSERT_FALSE(bus.FirstLine().empty() || display.Name().empty());
    const std::string address = bus.Run("dbus-send --session --reply-timeout=19000 --print-reply "
                                        "--dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress");
    ASSERT_NE(address.find("unix:"), address.npos) << address;
    const std::vector<std::string> desktop = {bus.Environment(), "DISPLAY=" + display.Name(), "HOME=" + home.path(),
                                              "XDG_RUNTIME_DIR=" + runtime.path(), "SPEECHD_CMD=/bin/false"};
    const TestDaemon windowManager({"openbox"}, desktop, false);
    const TestDaemon orca({"orca", "--replace", "--debug-file=" + home.path() + "orca.debug"}, desktop, false);
    ASSERT_TRUE(Eventually([&] { return CountOf(home.Read("orca.debug"), "registering listener for") > 0; }, 20s))
        << "Orca did not start: " << home.Read("orca.debug").substr(0, 2000);
    for (auto [n, hz] : {std::pair{"one.wav", 440.}, {"two.wav", 550.}}) WriteToneWav(home.path() + n, 4.0, hz, 0.2);
    WriteStateFiles(home.path(), {home.path() + "one.wav", home.path() + "two.wav"}, "");
    PlayerProcess player(home.path(), {}, display.Environment({bus.Environment(), "XDG_RUNTIME_DIR=" + runtime.path(),
                                                               "QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1"}));
    ASSERT_TRUE(player.WaitForLog("first tick done: 2 entries", 20s)) << player.Log();
    const std::string probe = ShellOutput("env '" + bus.Environment() + "' DISPLAY=" + display.Name() + " timeout 60 " +
                                          "/usr/bin/python3 " VELKAF_SOURCE_DIR "/tests/e2e/atspi_probe.py " +
                                          std::to_string(player.pid()) + " 2>&1");
    const std::vector<std::string> children = LinesStartingWith(probe, "child ");
    const std::string b = "|push button";
    const std::vector<std::string> expected = {
        "再生" + b, "一時停止" + b, "停止" + b, "巻き戻し" + b, "早送り" + b, "前の曲" + b,
        "次の曲" + b, "ファイルを開く" + b, "設定" + b, "全画面" + b, "終了" + b,
        "リピート|check box", "シャッフル|check box", "縮小" + b, "拡大" + b, "最小化" + b,
        "再生位置|slider", "音量|slider", "タイトル|label", "時間|label"};
    // After the hotspots, the notification a screen reader speaks at a change of track.
    ASSERT_EQ(children.size(), expected.size() + 1) << probe;
    EXPECT_TRUE(children.back().ends_with("|notification")) << children.back();
    EXPECT_EQ(std::vector(children.begin(), children.end() - 1), expected);
    EXPECT_TRUE(player.WaitForLogAfter("mci> open \"one.wav\"", "mci> play movie", 5s)) << "PLAY\n" << player.Log();
    const std::vector<std::string> position = LinesStartingWith(probe, "position ");
    ASSERT_EQ(position.size(), 1u) << probe;
    EXPECT_GT(std::stoi(position[0]), 0) << "it has played a while";
    const std::vector<std::string> titles = LinesStartingWith(probe, "title ");
    ASSERT_FALSE(titles.empty()) << probe;
    EXPECT_NE(titles.back().find("two.wav"), std::string::npos) << "NEXT opened the next track: " << titles.back();
    const auto spoken = [&](const std::string& what) {  // on one line after Orca's mark
        return std::regex_search(home.Read("orca.debug"), std::regex("SPEECH OUTPUT: '[^\n]*" + what));
    };
    // Said wherever the focus is (on a loaded machine the window may be activated before the
    // player is on the accessibility bus, and Orca then never says "VELKAF frame").
    EXPECT_TRUE(Eventually([&] { return spoken("notification") && spoken("two.wav"); }, 15s))
        << player.Log() << home.Read("orca.debug").substr(0, 3000);
    EXPECT_EQ(player.Quit(), 0) << player.Log();
}
}  // namespace
