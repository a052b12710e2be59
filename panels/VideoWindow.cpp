#include "panels/VideoWindow.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QMoveEvent>
#include <utility>

VideoWindowWidget::VideoWindowWidget(std::function<void(int, int)> onMoved)
    : VideoHostWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint), m_onMoved(std::move(onMoved)) {
    setWindowTitle(QStringLiteral("VELKAF"));
}

void VideoWindowWidget::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) m_drag.Arm(*this, event->globalPosition().toPoint());
    VideoHostWidget::mousePressEvent(event);
}

void VideoWindowWidget::mouseMoveEvent(QMouseEvent* event) {
    m_drag.Follow(*this, *event);
    VideoHostWidget::mouseMoveEvent(event);
}

void VideoWindowWidget::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) m_drag.Stop();
    VideoHostWidget::mouseReleaseEvent(event);
}

void VideoWindowWidget::moveEvent(QMoveEvent* event) {
    if (m_onMoved) m_onMoved(event->pos().x(), event->pos().y());
    VideoHostWidget::moveEvent(event);
}

void VideoWindowWidget::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape || event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        return;
    }
    VideoHostWidget::keyPressEvent(event);
}
