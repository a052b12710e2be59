#pragma once
#include <QPoint>

class QWidget;
class QMouseEvent;

// Moving a frameless window with the pointer: the window manager does it where it can
// (startSystemMove); elsewhere the window follows the pointer itself until the button goes up.
class WindowDrag {
public:
    // Starts the move of `window`, grabbed at the pointer's position `globalPointer`.
    void Start(QWidget& window, QPoint globalPointer);
    // Follows the pointer while the left button is down; true when the event was used.
    bool Follow(QWidget& window, const QMouseEvent& event);
    void Stop() { following_ = false; }

private:
    bool following_ = false;
    QPoint grab_;
};
