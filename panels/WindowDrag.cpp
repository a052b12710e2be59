#include "panels/WindowDrag.h"

#include <QApplication>
#include <QMouseEvent>
#include <QWidget>
#include <QWindow>

void WindowDrag::Arm(QWidget& window, QPoint globalPointer) {
    armed_ = true;
    following_ = false;
    press_ = globalPointer;
    grab_ = globalPointer - window.frameGeometry().topLeft();
}

bool WindowDrag::Follow(QWidget& window, const QMouseEvent& event) {
    if (!(event.buttons() & Qt::LeftButton)) {
        // The release went elsewhere (a grab, a dialog): nothing may start late.
        Stop();
        return false;
    }
    const QPoint pointer = event.globalPosition().toPoint();
    if (armed_) {
        if ((pointer - press_).manhattanLength() < QApplication::startDragDistance()) return true;
        armed_ = false;
        // The window manager takes the pointer from here until the button goes up.
        following_ = window.windowHandle() == nullptr || !window.windowHandle()->startSystemMove();
    }
    if (!following_) return false;
    window.move(pointer - grab_);
    return true;
}
