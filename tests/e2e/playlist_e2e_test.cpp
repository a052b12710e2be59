// Playing a real playlist with the real device: the last playlist of three tones played in
// order to its end, and a dropped folder playing its first entry by full path.
#include <gtest/gtest.h>
#include <signal.h>

#include <QApplication>
#include <QMimeData>
#include <QTest>
#include <QUrl>
#include <chrono>
#include <clocale>
#include <regex>
#include <string>
#include <thread>

#include "device/MpvMediaDevice.h"
#include "device/ProcessWaveVolume.h"
#include "platform/Clock.h"
#include "player/CPlayerDlg.h"
#include "state/PlayerState.h"
#include "playlist/Playlist.h"
#include "state/Settings.h"
#include "tests/device/TestMedia.h"
#include "tests/e2e/DefaultConfiguration.h"
#include "tests/e2e/PlayerProcess.h"
#include "tests/support/QtTestApp.h"
#include "tests/support/TestSupport.h"

namespace {

using namespace std::chrono_literals;

std::vector<std::string> Matches(const std::string& text, const std::regex& re) {
    std::vector<std::string> found;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), re); it != std::sregex_iterator(); ++it)
        found.push_back((*it)[1]);
    return found;
}

TEST(PlaylistE2E, LastPlaylistOfThreeTonesPlaysInOrderThenCloses) {
    TempFolder home;
    std::string list;
    home.Write("music/cover.txt", "");
    for (const char* name : {"one.wav", "two.wav", "three.wav"}) {
        WriteToneWav(home.path() + "music/" + name, 1.0, 440.0, 0.3);
        list += home.path() + "music/" + name + "\r\n";
    }
    home.Write("KORU.tsr", list);
    std::string cfg = kDefaultConfiguration;
    cfg.replace(cfg.find("Repeat=1"), 8, "Repeat=0");
    home.Write("KORU.CFG", cfg);
    PlayerProcess player(home.path(), {});
    ASSERT_TRUE(player.WaitForLog("first tick done: 3 entries", 20s)) << player.Log();
    // Three one-second tones, with the end checks at the 150 ms pace: well within 15 s.
    const auto deadline = std::chrono::steady_clock::now() + 15s;
    std::vector<std::string> opens;
    while (std::chrono::steady_clock::now() < deadline) {
        const std::string log = player.Log();
        opens = Matches(log, std::regex("mci> open \"([^\"]+)\" type mpegvideo alias movie"));
        const size_t third = log.find("open \"three.wav\"");
        if (third != std::string::npos && log.find("mci> close movie", third) != std::string::npos) break;
        std::this_thread::sleep_for(100ms);
    }
    std::this_thread::sleep_for(1s);  // nothing more may open after the end of the list
    player.Signal(SIGTERM);
    ASSERT_EQ(player.WaitForExit(20s), 0) << player.Log();
    const std::string log = player.Log();
    opens = Matches(log, std::regex("mci> open \"([^\"]+)\" type mpegvideo alias movie"));
    EXPECT_EQ(opens, (std::vector<std::string>{"one.wav", "two.wav", "three.wav"})) << log;
    EXPECT_NE(log.find("quit: list and settings saved, entry 0 of 3"), std::string::npos) << log;
    // Each track was checked for its end before the next opened.
    for (const char* name : {"one.wav", "two.wav"}) {
        const size_t open = log.find(std::string("open \"") + name + "\"");
        const size_t stopped = log.find("mci> status movie mode  <stopped", open);
        ASSERT_NE(stopped, std::string::npos) << name;
    }
}

// Forwards to the real device and keeps every command, for the test to read.
class RecordingDevice final : public MediaDevice {
public:
    explicit RecordingDevice(MediaDevice& real) : real_(real) {}
    std::string SendString(const std::string& command) override {
        sent.push_back(command);
        return real_.SendString(command);
    }
    std::vector<std::string> sent;
private:
    MediaDevice& real_;
};

QApplication& App() { return TestApplication(); }

TEST(PlaylistE2E, DroppedFolderPlaysItsFirstEntryByFullPath) {
    App();
    CurrentFolderGuard cwd;
    TempFolder home;
    TempFolder drop;
    // Found breadth first, then sorted by the whole path, case-blind.
    for (const char* folder : {"album/A/x.txt", "album/c/x.txt"}) drop.Write(folder, "");
    for (const char* name : {"b.wav", "A/z.wav", "A.wav", "c/a.wav", "notes.txt"})
        WriteToneWav(drop.path() + "album/" + name, 2.0, 330.0, 0.2);
    PlayerState state;
    Settings settings;
    Playlist playlist;
    MpvMediaDevice real;
    ASSERT_TRUE(real.Ready());
    RecordingDevice device(real);
    ProcessWaveVolume volume;
    SystemClock clock;
    {
        CPlayerDlg dialog(PlayerRecords{state, settings, playlist}, device, volume, clock,
                          MainTickSetup{home.path(), {}, "/"});
        dialog.OnInitDialog();
        ASSERT_TRUE(WaitUntil([&] { return state.firstTickDone == 1; }, 10000));

        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(QString::fromStdString(drop.path() + "album"))});
        QDragEnterEvent enter(QPoint(100, 40), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&dialog, &enter);
        ASSERT_TRUE(enter.isAccepted()) << "a drop of files is welcome";
        QDropEvent event(QPointF(100, 40), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&dialog, &event);

        ASSERT_EQ(playlist.count, 4);
        const std::string album = drop.path() + "album/";
        EXPECT_EQ(playlist.Entries(), (std::vector<std::string>{album + "A.wav", album + "A/z.wav", album + "b.wav",
                                                                album + "c/a.wav"}));
        EXPECT_EQ(playlist.currentIndex, 0);
        EXPECT_NE(std::find(device.sent.begin(), device.sent.end(), "open \"A.wav\" type mpegvideo alias movie"),
                  device.sent.end());
        EXPECT_TRUE(WaitUntil([&] {
            return real.SendString("status movie mode") == "playing" &&
                   std::atoi(real.SendString("status movie position").c_str()) > 0;
        }, 5000)) << "the first entry plays";
    }
}

}  // namespace
