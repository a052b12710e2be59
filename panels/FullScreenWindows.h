#pragma once
#include <QPoint>
#include <QRect>
#include <QRegion>
#include <functional>
#include <memory>

#include "panels/AuxiliaryWindows.h"
#include "panels/PlayerNotify.h"
#include "panels/ScrollCodes.h"

class QScrollBar;
class QWidget;
class VideoHostWidget;
class FullScreenWindow;
class OverlayWindow;

// What the full-screen window and the overlay share. The main tick reads the three
// FullScreenSlot values, each read-and-clear. Clicks that need the main window at once are
// reported through the notify call: kNotifyTogglePanel and kNotifyLeaveFullScreen.
//
// The object lives as long as the main window; its window exists only in full screen. The
// values, the click mode and the cursor choice belong to the object and outlive the window.
class CFullScreenInputDlg : public CAuxiliaryDialog {
public:
    // The hidden scroll bar that keeps the focus, so wheel notches and Up/Down keys arrive
    // as scroll notifications.
    static constexpr int kIdStepBar = 1010;

    explicit CFullScreenInputDlg(CPlayerDlg* player) : CAuxiliaryDialog(player) {}
    ~CFullScreenInputDlg() override = default;

    // How clicks reach the main window; see PlayerNotify.h (it must queue).
    void SetNotify(PlayerNotify notify) { m_notify = std::move(notify); }

    // what 0: the click mode becomes `value` (0: a left press reports code 1 at once;
    // 1: a left press only sets the left click, a double click reports code 1).
    // what 1: the scroll bar is reset (range 0..2, position 1) and moved to (value, 0) with
    // size 20 x 40; nothing while the window does not exist. Other values of `what` do nothing.
    void Configure(int what, int value);
    int ClickMode() const { return m_clickMode; }

    // A blank cursor over the window while on (the full-screen cursor hiding); kept for a
    // window created later.
    void SetCursorHidden(bool hidden);
    bool CursorHidden() const { return m_cursorHidden; }

    // The window, or null while there is none.
    virtual QWidget* Window() const = 0;
    bool Exists() const { return Window() != nullptr; }
    virtual void DestroyWindow() = 0;
    // Shows the window at `rect` (screen pixels) above the other topmost windows; an empty
    // rectangle hides it. Nothing while the window does not exist.
    void ShowTopmost(const QRect& rect);
    // The window's scroll bar 1010, or null while there is no window.
    QScrollBar* StepBar() const;

    // Message handlers; the window calls them.
    void OnLButtonDown();
    void OnLButtonDblClk();
    void OnRButtonDown();
    void OnMButtonDown();
    void OnVScroll(ScrollCode code);

protected:
    bool ClearsOnRead(int index) const override {
        return index >= kFullScreenScrollStep && index <= kFullScreenLeftClick;
    }
    // The overlay forgets a left click it is about to report as code 1.
    virtual bool ClearsLeftClickOnReport() const { return false; }
    void Notify(int code);
    // Gives a new window its scroll bar 1010 at (x, 0) dialog units, 8 x 8, and the cursor.
    void SetUpWindow(QWidget& window, int stepBarUnitsX);

private:
    PlayerNotify m_notify;
    int m_clickMode = 0;
    bool m_cursorHidden = false;
};

// The full-screen window: covers the screen and hosts the picture (the device draws into it
// by its host id). Left press, double click, right press, middle press and the scroll bar
// follow the shared protocol; the right press leaves full screen. Enter does nothing;
// Escape and the window manager's close leave full screen.
class CFullScreenDlg final : public CFullScreenInputDlg {
public:
    explicit CFullScreenDlg(CPlayerDlg* player);
    ~CFullScreenDlg() override;

    // Makes the window (hidden) when there is none.
    void Create();
    void DestroyWindow() override;
    QWidget* Window() const override;
    VideoHostWidget* HostWindow() const;
    // The number for "window movie handle %d"; 0 while there is no window.
    int HostId() const;

    // Called with the pointer's screen position whenever it moves over the window (the
    // full-screen cursor parking re-parks it); an empty function stops the calls.
    void SetPointerMoved(std::function<void(QPoint)> moved);
    void OnPointerMoved(QPoint global);
    // Escape or the window manager's close: reports code 5.
    void OnCancel();

private:
    std::unique_ptr<FullScreenWindow> m_window;
    std::function<void(QPoint)> m_pointerMoved;
};

// The full-screen overlay: laid over the full-screen window with a window region. The
// region is empty, so it shows nothing and the mouse reaches the full-screen window below.
// Qt takes an empty mask for "no mask" (the whole window), so an empty region becomes a
// mask that selects no pixel of the window, and the window is also made transparent for
// input. It keeps the shared protocol for the clicks that do reach it; Enter and Escape do
// nothing.
class CFullScreenOverlayDlg final : public CFullScreenInputDlg {
public:
    explicit CFullScreenOverlayDlg(CPlayerDlg* player);
    ~CFullScreenOverlayDlg() override;

    // Makes the window at `geometry` (screen pixels) with `region` (window pixels) and shows
    // it without changing the z-order; an existing window is made anew.
    void Create(const QRect& geometry, const QRegion& region);
    void DestroyWindow() override;
    QWidget* Window() const override;
    // True while the window takes no mouse input (its region is empty).
    bool TransparentForInput() const;

protected:
    bool ClearsLeftClickOnReport() const override { return true; }

private:
    std::unique_ptr<OverlayWindow> m_window;
};
