#include "device/VideoHostWidget.h"

#include <QEvent>
#include <QMetaObject>
#include <QPaintEvent>
#include <QPainter>
#include <QPointer>
#include <QRegion>
#include <QResizeEvent>
#include <QWindow>

VideoHostWidget::VideoHostWidget(QWidget* parent, Qt::WindowFlags flags)
    : QWidget(parent, flags), surface_(std::make_shared<HostSurface>()) {
    // Every pixel is painted here (picture or black), so Qt need not clear first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    surface_->SetDevicePixelRatio(devicePixelRatioF());
    surface_->SetHostSize(width(), height());
    // Runs on the render thread under the surface lock: post, never paint.
    surface_->SetRepaint([this] { QMetaObject::invokeMethod(this, "update", Qt::QueuedConnection); });
    hostId_ = VideoHostRegistry::Register(surface_);
}

VideoHostWidget::~VideoHostWidget() {
    // After this no repaint is posted; repaints already queued die with the QObject.
    surface_->SetRepaint(nullptr);
    VideoHostRegistry::Unregister(hostId_);
}

void VideoHostWidget::showEvent(QShowEvent* event) {
    surface_->SetDevicePixelRatio(devicePixelRatioF());
    // The native window exists once shown: its format tells whether alpha reaches the screen.
    const QWindow* native = window()->windowHandle();
    surface_->SetAlphaShown(native != nullptr && native->format().hasAlpha());
    QWidget::showEvent(event);
}

void VideoHostWidget::resizeEvent(QResizeEvent* event) {
    surface_->SetHostSize(event->size().width(), event->size().height());
    QWidget::resizeEvent(event);
}

void VideoHostWidget::paintEvent(QPaintEvent* event) {
    // The screen (and its scale) may have changed since the last paint; the next frame is
    // rendered for the new ratio.
    surface_->SetDevicePixelRatio(devicePixelRatioF());
    QPainter painter(this);
    Paint(painter, event->rect());
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
