#pragma once
#include <QAbstractSlider>
#include <optional>

// Scroll notification codes, the same for horizontal and vertical bars (line left = line up).
enum class ScrollCode {
    LineUp = 0,
    LineDown = 1,
    PageUp = 2,
    PageDown = 3,
    ThumbPosition = 4,
    ThumbTrack = 5,
    Top = 6,
    Bottom = 7,
    EndScroll = 8,
};

// The code a scroll bar action stands for; nothing for an action that moves nothing.
// Sub moves toward the minimum: up on a vertical bar, left on a horizontal one.
inline std::optional<ScrollCode> ScrollCodeOf(int action) {
    switch (action) {
    case QAbstractSlider::SliderSingleStepSub: return ScrollCode::LineUp;
    case QAbstractSlider::SliderSingleStepAdd: return ScrollCode::LineDown;
    case QAbstractSlider::SliderPageStepSub: return ScrollCode::PageUp;
    case QAbstractSlider::SliderPageStepAdd: return ScrollCode::PageDown;
    case QAbstractSlider::SliderToMinimum: return ScrollCode::Top;
    case QAbstractSlider::SliderToMaximum: return ScrollCode::Bottom;
    case QAbstractSlider::SliderMove: return ScrollCode::ThumbTrack;
    default: return std::nullopt;
    }
}
