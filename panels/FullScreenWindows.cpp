#include "panels/FullScreenWindows.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <QWheelEvent>
#include <QWidget>
#include <algorithm>

#include "device/VideoHostWidget.h"
#include "panels/WindowPlacement.h"
#include "render/TextDraw.h"
#include "render/DialogUnits.h"

namespace {

// Templates 130 and 132: the scroll bar 1010 is 8 x 8 units, at x 0 and x 8.
constexpr int kStepBarUnits = 8;
constexpr int kFullScreenStepBarX = 0;
constexpr int kOverlayStepBarX = 8;
// Configure(1): the bar's size once moved.
constexpr int kMovedStepBarWidth = 20;
constexpr int kMovedStepBarHeight = 40;

void DispatchWheel(CFullScreenInputDlg& dialog, QWheelEvent* event) {
    // The focus is on the scroll bar: the wheel scrolls it by lines wherever the pointer is.
    const int delta = event->angleDelta().y();
    if (delta != 0) dialog.OnVScroll(delta > 0 ? ScrollCode::LineUp : ScrollCode::LineDown);
    event->accept();
}

// The hidden vertical scroll bar that keeps the window's focus. Arrow and page keys arrive
// as its own actions; a wheel notch counts as one line, as over a focused scroll bar.
class StepScrollBar final : public QScrollBar {
public:
    StepScrollBar(CFullScreenInputDlg& dialog, QWidget* parent) : QScrollBar(Qt::Vertical, parent), m_dialog(dialog) {
        setObjectName(QString::number(CFullScreenInputDlg::kIdStepBar));
        setRange(0, 2);
        setValue(1);
        setFocusPolicy(Qt::StrongFocus);
        connect(this, &QAbstractSlider::actionTriggered, this, [this](int action) {
            if (const auto code = ScrollCodeOf(action)) m_dialog.OnVScroll(*code);
        });
    }

protected:
    void wheelEvent(QWheelEvent* event) override { DispatchWheel(m_dialog, event); }

private:
    CFullScreenInputDlg& m_dialog;
};

// Mouse presses as the shared protocol wants them: a left double click is its own message;
// other double clicks count as presses.
void DispatchPress(CFullScreenInputDlg& dialog, QMouseEvent* event, bool doubleClick) {
    switch (event->button()) {
    case Qt::LeftButton:
        if (doubleClick) dialog.OnLButtonDblClk();
        else dialog.OnLButtonDown();
        break;
    case Qt::RightButton: dialog.OnRButtonDown(); break;
    case Qt::MiddleButton: dialog.OnMButtonDown(); break;
    default: break;
    }
    event->accept();
}

}  // namespace

// --- the window of the full-screen window ------------------------------------------------------

class FullScreenWindow final : public VideoHostWidget {
public:
    explicit FullScreenWindow(CFullScreenDlg& dialog)
        : VideoHostWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint), m_dialog(dialog) {
        setWindowTitle(QStringLiteral("VELKAF"));
        // Every move is seen, so the hidden cursor can be parked again.
        setMouseTracking(true);
    }

protected:
    void mousePressEvent(QMouseEvent* event) override { DispatchPress(m_dialog, event, false); }
    void mouseDoubleClickEvent(QMouseEvent* event) override { DispatchPress(m_dialog, event, true); }
    void mouseMoveEvent(QMouseEvent* event) override {
        m_dialog.OnPointerMoved(event->globalPosition().toPoint());
        event->accept();
    }
    void wheelEvent(QWheelEvent* event) override { DispatchWheel(m_dialog, event); }
    void keyPressEvent(QKeyEvent* event) override {
        switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter: event->accept(); return;
        case Qt::Key_Escape:
            // Cancel would only hide this window and leave the player in full screen without
            // a picture: leave full screen instead.
            m_dialog.OnCancel();
            event->accept();
            return;
        default: VideoHostWidget::keyPressEvent(event);
        }
    }
    void closeEvent(QCloseEvent* event) override {
        // The window manager's close: leave full screen in order; the window goes then.
        event->ignore();
        m_dialog.OnCancel();
    }

private:
    CFullScreenDlg& m_dialog;
};

// --- the window of the overlay ----------------------------------------------------------------

class OverlayWindow final : public QWidget {
public:
    OverlayWindow(CFullScreenOverlayDlg& dialog, bool transparentForInput)
        : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                               Qt::WindowDoesNotAcceptFocus |
                               (transparentForInput ? Qt::WindowTransparentForInput : Qt::WindowFlags())),
          m_dialog(dialog) {
        // Nothing of it is ever painted: where a platform ignores the mask it stays see-through.
        setAttribute(Qt::WA_TranslucentBackground);
        setAttribute(Qt::WA_NoSystemBackground);
        setAttribute(Qt::WA_ShowWithoutActivating);
        setAutoFillBackground(false);
    }

protected:
    void mousePressEvent(QMouseEvent* event) override { DispatchPress(m_dialog, event, false); }
    void mouseDoubleClickEvent(QMouseEvent* event) override { DispatchPress(m_dialog, event, true); }
    void keyPressEvent(QKeyEvent* event) override {
        switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Escape: event->accept(); return;
        default: QWidget::keyPressEvent(event);
        }
    }
    void closeEvent(QCloseEvent* event) override { event->ignore(); }

private:
    CFullScreenOverlayDlg& m_dialog;
};

// --- the shared protocol -------------------------------------------------------------------------

void CFullScreenInputDlg::Configure(int what, int value) {
    if (what == 0) {
        m_clickMode = value;
    } else if (what == 1) {
        if (QScrollBar* bar = StepBar()) {
            bar->setRange(0, 2);
            bar->setValue(1);
            bar->setGeometry(value, 0, kMovedStepBarWidth, kMovedStepBarHeight);
            bar->update();
        }
    }
}

void CFullScreenInputDlg::SetCursorHidden(bool hidden) {
    m_cursorHidden = hidden;
    if (QWidget* window = Window()) {
        if (hidden) window->setCursor(Qt::BlankCursor);
        else window->unsetCursor();
    }
}

void CFullScreenInputDlg::ShowTopmost(const QRect& rect) {
    QWidget* window = Window();
    if (window == nullptr) return;
    ShowTopmostAt(*window, rect);
}

QScrollBar* CFullScreenInputDlg::StepBar() const {
    QWidget* window = Window();
    if (window == nullptr) return nullptr;
    return window->findChild<QScrollBar*>(QString::number(kIdStepBar), Qt::FindDirectChildrenOnly);
}

void CFullScreenInputDlg::SetUpWindow(QWidget& window, int stepBarUnitsX) {
    window.setFont(PlayerFont(kDialogFontPixels));
    const DialogUnits units(window.font());
    auto* bar = new StepScrollBar(*this, &window);
    bar->setGeometry(units.Rect(stepBarUnitsX, 0, kStepBarUnits, kStepBarUnits));
    window.setFocusProxy(bar);
    SetCursorHidden(m_cursorHidden);
}

void CFullScreenInputDlg::Notify(int code) {
    if (m_notify) m_notify(code);
}

void CFullScreenInputDlg::OnLButtonDown() {
    if (m_clickMode != 0) {
        m_values[kFullScreenLeftClick] = 1;
        return;
    }
    if (ClearsLeftClickOnReport()) m_values[kFullScreenLeftClick] = 0;
    Notify(kNotifyTogglePanel);
}

void CFullScreenInputDlg::OnLButtonDblClk() {
    if (m_clickMode == 1) Notify(kNotifyTogglePanel);
}

void CFullScreenInputDlg::OnRButtonDown() { Notify(kNotifyLeaveFullScreen); }

void CFullScreenInputDlg::OnMButtonDown() { m_values[kFullScreenMiddleClick] = 1; }

void CFullScreenInputDlg::OnVScroll(ScrollCode code) {
    // Back to the middle of a range of 2, so the bar never reaches an end.
    if (QScrollBar* bar = StepBar()) {
        bar->setRange(0, 2);
        bar->setSliderPosition(1);
        bar->setValue(1);
    }
    switch (code) {
    case ScrollCode::LineUp:
    case ScrollCode::PageUp:
    case ScrollCode::Top: m_values[kFullScreenScrollStep] = 1; break;
    case ScrollCode::LineDown:
    case ScrollCode::PageDown:
    case ScrollCode::Bottom: m_values[kFullScreenScrollStep] = -1; break;
    default: break;
    }
}

// --- the full-screen window ------------------------------------------------------------------------

CFullScreenDlg::CFullScreenDlg(CPlayerDlg* player) : CFullScreenInputDlg(player) {}
CFullScreenDlg::~CFullScreenDlg() = default;

void CFullScreenDlg::Create() {
    if (m_window) return;
    m_window = std::make_unique<FullScreenWindow>(*this);
    SetUpWindow(*m_window, kFullScreenStepBarX);
}

void CFullScreenDlg::DestroyWindow() { m_window.reset(); }

QWidget* CFullScreenDlg::Window() const { return m_window.get(); }
VideoHostWidget* CFullScreenDlg::HostWindow() const { return m_window.get(); }
int CFullScreenDlg::HostId() const { return m_window ? m_window->hostId() : 0; }

void CFullScreenDlg::SetPointerMoved(std::function<void(QPoint)> moved) { m_pointerMoved = std::move(moved); }

void CFullScreenDlg::OnPointerMoved(QPoint global) {
    if (m_pointerMoved) m_pointerMoved(global);
}

void CFullScreenDlg::OnCancel() { Notify(kNotifyLeaveFullScreen); }

// --- the overlay ----------------------------------------------------------------------------------------

CFullScreenOverlayDlg::CFullScreenOverlayDlg(CPlayerDlg* player) : CFullScreenInputDlg(player) {}
CFullScreenOverlayDlg::~CFullScreenOverlayDlg() = default;

void CFullScreenOverlayDlg::Create(const QRect& geometry, const QRegion& region) {
    m_window.reset();
    const bool empty = region.intersected(QRect(QPoint(0, 0), geometry.size())).isEmpty();
    m_window = std::make_unique<OverlayWindow>(*this, empty);
    SetUpWindow(*m_window, kOverlayStepBarX);
    // An empty QRegion would clear the mask; a pixel just outside the window selects none.
    m_window->setMask(empty ? QRegion(-1, -1, 1, 1) : region);
    m_window->setGeometry(geometry.x(), geometry.y(), std::max(0, geometry.width()), std::max(0, geometry.height()));
    if (m_window->width() > 0 && m_window->height() > 0) m_window->show();
    if (QScrollBar* bar = StepBar()) bar->setFocus(Qt::OtherFocusReason);
}

void CFullScreenOverlayDlg::DestroyWindow() { m_window.reset(); }

QWidget* CFullScreenOverlayDlg::Window() const { return m_window.get(); }

bool CFullScreenOverlayDlg::TransparentForInput() const {
    return m_window && m_window->windowFlags().testFlag(Qt::WindowTransparentForInput);
}
