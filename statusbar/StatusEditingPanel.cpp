#include "statusbar/StatusEditingPanel.h"

namespace pulsedeck {

gfx::Rect StatusEditingPanel::constrainFrameRect(const gfx::Rect& frame,
                                                 const std::optional<ui::Screen>&) const {
    return frame;
}

bool cameThroughEditingPanel(const ui::Event& event) {
    return dynamic_cast<const StatusEditingPanel*>(event.window().get()) != nullptr;
}

} // namespace pulsedeck
