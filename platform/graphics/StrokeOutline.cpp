#include "platform/graphics/StrokeOutline.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
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
// two segments' inner edges cross, so that neither reaches into the other. Each segment gives up
// `trim` of its inner edge to the corner; when one is too short for that (a sharp turn between
// short segments) the corner is not trimmed: the segments keep their square ends and overlap,
// with the bevel's triangle from the corner point between them.
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

    // Each run of segments whose corners all meet inside is one polygon: down the left edges and
    // back up the right ones, the bevels on the outer side and the crossing on the inner side.
    // A run is a clockwise turn whatever its direction, as is every corner triangle between runs.
    std::vector<Point> left, right, polygon;
    for (std::size_t first = 0; first < segments.size();) {
        std::size_t last = first;
        while (last + 1 < segments.size() && joins[last + 1].trimmed) {
            ++last;
        }
        left.assign({plus(segments[first].from, segments[first].normal)});
        right.assign({minus(segments[first].from, segments[first].normal)});
        for (std::size_t k = first + 1; k <= last; ++k) {
            const Join& join = joins[k];
            Point corner = segments[k].from;
            Point in = segments[k - 1].normal, out = segments[k].normal;
            if (join.turnsLeft) {
                left.push_back(join.inner);
                right.push_back(minus(corner, in));
                right.push_back(minus(corner, out));
            } else {
                right.push_back(join.inner);
                left.push_back(plus(corner, in));
                left.push_back(plus(corner, out));
            }
        }
        left.push_back(plus(segments[last].to, segments[last].normal));
        right.push_back(minus(segments[last].to, segments[last].normal));
        polygon.assign(left.begin(), left.end());
        polygon.insert(polygon.end(), right.rbegin(), right.rend());
        piece(polygon);

        std::size_t next = last + 1;
        if (next < segments.size() && joins[next].bends) {
            const Join& join = joins[next];
            Point corner = segments[next].from;
            Point in = segments[last].normal, out = segments[next].normal;
            Point a = join.turnsLeft ? minus(corner, in) : plus(corner, in);
            Point b = join.turnsLeft ? minus(corner, out) : plus(corner, out);
            double area = signedArea(corner, a, b);
            if (area != 0) {
                Point triangle[3] = {corner, area < 0 ? a : b, area < 0 ? b : a};
                piece(triangle);
            }
        }
        first = next;
    }
}

bool convexRingStrokeOutline(std::span<const Point> polygon, double width, LineJoin join,
                             double miterLimit, double tolerance, const OutlinePiece& piece) {
    std::size_t n = polygon.size();
    if (n < 3 || !(width > 0) || !std::isfinite(width)) {
        return false;
    }
    double area = 0;
    for (std::size_t i = 0; i < n; ++i) {
        area += cross(polygon[i], polygon[(i + 1) % n]);
    }
    if (!(std::fabs(area) > 0)) {
        return false;
    }
    // Walk the corners so that every turn is to the left (positive cross products).
    auto corner = [&](std::size_t i) {
        return area > 0 ? polygon[i % n] : polygon[(n - i % n) % n];
    };
    double half = width / 2;
    std::vector<Point> directions(n);
    for (std::size_t i = 0; i < n; ++i) {
        Point d = minus(corner(i + 1), corner(i));
        double length = std::hypot(d.x, d.y);
        if (!(length > 0)) {
            return false;
        }
        directions[i] = {d.x / length, d.y / length};
    }
    // A convex polygon turns left at every corner and a whole turn in all. A corner within
    // rounding of straight counts as straight.
    double turning = 0;
    for (std::size_t i = 0; i < n; ++i) {
        Point in = directions[(i + n - 1) % n], out = directions[i];
        double turn = cross(in, out);
        if (turn < -1e-9) {
            return false;
        }
        turning += std::atan2(std::max(turn, 0.0), dot(in, out));
    }
    if (std::fabs(turning - 2 * std::numbers::pi) > 1e-6) {
        return false;
    }

    std::vector<Point> outer, inner;
    outer.reserve(2 * n);
    inner.reserve(n);
    for (std::size_t i = 0; i < n; ++i) {
        Point in = directions[(i + n - 1) % n], out = directions[i];
        Point at = corner(i);
        // Outward is to the right of the direction of travel.
        Point normalIn{in.y * half, -in.x * half}, normalOut{out.y * half, -out.x * half};
        double along = 1 + dot(in, out);
        if (!(along > 1e-12)) {
            return false;
        }
        Point sum = plus(normalIn, normalOut);
        inner.push_back({at.x - sum.x / along, at.y - sum.y / along});
        double turn = std::max(cross(in, out), 0.0);
        if (turn == 0) {
            outer.push_back(plus(at, normalIn));
            continue;
        }
        bool miters = join == LineJoin::miter && 2 <= miterLimit * miterLimit * along;
        if (miters) {
            outer.push_back({at.x + sum.x / along, at.y + sum.y / along});
            continue;
        }
        outer.push_back(plus(at, normalIn));
        if (join == LineJoin::round) {
            double angle = std::atan2(turn, dot(in, out));
            double step = 2 * std::acos(std::max(0.0, 1 - tolerance / half));
            int chords = std::max(1, int(std::ceil(angle / std::max(step, 1e-3))));
            double start = std::atan2(normalIn.y, normalIn.x);
            for (int k = 1; k < chords; ++k) {
                double a = start + angle * k / chords;
                outer.push_back({at.x + half * std::cos(a), at.y + half * std::sin(a)});
            }
        }
        outer.push_back(plus(at, normalOut));
    }
    // Pulled in by half the width, every side must keep its direction, or the hole has closed.
    for (std::size_t i = 0; i < n; ++i) {
        if (!(dot(minus(inner[(i + 1) % n], inner[i]), directions[i]) > 0)) {
            return false;
        }
    }
    // Both rings turn left here; bevelStrokeOutline's pieces turn right.
    std::reverse(outer.begin(), outer.end());
    piece(outer);
    piece(inner);
    return true;
}

} // namespace gfx
