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

} // namespace gfx
