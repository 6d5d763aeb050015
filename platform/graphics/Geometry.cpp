#include "platform/graphics/Geometry.h"

#include <algorithm>

namespace gfx {

Rect Rect::insetBy(double dx, double dy) const {
    Rect r = standardized();
    Rect inset{r.origin.x + dx, r.origin.y + dy, r.size.width - 2 * dx, r.size.height - 2 * dy};
    if (inset.size.width < 0 || inset.size.height < 0) {
        return {};
    }
    return inset;
}

Rect Rect::unionWith(const Rect& other) const {
    if (isEmpty()) {
        return other.isEmpty() ? Rect{} : other.standardized();
    }
    if (other.isEmpty()) {
        return standardized();
    }
    double x0 = std::fmin(minX(), other.minX());
    double y0 = std::fmin(minY(), other.minY());
    double x1 = std::fmax(maxX(), other.maxX());
    double y1 = std::fmax(maxY(), other.maxY());
    return {x0, y0, x1 - x0, y1 - y0};
}

Rect Rect::intersection(const Rect& other) const {
    double x0 = std::fmax(minX(), other.minX());
    double y0 = std::fmax(minY(), other.minY());
    double x1 = std::fmin(maxX(), other.maxX());
    double y1 = std::fmin(maxY(), other.maxY());
    if (!(x1 > x0 && y1 > y0)) {
        return {};
    }
    return {x0, y0, x1 - x0, y1 - y0};
}

bool Rect::contains(Point point) const {
    return point.x >= minX() && point.x < maxX() && point.y >= minY() && point.y < maxY();
}

bool Rect::contains(const Rect& other) const {
    if (isEmpty() || other.isEmpty()) {
        return false;
    }
    return other.minX() >= minX() && other.maxX() <= maxX() && other.minY() >= minY() &&
           other.maxY() <= maxY();
}

Rect Rect::integral() const {
    if (isEmpty()) {
        return {};
    }
    double x0 = std::floor(minX());
    double y0 = std::floor(minY());
    return {x0, y0, std::ceil(maxX()) - x0, std::ceil(maxY()) - y0};
}

Rect boundingRect(std::span<const Point> points) {
    if (points.empty()) {
        return {};
    }
    double x0 = points[0].x, x1 = x0, y0 = points[0].y, y1 = y0;
    for (const Point& p : points) {
        x0 = std::min(x0, p.x);
        x1 = std::max(x1, p.x);
        y0 = std::min(y0, p.y);
        y1 = std::max(y1, p.y);
    }
    return {x0, y0, x1 - x0, y1 - y0};
}

} // namespace gfx
