#pragma once
#include <cmath>
#include <cstdint>

// The mapping between the player's logical pixels (its 321 x 92 window, the skin's art) and
// the device pixels of a screen that scales by `ratio` (1, 1.25, 1.5, 2, 3 ...). Logical
// pixel i covers the device pixels [Edge(i), Edge(i + 1)): every edge lies on a whole device
// pixel, so the art is scaled nearest-neighbour, each art pixel as a block of whole device
// pixels (at 1.5 alternately 2 and 1 wide) with no gap or seam between neighbours, and every
// device pixel belongs to exactly one logical pixel (LogicalOf). Standard library only.
struct DeviceScale {
    double ratio = 1.0;

    // A ratio that is not a positive finite number counts as 1.
    explicit DeviceScale(double r) : ratio(std::isfinite(r) && r > 0.0 ? r : 1.0) {}

    bool IsOne() const { return ratio == 1.0; }

    // The first device pixel of logical pixel i (half-way points round up).
    int Edge(int i) const { return int(std::floor(double(i) * ratio + 0.5)); }

    // The logical pixel that device pixel d belongs to: the i with Edge(i) <= d < Edge(i + 1).
    int LogicalOf(int d) const {
        int i = int(std::floor((double(d) + 0.5) / ratio));
        // The estimate is off by at most one either way from rounding.
        while (Edge(i) > d) --i;
        while (Edge(i + 1) <= d) ++i;
        return i;
    }

    // The logical pixel under a pointer position given in logical units, as the window system
    // reports it (the device pixel divided by the ratio).
    int LogicalOfPosition(double logical) const { return LogicalOf(int(std::floor(logical * ratio + 0.5))); }
};
