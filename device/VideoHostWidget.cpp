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
    explicit PictureArea(VideoHostWidget* host) : QWidget(host), host_(host) {
        setAttribute(Qt::WA_NativeWindow);
        setAttribute(Qt::WA_PaintOnScreen);
        setAttribute(Qt::WA_NoSystemBackground);
        setAttribute(Qt::WA_OpaquePaintEvent);
        setAttribute(Qt::WA_TransparentForMouseEvents);
    }
    QPaintEngine* paintEngine() const override { return nullptr; }

protected:
    void paintEvent(QPaintEvent*) override { host_->OnSurfaceChanged(); }

private:
    VideoHostWidget* host_;
};

VideoHostWidget::VideoHostWidget(QWidget* parent, Qt::WindowFlags flags)
    : QWidget(parent, flags), surface_(std::make_shared<HostSurface>()) {
    // Every pixel is painted here (picture or black), so Qt need not clear first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    surface_->SetDevicePixelRatio(devicePixelRatioF());
    surface_->SetHostSize(width(), height());
    // Runs on the render thread under the surface lock: post, never paint. A posted call dies
    // with this object.
    surface_->SetRepaint([this] { QMetaObject::invokeMethod(this, "OnSurfaceChanged", Qt::QueuedConnection); });
    hostId_ = VideoHostRegistry::Register(surface_);
}

VideoHostWidget::~VideoHostWidget() {
    // After this no repaint is posted; repaints already queued die with the QObject. No frame
    // is put into the picture area either: a put under way ends before Close returns.
    surface_->SetRepaint(nullptr);
    surface_->SetDirectTarget(nullptr);
    if (presenter_) presenter_->Close();
    VideoHostRegistry::Unregister(hostId_);
}

void VideoHostWidget::showEvent(QShowEvent* event) {
    surface_->SetDevicePixelRatio(devicePixelRatioF());
    if (!directTried_) {
        directTried_ = true;
        presenter_ = X11FramePresenter::Create();
        if (presenter_) picture_ = new PictureArea(this);
    }
    // The native window exists once shown: its format tells whether alpha reaches the screen.
    const QWindow* native = window()->windowHandle();
    surface_->SetAlphaShown(native != nullptr && native->format().hasAlpha());
    QWidget::showEvent(event);
}

void VideoHostWidget::resizeEvent(QResizeEvent* event) {
    surface_->SetHostSize(event->size().width(), event->size().height());
    QWidget::resizeEvent(event);
    // A smaller host must not keep a larger picture window over it: laid out afresh now.
    if (ApplyLayout(LayoutFor(surface_->Read()))) update();
}

void VideoHostWidget::paintEvent(QPaintEvent* event) {
    // The screen (and its scale) may have changed since the last paint; the next frame is
    // rendered for the new ratio.
    surface_->SetDevicePixelRatio(devicePixelRatioF());
    const HostSurface::View view = surface_->Read();
    ApplyLayout(LayoutFor(view));
    QPainter painter(this);
    if (!laidOut_.direct) {
        Paint(painter, event->rect());
        return;
    }
    for (const QRect& r : QRegion(event->rect()).subtracted(QRegion(laidOut_.destination)))
        painter.fillRect(r, Qt::black);
    if (PutFrame(view)) UpdateDirectTarget(view);
}

bool VideoHostWidget::ApplyLayout(const Layout& layout) {
    const bool shown = picture_ != nullptr && picture_->isVisible();
    if (layout == laidOut_ && shown == layout.direct) return false;
    laidOut_ = layout;
    if (!layout.direct) {
        surface_->SetDirectTarget(nullptr);
        if (shown) {
            picture_->hide();
            if (presenter_) presenter_->ReleaseAll();  // no frame memory kept by the server meanwhile
        }
        return true;
    }
    // Moved and mapped before the put: Qt's requests and the put share one ordered connection.
    // The old target goes first, so no frame of the old size lands in the new window.
    surface_->SetDirectTarget(nullptr);
    picture_->setGeometry(layout.destination);
    picture_->show();
    return true;
}

void VideoHostWidget::UpdateDirectTarget(const HostSurface::View& view) {
    const QRect& d = laidOut_.destination;
    auto target = std::make_shared<HostSurface::DirectTarget>();
    target->destination = DestinationRect{d.x(), d.y(), d.width(), d.height()};
    target->width = view.frame->width();
    target->height = view.frame->height();
    target->present = [presenter = presenter_, window = static_cast<uint32_t>(picture_->winId())](
                          const std::shared_ptr<const VideoFrame>& frame) { return presenter->Present(window, frame); };
    surface_->SetDirectTarget(std::move(target));
}

VideoHostWidget::Layout VideoHostWidget::LayoutFor(const HostSurface::View& view) const {
    const DestinationRect& d = view.destination;
    const qreal ratio = devicePixelRatioF();
    const VideoFrame* f = view.frame.get();
    // Only a picture wholly inside the host goes into the picture window: no child window is
    // ever larger than its host.
    const bool direct = presenter_ != nullptr && view.attached && f != nullptr && f->SharedMemoryFd() >= 0 &&
                        d.width > 0 && d.height > 0 && rect().contains(QRect(d.x, d.y, d.width, d.height)) &&
                        f->width() == qRound(d.width * ratio) && f->height() == qRound(d.height * ratio);
    return direct ? Layout{true, QRect(d.x, d.y, d.width, d.height)} : Layout{};
}

void VideoHostWidget::OnSurfaceChanged() {
    // Laid out here, not only when painting: a picture window that covers the whole host
    // leaves Qt nothing to paint, so a paint would never come to shrink or move it.
    const HostSurface::View view = surface_->Read();
    const bool changed = ApplyLayout(LayoutFor(view));
    if (!laidOut_.direct) {
        update();
        return;
    }
    if (changed) update();  // the black around a new destination
    if (PutFrame(view)) UpdateDirectTarget(view);
}

bool VideoHostWidget::PutFrame(const HostSurface::View& view) {
    if (presenter_->Present(static_cast<uint32_t>(picture_->winId()), view.frame)) return true;
    // A window of another depth, or a server that cannot map our memory: paint from now on.
    surface_->SetDirectTarget(nullptr);
    presenter_->Close();
    presenter_.reset();
    picture_->hide();
    laidOut_ = Layout{};
    update();
    return false;
}

void VideoHostWidget::Paint(QPainter& painter, const QRect& area) {
    const HostSurface::View view = surface_->Read();  // holds the frame while it is drawn
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
