#pragma once

#include <cmath>
#include <span>

// Points, sizes and rectangles in points. The toolkit's space has its origin at the bottom
// left and y growing upwards; nothing here depends on that, except the names minY and maxY, which
// are the bottom and the top edge of a rectangle in that space.
namespace gfx {

// Rounds halves away from zero (2.5 → 3, −2.5 → −3), as the drawing code expects; std::round
// does the same, named here so callers say which rounding they mean.
inline double roundHalfAwayFromZero(double value) {
    return std::round(value);
}

struct Point {
    double x = 0;
    double y = 0;

    friend bool operator==(const Point&, const Point&) = default;
    Point offsetBy(double dx, double dy) const { return {x + dx, y + dy}; }
    double distanceTo(Point other) const { return std::hypot(other.x - x, other.y - y); }
};

struct Size {
    double width = 0;
    double height = 0;

    friend bool operator==(const Size&, const Size&) = default;
};

struct Rect {
    Point origin;
    Size size;

    constexpr Rect() = default;
    constexpr Rect(Point origin, Size size) : origin(origin), size(size) {}
    constexpr Rect(double x, double y, double width, double height)
        : origin{x, y}, size{width, height} {}

    friend bool operator==(const Rect&, const Rect&) = default;

    double x() const { return origin.x; }
    double y() const { return origin.y; }
    double width() const { return size.width; }
    double height() const { return size.height; }

    // Edges of the standardised rectangle, so a negative width or height still reads sensibly.
    double minX() const { return std::fmin(origin.x, origin.x + size.width); }
    double maxX() const { return std::fmax(origin.x, origin.x + size.width); }
    double midX() const { return origin.x + size.width / 2; }
    double minY() const { return std::fmin(origin.y, origin.y + size.height); }
    double maxY() const { return std::fmax(origin.y, origin.y + size.height); }
    double midY() const { return origin.y + size.height / 2; }
    Point center() const { return {midX(), midY()}; }

    // True when the rectangle covers no area (zero or negative extent, or not a number).
    bool isEmpty() const { return !(size.width > 0 && size.height > 0); }

    Rect standardized() const { return {minX(), minY(), maxX() - minX(), maxY() - minY()}; }
    Rect insetBy(double dx, double dy) const;
    Rect offsetBy(double dx, double dy) const {
        return {origin.x + dx, origin.y + dy, size.width, size.height};
    }
    // The smallest rectangle holding both; an empty operand does not count.
    Rect unionWith(const Rect& other) const;
    // The common part, or the zero rectangle when they do not overlap.
    Rect intersection(const Rect& other) const;
    bool intersects(const Rect& other) const { return !intersection(other).isEmpty(); }
    // Half-open on the max edges, so rects that share an edge never both hold a point.
    bool contains(Point point) const;
    bool contains(const Rect& other) const;
    // The smallest rectangle of whole numbers holding this one.
    Rect integral() const;
};

// The smallest rect holding every point; the zero rect when there are none.
Rect boundingRect(std::span<const Point> points);

} // namespace gfx
