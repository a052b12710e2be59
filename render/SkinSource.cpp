#include "render/SkinSource.h"

#include <algorithm>

#include <QFile>
#include <QPainter>

#include "platform/Log.h"
#include "render/SkinLayout.h"

bool CreateFromResource(CDibSurface& surface, int resourceId) {
    surface.Destroy();
    if (resourceId != kSkinBitmapId) return false;
    QFile file(QStringLiteral(":/skin.bmp"));
    if (!file.open(QIODevice::ReadOnly)) {
        LogLine("built-in skin: resource :/skin.bmp missing");
        return false;
    }
    const QByteArray bytes = file.readAll();
    const bool ok = surface.CreateFromBmp(
        std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size())));
    if (!ok) LogLine("built-in skin: resource :/skin.bmp does not load");
    return ok;
}

SkinOrigin LoadSkinSource(CDibSurface& skin, const std::string& programFolder, const std::string& backgroundFile) {
    skin.Destroy();
    if (!backgroundFile.empty()) {
        const std::string path = programFolder + "bg/" + backgroundFile;
        // The layout addresses the top-left 640 x 400 pixels, text strips included; of a
        // larger picture only those are read.
        if (skin.CreateFromFile(path, skin::kWidth, skin::kHeight)) {
            if (skin.Width() == skin::kWidth && skin.Height() == skin::kHeight) return SkinOrigin::BackgroundFile;
            LogLine("background " + path + ": smaller than 640 x 400, using the built-in skin");
        } else {
            LogLine("background " + path + ": not a loadable 24-bit bitmap, using the built-in skin");
        }
    }
    return CreateFromResource(skin, kSkinBitmapId) ? SkinOrigin::BuiltIn : SkinOrigin::None;
}

bool CreateWorkSurface(CDibSurface& work) { return CreateFromResource(work, kSkinBitmapId); }

QImage PresentedImage(const CDibSurface& work) {
    if (work.IsEmpty()) return {};
    const int width = std::min(work.Width(), skin::kPresentWidth);
    const int height = std::min(work.Height(), skin::kPresentHeight);
    return QImage(work.TopRow(), width, height, work.RowBytes(), QImage::Format_BGR888);
}

void PresentTo(const CDibSurface& work, QPainter& painter) {
    const QImage picture = PresentedImage(work);
    if (picture.isNull()) return;
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.drawImage(QPoint(0, 0), picture);
    painter.restore();
}

QIcon AppIcon() { return QIcon(QStringLiteral(":/velkaf.png")); }
