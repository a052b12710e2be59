// The main window as a user meets it, through the real window and the scripted device: clicks
// held over full ticks, keys that count only in the player's own windows, the step keys, the
// open dialog, the orderly close.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <functional>

#include "platform/Clock.h"
#include "platform/Files.h"
#include "platform/WaveVolume.h"
#include "player/CPlayerDlg.h"
#include "playlist/Playlist.h"
#include "state/PlayerState.h"
#include "state/Settings.h"
#include "tests/support/QtTestApp.h"
#include "tests/support/ScriptedMediaDevice.h"
#include "tests/support/TestSupport.h"

namespace {

using Strings = std::vector<std::string>;

// Answers the next dialog to show, found by its show event: `act` runs inside its modal loop,
// and whatever it leaves open is rejected. Still open after five seconds, it is rejected and
// the test fails, so nothing waits without bound.
class DialogAnswer final : public QObject {
public:
    explicit DialogAnswer(std::function<void(QDialog&)> act) : act_(std::move(act)) { qApp->installEventFilter(this); }
    ~DialogAnswer() override { qApp->removeEventFilter(this); }
    std::string shown;  // the class of the dialog answered

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* d = qobject_cast<QDialog*>(watched);
        if (event->type() != QEvent::Show || d == nullptr || !d->isWindow() || !shown.empty()) return false;
        shown = d->metaObject()->className();
        QTimer::singleShot(0, d, [this, d] {
            act_(*d);
            if (d->isVisible()) d->reject();
        });
        QTimer::singleShot(5000, d, [d] {
            if (d->isVisible()) ADD_FAILURE() << "a dialog was left open", d->reject();
        });
        return false;
    }

private:
    std::function<void(QDialog&)> act_;
};

// A started player over a scripted device that stands at 5200 of 100000 ms.
struct Window final : WaveVolume {
    Window() {
        TestApplication();
        folder.Write("KORU.sys", *ReadWholeFile(std::string(VELKAF_SOURCE_DIR) + "/res/KORU.sys"));
        device.Answer("status movie position", "5200"), device.Answer("status movie length", "100000");
        dialog = std::make_unique<CPlayerDlg>(PlayerRecords{state, settings, playlist}, device, *this, clock, MainTickSetup{folder.path(), {}, "/"});
        dialog->OnInitDialog();
        EXPECT_TRUE(RunUntil([&] { return state.firstTickDone == 1; }));
        state.closed = 0, state.lengthMs = 100000;
    }
    bool Get(uint32_t& v) override { return v = volume, true; }
    bool Set(uint32_t v) override { return volume = v, true; }
    bool RunUntil(const std::function<bool()>& done) {  // at most three seconds
        for (int i = 0; i < 300 && !done(); ++i) QTest::qWait(10);
        return done();
    }
    long Ticks() const { return std::count(device.sent.begin(), device.sent.end(), "status movie position") / 2; }  // two a full tick
    void Click(QPoint at, Qt::MouseButton b = Qt::LeftButton) { QTest::mousePress(dialog.get(), b, {}, at), QTest::mouseRelease(dialog.get(), b, {}, at); }
    // What the player did: commands besides queries, the volume, video size, speed and request.
    std::tuple<Strings, uint32_t, int, int, int> Effects() const {
        Strings commands;
        for (const std::string& s : device.sent) if (s.rfind("status ", 0) && s.rfind("where ", 0)) commands.push_back(s);
        return {commands, volume, settings.videoSizeMode, state.speed + state.speedStepRequest, state.pendingCommand};
    }

    CurrentFolderGuard cwd;
    TempFolder folder;
    PlayerState state;
    Settings settings;
    Playlist playlist;
    ScriptedMediaDevice device;
    SystemClock clock;
    uint32_t volume = 0xFFFFFFFFu;
    std::unique_ptr<CPlayerDlg> dialog;
};

// FILE, CONFIG and FULL act on the button-up however many full ticks pass while they are held
// (paused: one every 30 ms). In full screen the keys keep working: Alt+Enter leaves it.
TEST(PlayerWindowTest, FileConfigAndFullSurviveFullTicksWhileHeld) {
    for (const auto& [at, dialogClass] : {std::pair{QPoint(220, 30), "QFileDialog"}, {QPoint(30, 25), "CSettingsDlg"}, {QPoint(190, 78), ""}}) {
        Window w;
        w.state.paused = 1;
        QTest::mousePress(w.dialog.get(), Qt::LeftButton, {}, at);
        const long ticks = w.Ticks();
        ASSERT_TRUE(w.RunUntil([&] { return w.Ticks() >= ticks + 3; }));
        DialogAnswer answer([](QDialog&) {});
        QTest::mouseRelease(w.dialog.get(), Qt::LeftButton, {}, at);
        EXPECT_EQ(std::pair(answer.shown, w.state.fullScreen), std::pair(std::string(dialogClass), *dialogClass ? 0 : 1));
        if (w.state.fullScreen == 0) continue;
        ASSERT_TRUE(w.RunUntil([&] { return QApplication::activeWindow() && QApplication::activeWindow() != w.dialog.get(); }));
        QTest::keyPress(QApplication::activeWindow(), Qt::Key_Return, Qt::AltModifier);
        EXPECT_TRUE(w.RunUntil([&] { return w.state.fullScreen == 0; }));
        QTest::keyRelease(w.dialog.get(), Qt::Key_Return), QTest::keyRelease(w.dialog.get(), Qt::Key_Alt);
    }
}

// Every hotkey a name could hold, typed into the playlist editor and into the open dialog,
// changes nothing; a name typed without an extension opens the list file ".tsr". In the
// player's own window Space pauses, and NEXT steps on from where the device stands.
TEST(PlayerWindowTest, KeysCountOnlyInThePlayersOwnWindows) {
    Window w;
    w.folder.Write("list.tsr", w.folder.Write("tone.wav", "RIFF") + "\r\n");
    const auto before = w.Effects();
    w.Click({220, 30}, Qt::RightButton);
    QWidget* editor = nullptr;
    for (QWidget* top : QApplication::topLevelWidgets())
        if (top->isVisible() && top->windowTitle() == QStringLiteral("ツラネ丸")) editor = top;
    ASSERT_NE(editor, nullptr);
    QTest::keyClicks(editor->focusWidget() ? editor->focusWidget() : editor, "xz mn.,][");
    QTest::qWait(300);
    EXPECT_EQ(w.Effects(), before) << "typing into the editor";
    w.Click({220, 30}, Qt::RightButton);

    DialogAnswer answer([&](QDialog& d) {
        static_cast<QFileDialog&>(d).setDirectory(QString::fromStdString(w.folder.path()));
        auto* name = d.findChild<QLineEdit*>("fileNameEdit");
        ASSERT_NE(name, nullptr);
        QTest::keyClicks(name, "xz mn.,][");
        QTest::qWait(300);
        EXPECT_EQ(w.Effects(), before) << "typing into the open dialog";
        name->clear();
        QTest::keyClicks(name, "list");
        d.accept();
    });
    w.Click({220, 30});
    const Strings& sent = w.device.sent;
    EXPECT_NE(std::find(sent.begin(), sent.end(), "open \"tone.wav\" type mpegvideo alias movie"), sent.end()) << answer.shown;

    QTest::keyPress(w.dialog.get(), Qt::Key_Space);
    EXPECT_TRUE(w.RunUntil([&] { return w.state.paused == 1; }));
    QTest::keyRelease(w.dialog.get(), Qt::Key_Space);
    w.state.position = 1;  // an old reading
    w.Click({260, 75});
    const auto seek = std::find_if(sent.rbegin(), sent.rend(), [](const std::string& s) { return s.rfind("seek", 0) == 0; });
    ASSERT_NE(seek, sent.rend());
    EXPECT_EQ(Strings(seek.base() - 2, seek.base()), (Strings{"status movie position", "seek movie to 5201"}));
}

// Up, Page Up and Home are one step up, their opposites one down, and so is the wheel; Enter and
// Esc do nothing; the window's close is a request for the orderly quit.
TEST(PlayerWindowTest, StepKeysTheWheelAndTheClose) {
    Window w;
    for (auto [key, step] : {std::pair{Qt::Key_Up, 1}, {Qt::Key_PageUp, 1}, {Qt::Key_Home, 1}, {Qt::Key_Down, -1}, {Qt::Key_PageDown, -1},
                             {Qt::Key_End, -1}, {Qt::Key_Return, 0}, {Qt::Key_Enter, 0}, {Qt::Key_Escape, 0}}) {
        w.state.wheelStep = 0;
        QTest::keyClick(w.dialog.get(), key);
        EXPECT_EQ(w.state.wheelStep, step) << key;
    }
    for (int delta : {120, -120}) {
        QWheelEvent wheel({100, 40}, w.dialog->mapToGlobal(QPointF(100, 40)), {}, {0, delta}, Qt::NoButton, {}, Qt::NoScrollPhase, false);
        QApplication::sendEvent(w.dialog.get(), &wheel);
        EXPECT_EQ(w.state.wheelStep, delta / 120);
    }
    EXPECT_EQ(w.state.quitRequested, 0);
    QSignalSpy ended(w.dialog.get(), &CPlayerDlg::dialogEnded);
    w.dialog->close();
    EXPECT_TRUE(w.dialog->isVisible() && w.state.quitRequested == 1) << "only a request";
    ASSERT_TRUE(w.RunUntil([&] { return ended.count() == 1; }));
    EXPECT_EQ(w.folder.Read("KORU.CFG").rfind("[WindowPoint]\r\n", 0), 0u);
    w.device.ClearSent();
    w.dialog.reset();
    EXPECT_EQ(w.device.sent, Strings{"close movie"}) << "the second close of the destructor";
}

TEST(PlayerWindowTest, MovesSnapToTheScreenEdges) {
    Window w;
    for (auto [x, y, storedX, storedY] : {std::tuple{10, 40, 0, 40}, {17, 40, 17, 40}, {30, 5, 30, 0}, {-17, -17, 0, 0}, {-40, 16, -40, 0}}) {
        w.dialog->OnMove(x, y);
        EXPECT_EQ(std::pair(w.settings.mainX, w.settings.mainY), std::pair(storedX, storedY)) << x << "," << y;
    }
}

}  // namespace
