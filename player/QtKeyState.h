#pragma once
#include <QObject>
#include <functional>
#include <initializer_list>
#include <map>

#include "platform/KeyState.h"

class QWidget;

// Key state fed by an application-wide event filter: which polled keys are down now, and
// which were pressed since their last Pressed() read. Install once on the application.
// Keys count only while one of the player's own surfaces (SetSurfaceTest) has the focus:
// a press typed into any other window (a dialog, the playlist editor) is never recorded, and
// while such a window is the active one every key reads as up and not pressed.
// User-interface thread only.
class QtKeyState final : public QObject, public KeyState {
public:
    explicit QtKeyState(QObject* parent = nullptr) : QObject(parent) {}
    // `isSurface` tells whether a top-level window is one of the player's surfaces. Until it
    // is set every window counts.
    void SetSurfaceTest(std::function<bool(const QWidget* window)> isSurface) { m_isSurface = std::move(isSurface); }
    bool Held(PolledKey key) override;
    bool Pressed(PolledKey key) override;
    // No polled key is down, and no press of `readByPress` (the keys whose presses the
    // poller reads with Pressed()) waits to be read.
    bool Quiet(std::initializer_list<PolledKey> readByPress) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Entry {
        bool down = false;
        bool pressedSincePoll = false;
    };
    bool IsSurface(const QWidget* widget) const;
    bool FocusOnSurface() const;

    std::map<PolledKey, Entry> m_keys;
    std::function<bool(const QWidget*)> m_isSurface;
};
