// The full-screen window, overlay and control panel: what each click, key, wheel notch, button and slider reports.
#include <gtest/gtest.h>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTest>
#include <QWheelEvent>
#include "panels/ControlPanel.h"
#include "panels/FullScreenWindows.h"
#include "state/AuxProtocol.h"
#include "tests/support/QtTestApp.h"

namespace {
enum Act { Left, Double, Right, Middle, Mode0, WheelUp, WheelDown, Close };  // above these: keys on the step bar

TEST(PanelsTest, FullScreenWindowsReportClicksKeysAndWheelQueued) {
    // The codes reported, and what the tick reads then: scroll step, middle click, left click.
    struct Case {
        const char* name; bool overlay; int clickMode; std::vector<int> acts, codes; std::array<int, 3> values;
    };
    const Case cases[] = {
        {"clicks, mode 0", false, 0, {Left, Double}, {1, 1}, {0, 0, 0}},
        {"the double click's first press counts too", false, 1, {Double, Right, Middle}, {1, 5}, {0, 1, 1}},
        {"the full-screen window keeps the click", false, 1, {Left, Mode0, Left}, {1}, {0, 0, 1}},
        {"the overlay forgets the one it reports", true, 1, {Left, Mode0, Left}, {1}, {0, 0, 0}},
        {"keys and a close, window", false, 0, {Qt::Key_Escape, Qt::Key_Return, Close}, {5, 5}, {0, 0, 0}},
        {"keys and a right click, overlay", true, 0, {Qt::Key_Escape, Qt::Key_Return, Right}, {5}, {0, 0, 0}},
        {"step keys: the last one wins", false, 0, {Qt::Key_Up, Qt::Key_Up, Qt::Key_PageDown}, {}, {-1, 0, 0}},
        {"End then Home, overlay", true, 0, {Qt::Key_End, Qt::Key_Home}, {}, {1, 0, 0}},
        {"wheel notches", false, 0, {WheelDown, WheelUp, WheelDown}, {}, {-1, 0, 0}},
    };
    TestApplication();
    for (const Case& c : cases) {
        CFullScreenDlg full(nullptr); CFullScreenOverlayDlg overlay(nullptr);
        full.Create(); full.ShowTopmost(QRect(0, -20, 640, 500));
        overlay.Create(QRect(0, -20, 640, 500), QRegion());
        CFullScreenInputDlg& d = c.overlay ? static_cast<CFullScreenInputDlg&>(overlay) : full;
        std::vector<int> codes;
        d.SetNotify([&](int code) { codes.push_back(code); });
        d.Configure(0, c.clickMode);
        for (int act : c.acts) {
            const auto button = act == Right ? Qt::RightButton : act == Middle ? Qt::MiddleButton : Qt::LeftButton;
            if (act <= Middle) QTest::mouseClick(d.Window(), button);
            if (act == Double) QTest::mouseDClick(d.Window(), button);
            if (act == Mode0) d.Configure(0, 0);
            if (act == Close) { EXPECT_FALSE(d.Window()->close()); }
            if (act == WheelUp || act == WheelDown) {
                QWheelEvent wheel(QPointF(9, 9), QPointF(9, 9), {}, QPoint(0, act == WheelUp ? 120 : -120), {}, {},
                                  Qt::NoScrollPhase, false);
                QApplication::sendEvent(d.Window(), &wheel);
            }
            if (act > Close) QTest::keyClick(d.StepBar(), Qt::Key(act));
        }
        EXPECT_EQ(std::tuple(codes, d.Window()->isVisible(), d.StepBar()->value()), std::tuple(c.codes, true, 1))
            << c.name;  // the window stays; its step bar never reaches an end
        const auto values = [&d] { return std::array{d.GetValue(0), d.GetValue(1), d.GetValue(2)}; };
        EXPECT_EQ(values(), c.values) << c.name;
        EXPECT_EQ(values(), (std::array{0, 0, 0})) << c.name << ": read, cleared";
    }
    QObject receiver(&TestApplication());  // a report is a queued call, so its handler may destroy the window
    CFullScreenDlg dialog(nullptr);
    dialog.SetNotify(QueuedPlayerNotify(&receiver, [&](int) { dialog.DestroyWindow(); }));
    dialog.Create();
    QTest::mouseClick(dialog.Window(), Qt::RightButton);
    EXPECT_TRUE(dialog.Exists());
    QCoreApplication::processEvents();
    EXPECT_FALSE(dialog.Exists());
}

// As the tick polls: 0/1 position moved and where (device units), 2/3 volume moved and its level, 4/5 button and which.
TEST(PanelsTest, ControlPanelRecordsWhatTheUserDidAndIsSizedForItsScreen) {
    TestApplication();
    using A = QAbstractSlider;
    for (auto [bar, length, start, action, polled] :
         {std::tuple{1010, 0, 2046, A::SliderPageStepAdd, 255}, {1010, 0, 3, A::SliderPageStepSub, 0},
          {1010, 0, 21, A::SliderPageStepSub, 1}, {1010, 0, 20, A::SliderPageStepSub, 0},
          {1001, 20480, 1024, A::SliderSingleStepSub, 10230}, {1001, 1000, 0, A::SliderToMaximum, 1000},
          {1001, 0, 500, A::SliderPageStepAdd, 0}}) {  // no length measured: 0
        CControlPanelDlg panel(nullptr); panel.Create(); panel.SetValue(0, length);
        auto* slider = qobject_cast<QScrollBar*>(panel.Control(bar));
        slider->setValue(start); slider->triggerAction(action);
        const int m = bar == 1001 ? 0 : 2;  // read and cleared; the other slider did not move
        EXPECT_EQ((std::array{panel.GetValue(m), panel.GetValue(m), panel.GetValue(m + 1), panel.GetValue(2 - m)}),
                  (std::array{m == 0 ? 1 : 2, 0, polled, 0})) << bar << " from " << start;
    }
    CControlPanelDlg panel(nullptr); panel.Create();
    for (auto [id, command] : {std::pair{1003, 0}, {1003, 1}, {1003, 0}, {1002, 2}, {1004, 3}}) {
        QTest::mouseClick(qobject_cast<QPushButton*>(panel.Control(id)), Qt::LeftButton);
        EXPECT_EQ((std::array{panel.GetValue(4), panel.GetValue(4), panel.GetValue(5), panel.GetValue(5)}),
                  (std::array{3, 0, command, 10})) << "button " << id << ", command " << command;
    }
    // At 800 x 800 (scale 800 / 540) font, height and fitted slider grow, texts stay, the track shows grey on black.
    for (auto [rows, scale] : {std::pair{0, 1.0}, {480, 1.0}, {1080, 2.0}, {1620, 3.0}, {4320, 4.0}})
        EXPECT_EQ(CControlPanelDlg::ScaleForScreen(rows), scale) << rows;
    ASSERT_EQ(QGuiApplication::primaryScreen()->geometry(), QRect(0, 0, 800, 800));
    panel.SetValue(kPanelFitToScreen, 800);
    panel.ShowTopmost(QRect(0, 740, 800, 60));
    QWidget* bar = panel.Control(CControlPanelDlg::kIdPosition);
    EXPECT_EQ(std::tuple(panel.Window()->font().pixelSize(), panel.Window()->geometry().bottom(), bar->geometry()),
              std::tuple(18, 799, QRect(15, 67, 763, 18)));
    EXPECT_EQ(qobject_cast<QPushButton*>(panel.Control(CControlPanelDlg::kIdPlayPause))->text(), "PLAY/PAUSE");
    const QImage track = bar->grab().toImage();
    const QColor middle = track.pixelColor(track.width() * 3 / 4, track.height() / 2);
    EXPECT_GE(middle.lightness(), 0x40) << middle.name().toStdString();
}
}  // namespace
