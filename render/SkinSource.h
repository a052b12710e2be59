#pragma once
#include <string>

#include <QIcon>
#include <QImage>

#include "render/DibSurface.h"

class QPainter;

// The built-in skin and icon (compiled in with the Qt resource system), loading the skin
// source, and handing the finished picture to the window.

constexpr int kSkinBitmapId = 129;  // the skin picture, ":/skin.bmp"
constexpr int kAppIconId = 128;     // the application icon, ":/velkaf.png"

// Builds `surface` from a compiled-in bitmap: 129 is the built-in skin. False (and empty)
// for any other id or a resource that does not load.
bool CreateFromResource(CDibSurface& surface, int resourceId);

enum class SkinOrigin { BackgroundFile, BuiltIn, None };

// (Re)builds the skin source: the file `backgroundFile` in the bg folder of `programFolder`
// (which ends in '/') when it is a loadable 24-bit ".bmp" of at least 640 x 400 pixels (of a
// larger one only the top-left 640 x 400 are read and kept), otherwise the built-in skin. An empty name, a name without a file behind it (such as the
// settings dialog's "デフォルト") or a picture too small for the layout give the built-in
// skin. Says which one it took; None only when even the built-in skin failed, and then the
// surface is empty and nothing is drawn from it.
SkinOrigin LoadSkinSource(CDibSurface& skin, const std::string& programFolder, const std::string& backgroundFile);

// The work surface: always the built-in skin.
bool CreateWorkSurface(CDibSurface& work);

// The part of the work surface the window shows (its top-left 407 x 93 pixels, less where
// the surface is smaller) as a QImage over the surface's own pixels: no copy. Valid until the
// surface is re-created or destroyed; null for an empty surface.
QImage PresentedImage(const CDibSurface& work);

// Paints the presented picture at (0, 0) in logical pixels, nearest-neighbour when the
// screen scales, so the skin's pixels stay sharp.
void PresentTo(const CDibSurface& work, QPainter& painter);

// The application icon.
QIcon AppIcon();
