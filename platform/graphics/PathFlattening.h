#pragma once

#include "platform/graphics/AffineTransform.h"
#include "platform/graphics/Geometry.h"
#include "platform/graphics/Path.h"

#include <cstddef>
#include <span>
#include <vector>

namespace gfx {

// A path's subpaths as polylines in device space, curves replaced by chords that stay within
// `tolerance` device pixels of them (cairo's own default is a tenth of a pixel). Points that
// repeat their predecessor are dropped, and a closed subpath does not repeat its first point at
// the end. A subpath is begun by a move, or by a line or curve after a close, as cairo begins them.
class FlatPath {
public:
    struct Subpath {
        std::size_t begin = 0;
        std::size_t end = 0;
        bool closed = false;
    };

    static constexpr double defaultTolerance = 0.1;

    FlatPath(const Path& path, const AffineTransform& toDevice,
             double tolerance = defaultTolerance);

    const std::vector<Subpath>& subpaths() const { return subpaths_; }
    std::span<const Point> points(const Subpath& subpath) const {
        return std::span<const Point>(points_).subspan(subpath.begin, subpath.end - subpath.begin);
    }
    // The smallest rect holding every point; the zero rect when there are none.
    Rect bounds() const;

private:
    void begin(Point devicePoint);
    void add(Point devicePoint);
    void addCurve(Point p0, Point p1, Point p2, Point p3, double tolerance);
    void finish(bool closed);

    std::vector<Point> points_;
    std::vector<Subpath> subpaths_;
    bool open_ = false;
};

} // namespace gfx
