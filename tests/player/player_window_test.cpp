// The main window as a user meets it, through the real window and the scripted device: clicks
// held over full ticks, keys that count only in the player's own windows, the step keys, a
// drop; the hotspots at every scale, from the keyboard and for a screen reader; Qt's own
// dialogs speak the user's language (on a Japanese desktop their buttons are Japanese like the
// player's texts; where Qt has no translation nothing changes).
#include <gtest/gtest.h>
#include <QAccessible>
#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QMimeData>
#include <QMouseEvent>
#include <QPushButton>
#include <QTest>
#include <QTranslator>
#include <cmath>
#include <functional>
#include "app/QtTranslations.h"
#include "platform/Clock.h"
#include "platform/Files.h"
#include "player/CPlayerDlg.h"
#include "player/SkinAccessibility.h"
#include "playlist/Playlist.h"
#include "state/PlayerState.h"
#include "state/Settings.h"
#include "tests/support/FakeWaveVolume.h"
#include "tests/support/ModalAnswer.h"
#include "tests/support/QtTestApp.h"
#include "tests/support/ScriptedMediaDevice.h"
#include "tests/support/TestSupport.h"

namespace {

using Strings = std::vector<std::string>;

// A started player over a scripted device that stands at 5200 of 100000 ms.
struct Window {
    Window() {
        TestApplication();
        folder.Write("KORU.sys", *ReadWholeFile(std::string(VELKAF_SOURCE_DIR) + "/res/KORU.sys"));
        device.Answer("status movie position", "5200");
        device.Answer("status movie length", "100000");
        device.Answer("status movie mode", "playing");
        dialog = std::make_unique<CPlayerDlg>(PlayerRecords{state, settings, playlist}, device, volume, clock,
                                              MainTickSetup{folder.path(), {}, "/"});
        dialog->OnInitDialog();
        EXPECT_TRUE(RunUntil([&] { return state.firstTickDone == 1; }));
        state.closed = 0, state.lengthMs = 100000;
    }
    bool RunUntil(const std::function<bool()>& done) { return QTest::qWaitFor(done, 3000); }  // the timer runs meanwhile
    long Ticks() const { return std::count(device.sent.begin(), device.sent.end(), "status movie position") / 2; }  // two a full tick
    void Click(QPoint at, Qt::MouseButton b = Qt::LeftButton) {
        QTest::mousePress(dialog.get(), b, {}, at);
        QTest::mouseRelease(dialog.get(), b, {}, at);
    }
    // What the player did: commands besides queries, the video size, the speed and the request.
    std::tuple<Strings, int, int, int> Effects() const {
        Strings commands;
        for (const std::string& s : device.sent) if (s.rfind("status ", 0) && s.rfind("where ", 0)) commands.push_back(s);
        return {commands, settings.videoSizeMode, state.speed + state.speedStepRequest, state.pendingCommand};
    }

    CurrentFolderGuard cwd;
    TempFolder folder;
    PlayerState state;
    Settings settings;
    Playlist playlist;
    ScriptedMediaDevice device;
    FakeWaveVolume volume;
    SystemClock clock;
    std::unique_ptr<CPlayerDlg> dialog;
};

// FILE, CONFIG and FULL act on the button-up however many full ticks pass while they are held
// (paused: one every 30 ms). In full screen the keys keep working: Alt+Enter leaves it.
TEST(PlayerWindowTest, FileConfigAndFullSurviveFullTicksWhileHeld) {
    for (const auto& [at, dialogClass] :
         {std::pair{QPoint(220, 30), "QFileDialog"}, {QPoint(30, 25), "CSettingsDlg"}, {QPoint(190, 78), ""}}) {
        Window w;
        w.state.paused = 1, QTest::mousePress(w.dialog.get(), Qt::LeftButton, {}, at);
        ASSERT_TRUE(w.RunUntil([&, ticks = w.Ticks()] { return w.Ticks() >= ticks + 3; }));
        std::string shown;
        ModalAnswer<QDialog> answer([&](QDialog& d) { shown = d.metaObject()->className(); });
        QTest::mouseRelease(w.dialog.get(), Qt::LeftButton, {}, at);
        EXPECT_EQ(std::pair(shown, w.state.fullScreen), std::pair(std::string(dialogClass), *dialogClass ? 0 : 1));
        if (w.state.fullScreen == 0) continue;
        ASSERT_TRUE(w.RunUntil([&] { return QApplication::activeWindow() && QApplication::activeWindow() != w.dialog.get(); }));
        QTest::keyPress(QApplication::activeWindow(), Qt::Key_Return, Qt::AltModifier);
        EXPECT_TRUE(w.RunUntil([&] { return w.state.fullScreen == 0; }));
        QTest::keyRelease(w.dialog.get(), Qt::Key_Return), QTest::keyRelease(w.dialog.get(), Qt::Key_Alt);
    }
}

// Hotkeys typed into the open dialog change nothing; "list" opens "list.tsr". In the player's own
// window Space pauses, and NEXT steps one picture on from where the device stands.
TEST(PlayerWindowTest, KeysCountOnlyInThePlayersOwnWindows) {
    Window w;
    w.folder.Write("list.tsr", w.folder.Write("tone.wav", "RIFF") + "\r\n");
    const auto before = w.Effects();
    ModalAnswer<QFileDialog> answer([&](QFileDialog& d) {
        d.setDirectory(QString::fromStdString(w.folder.path()));
        auto* name = d.findChild<QLineEdit*>("fileNameEdit");
        ASSERT_NE(name, nullptr);
        QTest::keyClicks(name, "xz mn.,][");
        QTest::qWait(300);
        EXPECT_EQ(w.Effects(), before) << "typing into the open dialog";
        name->clear();
        QTest::keyClicks(name, "list");
        static_cast<QDialog&>(d).accept();  // public as a QDialog
    });
    w.Click({220, 30});
    const Strings& sent = w.device.sent;  // the list opened, its entry played
    EXPECT_EQ(std::count(sent.begin(), sent.end(), "open \"tone.wav\" type mpegvideo alias movie"), 1);

    QTest::keyPress(w.dialog.get(), Qt::Key_Space);
    EXPECT_TRUE(w.RunUntil([&] { return w.state.paused == 1; }));
    QTest::keyRelease(w.dialog.get(), Qt::Key_Space);
    w.state.position = 1;  // an old reading
    w.Click({260, 75});
    EXPECT_EQ(Strings(sent.end() - 5, sent.end()), (Strings{"set movie time format frames", "status movie position",
                                                            "seek movie to 5201", "set movie time format milliseconds",
                                                            "status movie position"}));
}

// Play/pause (the middle click, the bus's PlayPause) with nothing open opens the current entry as
// PLAY does: an entry that will not open leaves the player stopped, never "playing" on nothing.
TEST(PlayerWindowTest, ToggleWithNothingOpenOpensTheEntryAsPlayDoes) {
    Window w;
    const std::string tone = w.folder.path() + "tone.wav";
    w.playlist.InsertAt(0, tone), w.playlist.SyncCount(), w.playlist.currentIndex = 0;
    w.state.closed = 1;  // a failed open closed the device
    w.device.Answer("status movie mode", "");  // the device holds nothing: each open fails
    const Strings& sent = w.device.sent;
    const auto count = [&](const std::string& command) { return std::count(sent.begin(), sent.end(), command); };
    for (int press = 0; press < 2; ++press) {
        QTest::mousePress(w.dialog.get(), Qt::MiddleButton, {}, {120, 8});
        QTest::mouseRelease(w.dialog.get(), Qt::MiddleButton, {}, {120, 8});
        ASSERT_TRUE(w.RunUntil([&, ticks = w.Ticks()] { return w.Ticks() >= ticks + 2; }));
    }
    EXPECT_EQ(std::tuple(w.state.closed, w.state.paused, count("pause movie")), std::tuple(1, 0, 0));
    EXPECT_EQ(count("open \"tone.wav\" type mpegvideo alias movie"), 2) << "each press tried the entry";
    w.device.Answer("status movie mode", "playing");
    w.Click({250, 50});  // PLAY still opens
    EXPECT_TRUE(w.RunUntil([&] { return count("open \"tone.wav\" type mpegvideo alias movie") == 3; }));
    EXPECT_TRUE(w.RunUntil([&] { return w.state.closed == 0 && w.state.paused == 0; }));
}

// A press and release in place on the skin's body (a tap) moves nothing, nor does a wobble within
// the drag distance; a drag past it moves the window with the pointer, after a double click too.
TEST(PlayerWindowTest, OnlyADragPastTheDragDistanceMovesTheWindow) {
    const int near = QApplication::startDragDistance() - 1;
    struct Case { bool doubleClick; std::vector<QPoint> path; QPoint moved; };
    const Case cases[] = {
        {.doubleClick = false, .path = {}, .moved = {0, 0}},
        {.doubleClick = false, .path = {{near, 0}, {0, near}}, .moved = {0, 0}},
        {.doubleClick = false, .path = {{near, 0}, {30, 20}, {40, 25}}, .moved = {40, 25}},
        {.doubleClick = true, .path = {}, .moved = {0, 0}},
        {.doubleClick = true, .path = {{30, 20}}, .moved = {30, 20}},
    };
    for (const Case& c : cases) {
        Window w;
        QWidget& window = *w.dialog;
        const QPoint start = window.pos(), body(120, 8), grab = start + body;
        const auto send = [&](QEvent::Type type, QPoint offset, Qt::MouseButtons held) {
            QMouseEvent event(type, QPointF(grab + offset - window.pos()), QPointF(grab + offset),
                              type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, held, Qt::NoModifier);
            QApplication::sendEvent(&window, &event);
        };
        send(QEvent::MouseButtonPress, {}, Qt::LeftButton);
        if (c.doubleClick) {
            send(QEvent::MouseButtonRelease, {}, Qt::NoButton);
            send(QEvent::MouseButtonPress, {}, Qt::LeftButton);
            send(QEvent::MouseButtonDblClick, {}, Qt::LeftButton);
        }
        for (const QPoint& to : c.path) send(QEvent::MouseMove, to, Qt::LeftButton);
        send(QEvent::MouseButtonRelease, c.path.empty() ? QPoint() : c.path.back(), Qt::NoButton);
        send(QEvent::MouseMove, {60, 60}, Qt::NoButton);  // a move that stuck would follow this
        EXPECT_EQ(window.pos() - start, c.moved) << c.path.size() << " moves, double click " << c.doubleClick;
    }
}

// A folder dropped on the window replaces the list, sorted by whole path, and opens its first entry.
TEST(PlayerWindowTest, DroppedFolderReplacesTheListAndOpensItsFirstEntry) {
    Window w;
    for (const char* name : {"b.wav", "A/z.wav", "A.wav", "notes.txt"}) w.folder.Write(std::string("album/") + name, "RIFF");
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(QString::fromStdString(w.folder.path() + "album"))});
    QDragEnterEvent enter(QPoint(100, 40), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QDropEvent drop(QPointF(100, 40), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w.dialog.get(), &enter), QApplication::sendEvent(w.dialog.get(), &drop);
    EXPECT_TRUE(enter.isAccepted()) << "a drop of files is welcome";
    const std::string album = w.folder.path() + "album/";
    EXPECT_EQ(w.playlist.Entries(), (Strings{album + "A.wav", album + "A/z.wav", album + "b.wav"}));
    EXPECT_EQ(std::count(w.device.sent.begin(), w.device.sent.end(), "open \"A.wav\" type mpegvideo alias movie"), 1);
}

// Up, Page Up and Home are one step up, their opposites one down; Enter and Esc do nothing.
TEST(PlayerWindowTest, StepKeys) {
    Window w;
    for (auto [key, step] : {std::pair{Qt::Key_Up, 1}, {Qt::Key_PageUp, 1}, {Qt::Key_Home, 1}, {Qt::Key_Down, -1}, {Qt::Key_PageDown, -1},
                             {Qt::Key_End, -1}, {Qt::Key_Return, 0}, {Qt::Key_Enter, 0}, {Qt::Key_Escape, 0}}) {
        w.state.wheelStep = 0;
        QTest::keyClick(w.dialog.get(), key);
        EXPECT_EQ(w.state.wheelStep, step) << key;
    }
    EXPECT_TRUE(w.dialog->isVisible() && w.state.quitRequested == 0);
}

// The main window's hotspots at the screen's scale, from the keyboard and for assistive
// technology (the events reach an assistive technology in tests/e2e/a11y_e2e_test.cpp).

// A left press (or release) on the device pixel that holds the logical point `at`.
void SendLeft(QWidget& window, QEvent::Type type, QPointF at) {
    const qreal ratio = window.devicePixelRatioF();
    const QPointF pos(std::floor(at.x() * ratio) / ratio, std::floor(at.y() * ratio) / ratio);
    QMouseEvent event(type, pos, window.mapToGlobal(pos), Qt::LeftButton,
                      type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &event);
}

const struct HitCase {
    HotspotIndex spot;
    int (*effect)(const PlayerState&, const Settings&);
    int expected;
} kHitCases[] = {
    {kHotspotPlay, [](const PlayerState& s, const Settings&) { return s.buttonCounters[0]; }, 1},
    {kHotspotStill, [](const PlayerState& s, const Settings&) { return s.pendingCommand; }, kCmdPause},
    {kHotspotStop, [](const PlayerState& s, const Settings&) { return s.pendingCommand; }, kCmdClose},
    {kHotspotRew, [](const PlayerState& s, const Settings&) { return s.pendingCommand; }, kCmdSearchBackward},
    {kHotspotFf, [](const PlayerState& s, const Settings&) { return s.pendingCommand; }, kCmdSearchForward},
    {kHotspotBack, [](const PlayerState& s, const Settings&) { return s.pendingCommand; }, kCmdPreviousTrack},
    {kHotspotNext, [](const PlayerState& s, const Settings&) { return s.pendingCommand; }, kCmdNextTrack},
    {kHotspotFile, [](const PlayerState& s, const Settings&) { return s.pendingCommand; }, kCmdOpenButton},
    {kHotspotConfig, [](const PlayerState& s, const Settings&) { return s.pendingCommand; }, kCmdSettingsDialog},
    {kHotspotFull, [](const PlayerState& s, const Settings&) { return s.pendingCommand; }, kCmdFullScreen},
    {kHotspotPower, [](const PlayerState& s, const Settings&) { return s.quitPending; }, kCmdQuit},
    {kHotspotRepeat, [](const PlayerState&, const Settings& t) { return t.repeat; }, 0},
    {kHotspotShuffle, [](const PlayerState&, const Settings& t) { return t.shuffle; }, 1},
    {kHotspotZoomOut, [](const PlayerState& s, const Settings&) { return s.pendingCommand; }, kCmdSmallerVideo},
    {kHotspotZoomIn, [](const PlayerState& s, const Settings&) { return s.pendingCommand; }, kCmdLargerVideo},
    {kHotspotMinimise, [](const PlayerState& s, const Settings&) { return s.minimiseState; }, 1},
    {kHotspotPosition, [](const PlayerState& s, const Settings&) { return s.seekDragging; }, 1},
    {kHotspotVolume, [](const PlayerState& s, const Settings&) { return s.volumeDragging; }, 1},
    {kHotspotTitle, [](const PlayerState& s, const Settings&) { return s.marqueeLine; }, 0},
    {kHotspotTime, [](const PlayerState& s, const Settings&) { return s.timeDisplayMode; }, 2},
};

// A press on the device pixel at each hotspot's centre does what the hotspot does (CTest runs
// this at 1, 1.5 and 2 with QT_SCALE_FACTOR). Each press is looked at before its release, then
// the records go back as they were.
TEST(SkinAccessTest, APressAtEachHotspotsCentreDoesItsActionAtTheScreensScale) {
    Window w;
    w.state.polledPosition = 5200;
    SkinAccess* access = w.dialog->findChild<SkinAccess*>();
    const double factor = qEnvironmentVariable("QT_SCALE_FACTOR").toDouble(), wanted = factor > 0 ? factor : 1;
    ASSERT_EQ(w.dialog->devicePixelRatioF(), wanted);
    const PlayerState state = w.state;
    const Settings settings = w.settings;
    for (const HitCase& c : kHitCases) {
        const skin::Rect r = access->Area(c.spot);
        const QPointF centre(r.x + r.w / 2.0, r.y + r.h / 2.0);
        SendLeft(*w.dialog, QEvent::MouseButtonPress, centre);
        EXPECT_EQ(c.effect(w.state, w.settings), c.expected) << kHotspots[c.spot].name << " at " << wanted;
        w.state = state, w.settings = settings;
        SendLeft(*w.dialog, QEvent::MouseButtonRelease, centre);
        w.state = state, w.settings = settings;
        if (w.dialog->isMinimized()) w.dialog->showNormal();
    }
}

// Tab walks the hotspots, Shift+Tab back; Space and Enter press the focused one (and only
// that: Space then neither pauses nor plays); Esc puts the focus away, after which Enter does
// nothing again. The focus mark is drawn over the skin around the focused hotspot.
TEST(SkinAccessTest, TabSpaceEnterAndEscOnTheHotspots) {
    Window w;
    SkinAccess* access = w.dialog->findChild<SkinAccess*>();
    w.dialog->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w.dialog.get(), 3000));
    const QImage unfocused = w.dialog->grab().toImage();
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) QTest::keyClick(w.dialog.get(), key);
    EXPECT_EQ(std::tuple(access->Focused(), w.state.pendingCommand, w.state.closeRequest), std::tuple(-1, 0, 0));

    for (auto [key, focused] : {std::pair{Qt::Key_Tab, kHotspotPlay}, {Qt::Key_Tab, kHotspotStill},
                                {Qt::Key_Backtab, kHotspotPlay}, {Qt::Key_Backtab, kHotspotTime}, {Qt::Key_Tab, kHotspotPlay}}) {
        QTest::keyClick(w.dialog.get(), key, key == Qt::Key_Backtab ? Qt::ShiftModifier : Qt::NoModifier);
        EXPECT_EQ(access->Focused(), focused) << key;
    }
    for (int i = kHotspotPlay; i < kHotspotRepeat; ++i) QTest::keyClick(w.dialog.get(), Qt::Key_Tab);
    ASSERT_EQ(access->Focused(), kHotspotRepeat);
    const skin::Rect r = kHotspots[kHotspotRepeat].area;
    const QPoint edge(r.x - 1, r.y + 2);  // just outside the hotspot: the mark, not the art
    EXPECT_NE(w.dialog->grab().toImage().pixel(edge), unfocused.pixel(edge)) << "the focus mark";
    const long ticks = w.Ticks();
    QTest::keyClick(w.dialog.get(), Qt::Key_Space);
    EXPECT_EQ(w.settings.repeat, 0);
    ASSERT_TRUE(w.RunUntil([&] { return w.Ticks() >= ticks + 3; }));
    EXPECT_EQ(std::count(w.device.sent.begin(), w.device.sent.end(), "pause movie"), 0) << "Space pressed REPEAT only";
    QTest::keyClick(w.dialog.get(), Qt::Key_Return);
    EXPECT_EQ(w.settings.repeat, 1);
    QTest::keyClick(w.dialog.get(), Qt::Key_Escape);
    QTest::keyClick(w.dialog.get(), Qt::Key_Return);
    EXPECT_EQ(std::pair(access->Focused(), w.settings.repeat), std::pair(-1, 1));
    EXPECT_EQ(w.dialog->grab().toImage().pixel(edge), unfocused.pixel(edge)) << "no mark";
}

// The window's accessible children: names, roles, states, the press action and the sliders'
// values (the events reach an assistive technology: tests/e2e/a11y_e2e_test.cpp).
TEST(SkinAccessTest, EveryHotspotIsAnAccessibleObject) {
    Window w;
    w.state.polledPosition = 5200;
    QAccessibleInterface* window = QAccessible::queryAccessibleInterface(w.dialog.get());
    ASSERT_TRUE(window != nullptr && window->childCount() == kHotspotCount);
    const struct { HotspotIndex spot; const char* name; QAccessible::Role role; const char* value; } rows[] = {
        {kHotspotPlay, "再生", QAccessible::Button, ""},
        {kHotspotRepeat, "リピート", QAccessible::CheckBox, ""},
        {kHotspotVolume, "音量", QAccessible::Slider, "100%"},
        {kHotspotTime, "時間: 0:00:05", QAccessible::StaticText, "0:00:05"},
        {kHotspotMinimise, "最小化", QAccessible::Button, ""},
    };
    for (const auto& row : rows) {
        QAccessibleInterface* spot = window->child(row.spot);
        EXPECT_EQ(std::tuple(spot->text(QAccessible::Name), spot->role(), spot->text(QAccessible::Value)),
                  std::tuple(QString::fromUtf8(row.name), row.role, QString::fromUtf8(row.value)));
        EXPECT_FALSE(spot->text(QAccessible::Description).isEmpty());
        EXPECT_EQ(window->indexOfChild(spot), row.spot);
    }
    EXPECT_TRUE(window->child(kHotspotRepeat)->state().checked);
    window->child(kHotspotPlay)->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(w.state.buttonCounters[0], 1);
    window->child(kHotspotVolume)->valueInterface()->setCurrentValue(50);
    EXPECT_EQ(std::pair(w.state.volumeKnobX, window->child(kHotspotVolume)->valueInterface()->currentValue().toInt()),
              std::pair(29, 50));
}

QString CancelButtonText() {
    QDialogButtonBox box(QDialogButtonBox::Cancel);
    return box.button(QDialogButtonBox::Cancel)->text();
}

TEST(QtTranslationsTest, JapaneseLocaleTranslatesQtsStandardTexts) {
    QApplication& app = TestApplication();
    ASSERT_EQ(CancelButtonText(), "Cancel");
    QTranslator* japanese = InstallQtTranslations(app, QLocale(QLocale::Japanese, QLocale::Japan));
    ASSERT_NE(japanese, nullptr) << "qtbase_ja.qm (qt6-translations-l10n) is missing";
    EXPECT_EQ(CancelButtonText(), QString::fromUtf8("キャンセル"));
    QCoreApplication::removeTranslator(japanese);
    delete japanese;

    EXPECT_EQ(InstallQtTranslations(app, QLocale(QLocale::English, QLocale::UnitedStates)), nullptr);
    EXPECT_EQ(CancelButtonText(), "Cancel");
}

}  // namespace
