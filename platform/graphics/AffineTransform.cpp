#include "platform/graphics/AffineTransform.h"

#include <algorithm>
#include <numbers>

namespace gfx {

AffineTransform AffineTransform::rotationRadians(double radians) {
    double cosine = std::cos(radians);
    double sine = std::sin(radians);
    return {cosine, sine, -sine, cosine, 0, 0};
}

AffineTransform AffineTransform::rotationDegrees(double degrees) {
    // Exact values at the right angles, so a quarter turn maps whole points to whole points.
    double turns = std::fmod(degrees, 360.0);
    if (turns < 0) {
        turns += 360.0;
    }
    if (turns == 0) {
        return {};
    }
    if (turns == 90) {
        return {0, 1, -1, 0, 0, 0};
    }
    if (turns == 180) {
        return {-1, 0, 0, -1, 0, 0};
    }
    if (turns == 270) {
        return {0, -1, 1, 0, 0, 0};
    }
    return rotationRadians(degrees * std::numbers::pi / 180.0);
}

AffineTransform AffineTransform::concatenating(const AffineTransform& o) const {
    return {a * o.a + b * o.c, a * o.b + b * o.d,          c * o.a + d * o.c,
            c * o.b + d * o.d, tx * o.a + ty * o.c + o.tx, tx * o.b + ty * o.d + o.ty};
}

AffineTransform AffineTransform::translatedBy(double dx, double dy) const {
    return translation(dx, dy).concatenating(*this);
}

AffineTransform AffineTransform::scaledBy(double sx, double sy) const {
    return scaling(sx, sy).concatenating(*this);
}

AffineTransform AffineTransform::rotatedByRadians(double radians) const {
    return rotationRadians(radians).concatenating(*this);
}

AffineTransform AffineTransform::rotatedByDegrees(double degrees) const {
    return rotationDegrees(degrees).concatenating(*this);
}

std::optional<AffineTransform> AffineTransform::inverted() const {
    double determinant = a * d - b * c;
    if (determinant == 0 || !std::isfinite(determinant)) {
        return std::nullopt;
    }
    double ia = d / determinant;
    double ib = -b / determinant;
    double ic = -c / determinant;
    double id = a / determinant;
    return AffineTransform{ia, ib, ic, id, -(tx * ia + ty * ic), -(tx * ib + ty * id)};
}

Rect AffineTransform::apply(const Rect& r) const {
    const Point corners[] = {apply(Point{r.minX(), r.minY()}), apply(Point{r.maxX(), r.minY()}),
                             apply(Point{r.minX(), r.maxY()}), apply(Point{r.maxX(), r.maxY()})};
    return boundingRect(corners);
}

} // namespace gfx
