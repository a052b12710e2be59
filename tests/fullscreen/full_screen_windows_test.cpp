// The full-screen window and the overlay as the user meets them: which click reports what,
// the scroll steps of the wheel and the arrow keys, the values the main tick reads and
// clears, the reports that arrive only after the window's own handler has returned, and the
// overlay that neither shows nor takes clicks.
#include <gtest/gtest.h>

#include <QImage>
#include <QKeyEvent>
#include <QPointer>
#include <QWheelEvent>

#include "device/VideoHost.h"
#include "device/VideoHostWidget.h"
#include "tests/fullscreen/FullScreenRig.h"

namespace {

enum class Dialog { FullScreen, Overlay };
enum class Act { LeftPress, LeftDoubleClick, RightPress, MiddlePress };

// One dialog with its window, reporting into `codes`.
struct Windows {
    explicit Windows(Dialog which) {
        App();
        if (which == Dialog::FullScreen) {
            auto* d = new CFullScreenDlg(nullptr);
            d->Create();
            d->ShowTopmost(QRect(0, -20, 640, 500));
            dialog.reset(d);
        } else {
            auto* d = new CFullScreenOverlayDlg(nullptr);
            d->Create(QRect(0, -20, 640, 500), QRegion());
            dialog.reset(d);
        }
        dialog->SetNotify([this](int code) { codes.push_back(code); });
    }
    // The clicks arrive as the window would get them; the overlay is transparent for the
    // window system's input, so there its handlers stand for a click that would reach it.
    void Do(Act act) {
        QWidget* w = dialog->Window();
        const QPoint at(320, 240);
        switch (act) {
        case Act::LeftPress: QTest::mouseClick(w, Qt::LeftButton, {}, at); break;
        case Act::LeftDoubleClick:
            // As the window system delivers it: press, release, double click, release.
            QTest::mouseClick(w, Qt::LeftButton, {}, at);
            QTest::mouseDClick(w, Qt::LeftButton, {}, at);
            break;
        case Act::RightPress: QTest::mouseClick(w, Qt::RightButton, {}, at); break;
        case Act::MiddlePress: QTest::mouseClick(w, Qt::MiddleButton, {}, at); break;
        }
    }
    std::unique_ptr<CFullScreenInputDlg> dialog;
    std::vector<int> codes;
};

// A double click arrives as press, release, double click, release: its first press counts
// as a left click of its own.
TEST(FullScreenWindowsTest, ClicksReportByClickMode) {
    struct Case {
        Dialog dialog;
        int clickMode;
        std::vector<Act> acts;
        std::vector<int> codes;
        int leftClick, middleClick;
    };
    const Case cases[] = {
        {Dialog::FullScreen, 0, {Act::LeftPress}, {1}, 0, 0},
        {Dialog::FullScreen, 0, {Act::LeftDoubleClick}, {1}, 0, 0},  // the double click adds nothing
        {Dialog::FullScreen, 1, {Act::LeftPress}, {}, 1, 0},
        {Dialog::FullScreen, 1, {Act::LeftDoubleClick}, {1}, 1, 0},
        {Dialog::FullScreen, 0, {Act::RightPress}, {5}, 0, 0},
        {Dialog::FullScreen, 1, {Act::RightPress}, {5}, 0, 0},
        {Dialog::FullScreen, 0, {Act::MiddlePress}, {}, 0, 1},
        {Dialog::FullScreen, 1, {Act::MiddlePress, Act::LeftPress}, {}, 1, 1},
        {Dialog::Overlay, 0, {Act::LeftPress}, {1}, 0, 0},
        {Dialog::Overlay, 1, {Act::LeftDoubleClick}, {1}, 1, 0},
        {Dialog::Overlay, 0, {Act::RightPress}, {5}, 0, 0},
        {Dialog::Overlay, 0, {Act::MiddlePress}, {}, 0, 1},
    };
    int index = 0;
    for (const Case& c : cases) {
        Windows w(c.dialog);
        w.dialog->Configure(0, c.clickMode);
        for (Act act : c.acts) w.Do(act);
        EXPECT_EQ(w.codes, c.codes) << "case " << index;
        EXPECT_EQ(w.dialog->GetValue(CFullScreenInputDlg::kLeftClick), c.leftClick) << "case " << index;
        EXPECT_EQ(w.dialog->GetValue(CFullScreenInputDlg::kMiddleClick), c.middleClick) << "case " << index;
        ++index;
    }
}

// A left click recorded in click mode 1 and not yet read: the overlay forgets it when it
// reports code 1, the full-screen window keeps it.
TEST(FullScreenWindowsTest, OnlyTheOverlayForgetsTheLeftClickItReports) {
    for (Dialog which : {Dialog::FullScreen, Dialog::Overlay}) {
        Windows w(which);
        w.dialog->Configure(0, 1);
        w.dialog->OnLButtonDown();
        w.dialog->Configure(0, 0);
        w.dialog->OnLButtonDown();
        EXPECT_EQ(w.codes, (std::vector<int>{1}));
        EXPECT_EQ(w.dialog->GetValue(CFullScreenInputDlg::kLeftClick), which == Dialog::FullScreen ? 1 : 0);
    }
}

TEST(FullScreenWindowsTest, ValuesAreReadAndCleared) {
    Windows w(Dialog::FullScreen);
    w.dialog->Configure(0, 1);
    w.Do(Act::LeftPress);
    w.Do(Act::MiddlePress);
    w.dialog->OnVScroll(ScrollCode::LineDown);
    for (int kind : {0, 1, 2}) {
        EXPECT_NE(w.dialog->GetValue(kind), 0) << kind;
        EXPECT_EQ(w.dialog->GetValue(kind), 0) << kind;
    }
    EXPECT_EQ(w.dialog->GetValue(3), 0);
    EXPECT_EQ(w.dialog->GetValue(-1), 0);
}

// The step bar has the focus: arrow and page keys, Home and End, and (on the full-screen
// window) the wheel anywhere over it each leave one step; the last one wins, and the bar
// stays in the middle.
TEST(FullScreenWindowsTest, ScrollStepsFromKeysAndWheel) {
    struct Case {
        std::vector<int> keys;     // keys on the focused bar
        std::vector<int> wheel;    // wheel deltas over the window
        int step;
    };
    const Case cases[] = {
        {{Qt::Key_Up}, {}, 1},
        {{Qt::Key_Down}, {}, -1},
        {{Qt::Key_PageUp}, {}, 1},
        {{Qt::Key_PageDown}, {}, -1},
        {{Qt::Key_Home}, {}, 1},
        {{Qt::Key_End}, {}, -1},
        {{Qt::Key_Up, Qt::Key_Up, Qt::Key_Down}, {}, -1},  // overwritten, not summed
        {{}, {120}, 1},
        {{}, {-120}, -1},
        {{}, {-120, 120, 120}, 1},
        {{}, {0}, 0},
    };
    for (Dialog which : {Dialog::FullScreen, Dialog::Overlay}) {
        int index = 0;
        for (const Case& c : cases) {
            if (which == Dialog::Overlay && !c.wheel.empty()) continue;  // it has no wheel handler
            Windows w(which);
            QScrollBar* bar = w.dialog->StepBar();
            ASSERT_NE(bar, nullptr);
            for (int key : c.keys) {
                QTest::keyClick(bar, static_cast<Qt::Key>(key));
                EXPECT_EQ(bar->value(), 1) << "case " << index;
            }
            for (int delta : c.wheel) {
                const QPointF at(100, 100);
                QWheelEvent wheel(at, w.dialog->Window()->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton,
                                  Qt::NoModifier, Qt::NoScrollPhase, false);
                QApplication::sendEvent(w.dialog->Window(), &wheel);
            }
            EXPECT_EQ(w.dialog->GetValue(CFullScreenInputDlg::kScrollStep), c.step)
                << (which == Dialog::FullScreen ? "full screen" : "overlay") << " case " << index;
            ++index;
        }
    }
}

TEST(FullScreenWindowsTest, StepBarLiesAtTheTemplatePlaceUntilMoved) {
    Windows full(Dialog::FullScreen);
    Windows overlay(Dialog::Overlay);
    QScrollBar* a = full.dialog->StepBar();
    QScrollBar* b = overlay.dialog->StepBar();
    EXPECT_EQ(a->objectName(), "1010");
    EXPECT_EQ(a->pos(), QPoint(0, 0));
    EXPECT_EQ(a->size(), b->size());
    EXPECT_GT(b->x(), 0);  // 8 units in
    EXPECT_EQ(a->orientation(), Qt::Vertical);
    // Above the screen's top edge: the window starts 20 pixels higher.
    EXPECT_LE(a->height(), 20);
    EXPECT_EQ(full.dialog->Window()->focusProxy(), a);

    full.dialog->Configure(1, 641);
    EXPECT_EQ(a->geometry(), QRect(641, 0, 20, 40));
    full.dialog->Configure(0, 1);
    EXPECT_EQ(full.dialog->ClickMode(), 1);
    full.dialog->Configure(7, 3);  // not a setting: nothing changes
    EXPECT_EQ(full.dialog->ClickMode(), 1);
}

TEST(FullScreenWindowsTest, KeysThatWouldEndTheDialog) {
    Windows full(Dialog::FullScreen);
    QTest::keyClick(full.dialog->Window(), Qt::Key_Return);
    EXPECT_TRUE(full.codes.empty());
    // Escape leaves full screen as a whole rather than hiding the picture's window.
    QTest::keyClick(full.dialog->Window(), Qt::Key_Escape);
    EXPECT_EQ(full.codes, (std::vector<int>{5}));
    EXPECT_TRUE(full.dialog->Window()->isVisible());

    Windows overlay(Dialog::Overlay);
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Escape}) QTest::keyClick(overlay.dialog->Window(), key);
    EXPECT_TRUE(overlay.codes.empty());
    EXPECT_TRUE(overlay.dialog->Window()->isVisible());
}

TEST(FullScreenWindowsTest, WindowManagerCloseLeavesFullScreen) {
    Windows full(Dialog::FullScreen);
    EXPECT_FALSE(full.dialog->Window()->close());
    EXPECT_EQ(full.codes, (std::vector<int>{5}));
    EXPECT_TRUE(full.dialog->Window()->isVisible());
}

// The values belong to the object, not to its window.
TEST(FullScreenWindowsTest, ValuesOutliveTheWindow) {
    Windows w(Dialog::FullScreen);
    w.dialog->Configure(0, 1);
    w.Do(Act::MiddlePress);
    w.Do(Act::LeftPress);
    w.dialog->DestroyWindow();
    EXPECT_FALSE(w.dialog->Exists());
    EXPECT_EQ(w.dialog->StepBar(), nullptr);
    w.dialog->Configure(1, 5);  // no window: nothing to move, nothing breaks
    EXPECT_EQ(w.dialog->GetValue(CFullScreenInputDlg::kMiddleClick), 1);
    EXPECT_EQ(w.dialog->GetValue(CFullScreenInputDlg::kLeftClick), 1);
    EXPECT_EQ(w.dialog->ClickMode(), 1);
}

TEST(FullScreenWindowsTest, FullScreenWindowHostsThePicture) {
    App();
    CFullScreenDlg dialog(nullptr);
    EXPECT_EQ(dialog.HostId(), 0);
    dialog.Create();
    const int id = dialog.HostId();
    ASSERT_NE(id, 0);
    EXPECT_NE(VideoHostRegistry::Find(id), nullptr);
    dialog.ShowTopmost(QRect(0, -20, 320, 260));
    // No device attached: black all over.
    const QImage pixels = dialog.HostWindow()->PaintedPixels();
    EXPECT_EQ(pixels.size(), QSize(320, 260));
    EXPECT_EQ(pixels.pixel(0, 0), qRgb(0, 0, 0));
    EXPECT_EQ(pixels.pixel(319, 259), qRgb(0, 0, 0));
    dialog.DestroyWindow();
    EXPECT_EQ(VideoHostRegistry::Find(id), nullptr);
    EXPECT_EQ(dialog.HostId(), 0);
}

// The overlay's region is empty: no pixel of it is ever drawn and the window system gives
// it no input. (An empty QRegion would mean no mask at all, the whole window.)
TEST(FullScreenWindowsTest, OverlayShowsNothingAndTakesNoInput) {
    Windows w(Dialog::Overlay);
    QWidget* overlay = w.dialog->Window();
    EXPECT_TRUE(overlay->isVisible());
    EXPECT_FALSE(overlay->mask().isEmpty());
    EXPECT_TRUE(overlay->mask().intersected(overlay->rect()).isEmpty());
    EXPECT_TRUE(overlay->windowFlags().testFlag(Qt::WindowTransparentForInput));
    EXPECT_TRUE(overlay->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(overlay->windowFlags().testFlag(Qt::WindowDoesNotAcceptFocus));
    EXPECT_TRUE(static_cast<CFullScreenOverlayDlg*>(w.dialog.get())->TransparentForInput());
    // Drawn anywhere the mask is not honoured, it is see-through on the screen (its scroll
    // bar lies in the 20 rows above the screen's top edge).
    const QImage drawn = overlay->grab().toImage();
    bool allClear = true;
    for (int y = 20; y < drawn.height(); y += 7)
        for (int x = 0; x < drawn.width(); x += 7) allClear = allClear && qAlpha(drawn.pixel(x, y)) == 0;
    EXPECT_TRUE(allClear);
}

// WM_USER+5 is a queued call: the handler runs after the window's own handler returned, so
// it may destroy the window that reported.
TEST(FullScreenWindowsTest, ReportsArriveQueuedAndMayDestroyTheWindow) {
    App();
    QObject receiver;
    CFullScreenDlg dialog(nullptr);
    std::vector<int> handled;
    dialog.SetNotify(QueuedPlayerNotify(&receiver, [&](int code) {
        handled.push_back(code);
        dialog.DestroyWindow();
    }));
    dialog.Create();
    dialog.ShowTopmost(QRect(0, -20, 320, 260));
    QTest::mouseClick(dialog.Window(), Qt::RightButton, {}, QPoint(10, 30));
    EXPECT_TRUE(handled.empty());
    EXPECT_TRUE(dialog.Exists());
    QCoreApplication::processEvents();
    EXPECT_EQ(handled, (std::vector<int>{5}));
    EXPECT_FALSE(dialog.Exists());
}

TEST(FullScreenWindowsTest, ReportsForAGoneReceiverAreDropped) {
    App();
    std::vector<int> handled;
    auto receiver = std::make_unique<QObject>();
    const PlayerNotify notify = QueuedPlayerNotify(receiver.get(), [&](int code) { handled.push_back(code); });
    notify(1);
    receiver.reset();
    notify(5);
    QCoreApplication::processEvents();
    EXPECT_TRUE(handled.empty());
}

}  // namespace
