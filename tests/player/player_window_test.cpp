// The main window as a user meets it: its size, title and frame, keys that must not close it,
// the close request that quits in order, the configuration created on first start.
#include <gtest/gtest.h>

#include <algorithm>

#include <QApplication>
#include <QCloseEvent>
#include <QSignalSpy>
#include <QTest>
#include <QWheelEvent>
#include <clocale>

#include "platform/Clock.h"
#include "platform/Files.h"
#include "platform/WaveVolume.h"
#include "player/CPlayerDlg.h"
#include "state/PlayerState.h"
#include "playlist/Playlist.h"
#include "state/Settings.h"
#include "tests/support/ScriptedMediaDevice.h"
#include "tests/support/QtTestApp.h"
#include "tests/support/TestSupport.h"

namespace {

class FullVolume final : public WaveVolume {
public:
    bool Get(uint32_t& v) override { v = 0xFFFFFFFFu; return true; }
    bool Set(uint32_t) override { return true; }
};

QApplication& App() { return TestApplication(); }

struct Window {
    Window() {
        App();
        folder.Write("KORU.sys", *ReadWholeFile(std::string(VELKAF_SOURCE_DIR) + "/res/KORU.sys"));
        dialog = std::make_unique<CPlayerDlg>(PlayerRecords{state, settings, playlist}, device, volume, clock,
                                              MainTickSetup{folder.path(), {}, "/"});
    }
    // Lets the 30 ms timer run until `done` or about two seconds have passed.
    template <typename F> bool RunUntil(F done) {
        for (int i = 0; i < 200 && !done(); ++i) QTest::qWait(10);
        return done();
    }
    CurrentFolderGuard cwd;
    TempFolder folder;
    PlayerState state;
    Settings settings;
    Playlist playlist;
    ScriptedMediaDevice device;
    FullVolume volume;
    SystemClock clock;
    std::unique_ptr<CPlayerDlg> dialog;
};

TEST(PlayerWindowTest, FirstStartCreatesTheDefaultConfiguration) {
    Window w;
    EXPECT_EQ(w.folder.Read("KORU.CFG"), "<missing>");
    w.dialog->OnInitDialog();
    const std::string cfg = w.folder.Read("KORU.CFG");
    EXPECT_EQ(cfg.rfind("[WindowPoint]\r\nx=0\r\ny=0\r\nMovieX=0\r\nMovieY=0\r\n[MouseMode]\r\n", 0), 0u) << cfg;
    EXPECT_TRUE(w.RunUntil([&] { return w.state.firstTickDone == 1; }));
    EXPECT_EQ(w.folder.Read("KORU.tsr"), "");
}

TEST(PlayerWindowTest, FramelessFixedSizeWithTitle) {
    Window w;
    w.dialog->OnInitDialog();
    EXPECT_EQ(w.dialog->size(), QSize(321, 92));
    EXPECT_EQ(w.dialog->minimumSize(), QSize(321, 92));
    EXPECT_EQ(w.dialog->maximumSize(), QSize(321, 92));
    EXPECT_TRUE(w.dialog->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_TRUE(w.RunUntil([&] { return w.state.firstTickDone == 1; }));
    EXPECT_EQ(w.dialog->windowTitle(), QString::fromUtf8(" ◎ VELKAF"));
    EXPECT_TRUE(w.dialog->isVisible());
}

TEST(PlayerWindowTest, EnterAndEscDoNothing) {
    Window w;
    w.dialog->OnInitDialog();
    ASSERT_TRUE(w.RunUntil([&] { return w.state.firstTickDone == 1; }));
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
        QTest::keyClick(w.dialog.get(), key);
    }
    QTest::qWait(200);
    EXPECT_TRUE(w.dialog->isVisible());
    EXPECT_EQ(w.state.quitRequested, 0);
    EXPECT_FALSE(w.dialog->Ended());
}

TEST(PlayerWindowTest, CloseRequestQuitsInOrderAndClosesTheDeviceTwice) {
    Window w;
    w.settings.mainX = 40;
    w.dialog->OnInitDialog();
    ASSERT_TRUE(w.RunUntil([&] { return w.state.firstTickDone == 1; }));
    QSignalSpy ended(w.dialog.get(), &CPlayerDlg::dialogEnded);
    w.dialog->close();
    EXPECT_EQ(w.state.quitRequested, 1) << "the close is only a request";
    ASSERT_TRUE(w.RunUntil([&] { return ended.count() == 1; }));
    EXPECT_FALSE(w.dialog->isVisible());
    EXPECT_NE(w.folder.Read("KORU.CFG").find("x=40\r\n"), std::string::npos);
    w.device.ClearSent();
    w.dialog.reset();
    EXPECT_EQ(w.device.sent, std::vector<std::string>{"close movie"}) << "the second close of the destructor";
}

TEST(PlayerWindowTest, PowerButtonQuitsOnReleaseAndPaintsTheSkin) {
    Window w;
    w.dialog->OnInitDialog();
    ASSERT_TRUE(w.RunUntil([&] { return w.state.firstTickDone == 1; }));
    ASSERT_TRUE(w.RunUntil([&] { return !w.dialog->PresentedPicture().isNull(); }));
    const QImage picture = w.dialog->PresentedPicture();
    EXPECT_EQ(picture.size(), QSize(407, 93));
    EXPECT_NE(picture.pixel(100, 40), picture.pixel(5, 5)) << "the skin is drawn, not a flat fill";

    QSignalSpy ended(w.dialog.get(), &CPlayerDlg::dialogEnded);
    QTest::mousePress(w.dialog.get(), Qt::LeftButton, Qt::NoModifier, QPoint(30, 75));
    QTest::qWait(300);
    EXPECT_EQ(w.state.quitPending, 17);
    EXPECT_EQ(w.state.quitRequested, 0) << "a press alone does not quit";
    QTest::mouseRelease(w.dialog.get(), Qt::LeftButton, Qt::NoModifier, QPoint(30, 75));
    EXPECT_EQ(w.state.quitRequested, 1);
    EXPECT_TRUE(w.RunUntil([&] { return ended.count() == 1; }));
}

TEST(PlayerWindowTest, MovesSnapToTheScreenEdges) {
    struct Case { int x, y; int storedX, storedY; bool snapped; };
    const Case cases[] = {{10, 40, 0, 40, true}, {17, 40, 17, 40, false}, {30, 5, 30, 0, true},
                          {-10, 40, 0, 40, true}, {-40, 40, -40, 40, false}, {-17, -17, 0, 0, true}};
    Window w;
    w.dialog->OnInitDialog();
    for (const Case& c : cases) {
        w.dialog->OnMove(c.x, c.y);
        EXPECT_EQ(w.settings.mainX, c.storedX) << c.x;
        EXPECT_EQ(w.settings.mainY, c.storedY) << c.y;

        CVideoWindowDlg video(nullptr);
        video.OnMove(c.x, c.y);
        EXPECT_EQ(video.GetValue(0), c.storedX);
        EXPECT_EQ(video.GetValue(1), c.storedY);
        EXPECT_EQ(video.GetValue(4), c.snapped ? 1 : 0) << "the next tick places the video again";
        EXPECT_EQ(video.GetValue(4), 0) << "read and cleared";
    }
}

TEST(PlayerWindowTest, SpacePausesThroughTheKeyPoll) {
    Window w;
    w.dialog->OnInitDialog();
    ASSERT_TRUE(w.RunUntil([&] { return w.state.firstTickDone == 1; }));
    w.state.closed = 0;
    w.state.paused = 0;
    w.state.activeApp = 1;
    w.state.lengthMs = 100000;
    w.device.Answer("status movie position", "1000");
    w.device.ClearSent();
    QTest::keyPress(w.dialog.get(), Qt::Key_Space);
    EXPECT_TRUE(w.RunUntil([&] { return w.state.paused == 1; }))
        << "activeApp " << w.state.activeApp << " cooldown " << w.state.inputCooldown << " pending "
        << w.state.pendingCommand << " keys " << int(w.state.keysHeld);
    QTest::keyRelease(w.dialog.get(), Qt::Key_Space);
    EXPECT_NE(std::find(w.device.sent.begin(), w.device.sent.end(), "pause movie"), w.device.sent.end());
    EXPECT_GT(w.state.inputCooldown, 0) << "held keys wait for the cool-down";
}

TEST(PlayerWindowTest, WheelTurnsBecomeStepRequests) {
    Window w;
    w.dialog->OnInitDialog();
    ASSERT_TRUE(w.RunUntil([&] { return w.state.firstTickDone == 1; }));
    w.state.activeApp = 1;
    QWheelEvent up(QPointF(100, 40), w.dialog->mapToGlobal(QPointF(100, 40)), QPoint(), QPoint(0, 120),
                   Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(w.dialog.get(), &up);
    EXPECT_EQ(w.state.wheelStep, 1);
    QWheelEvent down(QPointF(100, 40), w.dialog->mapToGlobal(QPointF(100, 40)), QPoint(), QPoint(0, -120),
                     Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(w.dialog.get(), &down);
    EXPECT_EQ(w.state.wheelStep, -1);
    EXPECT_TRUE(w.RunUntil([&] { return w.state.wheelStep == 0; })) << "the next full tick takes the step";
}

}  // namespace
