#pragma once

#include "platform/toolkit/View.h"

namespace pulsedeck {

// The close control our closable windows draw at their top left, since no window manager
// decorates them: a red disc with a cross. A click on it (press and release over it) asks its
// window to close, as the window manager's close does.
class WindowCloseButton final : public ui::View {
public:
    // The disc's diameter; the view is 3 pt larger on every side, so a near miss still counts.
    static constexpr double discSize = 14;
    static constexpr double slack = 3;

    // Places the button with its disc's top-left corner `inset` from the container's top left.
    explicit WindowCloseButton(const ui::View& container, gfx::Point inset);

    bool accessibilityPerformPress() override;

protected:
    void drawRect(gfx::Context& context, const gfx::Rect& dirtyRect) override;
    void mouseDown(const ui::Event& event) override;
    void mouseUp(const ui::Event& event) override;

private:
    bool pressing_ = false;
};

} // namespace pulsedeck
