// The main window's hotspots at the screen's scale, from the keyboard and for assistive
// technology: a press on the device pixel at each hotspot's centre does what the hotspot does
// (CTest runs the case at 1, 1.5 and 2 with QT_SCALE_FACTOR); Tab, Space, Enter and Esc; the
// accessible objects with their names, roles, states, actions, values and events.
#include <gtest/gtest.h>
#include <QAccessible>
#include <QApplication>
#include <QMouseEvent>
#include <QTest>
#include <cmath>
#include <functional>
#include "platform/Clock.h"
#include "platform/Files.h"
#include "player/CPlayerDlg.h"
#include "player/SkinAccessibility.h"
#include "playlist/Playlist.h"
#include "state/PlayerState.h"
#include "state/Settings.h"
#include "tests/support/FakeWaveVolume.h"
#include "tests/support/QtTestApp.h"
#include "tests/support/ScriptedMediaDevice.h"
#include "tests/support/TestSupport.h"

namespace {

// A started player over a scripted device, playing at 5200 of 100000 ms.
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
        EXPECT_TRUE(QTest::qWaitFor([&] { return state.firstTickDone == 1; }, 3000));
        state.closed = 0, state.lengthMs = 100000, state.polledPosition = 5200;
        access = dialog->findChild<SkinAccess*>();
    }
    // A left press (or release) on the device pixel that holds the logical point `at`.
    void Mouse(QEvent::Type type, QPointF at) {
        const qreal ratio = dialog->devicePixelRatioF();
        const QPointF pos(std::floor(at.x() * ratio) / ratio, std::floor(at.y() * ratio) / ratio);
        QMouseEvent event(type, pos, dialog->mapToGlobal(pos), Qt::LeftButton,
                          type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(dialog.get(), &event);
    }
    int Count(const std::string& command) const {
        return int(std::count(device.sent.begin(), device.sent.end(), command));
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
    SkinAccess* access = nullptr;
};

using Effect = int (*)(const PlayerState&, const Settings&);
struct HitCase {
    HotspotIndex spot;
    Effect effect;
    int expected;
};
const HitCase kHitCases[] = {
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

// Each press is looked at before its release, then the records go back as they were.
TEST(SkinAccessTest, APressAtEachHotspotsCentreDoesItsActionAtTheScreensScale) {
    Window w;
    const double factor = qEnvironmentVariable("QT_SCALE_FACTOR").toDouble(), wanted = factor > 0 ? factor : 1;
    ASSERT_EQ(w.dialog->devicePixelRatioF(), wanted);
    const PlayerState state = w.state;
    const Settings settings = w.settings;
    for (const HitCase& c : kHitCases) {
        const skin::Rect r = w.access->Area(c.spot);
        const QPointF centre(r.x + r.w / 2.0, r.y + r.h / 2.0);
        w.Mouse(QEvent::MouseButtonPress, centre);
        EXPECT_EQ(c.effect(w.state, w.settings), c.expected) << kHotspots[c.spot].name << " at " << wanted;
        w.state = state, w.settings = settings;
        w.Mouse(QEvent::MouseButtonRelease, centre);
        w.state = state, w.settings = settings;
        if (w.dialog->isMinimized()) w.dialog->showNormal();
    }
}

// Tab walks the hotspots, Shift+Tab back; Space and Enter press the focused one (and only
// that: Space then neither pauses nor plays); Esc puts the focus away, after which Enter does
// nothing again. The focus mark is drawn over the skin around the focused hotspot.
TEST(SkinAccessTest, TabSpaceEnterAndEscOnTheHotspots) {
    Window w;
    w.dialog->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w.dialog.get(), 3000));
    const QImage unfocused = w.dialog->grab().toImage();
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) QTest::keyClick(w.dialog.get(), key);
    EXPECT_EQ(std::tuple(w.access->Focused(), w.state.pendingCommand, w.state.closeRequest), std::tuple(-1, 0, 0));

    const struct { Qt::Key key; Qt::KeyboardModifiers mods; int focused, repeat; } steps[] = {
        {Qt::Key_Tab, {}, kHotspotPlay, 1}, {Qt::Key_Tab, {}, kHotspotStill, 1},
        {Qt::Key_Backtab, Qt::ShiftModifier, kHotspotPlay, 1}, {Qt::Key_Backtab, Qt::ShiftModifier, kHotspotTime, 1},
        {Qt::Key_Tab, {}, kHotspotPlay, 1},
    };
    for (const auto& s : steps) {
        QTest::keyClick(w.dialog.get(), s.key, s.mods);
        EXPECT_EQ(w.access->Focused(), s.focused) << s.key;
    }
    for (int i = kHotspotPlay; i < kHotspotRepeat; ++i) QTest::keyClick(w.dialog.get(), Qt::Key_Tab);
    ASSERT_EQ(w.access->Focused(), kHotspotRepeat);
    const skin::Rect r = kHotspots[kHotspotRepeat].area;
    const QPoint edge(r.x - 1, r.y + 2);  // just outside the hotspot: the mark, not the art
    EXPECT_NE(w.dialog->grab().toImage().pixel(edge), unfocused.pixel(edge)) << "the focus mark";
    const int position = w.Count("status movie position");
    QTest::keyClick(w.dialog.get(), Qt::Key_Space);
    EXPECT_EQ(w.settings.repeat, 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.Count("status movie position") >= position + 6; }, 3000));
    EXPECT_EQ(w.Count("pause movie"), 0) << "Space pressed REPEAT only";
    QTest::keyClick(w.dialog.get(), Qt::Key_Return);
    EXPECT_EQ(w.settings.repeat, 1);
    QTest::keyClick(w.dialog.get(), Qt::Key_Escape);
    QTest::keyClick(w.dialog.get(), Qt::Key_Return);
    EXPECT_EQ(std::pair(w.access->Focused(), w.settings.repeat), std::pair(-1, 1));
    EXPECT_EQ(w.dialog->grab().toImage().pixel(edge), unfocused.pixel(edge)) << "no mark";
}

// The window's accessible children: names, roles, states, the press action and the sliders'
// values (the events reach an assistive technology: tests/e2e/a11y_e2e_test.cpp).
TEST(SkinAccessTest, EveryHotspotIsAnAccessibleObject) {
    Window w;
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

}  // namespace
