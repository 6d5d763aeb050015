#pragma once

#include "platform/toolkit/Window.h"

namespace pulsedeck {

// The borderless panel an editing surface sits in, laid over the status item. It never becomes
// key or main, so pressing it never takes focus from the application in front, and it goes
// exactly where it is put, over the menu bar included. The strip tells from an event's window
// whether a press came through one of these.
class StatusEditingPanel : public ui::Panel {
public:
    using ui::Panel::Panel;

    bool canBecomeKeyWindow() const override { return false; }
    bool canBecomeMainWindow() const override { return false; }
    gfx::Rect constrainFrameRect(const gfx::Rect& frame,
                                 const std::optional<ui::Screen>& screen) const override;
};

// Whether the event came through an editing panel.
bool cameThroughEditingPanel(const ui::Event& event);

} // namespace pulsedeck
