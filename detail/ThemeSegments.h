#pragma once

#include "platform/toolkit/SegmentedControl.h"

#include <vector>

namespace pulsedeck {

// Segment rects across the bounds in proportion to each segment's weight, max(its width, 1): a
// segment of automatic width (0) weighs 1, so automatic segments share the width equally and a
// 40-point segment beside an automatic one takes 40/41 of it.
std::vector<gfx::Rect> neutralSegmentFrames(const gfx::Rect& bounds,
                                            const std::vector<double>& widths);

// The detail view's segmented control: neutral greys with a raised chip under the selected
// segment, the selected label semibold. The drawing and the hit testing share
// neutralSegmentFrames. Redraws in the other palette as soon as the appearance changes.
class ThemeSegments : public ui::SegmentedControl {
public:
    using SegmentedControl::SegmentedControl;

    std::vector<gfx::Rect> segmentFrames() const override;

protected:
    void drawRect(gfx::Context& context, const gfx::Rect& dirtyRect) override;
    void drawSegment(gfx::Context& context, int segment, const gfx::Rect& frame) override;
};

} // namespace pulsedeck
