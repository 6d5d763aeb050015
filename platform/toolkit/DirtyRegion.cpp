#include "platform/toolkit/DirtyRegion.h"

namespace ui {

namespace {

// Whether two rects overlap or share an edge: drawing them apart would save nothing.
bool meet(const gfx::Rect& a, const gfx::Rect& b) {
    return a.minX() <= b.maxX() && b.minX() <= a.maxX() && a.minY() <= b.maxY() &&
           b.minY() <= a.maxY();
}

} // namespace

void DirtyRegion::add(const gfx::Rect& rect) {
    if (rect.isEmpty())
        return;
    bounds_ = bounds_.unionWith(rect);
    gfx::Rect joined = rect;
    // A grown rect may now meet parts it did not before.
    for (bool merged = true; merged;) {
        merged = false;
        for (auto part = parts_.begin(); part != parts_.end(); ++part) {
            if (meet(*part, joined)) {
                joined = joined.unionWith(*part);
                parts_.erase(part);
                merged = true;
                break;
            }
        }
    }
    parts_.push_back(joined);
    if (parts_.size() > mostParts)
        parts_.assign(1, bounds_);
}

void DirtyRegion::clear() {
    parts_.clear();
    bounds_ = {};
}

} // namespace ui
