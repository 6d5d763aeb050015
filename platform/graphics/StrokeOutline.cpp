#include "platform/graphics/StrokeOutline.h"

#include <cmath>
#include <limits>
#include <vector>

namespace gfx {

namespace {

double cross(Point a, Point b) {
    return a.x * b.y - a.y * b.x;
}

double dot(Point a, Point b) {
    return a.x * b.x + a.y * b.y;
}

Point plus(Point a, Point b) {
    return {a.x + b.x, a.y + b.y};
}

Point minus(Point a, Point b) {
    return {a.x - b.x, a.y - b.y};
}

// Twice the signed area of a triangle; negative for the turn every piece makes.
double signedArea(Point a, Point b, Point c) {
    return cross(minus(b, a), minus(c, a));
}

struct Segment {
    Point from;
    Point to;
    Point direction;
    // The left normal, half the width long.
    Point normal;
    double length = 0;
};

// Where two segments meet: on the outer side the bevel, on the inner side the point where the
// two segments' inner edges cross, so that neither piece reaches into the other. Each piece may
// give up `trim` of its inner edge to the corner; when a piece is too short for that (a sharp
// turn between short segments), the pieces keep their square ends and overlap instead.
struct Join {
    bool turnsLeft = false;
    bool bends = false;
    double trim = std::numeric_limits<double>::infinity();
    Point inner;
    bool trimmed = false;
};

} // namespace

void bevelStrokeOutline(std::span<const Point> polyline, double width, const OutlinePiece& piece) {
    if (!(width > 0)) {
        return;
    }
    double half = width / 2;
    std::vector<Segment> segments;
    segments.reserve(polyline.size());
    for (std::size_t i = 1, start = 0; i < polyline.size(); ++i) {
        Point from = polyline[start];
        Point to = polyline[i];
        double length = std::hypot(to.x - from.x, to.y - from.y);
        if (!(length > 0)) {
            continue;
        }
        Point direction{(to.x - from.x) / length, (to.y - from.y) / length};
        segments.push_back(
            {from, to, direction, {-direction.y * half, direction.x * half}, length});
        start = i;
    }

    // joins[k] is where segment k − 1 meets segment k.
    std::vector<Join> joins(segments.size() + 1);
    for (std::size_t k = 1; k < segments.size(); ++k) {
        const Segment& in = segments[k - 1];
        const Segment& out = segments[k];
        Join& join = joins[k];
        double turn = cross(in.direction, out.direction);
        double along = 1 + dot(in.direction, out.direction);
        join.turnsLeft = turn > 0;
        join.bends = turn != 0;
        if (along > 1e-9) {
            // The inner edges cross half the width times tan(angle / 2) short of the corner.
            join.trim = half * std::fabs(turn) / along;
            Point innerIn = join.turnsLeft ? in.normal : Point{-in.normal.x, -in.normal.y};
            Point innerOut = join.turnsLeft ? out.normal : Point{-out.normal.x, -out.normal.y};
            Point sum = plus(innerIn, innerOut);
            join.inner = {out.from.x + sum.x / along, out.from.y + sum.y / along};
        }
    }
    joins.front().trim = joins.back().trim = 0;
    for (std::size_t k = 1; k < segments.size(); ++k) {
        joins[k].trimmed = std::isfinite(joins[k].trim) &&
                           joins[k].trim + joins[k - 1].trim <= segments[k - 1].length &&
                           joins[k].trim + joins[k + 1].trim <= segments[k].length;
    }

    for (std::size_t k = 0; k < segments.size(); ++k) {
        const Segment& s = segments[k];
        Point leftStart = plus(s.from, s.normal), rightStart = minus(s.from, s.normal);
        Point leftEnd = plus(s.to, s.normal), rightEnd = minus(s.to, s.normal);
        const Join& start = joins[k];
        const Join& end = joins[k + 1];
        if (start.trimmed) {
            (start.turnsLeft ? leftStart : rightStart) = start.inner;
        }
        if (end.trimmed) {
            (end.turnsLeft ? leftEnd : rightEnd) = end.inner;
        }
        // Along the left edge and back along the right: a clockwise turn whatever the direction.
        Point quadrilateral[4] = {leftStart, leftEnd, rightEnd, rightStart};
        piece(quadrilateral);

        if (k + 1 < segments.size() && end.bends) {
            const Segment& next = segments[k + 1];
            Point a = end.turnsLeft ? minus(s.to, s.normal) : plus(s.to, s.normal);
            Point b = end.turnsLeft ? minus(s.to, next.normal) : plus(s.to, next.normal);
            Point apex = end.trimmed ? end.inner : s.to;
            double area = signedArea(apex, a, b);
            if (area != 0) {
                Point triangle[3] = {apex, area < 0 ? a : b, area < 0 ? b : a};
                piece(triangle);
            }
        }
    }
}

} // namespace gfx
