// The real main window on a scripted device; Qt's dialogs in the user's language; the timer's rest and wakes.
#include <QAccessible>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QMimeData>
#include <QMouseEvent>
#include <QPushButton>
#include <QTest>
#include <QTranslator>
#include <cmath>
#include "app/CommandLine.h"
#include "app/QtTranslations.h"
#include "platform/Files.h"
#include "platform/WaveVolume.h"
#include "playback/OpenTrack.h"
#include "player/CPlayerDlg.h"
#include "player/SkinAccessibility.h"
#include "playlist/Playlist.h"
#include "state/PlayerState.h"
#include "state/Settings.h"
#include "tests/support/ModalAnswer.h"
#include "tests/support/QtTestApp.h"
#include "tests/support/ScriptedMediaDevice.h"
#include "tests/support/TestSupport.h"

namespace {
using Strings = std::vector<std::string>;

// A wave volume whose writes join the device's command list: one list orders volume steps and queries.
struct LoggedVolume final : WaveVolume {
    explicit LoggedVolume(ScriptedMediaDevice& device) : device(device) {}
    bool Get(uint32_t& v) override {
        v = value;
        return true;
    }
    bool Set(uint32_t v) override {
        value = v;
        device.sent.push_back("volume " + std::to_string(v));
        return true;
    }
    ScriptedMediaDevice& device; uint32_t value = 0xFFFFFFFFu;
};

// The system's steady clock until frozen at a time the test then moves on by hand.
struct TestSteadyClock final : SteadyClock {
    int64_t NowMs() override { return frozen >= 0 ? frozen : real.NowMs(); }
    SystemSteadyClock real; int64_t frozen = -1;
};

// A started player on a device at 5200 of 100000 ms: playing, or resting (no list).
struct Window {
    explicit Window(bool resting = false, SteadyClock* timerClock = nullptr) {
        TestApplication();
        folder.Write("KORU.sys", *ReadWholeFile(std::string(VELKAF_SOURCE_DIR) + "/res/KORU.sys"));
        device.Answer("status movie position", "5200");
        device.Answer("status movie length", "100000");
        device.Answer("status movie mode", resting ? "paused" : "playing");
        dialog = std::make_unique<CPlayerDlg>(PlayerRecords{state, settings, playlist}, device, volume, clock,
                                              MainTickSetup{folder.path(), {}}, timerClock);
        dialog->OnInitDialog();
        EXPECT_TRUE(RunUntil([&] { return state.firstTickDone == 1 && (!resting || dialog->Resting()); }));
        if (resting) return;
        state.closed = 0;
        state.lengthMs = 100000;
        state.polledPosition = 5200;
    }
    bool RunUntil(const std::function<bool()>& done) { return QTest::qWaitFor(done, 3000); }  // timers run meanwhile
    long Count(const std::string& command) const { return std::count(device.sent.begin(), device.sent.end(), command); }
    long Ticks() const { return Count("status movie position") / 2; }  // two a full tick
    // What the player did: commands besides queries, the video size, the speed and the request.
    std::tuple<Strings, int, int, int> Effects() const {
        Strings commands;
        for (auto& s : device.sent) if (s.rfind("status ", 0) && s.rfind("where ", 0)) commands.push_back(s);
        return {commands, settings.videoSizeMode, state.speed + state.speedStepRequest, state.pendingCommand.Get()};
    }
    CurrentFolderGuard cwd; TempFolder folder; PlayerState state; Settings settings; Playlist playlist;
    ScriptedMediaDevice device; LoggedVolume volume{device}; SystemClock clock; std::unique_ptr<CPlayerDlg> dialog;
};

// The joined arguments when they name a path (a name with blanks the shell split), else each argument that names a
// file or folder, in their order, against the start's folder ('%'); the rest names nothing.
TEST(CommandLineTest, WhatTheArgumentsName) {
    TempFolder start;
    for (const char* n : {"My Music/a.mp3", "a.wav", "b.wav", "dir/c.mp3"}) start.Write(n, "");
    struct Case { const char* name; Strings args = {}, items = {}, nothing = {}; };
    const Case cases[] = {
        {.name = "none"},
        {.name = "joined", .args = {"My", "Music/a.mp3"}, .items = {"%My Music/a.mp3"}},
        {.name = "each in order", .args = {"b.wav", "gone.mp3", "a.wav", "dir/"},
         .items = {"%b.wav", "%a.wav", "%dir/"}, .nothing = {"gone.mp3"}},
        {.name = "absolute", .args = {"%a.wav", "/no/such"}, .items = {"%a.wav"}, .nothing = {"/no/such"}},
    };
    const auto inStart = [&](Strings paths) {
        for (std::string& p : paths) if (p[0] == '%') p = start.path() + p.substr(1);
        return paths;
    };
    for (const Case& c : cases) {
        const CommandLineItems named = ClassifyCommandLine(inStart(c.args), start.path());
        EXPECT_EQ(std::pair(named.items, named.namingNothing), std::pair(inStart(c.items), c.nothing)) << c.name;
    }
}

// FILE, CONFIG and FULL act on the button-up however many full ticks pass while held; Alt+Enter leaves full screen.
// Hotkeys typed into the open file dialog change nothing; "list" opens "list.tsr". In the player Space pauses.
TEST(PlayerWindowTest, FileConfigAndFullSurviveFullTicksWhileHeld) {
    for (const auto& [at, dialogClass] :
         {std::pair{QPoint(220, 30), "QFileDialog"}, {QPoint(30, 25), "CSettingsDlg"}, {QPoint(190, 78), ""}}) {
        Window w;
        w.folder.Write("list.tsr", w.folder.Write("tone.wav", "RIFF") + "\r\n");
        w.state.paused = 1;
        const auto before = w.Effects();
        QTest::mousePress(w.dialog.get(), Qt::LeftButton, {}, at);
        ASSERT_TRUE(w.RunUntil([&, ticks = w.Ticks()] { return w.Ticks() >= ticks + 3; }));
        std::string shown;
        ModalAnswer<QDialog> answer([&](QDialog& d) {
            shown = d.metaObject()->className();
            auto* files = qobject_cast<QFileDialog*>(&d);
            if (files == nullptr) return;
            files->setDirectory(QString::fromStdString(w.folder.path()));
            auto* name = d.findChild<QLineEdit*>("fileNameEdit");
            ASSERT_NE(name, nullptr);
            QTest::keyClicks(name, "xz mn.,][");
            QTest::qWait(300);
            EXPECT_EQ(w.Effects(), before) << "typing into the open dialog";
            name->clear();
            QTest::keyClicks(name, "list");
            d.accept();
        });
        QTest::mouseRelease(w.dialog.get(), Qt::LeftButton, {}, at);
        EXPECT_EQ(std::pair(shown, int(w.state.fullScreen)), std::pair(std::string(dialogClass), *dialogClass ? 0 : 1));
        if (shown == "QFileDialog") {
            const long opened = w.Count("open \"tone.wav\" type mpegvideo alias movie");
            EXPECT_EQ(std::pair(opened, int(w.state.paused)), std::pair(1L, 0)) << "the list opened, its entry played";
            QTest::keyPress(w.dialog.get(), Qt::Key_Space);
            EXPECT_TRUE(w.RunUntil([&] { return w.state.paused == 1; }));
            QTest::keyRelease(w.dialog.get(), Qt::Key_Space);
        }
        if (w.state.fullScreen == 0) continue;
        ASSERT_TRUE(w.RunUntil([&] { return QApplication::activeWindow() != w.dialog.get(); }));
        QTest::keyPress(QApplication::activeWindow(), Qt::Key_Return, Qt::AltModifier);
        EXPECT_TRUE(w.RunUntil([&] { return w.state.fullScreen == 0; }));
        QTest::keyRelease(w.dialog.get(), Qt::Key_Return);
        QTest::keyRelease(w.dialog.get(), Qt::Key_Alt);
    }
}

// Play/pause (middle click, PlayPause) opens the entry as PLAY does: one that will not open leaves it stopped.
TEST(PlayerWindowTest, ToggleWithNothingOpenOpensTheEntryAsPlayDoes) {
    Window w;
    w.playlist.InsertAt(0, w.folder.path() + "tone.wav");
    w.playlist.SyncCount();
    w.playlist.currentIndex = 0;
    w.state.closed = 1;  // a failed open closed the device
    w.device.Answer("status movie mode", "");  // the device holds nothing: each open fails
    for (int press = 0; press < 2; ++press) {
        QTest::mouseClick(w.dialog.get(), Qt::MiddleButton, {}, {120, 8});
        ASSERT_TRUE(w.RunUntil([&, ticks = w.Ticks()] { return w.Ticks() >= ticks + 2; }));
    }
    EXPECT_EQ(std::tuple(w.state.closed, w.state.paused, w.Count("pause movie")), std::tuple(1, 0, 0));
    EXPECT_EQ(w.Count("open \"tone.wav\" type mpegvideo alias movie"), 2) << "each press tried the entry";
    w.device.Answer("status movie mode", "playing");
    QTest::mouseClick(w.dialog.get(), Qt::LeftButton, {}, {250, 50});  // PLAY still opens
    EXPECT_TRUE(w.RunUntil([&] { return w.Count("open \"tone.wav\" type mpegvideo alias movie") == 3; }));
    EXPECT_TRUE(w.RunUntil([&] { return w.state.closed == 0 && w.state.paused == 0; }));
}

// A wobble within the drag distance or a double click moves nothing; a drag past it does (a tap: DesktopE2E).
TEST(PlayerWindowTest, OnlyADragPastTheDragDistanceMovesTheWindow) {
    const int near = QApplication::startDragDistance() - 1;
    struct Case { bool doubleClick; std::vector<QPoint> path; QPoint moved; };
    const Case cases[] = {
        {.doubleClick = false, .path = {{near, 0}, {0, near}}, .moved = {0, 0}},
        {.doubleClick = true, .path = {}, .moved = {0, 0}},
        {.doubleClick = true, .path = {{near, 0}, {30, 20}, {40, 25}}, .moved = {40, 25}},
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

void SendLeft(QWidget& window, QEvent::Type type, QPointF at) {  // on the device pixel holding the point `at`
    const qreal ratio = window.devicePixelRatioF();
    const QPointF pos(std::floor(at.x() * ratio) / ratio, std::floor(at.y() * ratio) / ratio);
    QMouseEvent event(type, pos, window.mapToGlobal(pos), Qt::LeftButton,
                      type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &event);
}

// What a press on each hotspot does: the pending command, or the record `effect` reads.
using S = const PlayerState&; using T = const Settings&;
const struct { HotspotIndex spot; int expected; int (*effect)(S, T) = nullptr; } kHitCases[] = {
    {kHotspotStill, kCmdPause}, {kHotspotStop, kCmdClose}, {kHotspotRew, kCmdSearchBackward},
    {kHotspotFf, kCmdSearchForward}, {kHotspotBack, kCmdPreviousTrack}, {kHotspotNext, kCmdNextTrack},
    {kHotspotFile, kCmdOpenButton}, {kHotspotConfig, kCmdSettingsDialog}, {kHotspotFull, kCmdFullScreen},
    {kHotspotZoomOut, kCmdSmallerVideo}, {kHotspotZoomIn, kCmdLargerVideo},
    {kHotspotPlay, 1, [](S s, T) { return s.buttonCounters[0]; }},
    {kHotspotPower, kCmdQuit, [](S s, T) { return s.quitPending.Get() ? int(kCmdQuit) : 0; }},
    {kHotspotRepeat, 0, [](S, T t) { return t.repeat; }}, {kHotspotShuffle, 1, [](S, T t) { return t.shuffle; }},
    {kHotspotMinimise, 1, [](S s, T) { return int(s.minimiseState); }},
    {kHotspotPosition, 1, [](S s, T) { return int(s.seekDragging); }},
    {kHotspotVolume, 1, [](S s, T) { return int(s.volumeDragging); }},
    {kHotspotTitle, 0, [](S s, T) { return s.marqueeLine; }},
    {kHotspotTime, 2, [](S s, T) { return int(s.timeDisplayMode); }},
};

// CTest runs this at 1, 1.5 and 2 (QT_SCALE_FACTOR); each press is looked at before its release, then undone.
TEST(SkinAccessTest, APressAtEachHotspotsCentreDoesItsActionAtTheScreensScale) {
    Window w;
    SkinAccess* access = w.dialog->findChild<SkinAccess*>();
    const double factor = qEnvironmentVariable("QT_SCALE_FACTOR").toDouble(), wanted = factor > 0 ? factor : 1;
    ASSERT_EQ(w.dialog->devicePixelRatioF(), wanted);
    PlayerState state;
    state = w.state;
    const Settings settings = w.settings;
    for (const auto& c : kHitCases) {
        const skin::Rect r = access->Area(c.spot);
        const QPointF centre(r.x + r.w / 2.0, r.y + r.h / 2.0);
        SendLeft(*w.dialog, QEvent::MouseButtonPress, centre);
        EXPECT_EQ(c.effect ? c.effect(w.state, w.settings) : w.state.pendingCommand.Get(), c.expected)
            << kHotspots[c.spot].name << " at " << wanted;
        w.state = state;
        w.settings = settings;
        SendLeft(*w.dialog, QEvent::MouseButtonRelease, centre);
        w.state = state;
        w.settings = settings;
        if (w.dialog->isMinimized()) w.dialog->showNormal();
    }
}

// Unfocused, the arrow, page and end keys step and Enter and Esc do nothing. Tab walks the hotspots, Shift+Tab back;
// Space and Enter press the focused one (only: Space does not pause); Esc puts the focus away, after which Enter does
// nothing again. A focus mark is drawn around the focused hotspot. Each hotspot is an accessible object.
TEST(SkinAccessTest, TabSpaceEnterAndEscOnTheHotspotsAndEachIsAnAccessibleObject) {
    Window w;
    SkinAccess* access = w.dialog->findChild<SkinAccess*>();
    w.dialog->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w.dialog.get(), 3000));
    const QImage unfocused = w.dialog->grab().toImage();
    for (auto [key, step] : {std::pair{Qt::Key_Up, 1}, {Qt::Key_PageUp, 1}, {Qt::Key_Home, 1}, {Qt::Key_Down, -1},
                             {Qt::Key_PageDown, -1}, {Qt::Key_End, -1}, {Qt::Key_Return, 0}, {Qt::Key_Enter, 0},
                             {Qt::Key_Escape, 0}}) {
        w.state.wheelStep.Clear();
        QTest::keyClick(w.dialog.get(), key);
        EXPECT_EQ(w.state.wheelStep.Get(), step) << key;
    }
    EXPECT_EQ(std::tuple(access->Focused(), w.state.pendingCommand.Get(), w.state.closeRequest.Get(),
                         w.state.quitRequested.Get(), w.dialog->isVisible()),
              std::tuple(-1, kCmdNone, false, false, true));
    for (auto [key, focused] : {std::pair{Qt::Key_Tab, kHotspotPlay}, {Qt::Key_Tab, kHotspotStill}, {Qt::Key_Backtab,
                                kHotspotPlay}, {Qt::Key_Backtab, kHotspotTime}, {Qt::Key_Tab, kHotspotPlay}}) {
        QTest::keyClick(w.dialog.get(), key, key == Qt::Key_Backtab ? Qt::ShiftModifier : Qt::NoModifier);
        EXPECT_EQ(access->Focused(), focused) << key;
    }
    for (int i = kHotspotPlay; i < kHotspotRepeat; ++i) QTest::keyClick(w.dialog.get(), Qt::Key_Tab);
    ASSERT_EQ(access->Focused(), kHotspotRepeat);
    const QPoint edge(kHotspots[kHotspotRepeat].area.x - 1, kHotspots[kHotspotRepeat].area.y + 2);  // outside: the mark
    EXPECT_NE(w.dialog->grab().toImage().pixel(edge), unfocused.pixel(edge)) << "the focus mark";
    const long ticks = w.Ticks();
    QTest::keyClick(w.dialog.get(), Qt::Key_Space);
    ASSERT_TRUE(w.RunUntil([&] { return w.Ticks() >= ticks + 3; }));
    EXPECT_EQ(std::pair(w.settings.repeat, w.Count("pause movie")), std::pair(0, 0L)) << "Space pressed REPEAT only";
    QTest::keyClick(w.dialog.get(), Qt::Key_Return);
    EXPECT_EQ(w.settings.repeat, 1);
    for (Qt::Key key : {Qt::Key_Escape, Qt::Key_Return}) QTest::keyClick(w.dialog.get(), key);
    EXPECT_EQ(std::pair(access->Focused(), w.settings.repeat), std::pair(-1, 1));
    EXPECT_EQ(w.dialog->grab().toImage().pixel(edge), unfocused.pixel(edge)) << "no mark";
    // Names, roles, states and the sliders' values; the notification a screen reader says whatever has the focus.
    // Through AT-SPI, every hotspot in order, PLAY's press action and Orca's speech: tests/e2e/a11y_e2e_test.cpp.
    QAccessibleInterface* window = QAccessible::queryAccessibleInterface(w.dialog.get());
    ASSERT_TRUE(window != nullptr && window->childCount() == kHotspotCount + 1) << "and the notification";
    const struct { HotspotIndex spot; const char* name; QAccessible::Role role; const char* value; } spots[] = {
        {kHotspotRepeat, "リピート", QAccessible::CheckBox, ""},
        {kHotspotVolume, "音量", QAccessible::Slider, "100%"},
        {kHotspotTime, "時間: 0:00:05", QAccessible::StaticText, "0:00:05"},
    };
    for (const auto& row : spots) {
        QAccessibleInterface* spot = window->child(row.spot);
        EXPECT_EQ(std::tuple(spot->text(QAccessible::Name), spot->role(), spot->text(QAccessible::Value)),
                  std::tuple(QString::fromUtf8(row.name), row.role, QString::fromUtf8(row.value)));
        EXPECT_FALSE(spot->text(QAccessible::Description).isEmpty());
        EXPECT_EQ(window->indexOfChild(spot), row.spot);
    }
    EXPECT_TRUE(window->child(kHotspotRepeat)->state().checked);
    window->child(kHotspotVolume)->valueInterface()->setCurrentValue(50);
    EXPECT_EQ(std::pair(w.state.volumeKnobX, window->child(kHotspotVolume)->valueInterface()->currentValue().toInt()),
              std::pair(29, 50));
    QAccessibleInterface* said = window->child(kHotspotCount);
    const std::string file = " a.mp3  <0:01:40> |", tag = " Song \xEF\xBC\x9A piman\xEF\xBC\x8Fjzig  |";
    const std::string silent = kNoSoundNotice + file;
    const struct { std::string line1, line2; int closed, paused; const char* said; } rows[] = {
        {file, tag, 0, 0, "Song ： piman／jzig"},
        {silent, tag, 0, 0, "音声出力なし：無音で再生中。Song ： piman／jzig"},
        {silent, silent, 0, 0, "音声出力なし：無音で再生中 | a.mp3  <0:01:40>"},
        {"", "", 0, 1, "一時停止"}, {"", "", 0, 0, "再生"}, {"", "", 1, 0, "停止"},
    };
    for (const auto& r : rows) {
        if (!r.line1.empty()) access->TitleLinesChanged(r.line1, r.line2);
        w.state.closed = r.closed;
        w.state.paused = r.paused;
        access->Follow();
        EXPECT_EQ(said->text(QAccessible::Name).toStdString(), r.said);
    }
}

TEST(QtTranslationsTest, JapaneseLocaleTranslatesQtsStandardTexts) {
    QApplication& app = TestApplication();
    const auto CancelButtonText = [] { return QDialogButtonBox(QDialogButtonBox::Cancel).buttons().at(0)->text(); };
    QTranslator* japanese = InstallQtTranslations(app, QLocale(QLocale::Japanese, QLocale::Japan));
    ASSERT_NE(japanese, nullptr) << "qtbase_ja.qm (qt6-translations-l10n) is missing";
    EXPECT_EQ(CancelButtonText(), QString::fromUtf8("キャンセル"));
    delete japanese;  // which takes it out of the application: the untranslated text again
    EXPECT_EQ(InstallQtTranslations(app, QLocale(QLocale::English, QLocale::UnitedStates)), nullptr);
    EXPECT_EQ(CancelButtonText(), "Cancel");
}

// Whoever writes a request, the resting timer's next call is due within one period; none is due while it rests.
// After a rest of 40 periods, or in a nap between full ticks while playing (their pace:
// FullTicksKeepTheirPaceWhileThePointerMoves), N held ends it at once and lowers the volume on the first call; after
// a rest that call runs the full tick, and the timer rests again only after a full tick with the key up.
TEST(TickRestTest, ARequestOrAKeyEndsARestOrANapAndAKeyActsOnTheFirstCall) {
    const struct { const char* name; std::function<void(PlayerState&)> ask; } requests[] = {
        {"pendingCommand", [](PlayerState& s) { s.pendingCommand.Ask(kCmdPlay); }},
        {"closeRequest", [](PlayerState& s) { s.closeRequest.Ask(true); }},
        {"quitPending", [](PlayerState& s) { s.quitPending.Ask(true); }},
        {"quitRequested", [](PlayerState& s) { s.quitRequested.Ask(true); }},
        {"toggleRequest", [](PlayerState& s) { s.toggleRequest.Ask(true); }},
        {"speedStepRequest", [](PlayerState& s) { s.speedStepRequest.Ask(1); }},
        {"wheelStep", [](PlayerState& s) { s.wheelStep.Ask(-1); }},
        {"trackRequest", [](PlayerState& s) { s.trackRequest.Ask(1); }},
        {"backgroundReload", [](PlayerState& s) { s.backgroundReload.Ask(true); }},
        {"busSeekMs", [](PlayerState& s) { s.busSeekMs.Ask(0); }},
        {"busVolume", [](PlayerState& s) { s.busVolume.Ask(0); }},
        {"busShuffle", [](PlayerState& s) { s.busShuffle.Ask(false); }},
        {"busRepeat", [](PlayerState& s) { s.busRepeat.Ask(false); }},
        {"busRaise", [](PlayerState& s) { s.busRaise.Ask(true); }},
        {"handedCommandLine", [](PlayerState& s) { s.handedCommandLine.Ask(HandedCommandLine{}); }},
    };
    SystemSteadyClock now;
    for (const bool resting : {true, false}) {
        Window w(resting);
        if (resting) for (const auto& r : requests) {
            ASSERT_TRUE(w.RunUntil([&] { return w.dialog->Resting(); })) << r.name;
            EXPECT_EQ(w.dialog->Scheduler().DueMs(), -1) << r.name;
            PlayerState before;
            before = w.state;
            r.ask(w.state);
            EXPECT_FALSE(w.dialog->Resting()) << r.name;
            EXPECT_LE(w.dialog->Scheduler().DueMs() - now.NowMs(), CPlayerDlg::kTimerPeriodMs) << r.name;
            w.state = before;  // taken back before a call carries it out
        }
        const auto idle = [&] { return resting ? w.dialog->Resting() : w.dialog->Napping(); };
        if (resting) QTest::qWait(1200);  // still resting then
        ASSERT_TRUE(resting ? idle() : w.RunUntil(idle)) << resting;
        w.device.ClearSent();
        w.volume.value = 0x40004000u;
        QTest::keyPress(w.dialog.get(), Qt::Key_N);
        EXPECT_FALSE(idle()) << resting;
        ASSERT_TRUE(w.RunUntil([&] { return w.device.sent.size() >= (resting ? 2u : 1u); })) << resting;
        QTest::keyRelease(w.dialog.get(), Qt::Key_N);
        EXPECT_EQ(w.device.sent.front(), "volume " + std::to_string(0x39553955u)) << resting;
        if (!resting) continue;
        EXPECT_EQ(w.device.sent[1], "status movie position");
        EXPECT_FALSE(w.dialog->Resting());
        EXPECT_TRUE(w.RunUntil([&] { return w.dialog->Resting(); }));
    }
}

// Playing, with the pointer moving over the player every 20 ms or not: 3 s of the timer's clock hold 20 full ticks.
TEST(TickRestTest, FullTicksKeepTheirPaceWhileThePointerMoves) {
    for (const bool moving : {false, true}) {
        TestSteadyClock clock;
        Window w(false, &clock);
        ASSERT_TRUE(w.RunUntil([&] { return w.dialog->Napping(); }));
        int fullTicks = 0;
        QObject::connect(w.dialog.get(), &CPlayerDlg::fullTickDone, [&] { ++fullTicks; });
        TickScheduler& timer = w.dialog->Scheduler();
        const int64_t start = timer.DueMs();  // a full tick: the nap's end
        for (int64_t t = start; t < start + 3000; ++t) {
            clock.frozen = t;
            if (moving && t % 20 == 0) {
                QMouseEvent move(QEvent::MouseMove, QPointF(150, 40), QPointF(150, 40), Qt::NoButton, {}, {});
                QApplication::sendEvent(w.dialog.get(), &move);
            }
            while (timer.DueMs() >= 0 && timer.DueMs() <= t) timer.RunDueCall();
        }
        EXPECT_EQ(fullTicks, 20) << (moving ? "moving" : "still");
    }
}

// A dropped folder replaces the list, sorted by path, and opens; its ticker steps, redrawn, never resting, paused too.
TEST(TickRestTest, ScrollingTitleKeepsScrolling) {
    Window w(true);
    for (std::string name : {"b.wav", "A/z.wav", "A.wav", "notes.txt"}) w.folder.Write("album/" + name, "RIFF");
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(QString::fromStdString(w.folder.path() + "album"))});
    QDragEnterEvent enter(QPoint(100, 40), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QDropEvent drop(QPointF(100, 40), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w.dialog.get(), &enter);
    QApplication::sendEvent(w.dialog.get(), &drop);
    EXPECT_TRUE(enter.isAccepted()) << "a drop of files is welcome";
    const std::string album = w.folder.path() + "album/";
    ASSERT_EQ(w.playlist.Entries(), (Strings{album + "A.wav", album + "A/z.wav", album + "b.wav"}));
    EXPECT_EQ(w.Count("open \"A.wav\" type mpegvideo alias movie"), 1);
    for (const int paused : {0, 1}) {
        w.state.paused = paused;
        const int from = w.state.marqueeOffset;
        const QImage before = w.dialog->PresentedPicture();
        QTest::qWait(1000);
        EXPECT_FALSE(w.dialog->Resting()) << paused;
        EXPECT_GE(w.state.marqueeOffset - from, 5) << paused;  // one step every 150 ms
        EXPECT_NE(w.dialog->PresentedPicture(), before) << paused;
        // Only the changes are painted again: what the window shows of its body (above the tabs) is the whole
        // picture painted afresh.
        w.device.Answer("status movie position", std::to_string(40000 + 20000 * paused));
        QTest::qWait(400);
        const QImage shown = w.dialog->screen()->grabWindow(w.dialog->winId(), 0, 0, 321, 88).toImage();
        const QImage painted = w.dialog->grab(QRect(0, 0, 321, 88)).toImage();
        const QRect common = shown.rect() & painted.rect();
        EXPECT_GE(common.height(), 88);
        EXPECT_EQ(shown.convertToFormat(QImage::Format_RGB32).copy(common),
                  painted.convertToFormat(QImage::Format_RGB32).copy(common)) << paused;
    }
}
}  // namespace
