#pragma once

#include "platform/graphics/Appearance.h"

#include <optional>

namespace gfx {

// An sRGB colour with alpha, components 0…1 (not premultiplied). A colour may be dynamic: it then
// holds one resolution per appearance and the drawing context picks the one for its appearance
// when the colour is set, so one semantic colour serves both appearances. Plain colours hold the
// same value for both. Calibrated and device grey are both treated as sRGB grey.
class Color {
public:
    constexpr Color() = default;
    constexpr Color(double red, double green, double blue, double alpha = 1)
        : light_{red, green, blue, alpha}, dark_{red, green, blue, alpha} {}

    static constexpr Color srgb(double red, double green, double blue, double alpha = 1) {
        return {red, green, blue, alpha};
    }
    static constexpr Color grey(double white, double alpha = 1) {
        return {white, white, white, alpha};
    }
    static constexpr Color white() { return grey(1); }
    static constexpr Color black() { return grey(0); }
    static constexpr Color clear() { return grey(0, 0); }
    static Color dynamic(const Color& light, const Color& dark);

    // Semantic colours: our own values, recorded in docs/platform.md.
    static Color label();
    static Color secondaryLabel();
    static Color tertiaryLabel();
    static Color separator();
    static Color systemRed();

    bool isDynamic() const { return !(light_ == dark_); }
    // The plain colour this one is in the given appearance.
    Color resolved(Appearance appearance) const;

    // Components of the light resolution; resolve a dynamic colour first to read the dark one.
    double red() const { return light_.red; }
    double green() const { return light_.green; }
    double blue() const { return light_.blue; }
    double alpha() const { return light_.alpha; }

    // The same colour (both resolutions) with its alpha replaced.
    Color withAlpha(double alpha) const;
    // The colour as plain sRGB in the appearance; nothing when it has no sRGB form (a component
    // that is not a finite number, as a colour decoded from damaged data may have).
    std::optional<Color> usingSRGB(Appearance appearance = Appearance::light) const;
    // Mixes fraction of other into this colour (0 → this, 1 → other), per resolution.
    Color blended(double fraction, const Color& other) const;

    friend bool operator==(const Color&, const Color&) = default;

private:
    struct Components {
        double red = 0, green = 0, blue = 0, alpha = 0;
        friend bool operator==(const Components&, const Components&) = default;
    };
    Components light_;
    Components dark_;
};

} // namespace gfx
