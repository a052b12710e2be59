#pragma once
#include <QPoint>

class QWidget;
class QMouseEvent;

// Moving a frameless window with the pointer. A left press only arms the move: it starts once
// the pointer has travelled the platform's drag distance (QApplication::startDragDistance,
// Manhattan length) with the button still held, so a press and release in place (a touchpad
// tap) stays a click and the window manager never takes the pointer. The window manager moves
// the window where it can (startSystemMove); elsewhere the window follows the pointer itself
// until the button goes up. User-interface thread only.
class WindowDrag {
public:
    // Arms a move of `window`, grabbed at the pointer's position `globalPointer`.
    void Arm(QWidget& window, QPoint globalPointer);
    // A pointer move: starts the armed move past the drag distance, then follows the pointer
    // while the left button is down; true when the event was used for the move.
    bool Follow(QWidget& window, const QMouseEvent& event);
    // The button went up: an armed move that never started is dropped.
    void Stop() { m_armed = m_following = false; }

private:
    bool m_armed = false;
    bool m_following = false;
    QPoint m_press;
    QPoint m_grab;
};
