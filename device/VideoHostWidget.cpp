#include "device/VideoHostWidget.h"

#include <QEvent>
#include <QMetaObject>
#include <QPaintEvent>
#include <QPainter>
#include <QPointer>
#include <QRegion>
#include <QResizeEvent>
#include <QWindow>

#include "device/X11FramePresenter.h"

// The picture's own native window. Qt never paints it (no paint engine); the host puts
// frames into it, and again whenever the server exposes it, since the server keeps nothing.
// Clicks and the wheel pass through to the host below.
class VideoHostWidget::PictureArea final : public QWidget {
public:
    explicit PictureArea(VideoHostWidget* host) : QWidget(host), m_host(host) {
        setAttribute(Qt::WA_NativeWindow);
        setAttribute(Qt::WA_PaintOnScreen);
        setAttribute(Qt::WA_NoSystemBackground);
        setAttribute(Qt::WA_OpaquePaintEvent);
        setAttribute(Qt::WA_TransparentForMouseEvents);
    }
    QPaintEngine* paintEngine() const override { return nullptr; }

protected:
    void paintEvent(QPaintEvent*) override { m_host->OnSurfaceChanged(); }

private:
    VideoHostWidget* m_host;
};

VideoHostWidget::VideoHostWidget(QWidget* parent, Qt::WindowFlags flags)
    : QWidget(parent, flags), m_surface(std::make_shared<HostSurface>()) {
    // Every pixel is painted here (picture or black), so Qt need not clear first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    m_surface->SetDevicePixelRatio(devicePixelRatioF());
    m_surface->SetHostSize(width(), height());
    // Runs on the render thread under the surface lock: post, never paint. A posted call dies
    // with this object.
    m_surface->SetRepaint([this] { QMetaObject::invokeMethod(this, "OnSurfaceChanged", Qt::QueuedConnection); });
    m_hostId = VideoHostRegistry::Register(m_surface);
}

VideoHostWidget::~VideoHostWidget() {
    // After this no repaint is posted; repaints already queued die with the QObject. No frame
    // is put into the picture area either: a put under way ends before Close returns.
    m_surface->SetRepaint(nullptr);
    m_surface->SetDirectTarget(nullptr);
    if (m_presenter) m_presenter->Close();
    VideoHostRegistry::Unregister(m_hostId);
}

void VideoHostWidget::showEvent(QShowEvent* event) {
    m_surface->SetDevicePixelRatio(devicePixelRatioF());
    if (!m_directTried) {
        m_directTried = true;
        m_presenter = X11FramePresenter::Create();
        if (m_presenter) m_picture = new PictureArea(this);
    }
    // The native window exists once shown: its format tells whether alpha reaches the screen.
    const QWindow* native = window()->windowHandle();
    m_surface->SetAlphaShown(native != nullptr && native->format().hasAlpha());
    QWidget::showEvent(event);
}

void VideoHostWidget::resizeEvent(QResizeEvent* event) {
    m_surface->SetHostSize(event->size().width(), event->size().height());
    QWidget::resizeEvent(event);
    // A smaller host must not keep a larger picture window over it: laid out afresh now.
    if (ApplyLayout(LayoutFor(m_surface->Read()))) update();
}

void VideoHostWidget::paintEvent(QPaintEvent* event) {
    // The screen (and its scale) may have changed since the last paint; the next frame is
    // rendered for the new ratio.
    m_surface->SetDevicePixelRatio(devicePixelRatioF());
    const HostSurface::View view = m_surface->Read();
    ApplyLayout(LayoutFor(view));
    QPainter painter(this);
    if (!m_laidOut.direct) {
        Paint(painter, event->rect());
        return;
    }
    for (const QRect& r : QRegion(event->rect()).subtracted(QRegion(m_laidOut.destination)))
        painter.fillRect(r, Qt::black);
    if (PutFrame(view)) UpdateDirectTarget(view);
}

bool VideoHostWidget::ApplyLayout(const Layout& layout) {
    const bool shown = m_picture != nullptr && m_picture->isVisible();
    if (layout == m_laidOut && shown == layout.direct) return false;
    m_laidOut = layout;
    if (!layout.direct) {
        m_surface->SetDirectTarget(nullptr);
        if (shown) {
            m_picture->hide();
            if (m_presenter) m_presenter->ReleaseAll();  // no frame memory kept by the server meanwhile
        }
        return true;
    }
    // Moved and mapped before the put: Qt's requests and the put share one ordered connection.
    // The old target goes first, so no frame of the old size lands in the new window.
    m_surface->SetDirectTarget(nullptr);
    m_picture->setGeometry(layout.destination);
    m_picture->show();
    return true;
}

void VideoHostWidget::UpdateDirectTarget(const HostSurface::View& view) {
    const QRect& d = m_laidOut.destination;
    auto target = std::make_shared<HostSurface::DirectTarget>();
    target->destination = DestinationRect{d.x(), d.y(), d.width(), d.height()};
    target->width = view.frame->width();
    target->height = view.frame->height();
    target->present = [presenter = m_presenter, window = static_cast<uint32_t>(m_picture->winId())](
                          const std::shared_ptr<const VideoFrame>& frame) { return presenter->Present(window, frame); };
    m_surface->SetDirectTarget(std::move(target));
}

VideoHostWidget::Layout VideoHostWidget::LayoutFor(const HostSurface::View& view) const {
    const DestinationRect& d = view.destination;
    const qreal ratio = devicePixelRatioF();
    const VideoFrame* f = view.frame.get();
    // Only a picture wholly inside the host goes into the picture window: no child window is
    // ever larger than its host.
    const bool direct = m_presenter != nullptr && view.attached && f != nullptr && f->SharedMemoryFd() >= 0 &&
                        d.width > 0 && d.height > 0 && rect().contains(QRect(d.x, d.y, d.width, d.height)) &&
                        f->width() == qRound(d.width * ratio) && f->height() == qRound(d.height * ratio);
    return direct ? Layout{true, QRect(d.x, d.y, d.width, d.height)} : Layout{};
}

void VideoHostWidget::OnSurfaceChanged() {
    // Laid out here, not only when painting: a picture window that covers the whole host
    // leaves Qt nothing to paint, so a paint would never come to shrink or move it.
    const HostSurface::View view = m_surface->Read();
    const bool changed = ApplyLayout(LayoutFor(view));
    if (!m_laidOut.direct) {
        update();
        return;
    }
    if (changed) update();  // the black around a new destination
    if (PutFrame(view)) UpdateDirectTarget(view);
}

bool VideoHostWidget::PutFrame(const HostSurface::View& view) {
    if (m_presenter->Present(static_cast<uint32_t>(m_picture->winId()), view.frame)) return true;
    // A window of another depth, or a server that cannot map our memory: paint from now on.
    m_surface->SetDirectTarget(nullptr);
    m_presenter->Close();
    m_presenter.reset();
    m_picture->hide();
    m_laidOut = Layout{};
    update();
    return false;
}

void VideoHostWidget::Paint(QPainter& painter, const QRect& area) {
    const HostSurface::View view = m_surface->Read();  // holds the frame while it is drawn
    const DestinationRect& d = view.destination;
    const QRect dest(d.x, d.y, d.width, d.height);
    const bool picture = view.attached && view.frame && d.width > 0 && d.height > 0;
    if (!picture) {
        painter.fillRect(area, Qt::black);
        return;
    }
    // Black only around the picture, so its pixels are written once.
    const QRegion around = QRegion(area).subtracted(QRegion(dest));
    for (const QRect& r : around) painter.fillRect(r, Qt::black);
    const VideoFrame& f = *view.frame;
    QImage image(f.data(), f.width(), f.height(), static_cast<qsizetype>(f.stride()), QImage::Format_RGB32);
    const qreal ratio = painter.device()->devicePixelRatioF();
    if (f.width() == qRound(d.width * ratio) && f.height() == qRound(d.height * ratio)) {
        image.setDevicePixelRatio(ratio);  // rendered in device pixels: a plain copy
        painter.drawImage(dest.topLeft(), image);
    } else {
        painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
        painter.drawImage(QRectF(dest), image);
    }
}

QImage VideoHostWidget::PaintedPixels() {
    QImage out(size(), QImage::Format_RGB32);
    out.fill(Qt::white);  // anything not painted would show up as white
    QPainter painter(&out);
    Paint(painter, rect());
    painter.end();
    return out;
}
