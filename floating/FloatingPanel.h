#pragma once

#include "platform/toolkit/Window.h"

namespace pulsedeck {

// The floating bar's borderless panel. It never becomes key or main, so using the bar never takes
// focus from the application in front, and it takes every frame it is given unchanged, over the
// menu bar included. On X11 it is a managed utility window without decoration, on every desktop,
// out of the taskbar and pager, above normal windows at the floating level.
class FloatingPanel : public ui::Panel {
public:
    using ui::Panel::Panel;

    bool canBecomeKeyWindow() const override { return false; }
    bool canBecomeMainWindow() const override { return false; }
    gfx::Rect constrainFrameRect(const gfx::Rect& frame,
                                 const std::optional<ui::Screen>&) const override {
        return frame;
    }
};

} // namespace pulsedeck
