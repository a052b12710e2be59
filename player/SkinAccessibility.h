#pragma once
#include <QObject>
#include <array>
#include <functional>
#include <string>

#include "player/InputControl.h"
#include "render/SkinLayout.h"

class QPainter;
class QWidget;
struct PlayerState;
struct Settings;

// The main window's hotspots for the keyboard and for assistive technology (screen readers,
// through Qt's accessibility interface): each is an accessible object with a Japanese name,
// an English description, a role, a state and its action. Tab and Shift+Tab move a keyboard
// focus between them, drawn as a mark over the skin; Space or Enter acts on the focused one
// exactly as a left click on its centre does; Esc puts the focus away. Until Tab is pressed
// nothing here takes a key or a click. User-interface thread only.

enum class HotspotRole { Button, Toggle, Slider, Text };

struct Hotspot {
    const char* name;         // Japanese, as a screen reader says it
    const char* description;  // English
    HotspotRole role;
    skin::Rect area;  // window pixels; a slider's is its whole bar
};

// In Tab order.
enum HotspotIndex : int {
    kHotspotPlay,
    kHotspotStill,
    kHotspotStop,
    kHotspotRew,
    kHotspotFf,
    kHotspotBack,
    kHotspotNext,
    kHotspotFile,
    kHotspotConfig,
    kHotspotFull,
    kHotspotPower,
    kHotspotRepeat,
    kHotspotShuffle,
    kHotspotZoomOut,
    kHotspotZoomIn,
    kHotspotMinimise,
    kHotspotPosition,
    kHotspotVolume,
    kHotspotTitle,
    kHotspotTime,
    kHotspotCount
};
extern const std::array<Hotspot, kHotspotCount> kHotspots;

class SkinAccess final : public QObject {
    Q_OBJECT
public:
    struct Hooks {
        std::function<void(WindowPoint)> click;      // a left press and release at a window point
        std::function<void(WindowPoint, int)> drag;  // a left drag from a point, dx pixels across
    };
    // A child of `window`, installed as an application-wide event filter (after the key
    // state's, so it sees Tab, Space, Enter and Esc first).
    SkinAccess(QWidget& window, const PlayerState& state, const Settings& settings, Hooks hooks);
    ~SkinAccess() override;

    // Registers the accessibility factory of the main window, once per process. Qt asks it
    // only while an assistive technology is active.
    static void InstallFactory();

    QWidget& Window() const { return m_window; }
    int Focused() const { return m_focused; }  // -1: none
    void SetFocused(int index);
    // Draws the focus mark over the presented skin (nothing without a focused hotspot or
    // while the window has no keyboard focus).
    void PaintFocus(QPainter& painter) const;

    // What a hotspot does: press (buttons, toggles, title, time field) and, for sliders, set
    // a value 0..100. False when the hotspot has no such action now.
    bool Press(int index);
    bool SetSliderValue(int index, int percent);
    // A slider's value 0..100 (the knob's place on its bar).
    int SliderValue(int index) const;
    bool Checked(int index) const;
    // The text a title or time hotspot shows now; empty for the others.
    std::string ShownText(int index) const;
    // The knob's rectangle of a slider, else its area.
    skin::Rect Area(int index) const;

    // The title lines of a newly opened track: a name change of the title, and said by Follow.
    void TitleLinesChanged(const std::string& line1, const std::string& line2);
    // After each full tick: says what changed for a listener whatever has the focus (the
    // accessible child after the hotspots, a notification that shows): the new track's title
    // line (line 2, the tag's, led by the no-sound notice when line 1 has it), else a change
    // between playing, paused and stopped ("再生", "一時停止", "停止").
    void Follow();
    // The text last said; empty before the first.
    const std::string& Announcement() const { return m_announcement; }
    // Whether the window's accessible object exists (set by that object).
    void SetExposed(bool exposed) { m_exposed = exposed; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Notify(int index, int accessibleEvent) const;
    // What Follow says for a full tick; `lastStatus` (0 playing, 1 paused, 2 stopped, -1
    // unknown) becomes `status`.
    std::string TextToSay(bool titleChanged, int status, int& lastStatus) const;

    QWidget& m_window;
    const PlayerState& m_state;
    const Settings& m_settings;
    Hooks m_hooks;
    std::array<std::string, 2> m_lines;
    int m_focused = -1;
    bool m_exposed = false;
    bool m_titleToSay = false;
    int m_lastStatus = -1;
    std::string m_announcement;
};
