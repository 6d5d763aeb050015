#include "model/AccentColor.h"

#include "platform/toolkit/Application.h"
#include "platform/toolkit/View.h"
#include "platform/toolkit/Window.h"

#include <cmath>

namespace pulsedeck {

namespace {

// Above this relative luminance black text has the better contrast.
constexpr double blackTextLuminance = 0.179;

gfx::Color& sharedAccent() {
    static gfx::Color accent = initialAccentColor;
    return accent;
}

double linearized(double component) {
    return component <= 0.04045 ? component / 12.92 : std::pow((component + 0.055) / 1.055, 2.4);
}

} // namespace

gfx::Color accentColor() {
    return sharedAccent();
}

bool applyAccentColor(const gfx::Color& color) {
    auto& accent = sharedAccent();
    if (accent == color) {
        return false;
    }
    accent = color;
    if (auto* application = ui::Application::current()) {
        for (const auto& window : application->windows()) {
            if (const auto& content = window->contentView()) {
                setNeedsDisplayRecursively(*content);
            }
        }
    }
    return true;
}

void setNeedsDisplayRecursively(ui::View& view) {
    view.setNeedsDisplay(true);
    for (const auto& subview : view.subviews()) {
        setNeedsDisplayRecursively(*subview);
    }
}

gfx::Color contrastingTextColor(const gfx::Color& background) {
    auto srgb = background.usingSRGB().value_or(initialAccentColor);
    double luminance = 0.2126 * linearized(srgb.red()) + 0.7152 * linearized(srgb.green()) +
                       0.0722 * linearized(srgb.blue());
    return luminance > blackTextLuminance ? gfx::Color::black() : gfx::Color::white();
}

gfx::Color contrastingTextColor() {
    return contrastingTextColor(accentColor());
}

} // namespace pulsedeck
