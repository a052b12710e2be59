#pragma once
#include <functional>

#include "device/VideoHostWidget.h"
#include "panels/WindowDrag.h"

// The video window: a frameless window that shows the picture in windowed mode. A left press
// and a drag past the platform's drag distance moves it; each move is reported (in screen
// pixels) so the video object can snap and store it. Enter and Esc do nothing.
class VideoWindowWidget final : public VideoHostWidget {
    Q_OBJECT
public:
    explicit VideoWindowWidget(std::function<void(int, int)> onMoved);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    std::function<void(int, int)> m_onMoved;
    WindowDrag m_drag;
};
