#pragma once

#include "platform/graphics/AffineTransform.h"
#include "platform/graphics/Geometry.h"

#include <memory>
#include <optional>
#include <vector>

namespace gfx {

class Context;

enum class LineCap { butt, round, square };
enum class LineJoin { miter, round, bevel };
enum class WindingRule { nonZero, evenOdd };

// A bezier path in user space (points, y up), made of subpaths of lines and cubic curves. Arcs,
// ovals and rounded rects are stored as cubic curves, so a path is independent of any context
// and can be measured, transformed and copied freely. It carries
// its own line width, cap, join and winding rule, which fill and stroke use.
class Path {
public:
    enum class ElementKind { moveTo, lineTo, curveTo, closePath };
    struct Element {
        ElementKind kind;
        // moveTo/lineTo: points[0]; curveTo: control 1, control 2, end point; closePath: none.
        Point points[3];
    };

    static Path rect(const Rect& rect);
    static Path oval(const Rect& rect);
    static Path roundedRect(const Rect& rect, double xRadius, double yRadius);

    void moveTo(Point point);
    void lineTo(Point point);
    void curveTo(Point end, Point control1, Point control2);
    void close();

    // An arc about center; angles in degrees measured anticlockwise from +x in y-up space, so
    // clockwise means decreasing angles. A sweep of 360° or more either way is a full circle;
    // otherwise the sweep runs from start to end in the given direction (0…360°). The arc is
    // joined to the current point by a line, or begins a subpath when there is none. Angles,
    // centre or radius that are not finite add nothing.
    void appendArc(Point center, double radius, double startDegrees, double endDegrees,
                   bool clockwise);
    // The same with angles in radians (the plain path interface's form).
    void addArc(Point center, double radius, double startRadians, double endRadians,
                bool clockwise);
    void appendRect(const Rect& rect);
    void appendOval(const Rect& rect);
    // Radii are clamped to half the rectangle's width and height; zero radii give a plain rect.
    void appendRoundedRect(const Rect& rect, double xRadius, double yRadius);
    void appendPolygon(const std::vector<Point>& points);
    void appendPath(const Path& other);

    void transform(const AffineTransform& transform);
    Path transformed(const AffineTransform& transform) const;

    bool isEmpty() const { return elements_.empty(); }
    // Whether every coordinate is a finite number.
    bool isFinite() const;
    const std::vector<Element>& elements() const { return elements_; }
    // The current point: the end of the last element, or the start of the last closed subpath.
    std::optional<Point> currentPoint() const;
    // The tight bounds of the drawn outline (curve extrema, not control points), before any
    // stroke width; the zero rect for an empty path.
    Rect bounds() const;
    // Whether the point lies inside the filled area under the path's winding rule.
    bool containsPoint(Point point) const;

    double lineWidth() const { return lineWidth_; }
    void setLineWidth(double width) { lineWidth_ = width; }
    LineCap lineCap() const { return lineCap_; }
    void setLineCap(LineCap cap) { lineCap_ = cap; }
    LineJoin lineJoin() const { return lineJoin_; }
    void setLineJoin(LineJoin join) { lineJoin_ = join; }
    double miterLimit() const { return miterLimit_; }
    void setMiterLimit(double limit) { miterLimit_ = limit; }
    WindingRule windingRule() const { return windingRule_; }
    void setWindingRule(WindingRule rule) { windingRule_ = rule; }

    // Fills with the context's fill colour, using this path's winding rule.
    void fill(Context& context) const;
    // Strokes with the context's stroke colour, using this path's line width, cap and join.
    void stroke(Context& context) const;
    // Intersects the context's clip with this path.
    void addClip(Context& context) const;

private:
    void appendArcSweep(Point center, double radius, double startRadians, double sweepRadians);

    std::vector<Element> elements_;
    std::optional<Point> subpathStart_;
    double lineWidth_ = 1;
    LineCap lineCap_ = LineCap::butt;
    LineJoin lineJoin_ = LineJoin::miter;
    double miterLimit_ = 10;
    WindingRule windingRule_ = WindingRule::nonZero;
};

// A path that no longer changes, cheap to copy and share (the plain path interface's paths,
// handed out by helpers and kept by their callers).
class ImmutablePath {
public:
    ImmutablePath() : path_(std::make_shared<const Path>()) {}
    explicit ImmutablePath(Path path) : path_(std::make_shared<const Path>(std::move(path))) {}

    const Path& path() const { return *path_; }
    const Path* operator->() const { return path_.get(); }
    const Path& operator*() const { return *path_; }

private:
    std::shared_ptr<const Path> path_;
};

} // namespace gfx
