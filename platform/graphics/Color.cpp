#include "platform/graphics/Color.h"

#include <algorithm>
#include <cmath>

namespace gfx {

Color Color::dynamic(const Color& light, const Color& dark) {
    Color color;
    color.light_ = light.light_;
    color.dark_ = dark.dark_;
    return color;
}

Color Color::label() {
    return dynamic(grey(0, 0.85), grey(1, 0.85));
}

Color Color::secondaryLabel() {
    return dynamic(grey(0, 0.5), grey(1, 0.55));
}

Color Color::tertiaryLabel() {
    return dynamic(grey(0, 0.26), grey(1, 0.25));
}

Color Color::separator() {
    return dynamic(grey(0, 0.1), grey(1, 0.1));
}

Color Color::systemRed() {
    return dynamic(srgb(1, 0.231, 0.188), srgb(1, 0.271, 0.227));
}

Color Color::resolved(Appearance appearance) const {
    const Components& c = appearance == Appearance::dark ? dark_ : light_;
    return {c.red, c.green, c.blue, c.alpha};
}

Color Color::withAlpha(double alpha) const {
    Color color = *this;
    color.light_.alpha = alpha;
    color.dark_.alpha = alpha;
    return color;
}

std::optional<Color> Color::usingSRGB(Appearance appearance) const {
    Color plain = resolved(appearance);
    const Components& c = plain.light_;
    if (!std::isfinite(c.red) || !std::isfinite(c.green) || !std::isfinite(c.blue) ||
        !std::isfinite(c.alpha)) {
        return std::nullopt;
    }
    return plain;
}

Color Color::blended(double fraction, const Color& other) const {
    double f = std::clamp(fraction, 0.0, 1.0);
    auto mix = [f](const Components& a, const Components& b) {
        return Components{a.red + (b.red - a.red) * f, a.green + (b.green - a.green) * f,
                          a.blue + (b.blue - a.blue) * f, a.alpha + (b.alpha - a.alpha) * f};
    };
    Color color;
    color.light_ = mix(light_, other.light_);
    color.dark_ = mix(dark_, other.dark_);
    return color;
}

} // namespace gfx
