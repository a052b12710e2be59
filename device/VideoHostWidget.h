#pragma once
#include <QImage>
#include <QWidget>
#include <memory>

#include "device/VideoHost.h"

class X11FramePresenter;

// A window that can show the media device's picture. It registers itself in the
// VideoHostRegistry when made and leaves it when destroyed; hostId() is the number the player
// sends in "window movie handle n". It paints the latest frame at the device's destination
// rectangle, scaled to it, and the rest black (all black while no device is attached).
// Frames arrive on the device's render thread, which only posts a queued call here. On X11 a
// frame rendered at the destination's size goes straight from its memory to a native child
// window at the destination (X11FramePresenter), without a copy into the backing store: once
// this widget has laid the child out, the render thread puts such frames itself
// (HostSurface::SetDirectTarget). Any other picture (scaled, or no shared memory) is painted.
// User-interface thread only; derive from it or embed it.
class VideoHostWidget : public QWidget {
    Q_OBJECT
public:
    explicit VideoHostWidget(QWidget* parent = nullptr, Qt::WindowFlags flags = {});
    ~VideoHostWidget() override;

    int hostId() const { return m_hostId; }

    // The host's pixels as the paint handler draws them now (black, the picture at the
    // destination), at the widget's size in logical pixels. For tests and diagnostics.
    QImage PaintedPixels();
    // Frames the device has handed over so far.
    uint64_t FramesReceived() const { return m_surface->FramesPublished(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    class PictureArea;
    // How a view is shown: put into the picture area at the destination, or painted.
    struct Layout {
        bool direct = false;
        QRect destination;
        bool operator==(const Layout&) const = default;
    };
    Layout LayoutFor(const HostSurface::View& view) const;
    // Shows, moves or hides the picture area for `layout`; true when anything changed.
    bool ApplyLayout(const Layout& layout);
    // A frame or destination arrived: put the frame when the layout stands, else repaint.
    // Invoked by name from the render thread: Qt then keeps the posted call's data to itself.
    Q_INVOKABLE void OnSurfaceChanged();
    // Puts the view's frame into the picture area; on refusal paints from then on.
    bool PutFrame(const HostSurface::View& view);
    // Lets the render thread put the frames that fit the current layout (none when not direct).
    void UpdateDirectTarget(const HostSurface::View& view);
    void Paint(QPainter& painter, const QRect& area);

    std::shared_ptr<HostSurface> m_surface;
    int m_hostId = 0;
    bool m_directTried = false;
    std::shared_ptr<X11FramePresenter> m_presenter;  // null: every picture is painted
    PictureArea* m_picture = nullptr;                // child, exists with m_presenter
    Layout m_laidOut;
};
