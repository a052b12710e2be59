#pragma once
#include <QRect>
#include <memory>

#include "panels/AuxiliaryWindows.h"
#include "panels/ScrollCodes.h"

class QWidget;
class QScrollBar;
class ControlPanelWindow;

// The control panel: the strip of ordinary controls shown along the bottom of the screen in
// full screen. It never acts on the media device itself: it records what the user did, and
// the main tick polls it.
//
// Polled values (GetValue): the PanelSlot values; the button is a PanelButton, where 1 is
// play/pause too (the play/pause button alternates 0 and 1).
// Setters (SetValue): the PanelSetting values; kPanelFitToScreen places the position slider
// at (10, 45), width - 25, height 12, each pixel size but the width grown by the panel's scale.
//
// The object lives as long as the main window; its window is made when full screen starts
// and destroyed when it ends. The recorded values, the effect values and the play/pause
// alternation belong to the object and survive the window.
class CControlPanelDlg final : public CAuxiliaryDialog {
public:
    enum ControlId {
        kIdPosition = 1001,
        kIdNext = 1002,
        kIdPlayPause = 1003,
        kIdBack = 1004,
        kIdVolume = 1010,
        kIdFirstMask = 1011,
        kIdSecondMask = 1012,
        kIdScanLineMode = 1013,
        kIdModeUp = 1014,
        kIdModeDown = 1015,
        kIdFirstMaskUp = 1016,
        kIdFirstMaskDown = 1017,
        kIdSecondMaskUp = 1018,
        kIdSecondMaskDown = 1019,
    };
    static constexpr int kSliderScale = 2048;
    static constexpr int kMaxScanLineMode = 5;
    static constexpr int kMaxMaskSize = 25;
    // The template: 363 x 42 dialog units.
    static constexpr int kTemplateWidth = 363;
    static constexpr int kTemplateHeight = 42;

    explicit CControlPanelDlg(CPlayerDlg* player);
    ~CControlPanelDlg() override;

    int GetValue(int kind) override;
    void SetValue(int kind, int value) override;

    // Stores the three effect values and shows them in the hidden edits; the second argument
    // is not used (the line-mask switch always reads 1).
    void InitEffects(int scanLineMode, int ignored, int firstMask, int secondMask);
    // The display effects the panel reports back, in DisplayEffects' order.
    enum class Effect { ScanLineMode = 0, Constant = 1, FirstMask = 2, SecondMask = 3 };
    // The value of `kind`; Effect::Constant is always 1.
    int GetEffect(Effect kind) const;

    // The window: made hidden (nothing when it exists), destroyed, placed.
    void Create();
    void DestroyWindow();
    bool Exists() const;
    QWidget* Window() const;
    // Above the other topmost windows at `rect` (screen pixels); an empty rectangle hides it.
    // The panel is sized for the screen under `rect`: its font, controls and height grow by
    // ScaleForScreen of that screen's height, keeping the bottom edge of `rect`.
    void ShowTopmost(const QRect& rect);
    // 1 up to a screen 540 rows high, then in proportion to the rows, at most 4.
    static double ScaleForScreen(int screenRows);
    double Scale() const { return m_scale; }
    // Behind everything: a panel put at the bottom with size 0 x 0 shows nothing.
    void ShowAtBottom();
    // A control of the window by its id, or null.
    QWidget* Control(int id) const;

    // Message handlers; the window calls them.
    void OnButton(int id);
    // A scroll notification of bar `barId` (1001 or 1010); `thumbPosition` counts for the
    // thumb codes.
    void OnHScroll(ScrollCode code, int thumbPosition, int barId);

protected:
    bool ClearsOnRead(int) const override { return false; }

private:
    QScrollBar* Bar(int id) const;
    void ShowEffects();

    std::unique_ptr<ControlPanelWindow> m_window;
    int m_length = 0;
    int m_newPosition = 0;
    int m_positionChanged = 0;
    int m_volumeSliderPosition = 0;
    int m_volumeChanged = 0;
    int m_buttonPending = 0;
    int m_buttonCommand = 0;
    int m_alternation = 0;
    int m_scanLineMode = 0;
    int m_firstMask = 0;
    int m_secondMask = 0;
    double m_scale = 1.0;
    int m_screenWidth = -1;  // SetValue(3); -1 until given
};
