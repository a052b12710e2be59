#include "panels/WindowDrag.h"

#include <QApplication>
#include <QMouseEvent>
#include <QWidget>
#include <QWindow>

void WindowDrag::Arm(QWidget& window, QPoint globalPointer) {
    m_armed = true;
    m_following = false;
    m_press = globalPointer;
    m_grab = globalPointer - window.frameGeometry().topLeft();
}

bool WindowDrag::Follow(QWidget& window, const QMouseEvent& event) {
    if (!(event.buttons() & Qt::LeftButton)) {
        // The release went elsewhere (a grab, a dialog): nothing may start late.
        Stop();
        return false;
    }
    const QPoint pointer = event.globalPosition().toPoint();
    if (m_armed) {
        if ((pointer - m_press).manhattanLength() < QApplication::startDragDistance()) return true;
        m_armed = false;
        // The window manager takes the pointer from here until the button goes up.
        m_following = window.windowHandle() == nullptr || !window.windowHandle()->startSystemMove();
    }
    if (!m_following) return false;
    window.move(pointer - m_grab);
    return true;
}
