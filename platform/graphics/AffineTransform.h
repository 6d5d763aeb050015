#pragma once

#include "platform/graphics/Geometry.h"

#include <optional>

namespace gfx {

// x' = a·x + c·y + tx, y' = b·x + d·y + ty — cairo's layout of the six
// numbers. Operations that return a transform apply the new step first, then this one, the way
// the context's translateBy/rotateBy/scaleBy do on its current transform.
struct AffineTransform {
    double a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0;

    friend bool operator==(const AffineTransform&, const AffineTransform&) = default;

    static AffineTransform identity() { return {}; }
    static AffineTransform translation(double dx, double dy) { return {1, 0, 0, 1, dx, dy}; }
    static AffineTransform scaling(double sx, double sy) { return {sx, 0, 0, sy, 0, 0}; }
    static AffineTransform rotationRadians(double radians);
    static AffineTransform rotationDegrees(double degrees);

    bool isIdentity() const { return *this == AffineTransform{}; }

    AffineTransform translatedBy(double dx, double dy) const;
    AffineTransform scaledBy(double sx, double sy) const;
    AffineTransform rotatedByRadians(double radians) const;
    AffineTransform rotatedByDegrees(double degrees) const;
    // This transform followed by other: p → other(this(p)).
    AffineTransform concatenating(const AffineTransform& other) const;
    // Nothing when the transform cannot be inverted (a zero scale).
    std::optional<AffineTransform> inverted() const;

    Point apply(Point p) const { return {a * p.x + c * p.y + tx, b * p.x + d * p.y + ty}; }
    Size applyToSize(Size s) const {
        return {a * s.width + c * s.height, b * s.width + d * s.height};
    }
    // The bounding box of the transformed rectangle.
    Rect apply(const Rect& r) const;
};

} // namespace gfx
