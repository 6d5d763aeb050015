#include "updates/WindowCloseButton.h"

#include "platform/graphics/Context.h"
#include "platform/graphics/Path.h"
#include "platform/toolkit/Window.h"

namespace pulsedeck {

WindowCloseButton::WindowCloseButton(const ui::View& container, gfx::Point inset)
    : View({inset.x - slack, container.bounds().height() - inset.y - discSize - slack,
            discSize + 2 * slack, discSize + 2 * slack}) {
    setAutoresizingMask(ui::Autoresizing::minYMargin);
    setAccessibilityElement(true);
    setAccessibilityRole(ui::AccessibilityRole::button);
}

bool WindowCloseButton::accessibilityPerformPress() {
    if (ui::Window* owner = window())
        owner->performClose();
    return true;
}

void WindowCloseButton::drawRect(gfx::Context& context, const gfx::Rect&) {
    const gfx::Rect disc{slack, slack, discSize, discSize};
    const gfx::Color red = gfx::Color::srgb(1.0, 0.37, 0.34);
    context.setFillColor(pressing_ ? red.blended(0.25, gfx::Color::black()) : red);
    context.fillEllipse(disc);
    context.setStrokeColor(gfx::Color::grey(0, 0.5));
    context.setLineWidth(1.2);
    const gfx::Rect cross = disc.insetBy(4, 4);
    gfx::Path path;
    path.moveTo({cross.minX(), cross.minY()});
    path.lineTo({cross.maxX(), cross.maxY()});
    path.moveTo({cross.minX(), cross.maxY()});
    path.lineTo({cross.maxX(), cross.minY()});
    context.stroke(path);
}

void WindowCloseButton::mouseDown(const ui::Event&) {
    pressing_ = true;
    setNeedsDisplay(true);
}

void WindowCloseButton::mouseUp(const ui::Event& event) {
    const bool wasPressing = pressing_;
    pressing_ = false;
    setNeedsDisplay(true);
    const gfx::Point point = convertPointFromView(event.locationInWindow(), nullptr);
    if (wasPressing && bounds().contains(point))
        accessibilityPerformPress();
}

} // namespace pulsedeck
