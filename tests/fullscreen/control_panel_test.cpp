// The control panel as the user meets it: its controls, what each button and slider
// movement records, and the values exactly as the main tick reads them.
#include <gtest/gtest.h>

#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>

#include "render/TextDraw.h"
#include "settings/dialog/DialogUnits.h"
#include "tests/fullscreen/FullScreenRig.h"

namespace {

struct Panel {
    Panel() {
        App();
        dialog.Create();
    }
    QScrollBar* Bar(int id) const { return qobject_cast<QScrollBar*>(dialog.Control(id)); }
    QPushButton* Button(int id) const { return qobject_cast<QPushButton*>(dialog.Control(id)); }
    std::string Text(int id) const { return qobject_cast<QLineEdit*>(dialog.Control(id))->text().toStdString(); }
    CControlPanelDlg dialog{nullptr};
};

TEST(ControlPanelTest, ControlsAsTheTemplateHasThem) {
    Panel p;
    const DialogUnits units(PlayerFont(12));  // 9 points
    struct Shown {
        int id;
        const char* text;
        QRect units;
    };
    for (const Shown& s : {Shown{1004, "BACK", {4, 10, 25, 15}}, Shown{1003, "PLAY/PAUSE", {29, 10, 45, 15}},
                           Shown{1002, "NEXT", {75, 10, 25, 15}}}) {
        QPushButton* button = p.Button(s.id);
        ASSERT_NE(button, nullptr) << s.id;
        EXPECT_EQ(button->text().toStdString(), s.text);
        EXPECT_FALSE(button->isHidden());
        EXPECT_EQ(button->geometry(), units.Rect(s.units.x(), s.units.y(), s.units.width(), s.units.height()));
    }
    EXPECT_EQ(p.Bar(1010)->geometry(), units.Rect(230, 15, 60, 8));
    EXPECT_EQ(p.Bar(1010)->orientation(), Qt::Horizontal);
    EXPECT_EQ(p.Bar(1001)->geometry(), units.Rect(5, 30, 290, 8));
    EXPECT_EQ(p.dialog.Window()->size(), QSize(units.X(363), units.Y(42)));

    std::map<std::string, bool> groups;
    for (QGroupBox* box : p.dialog.Window()->findChildren<QGroupBox*>())
        groups[box->title().toStdString()] = !box->isHidden();
    EXPECT_EQ(groups, (std::map<std::string, bool>{{"WaveVolume", true}, {"LineMaskSize", false}, {"ScanLineMode", false}}));
    for (int id = 1011; id <= 1019; ++id) {
        ASSERT_NE(p.dialog.Control(id), nullptr) << id;
        EXPECT_TRUE(p.dialog.Control(id)->isHidden()) << id;
    }
    // Black background, white text.
    const QPalette colours = p.dialog.Window()->palette();
    EXPECT_EQ(colours.color(QPalette::Window), QColor(Qt::black));
    EXPECT_EQ(colours.color(QPalette::WindowText), QColor(Qt::white));
    // Both sliders run 0..2048 from the start.
    for (int id : {1001, 1010}) {
        EXPECT_EQ(p.Bar(id)->minimum(), 0);
        EXPECT_EQ(p.Bar(id)->maximum(), 2048);
        EXPECT_EQ(p.Bar(id)->value(), 0);
    }
}

// Each movement of the volume slider, as the bar's own action, and the level the tick reads.
TEST(ControlPanelTest, VolumeSliderMovements) {
    struct Case {
        int start;
        QAbstractSlider::SliderAction action;
        int thumb;  // for the thumb moves
        int position, level;
    };
    const Case cases[] = {
        {2046, QAbstractSlider::SliderPageStepAdd, 0, 2048, 255},
        {1000, QAbstractSlider::SliderPageStepAdd, 0, 1005, 124},
        {1000, QAbstractSlider::SliderPageStepSub, 0, 995, 123},
        {1000, QAbstractSlider::SliderSingleStepAdd, 0, 1001, 124},
        {0, QAbstractSlider::SliderSingleStepSub, 0, 0, 0},
        {3, QAbstractSlider::SliderPageStepSub, 0, 0, 0},
        {1000, QAbstractSlider::SliderToMinimum, 0, 0, 0},
        {1000, QAbstractSlider::SliderToMaximum, 0, 2048, 255},
        {1000, QAbstractSlider::SliderMove, 15, 15, 0},
        {1000, QAbstractSlider::SliderMove, 16, 16, 1},
        {1000, QAbstractSlider::SliderMove, 1024, 1024, 127},
    };
    int index = 0;
    for (const Case& c : cases) {
        Panel p;
        QScrollBar* bar = p.Bar(CControlPanelDlg::kIdVolume);
        bar->setValue(c.start);
        if (c.action == QAbstractSlider::SliderMove) bar->setSliderPosition(c.thumb);  // a drag of the thumb
        else bar->triggerAction(c.action);
        EXPECT_EQ(bar->value(), c.position) << "case " << index;
        EXPECT_EQ(p.dialog.GetValue(2), 2) << "case " << index;
        EXPECT_EQ(p.dialog.GetValue(2), 0) << "case " << index;
        EXPECT_EQ(p.dialog.GetValue(3), c.level) << "case " << index;
        EXPECT_EQ(p.dialog.GetValue(0), 0) << "case " << index;  // the position did not move
        ++index;
    }
}

TEST(ControlPanelTest, PositionSliderGivesTheChosenPositionInDeviceUnits) {
    struct Case {
        int length;
        int start;
        QAbstractSlider::SliderAction action;
        int thumb;
        int newPosition;
    };
    const Case cases[] = {
        {20480, 0, QAbstractSlider::SliderPageStepAdd, 0, 50},
        {20480, 1024, QAbstractSlider::SliderSingleStepSub, 0, 10230},
        {1000, 0, QAbstractSlider::SliderToMaximum, 0, 1000},
        {1000, 0, QAbstractSlider::SliderMove, 1023, 499},
        {0, 500, QAbstractSlider::SliderPageStepAdd, 0, 0},  // nothing measured: 0
    };
    int index = 0;
    for (const Case& c : cases) {
        Panel p;
        p.dialog.SetValue(0, c.length);
        QScrollBar* bar = p.Bar(CControlPanelDlg::kIdPosition);
        bar->setValue(c.start);
        if (c.action == QAbstractSlider::SliderMove) bar->setSliderPosition(c.thumb);
        else bar->triggerAction(c.action);
        EXPECT_EQ(p.dialog.GetValue(0), 1) << "case " << index;
        EXPECT_EQ(p.dialog.GetValue(0), 0) << "case " << index;
        EXPECT_EQ(p.dialog.GetValue(1), c.newPosition) << "case " << index;
        EXPECT_EQ(p.dialog.GetValue(2), 0) << "case " << index;
        ++index;
    }
}

TEST(ControlPanelTest, ButtonsAndTheirCommands) {
    Panel p;
    // PLAY/PAUSE alternates 0 and 1; the tick treats both as play/pause.
    for (int expected : {0, 1, 0}) {
        QTest::mouseClick(p.Button(CControlPanelDlg::kIdPlayPause), Qt::LeftButton);
        EXPECT_EQ(p.dialog.GetValue(4), 3);
        EXPECT_EQ(p.dialog.GetValue(4), 0);
        EXPECT_EQ(p.dialog.GetValue(5), expected);
        EXPECT_EQ(p.dialog.GetValue(5), 10);
    }
    QTest::mouseClick(p.Button(CControlPanelDlg::kIdNext), Qt::LeftButton);
    EXPECT_EQ(p.dialog.GetValue(4), 3);
    EXPECT_EQ(p.dialog.GetValue(5), 2);
    QTest::mouseClick(p.Button(CControlPanelDlg::kIdBack), Qt::LeftButton);
    EXPECT_EQ(p.dialog.GetValue(4), 3);
    EXPECT_EQ(p.dialog.GetValue(5), 3);
    EXPECT_EQ(p.dialog.GetValue(6), 0);
}

TEST(ControlPanelTest, ShowingPositionAndVolume) {
    struct Case {
        int kind;
        int length;
        int value;
        int thumb;
    };
    const Case cases[] = {
        {1, 20480, 10240, 1024},
        {1, 1000, 500, 1024},
        {1, 1000, 2000, 2048},   // past the end: at the end
        {1, 1000, -5, 0},
        {1, 0, 0, 0},            // nothing measured: no division by zero
        {1, 0, 50, 0},
        {1, -100, 50, 0},
        {2, 0, 255, 2048},
        {2, 0, 127, 1024},
        {2, 0, 0, 8},
        {2, 0, 300, 2048},
        {2, 0, -1, 0},
    };
    for (const Case& c : cases) {
        Panel p;
        p.dialog.SetValue(0, c.length);
        p.dialog.SetValue(c.kind, c.value);
        const int id = c.kind == 1 ? CControlPanelDlg::kIdPosition : CControlPanelDlg::kIdVolume;
        EXPECT_EQ(p.Bar(id)->value(), c.thumb) << "kind " << c.kind << " value " << c.value << " length " << c.length;
        // Showing is not the user's doing.
        EXPECT_EQ(p.dialog.GetValue(0), 0);
        EXPECT_EQ(p.dialog.GetValue(2), 0);
    }
}

TEST(ControlPanelTest, PositionSliderFitsTheScreen) {
    for (const auto& [width, expected] : {std::pair{1024, QRect(10, 45, 999, 12)}, std::pair{10, QRect(10, 45, 0, 12)}}) {
        Panel p;
        p.dialog.SetValue(3, width);
        EXPECT_EQ(p.Bar(CControlPanelDlg::kIdPosition)->geometry(), expected);
    }
}

TEST(ControlPanelTest, EffectControlsStayWithinTheirRanges) {
    struct Case {
        int mode, first, second;
        int button;
        int modeAfter, firstAfter, secondAfter;
        const char *modeText, *firstText, *secondText;
    };
    const Case cases[] = {
        {0, 0, 0, CControlPanelDlg::kIdModeDown, 0, 0, 0, "Off", " 0%", " 0%"},
        {0, 0, 0, CControlPanelDlg::kIdModeUp, 1, 0, 0, "Mode1", " 0%", " 0%"},
        {4, 0, 0, CControlPanelDlg::kIdModeUp, 5, 0, 0, "Mode5", " 0%", " 0%"},
        {5, 0, 0, CControlPanelDlg::kIdModeUp, 5, 0, 0, "Mode5", " 0%", " 0%"},
        {1, 0, 0, CControlPanelDlg::kIdModeDown, 0, 0, 0, "Off", " 0%", " 0%"},
        {9, 0, 0, CControlPanelDlg::kIdModeDown, 8, 0, 0, "Mode5", " 0%", " 0%"},  // from "KORU.CFG"
        {0, 25, 3, CControlPanelDlg::kIdFirstMaskUp, 0, 25, 3, "Off", "25%", " 3%"},
        {0, 24, 3, CControlPanelDlg::kIdFirstMaskUp, 0, 25, 3, "Off", "25%", " 3%"},
        {0, 0, 3, CControlPanelDlg::kIdFirstMaskDown, 0, 0, 3, "Off", " 0%", " 3%"},
        {0, 7, 25, CControlPanelDlg::kIdSecondMaskUp, 0, 7, 25, "Off", " 7%", "25%"},
        {0, 7, 1, CControlPanelDlg::kIdSecondMaskDown, 0, 7, 0, "Off", " 7%", " 0%"},
        {0, 7, 0, CControlPanelDlg::kIdSecondMaskDown, 0, 7, 0, "Off", " 7%", " 0%"},
    };
    int index = 0;
    for (const Case& c : cases) {
        Panel p;
        p.dialog.InitEffects(c.mode, 0, c.first, c.second);
        qobject_cast<QPushButton*>(p.dialog.Control(c.button))->click();  // hidden, yet a real control
        EXPECT_EQ(p.dialog.GetEffect(0), c.modeAfter) << "case " << index;
        EXPECT_EQ(p.dialog.GetEffect(1), 1) << "case " << index;
        EXPECT_EQ(p.dialog.GetEffect(2), c.firstAfter) << "case " << index;
        EXPECT_EQ(p.dialog.GetEffect(3), c.secondAfter) << "case " << index;
        EXPECT_EQ(p.Text(CControlPanelDlg::kIdScanLineMode), c.modeText) << "case " << index;
        EXPECT_EQ(p.Text(CControlPanelDlg::kIdFirstMask), c.firstText) << "case " << index;
        EXPECT_EQ(p.Text(CControlPanelDlg::kIdSecondMask), c.secondText) << "case " << index;
        EXPECT_EQ(p.dialog.GetValue(4), 0) << "case " << index;  // not a transport button
        ++index;
    }
}

// The window goes with full screen; what the panel recorded and holds stays with the object.
TEST(ControlPanelTest, ValuesOutliveTheWindow) {
    Panel p;
    p.dialog.InitEffects(3, 0, 4, 5);
    QTest::mouseClick(p.Button(CControlPanelDlg::kIdPlayPause), Qt::LeftButton);
    p.Bar(CControlPanelDlg::kIdVolume)->triggerAction(QAbstractSlider::SliderToMaximum);
    p.dialog.DestroyWindow();
    EXPECT_FALSE(p.dialog.Exists());
    EXPECT_EQ(p.dialog.Control(CControlPanelDlg::kIdVolume), nullptr);
    p.dialog.SetValue(1, 10);  // no window: nothing to show, nothing breaks
    p.dialog.ShowTopmost(QRect(0, 0, 100, 72));
    EXPECT_EQ(p.dialog.GetValue(4), 3);
    EXPECT_EQ(p.dialog.GetValue(3), 255);

    p.dialog.Create();
    EXPECT_EQ(p.Text(CControlPanelDlg::kIdScanLineMode), "Mode3");
    EXPECT_EQ(p.Text(CControlPanelDlg::kIdFirstMask), " 4%");
    QTest::mouseClick(p.Button(CControlPanelDlg::kIdPlayPause), Qt::LeftButton);
    EXPECT_EQ(p.dialog.GetValue(5), 1);  // the alternation goes on
}

TEST(ControlPanelTest, PlacedAlongTheBottomOrHidden) {
    Panel p;
    p.dialog.ShowTopmost(QRect(0, 696, 1024, 72));
    QWidget* window = p.dialog.Window();
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->geometry(), QRect(0, 696, 1024, 72));
    EXPECT_TRUE(window->windowFlags().testFlag(Qt::FramelessWindowHint));
    EXPECT_TRUE(window->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    p.dialog.ShowAtBottom();
    EXPECT_FALSE(window->isVisible());
    p.dialog.ShowTopmost(QRect(0, 696, 1024, 72));
    p.dialog.ShowTopmost(QRect(0, 0, 0, 0));
    EXPECT_FALSE(window->isVisible());
    // Enter, Escape and the window manager's close leave it as it is.
    p.dialog.ShowTopmost(QRect(0, 696, 1024, 72));
    QTest::keyClick(window, Qt::Key_Escape);
    QTest::keyClick(window, Qt::Key_Return);
    EXPECT_FALSE(window->close());
    EXPECT_TRUE(window->isVisible());
}

}  // namespace
