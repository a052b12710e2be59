// Playing a real playlist with the real device: a dropped folder plays its first entry by
// full path.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMimeData>
#include <QTest>
#include <QUrl>
#include <string>

#include "device/MpvMediaDevice.h"
#include "device/ProcessWaveVolume.h"
#include "platform/Clock.h"
#include "player/CPlayerDlg.h"
#include "state/PlayerState.h"
#include "playlist/Playlist.h"
#include "state/Settings.h"
#include "tests/device/TestMedia.h"
#include "tests/support/QtTestApp.h"
#include "tests/support/TestSupport.h"

namespace {

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
