#include "platform/graphics/CairoPointLimit.h"

#include <algorithm>
#include <cmath>

namespace gfx {

namespace {

// A quarter of the fixed-point range, leaving cairo room for strokes and its own rounding.
constexpr double deviceLimit = 1 << 21;

} // namespace

CairoPointLimit::CairoPointLimit(cairo_t* cr) {
    cairo_get_matrix(cr, &toDevice_);
    toUser_ = toDevice_;
    // cairo refuses a singular matrix, so the current one always inverts.
    cairo_matrix_invert(&toUser_);
}

Point CairoPointLimit::operator()(Point user) const {
    double x = user.x, y = user.y;
    cairo_matrix_transform_point(&toDevice_, &x, &y);
    if (std::fabs(x) <= deviceLimit && std::fabs(y) <= deviceLimit) {
        return user;
    }
    x = std::clamp(x, -deviceLimit, deviceLimit);
    y = std::clamp(y, -deviceLimit, deviceLimit);
    cairo_matrix_transform_point(&toUser_, &x, &y);
    return {x, y};
}

} // namespace gfx
