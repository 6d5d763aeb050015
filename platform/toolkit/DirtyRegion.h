#pragma once

#include "platform/graphics/Geometry.h"

#include <cstddef>
#include <vector>

namespace ui {

// Areas awaiting a redraw, kept as a few rects apart: two changes at either end of a wide view
// (a strip whose first and last modules changed) redraw two columns, not everything between
// them. Rects that overlap or touch become one; past a few, all become their union.
class DirtyRegion {
public:
    static constexpr std::size_t mostParts = 4;

    // An empty rect adds nothing.
    void add(const gfx::Rect& rect);
    void clear();

    bool isEmpty() const { return parts_.empty(); }
    // The union of every part; the empty rect when there is none.
    const gfx::Rect& bounds() const { return bounds_; }
    // Apart from each other, none empty, at most mostParts.
    const std::vector<gfx::Rect>& parts() const { return parts_; }

private:
    std::vector<gfx::Rect> parts_;
    gfx::Rect bounds_;
};

} // namespace ui
