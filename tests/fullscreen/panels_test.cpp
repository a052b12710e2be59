// The full-screen window, the overlay and the control panel as the user meets them: what each
// click, key, wheel notch, button and slider movement reports, exactly as the tick reads it.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QWheelEvent>

#include "panels/ControlPanel.h"
#include "panels/FullScreenWindows.h"
#include "tests/support/QtTestApp.h"

namespace {

enum Act { Left, Double, Right, Middle, Mode0, WheelUp, WheelDown, Close };

// Acts and keys (Qt::Key values on the focused step bar) on one window; the codes it reported
// and the values the tick reads then (left click, middle click, scroll step), each cleared.
TEST(PanelsTest, FullScreenWindowsReportClicksKeysAndWheel) {
    struct Case {
        bool overlay;
        int clickMode;
        std::vector<int> acts;
        std::vector<int> codes;
        int left, middle, step;
    };
    const Case cases[] = {
        {false, 0, {Left}, {1}, 0, 0, 0},
        {false, 1, {Left}, {}, 1, 0, 0},
        {false, 1, {Double}, {1}, 1, 0, 0},  // its first press counts as a click of its own
        {false, 0, {Double}, {1}, 0, 0, 0},
        {false, 1, {Right, Middle, Middle}, {5}, 0, 1, 0},
        {false, 0, {Qt::Key_Escape, Qt::Key_Return, Close}, {5, 5}, 0, 0, 0},
        {false, 0, {Qt::Key_Up, Qt::Key_Up, Qt::Key_PageDown}, {}, 0, 0, -1},  // the last one wins
        {false, 0, {Qt::Key_End, Qt::Key_Home}, {}, 0, 0, 1},
        {false, 0, {WheelDown, WheelUp, WheelDown}, {}, 0, 0, -1},
        {false, 1, {Left, Mode0, Left}, {1}, 1, 0, 0},  // the full-screen window keeps the click
        {true, 1, {Left, Mode0, Left}, {1}, 0, 0, 0},   // the overlay forgets the one it reports
        {true, 1, {Double, Right}, {1, 5}, 1, 0, 0},
        {true, 0, {Qt::Key_Escape, Qt::Key_Return, Qt::Key_PageUp}, {}, 0, 0, 1},
    };
    TestApplication();
    int index = 0;
    for (const Case& c : cases) {
        std::unique_ptr<CFullScreenInputDlg> dialog;
        if (c.overlay) {
            auto* overlay = new CFullScreenOverlayDlg(nullptr);
            dialog.reset(overlay);
            overlay->Create(QRect(0, -20, 640, 500), QRegion());
        } else {
            auto* full = new CFullScreenDlg(nullptr);
            dialog.reset(full);
            full->Create();
            full->ShowTopmost(QRect(0, -20, 640, 500));
        }
        std::vector<int> codes;
        dialog->SetNotify([&](int code) { codes.push_back(code); });
        dialog->Configure(0, c.clickMode);
        QWidget* w = dialog->Window();
        for (int act : c.acts) {
            if (act == Left || act == Double) QTest::mouseClick(w, Qt::LeftButton, {}, QPoint(320, 240));
            if (act == Double) QTest::mouseDClick(w, Qt::LeftButton, {}, QPoint(320, 240));
            if (act == Right) QTest::mouseClick(w, Qt::RightButton, {}, QPoint(320, 240));
            if (act == Middle) QTest::mouseClick(w, Qt::MiddleButton, {}, QPoint(320, 240));
            if (act == Mode0) dialog->Configure(0, 0);
            if (act == Close) EXPECT_FALSE(w->close());
            if (act == WheelUp || act == WheelDown) {
                QWheelEvent wheel(QPointF(9, 9), QPointF(9, 9), {}, QPoint(0, act == WheelUp ? 120 : -120), Qt::NoButton,
                                  Qt::NoModifier, Qt::NoScrollPhase, false);
                QApplication::sendEvent(w, &wheel);
            }
            if (act > Close) QTest::keyClick(dialog->StepBar(), Qt::Key(act));
        }
        EXPECT_EQ(codes, c.codes) << "case " << index;
        EXPECT_TRUE(w->isVisible()) << "case " << index;
        EXPECT_EQ(dialog->StepBar()->value(), 1) << "case " << index;  // the bar never reaches an end
        const int values[] = {c.step, c.middle, c.left};
        for (int kind : {0, 1, 2}) {
            EXPECT_EQ(dialog->GetValue(kind), values[kind]) << "case " << index << " kind " << kind;
            EXPECT_EQ(dialog->GetValue(kind), 0) << "case " << index << " kind " << kind;
        }
        ++index;
    }
}

// A report is a queued call: it may destroy the window that reported, and one still queued
// when the receiver goes is dropped.
TEST(PanelsTest, ReportsArriveQueued) {
    TestApplication();
    auto receiver = std::make_unique<QObject>();
    CFullScreenDlg dialog(nullptr);
    std::vector<int> handled;
    dialog.SetNotify(QueuedPlayerNotify(receiver.get(), [&](int code) {
        handled.push_back(code);
        dialog.DestroyWindow();
    }));
    dialog.Create();
    dialog.ShowTopmost(QRect(0, -20, 320, 260));
    QTest::mouseClick(dialog.Window(), Qt::RightButton, {}, QPoint(10, 30));
    EXPECT_TRUE(handled.empty());
    QCoreApplication::processEvents();
    EXPECT_EQ(handled, (std::vector<int>{5}));
    EXPECT_FALSE(dialog.Exists());
    dialog.Create();
    dialog.OnRButtonDown();
    receiver.reset();
    QCoreApplication::processEvents();
    EXPECT_EQ(handled.size(), 1u);
}

// The panel's sliders and buttons, and the values the tick polls: 0/1 position moved and
// where, 2/3 volume moved and its level, 4/5 button pressed and which.
TEST(PanelsTest, ControlPanelRecordsWhatTheUserDid) {
    struct Case {
        int bar, length, start;
        QAbstractSlider::SliderAction action;
        int thumb, polled;  // the new position or the volume level
    };
    const Case cases[] = {
        {1010, 0, 2046, QAbstractSlider::SliderPageStepAdd, 0, 255},
        {1010, 0, 3, QAbstractSlider::SliderPageStepSub, 0, 0},
        {1010, 0, 1000, QAbstractSlider::SliderMove, 15, 0},
        {1010, 0, 1000, QAbstractSlider::SliderMove, 16, 1},
        {1001, 20480, 1024, QAbstractSlider::SliderSingleStepSub, 0, 10230},
        {1001, 1000, 0, QAbstractSlider::SliderToMaximum, 0, 1000},
        {1001, 1000, 0, QAbstractSlider::SliderMove, 1023, 499},
        {1001, 0, 500, QAbstractSlider::SliderPageStepAdd, 0, 0},  // nothing measured
    };
    TestApplication();
    for (const Case& c : cases) {
        CControlPanelDlg panel(nullptr);
        panel.Create();
        panel.SetValue(0, c.length);
        auto* bar = qobject_cast<QScrollBar*>(panel.Control(c.bar));
        bar->setValue(c.start);
        if (c.action == QAbstractSlider::SliderMove) bar->setSliderPosition(c.thumb);
        else bar->triggerAction(c.action);
        const int moved = c.bar == 1001 ? 0 : 2;
        EXPECT_EQ(panel.GetValue(moved), c.bar == 1001 ? 1 : 2) << c.bar << " from " << c.start;
        EXPECT_EQ(panel.GetValue(moved), 0);
        EXPECT_EQ(panel.GetValue(moved + 1), c.polled) << c.bar << " from " << c.start;
        EXPECT_EQ(panel.GetValue(2 - moved), 0);  // the other slider did not move
    }
    CControlPanelDlg panel(nullptr);
    panel.Create();
    for (auto [id, command] : {std::pair{1003, 0}, {1003, 1}, {1003, 0}, {1002, 2}, {1004, 3}}) {
        QTest::mouseClick(qobject_cast<QPushButton*>(panel.Control(id)), Qt::LeftButton);
        EXPECT_EQ(panel.GetValue(4), 3);
        EXPECT_EQ(panel.GetValue(4), 0);
        EXPECT_EQ(panel.GetValue(5), command);
        EXPECT_EQ(panel.GetValue(5), 10);
    }
    // The hidden effect controls stay within their ranges.
    panel.InitEffects(5, 0, 25, 0);
    for (int id : {1014, 1016, 1019}) qobject_cast<QPushButton*>(panel.Control(id))->click();
    EXPECT_EQ((std::array{panel.GetEffect(0), panel.GetEffect(1), panel.GetEffect(2), panel.GetEffect(3)}),
              (std::array{5, 1, 25, 0}));
    panel.InitEffects(1, 0, 0, 0);
    for (int id : {1015, 1015}) qobject_cast<QPushButton*>(panel.Control(id))->click();
    EXPECT_EQ(qobject_cast<QLineEdit*>(panel.Control(1013))->text(), "Off");
    // A panel without a length shows its thumb at the start instead of dividing by zero.
    panel.SetValue(0, 0);
    panel.SetValue(1, 50);
    EXPECT_EQ(qobject_cast<QScrollBar*>(panel.Control(1001))->value(), 0);
}

}  // namespace
