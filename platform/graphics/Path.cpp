#include "platform/graphics/Path.h"

#include "platform/graphics/Context.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace gfx {

namespace {

constexpr double degreesToRadians = std::numbers::pi / 180.0;
// Control-point distance for a quarter circle of radius 1 drawn as one cubic.
constexpr double quarterKappa = 0.5522847498307936;

Point cubicAt(const Point& p0, const Point& p1, const Point& p2, const Point& p3, double t) {
    double u = 1 - t;
    double a = u * u * u, b = 3 * u * u * t, c = 3 * u * t * t, d = t * t * t;
    return {a * p0.x + b * p1.x + c * p2.x + d * p3.x, a * p0.y + b * p1.y + c * p2.y + d * p3.y};
}

// Parameters in (0, 1) where one coordinate of a cubic has a turning point.
int cubicExtrema(double p0, double p1, double p2, double p3, double out[2]) {
    double c0 = p1 - p0, c1 = p2 - p1, c2 = p3 - p2;
    double a = c0 - 2 * c1 + c2;
    double b = 2 * (c1 - c0);
    double c = c0;
    int count = 0;
    auto keep = [&](double t) {
        if (t > 0 && t < 1) {
            out[count++] = t;
        }
    };
    if (std::fabs(a) < 1e-12) {
        if (std::fabs(b) > 1e-12) {
            keep(-c / b);
        }
        return count;
    }
    double discriminant = b * b - 4 * a * c;
    if (discriminant < 0) {
        return 0;
    }
    double root = std::sqrt(discriminant);
    keep((-b + root) / (2 * a));
    keep((-b - root) / (2 * a));
    return count;
}

// The sweep of an arc in degrees, signed by direction: ±360 for a sweep of a full turn or
// more, otherwise the distance from start to end going the asked way, in [0, 360).
double arcSweepDegrees(double startDegrees, double endDegrees, bool clockwise) {
    double delta = endDegrees - startDegrees;
    constexpr double fullTurnTolerance = 1e-9;
    if (std::fabs(delta) >= 360.0 - fullTurnTolerance) {
        return clockwise ? -360.0 : 360.0;
    }
    double forward = clockwise ? -delta : delta;
    forward = std::fmod(forward, 360.0);
    if (forward < 0) {
        forward += 360.0;
    }
    return clockwise ? -forward : forward;
}

} // namespace

Path Path::rect(const Rect& rect) {
    Path path;
    path.appendRect(rect);
    return path;
}

Path Path::oval(const Rect& rect) {
    Path path;
    path.appendOval(rect);
    return path;
}

Path Path::roundedRect(const Rect& rect, double xRadius, double yRadius) {
    Path path;
    path.appendRoundedRect(rect, xRadius, yRadius);
    return path;
}

void Path::moveTo(Point point) {
    elements_.push_back({ElementKind::moveTo, {point, {}, {}}});
    subpathStart_ = point;
}

void Path::lineTo(Point point) {
    if (!currentPoint()) {
        moveTo(point);
        return;
    }
    elements_.push_back({ElementKind::lineTo, {point, {}, {}}});
}

void Path::curveTo(Point end, Point control1, Point control2) {
    if (!currentPoint()) {
        moveTo(control1);
    }
    elements_.push_back({ElementKind::curveTo, {control1, control2, end}});
}

void Path::close() {
    if (elements_.empty() || elements_.back().kind == ElementKind::closePath) {
        return;
    }
    elements_.push_back({ElementKind::closePath, {}});
}

std::optional<Point> Path::currentPoint() const {
    if (elements_.empty()) {
        return std::nullopt;
    }
    const Element& last = elements_.back();
    switch (last.kind) {
    case ElementKind::moveTo:
    case ElementKind::lineTo:
        return last.points[0];
    case ElementKind::curveTo:
        return last.points[2];
    case ElementKind::closePath:
        return subpathStart_;
    }
    return std::nullopt;
}

void Path::appendArc(Point center, double radius, double startDegrees, double endDegrees,
                     bool clockwise) {
    if (!std::isfinite(center.x) || !std::isfinite(center.y) || !std::isfinite(radius) ||
        !std::isfinite(startDegrees) || !std::isfinite(endDegrees)) {
        return;
    }
    double sweep = arcSweepDegrees(startDegrees, endDegrees, clockwise);
    appendArcSweep(center, radius, startDegrees * degreesToRadians, sweep * degreesToRadians);
}

void Path::addArc(Point center, double radius, double startRadians, double endRadians,
                  bool clockwise) {
    constexpr double radiansToDegrees = 180.0 / std::numbers::pi;
    appendArc(center, radius, startRadians * radiansToDegrees, endRadians * radiansToDegrees,
              clockwise);
}

void Path::appendArcSweep(Point center, double radius, double start, double sweep) {
    Point first{center.x + radius * std::cos(start), center.y + radius * std::sin(start)};
    if (currentPoint()) {
        lineTo(first);
    } else {
        moveTo(first);
    }
    if (sweep == 0 || radius == 0) {
        return;
    }
    int segments = std::max(1, int(std::ceil(std::fabs(sweep) / (std::numbers::pi / 2) - 1e-9)));
    double step = sweep / segments;
    double k = 4.0 / 3.0 * std::tan(step / 4) * radius;
    double a0 = start;
    for (int i = 0; i < segments; ++i) {
        double a1 = start + step * (i + 1);
        Point p0{center.x + radius * std::cos(a0), center.y + radius * std::sin(a0)};
        Point p3{center.x + radius * std::cos(a1), center.y + radius * std::sin(a1)};
        Point c1{p0.x - k * std::sin(a0), p0.y + k * std::cos(a0)};
        Point c2{p3.x + k * std::sin(a1), p3.y - k * std::cos(a1)};
        elements_.push_back({ElementKind::curveTo, {c1, c2, p3}});
        a0 = a1;
    }
}

void Path::appendRect(const Rect& r) {
    moveTo({r.x(), r.y()});
    lineTo({r.x() + r.width(), r.y()});
    lineTo({r.x() + r.width(), r.y() + r.height()});
    lineTo({r.x(), r.y() + r.height()});
    close();
}

void Path::appendOval(const Rect& rect) {
    Rect r = rect.standardized();
    double rx = r.width() / 2, ry = r.height() / 2;
    double kx = rx * quarterKappa, ky = ry * quarterKappa;
    double cx = r.midX(), cy = r.midY();
    moveTo({r.maxX(), cy});
    curveTo({cx, r.maxY()}, {r.maxX(), cy + ky}, {cx + kx, r.maxY()});
    curveTo({r.minX(), cy}, {cx - kx, r.maxY()}, {r.minX(), cy + ky});
    curveTo({cx, r.minY()}, {r.minX(), cy - ky}, {cx - kx, r.minY()});
    curveTo({r.maxX(), cy}, {cx + kx, r.minY()}, {r.maxX(), cy - ky});
    close();
}

void Path::appendRoundedRect(const Rect& rect, double xRadius, double yRadius) {
    Rect r = rect.standardized();
    double rx = std::clamp(xRadius, 0.0, r.width() / 2);
    double ry = std::clamp(yRadius, 0.0, r.height() / 2);
    if (!(rx > 0 && ry > 0)) {
        appendRect(r);
        return;
    }
    double kx = rx * (1 - quarterKappa), ky = ry * (1 - quarterKappa);
    double x0 = r.minX(), x1 = r.maxX(), y0 = r.minY(), y1 = r.maxY();
    moveTo({x0 + rx, y0});
    lineTo({x1 - rx, y0});
    curveTo({x1, y0 + ry}, {x1 - kx, y0}, {x1, y0 + ky});
    lineTo({x1, y1 - ry});
    curveTo({x1 - rx, y1}, {x1, y1 - ky}, {x1 - kx, y1});
    lineTo({x0 + rx, y1});
    curveTo({x0, y1 - ry}, {x0 + kx, y1}, {x0, y1 - ky});
    lineTo({x0, y0 + ry});
    curveTo({x0 + rx, y0}, {x0, y0 + ky}, {x0 + kx, y0});
    close();
}

void Path::appendPolygon(const std::vector<Point>& points) {
    if (points.empty()) {
        return;
    }
    moveTo(points.front());
    for (std::size_t i = 1; i < points.size(); ++i) {
        lineTo(points[i]);
    }
    close();
}

void Path::appendPath(const Path& other) {
    for (const Element& e : other.elements_) {
        elements_.push_back(e);
        if (e.kind == ElementKind::moveTo) {
            subpathStart_ = e.points[0];
        }
    }
}

void Path::transform(const AffineTransform& t) {
    for (Element& e : elements_) {
        for (Point& p : e.points) {
            p = t.apply(p);
        }
    }
    if (subpathStart_) {
        subpathStart_ = t.apply(*subpathStart_);
    }
}

bool Path::isFinite() const {
    for (const Element& e : elements_) {
        int count = e.kind == ElementKind::curveTo ? 3 : e.kind == ElementKind::closePath ? 0 : 1;
        for (int i = 0; i < count; ++i) {
            if (!std::isfinite(e.points[i].x) || !std::isfinite(e.points[i].y)) {
                return false;
            }
        }
    }
    return true;
}

Path Path::transformed(const AffineTransform& t) const {
    Path copy = *this;
    copy.transform(t);
    return copy;
}

Rect Path::bounds() const {
    bool any = false;
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    auto include = [&](Point p) {
        if (!any) {
            x0 = x1 = p.x;
            y0 = y1 = p.y;
            any = true;
            return;
        }
        x0 = std::min(x0, p.x);
        x1 = std::max(x1, p.x);
        y0 = std::min(y0, p.y);
        y1 = std::max(y1, p.y);
    };
    Point current{};
    for (const Element& e : elements_) {
        switch (e.kind) {
        case ElementKind::moveTo:
        case ElementKind::lineTo:
            current = e.points[0];
            include(current);
            break;
        case ElementKind::curveTo: {
            const Point& p1 = e.points[0];
            const Point& p2 = e.points[1];
            const Point& p3 = e.points[2];
            double ts[2];
            int n = cubicExtrema(current.x, p1.x, p2.x, p3.x, ts);
            for (int i = 0; i < n; ++i) {
                include(cubicAt(current, p1, p2, p3, ts[i]));
            }
            n = cubicExtrema(current.y, p1.y, p2.y, p3.y, ts);
            for (int i = 0; i < n; ++i) {
                include(cubicAt(current, p1, p2, p3, ts[i]));
            }
            include(p3);
            current = p3;
            break;
        }
        case ElementKind::closePath:
            break;
        }
    }
    return any ? Rect{x0, y0, x1 - x0, y1 - y0} : Rect{};
}

bool Path::containsPoint(Point point) const {
    // Winding number over the outline flattened to short lines; every subpath counts as closed.
    int winding = 0;
    int crossings = 0;
    auto edge = [&](Point a, Point b) {
        if ((a.y <= point.y) != (b.y <= point.y)) {
            double x = a.x + (point.y - a.y) / (b.y - a.y) * (b.x - a.x);
            if (x > point.x) {
                winding += b.y > a.y ? 1 : -1;
                ++crossings;
            }
        }
    };
    Point start{}, current{};
    bool open = false;
    for (const Element& e : elements_) {
        switch (e.kind) {
        case ElementKind::moveTo:
            if (open) {
                edge(current, start);
            }
            start = current = e.points[0];
            open = true;
            break;
        case ElementKind::lineTo:
            edge(current, e.points[0]);
            current = e.points[0];
            break;
        case ElementKind::curveTo: {
            constexpr int steps = 16;
            Point previous = current;
            for (int i = 1; i <= steps; ++i) {
                Point next =
                    cubicAt(current, e.points[0], e.points[1], e.points[2], double(i) / steps);
                edge(previous, next);
                previous = next;
            }
            current = e.points[2];
            break;
        }
        case ElementKind::closePath:
            edge(current, start);
            current = start;
            open = false;
            break;
        }
    }
    if (open) {
        edge(current, start);
    }
    return windingRule_ == WindingRule::evenOdd ? (crossings % 2) != 0 : winding != 0;
}

void Path::fill(Context& context) const {
    context.fill(*this, windingRule_);
}

void Path::stroke(Context& context) const {
    Context::SavedState saved(context);
    context.setLineWidth(lineWidth_);
    context.setLineCap(lineCap_);
    context.setLineJoin(lineJoin_);
    context.setMiterLimit(miterLimit_);
    context.stroke(*this);
}

void Path::addClip(Context& context) const {
    context.clip(*this, windingRule_);
}

} // namespace gfx
