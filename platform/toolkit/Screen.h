#pragma once

#include "platform/graphics/Geometry.h"
#include "platform/toolkit/WindowServer.h"

#include <optional>
#include <string>
#include <vector>

namespace ui {

// One display, as the window server reported it when asked.
class Screen {
public:
    explicit Screen(ScreenDescription description) : description_(description) {}

    // Every screen, the primary first; empty when there is no display.
    static std::vector<Screen> screens();
    // The screen of the key window, else the primary screen.
    static std::optional<Screen> mainScreen();

    const gfx::Rect& frame() const { return description_.frame; }
    const gfx::Rect& visibleFrame() const { return description_.visibleFrame; }
    // The top inset no window should cover (a notch or a camera housing); 0 on most screens.
    double safeAreaTop() const { return description_.safeAreaTop; }
    // The screen's display number, the same for the same monitor while it stays connected.
    int displayNumber() const { return description_.displayNumber; }
    double backingScaleFactor() const { return description_.backingScale; }

    friend bool operator==(const Screen&, const Screen&) = default;

private:
    ScreenDescription description_;
};

} // namespace ui
