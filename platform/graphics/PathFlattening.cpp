#include "platform/graphics/PathFlattening.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace gfx {

namespace {

// Enough for any curve that fits on a surface; a curve longer than that is flattened more
// coarsely rather than into an unbounded number of chords.
constexpr int maximumChords = 1024;

} // namespace

FlatPath::FlatPath(const Path& path, const AffineTransform& toDevice, double tolerance) {
    points_.reserve(path.elements().size() * 4);
    std::optional<Point> start;
    Point current;
    for (const Path::Element& element : path.elements()) {
        switch (element.kind) {
        case Path::ElementKind::moveTo:
            finish(false);
            current = toDevice.apply(element.points[0]);
            start = current;
            begin(current);
            break;
        case Path::ElementKind::lineTo:
            if (!open_) {
                begin(current);
            }
            current = toDevice.apply(element.points[0]);
            add(current);
            break;
        case Path::ElementKind::curveTo: {
            if (!open_) {
                begin(current);
            }
            Point p1 = toDevice.apply(element.points[0]);
            Point p2 = toDevice.apply(element.points[1]);
            Point p3 = toDevice.apply(element.points[2]);
            addCurve(current, p1, p2, p3, tolerance);
            current = p3;
            break;
        }
        case Path::ElementKind::closePath:
            if (open_) {
                finish(true);
            }
            if (start) {
                current = *start;
            }
            break;
        }
    }
    finish(false);
}

void FlatPath::begin(Point devicePoint) {
    subpaths_.push_back({points_.size(), points_.size(), false});
    points_.push_back(devicePoint);
    open_ = true;
}

void FlatPath::add(Point devicePoint) {
    const Point& last = points_.back();
    if (devicePoint.x != last.x || devicePoint.y != last.y) {
        points_.push_back(devicePoint);
    }
}

void FlatPath::addCurve(Point p0, Point p1, Point p2, Point p3, double tolerance) {
    // Chords of equal parameter steps 1/n stray from the curve by at most 3/4 · d / n², where d
    // is the larger second difference of the control points.
    double ax = p0.x - 2 * p1.x + p2.x, ay = p0.y - 2 * p1.y + p2.y;
    double bx = p1.x - 2 * p2.x + p3.x, by = p1.y - 2 * p2.y + p3.y;
    double d = std::sqrt(std::max(ax * ax + ay * ay, bx * bx + by * by));
    double wanted = std::ceil(std::sqrt(0.75 * d / tolerance));
    int n =
        std::isfinite(wanted) ? int(std::clamp(wanted, 1.0, double(maximumChords))) : maximumChords;
    for (int i = 1; i < n; ++i) {
        double t = double(i) / n, u = 1 - t;
        double w0 = u * u * u, w1 = 3 * u * u * t, w2 = 3 * u * t * t, w3 = t * t * t;
        add({w0 * p0.x + w1 * p1.x + w2 * p2.x + w3 * p3.x,
             w0 * p0.y + w1 * p1.y + w2 * p2.y + w3 * p3.y});
    }
    add(p3);
}

void FlatPath::finish(bool closed) {
    if (!open_) {
        return;
    }
    Subpath& subpath = subpaths_.back();
    subpath.end = points_.size();
    if (closed && subpath.end - subpath.begin > 1) {
        const Point& first = points_[subpath.begin];
        const Point& last = points_.back();
        if (first.x == last.x && first.y == last.y) {
            points_.pop_back();
            --subpath.end;
        }
    }
    subpath.closed = closed;
    open_ = false;
}

Rect FlatPath::bounds() const {
    return boundingRect(points_);
}

} // namespace gfx
