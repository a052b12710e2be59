#include "panels/WindowDrag.h"

#include <QMouseEvent>
#include <QWidget>
#include <QWindow>

void WindowDrag::Start(QWidget& window, QPoint globalPointer) {
    following_ = window.windowHandle() == nullptr || !window.windowHandle()->startSystemMove();
    if (following_) grab_ = globalPointer - window.frameGeometry().topLeft();
}

bool WindowDrag::Follow(QWidget& window, const QMouseEvent& event) {
    if (!following_ || !(event.buttons() & Qt::LeftButton)) return false;
    window.move(event.globalPosition().toPoint() - grab_);
    return true;
}
