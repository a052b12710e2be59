#pragma once
#include <array>
#include <string>

#include <QImage>

#include "render/Composition.h"
#include "render/DibSurface.h"
#include "render/SkinLayout.h"

// The main window's picture at the device resolution of a scaling screen (Qt, user-interface
// thread). The skin's art is scaled nearest-neighbour on whole device pixels (DeviceScale);
// the text the composition showed in the display line is drawn again from text strips made
// at the device resolution, in the same font, through the same two-step mask and so in the
// same colours, so letters are as sharp as the screen allows while the art stays pixel-exact.
class DevicePicture {
public:
    // The text strips of the skin source: the title lines (rows 220 and 240) and the browsed
    // name (row 260).
    enum TextStrip { kTitleLine1, kTitleLine2, kBrowsedName };
    // The text of `strip` as it was drawn there, UTF-8. Redrawn on the next Compose only when
    // it changed.
    void SetText(TextStrip strip, const std::string& text);
    // The skin source was (re)loaded: the strips' blank art is taken again.
    void SkinChanged() { m_dirty = true; }
    // Where the text is drawn again, in logical pixels: its device pixels may change where the
    // logical picture did not, so a change that touches this area repaints all of it.
    static constexpr skin::Rect kRedrawnText = skin::kDisplayLine;

    // The top-left width x height logical pixels of `work` at `ratio` device pixels per
    // logical pixel, with `shown` (what ComposeDisplay returned for `work`) redrawn from the
    // device-resolution strips over the unlit and lit display art of `skin`. The image's
    // devicePixelRatio is `ratio`; it stays valid until the next call. Null when `work` or
    // `skin` is empty or the ratio is not between 1/16 and 16.
    const QImage& Compose(const CDibSurface& work, const CDibSurface& skin, const DisplayText& shown, double ratio,
                          int width, int height);

private:
    static constexpr int kStrips = 4;  // blank, title 1, title 2, browsed name
    void DrawStrips(const CDibSurface& skin, double ratio);

    std::array<std::string, 3> m_texts;
    std::array<CDibSurface, kStrips> m_strips;  // at the device resolution
    double m_stripRatio = 0.0;
    bool m_dirty = true;
    QImage m_picture;
};
