#pragma once

#include "platform/toolkit/Button.h"
#include "platform/toolkit/TrackingArea.h"

#include <memory>

namespace pulsedeck {

// The detail view's gear button: a button (image, look and action set by the owner) with a soft
// rounded highlight while hovered and a pointing-hand cursor.
class SettingsIconButton : public ui::Button {
public:
    using Button::Button;

    bool isHovered() const { return hovered_; }

protected:
    void drawRect(gfx::Context& context, const gfx::Rect& dirtyRect) override;
    void resetCursorRects() override;
    void updateTrackingAreas() override;
    void mouseEntered(const ui::Event& event) override;
    void mouseExited(const ui::Event& event) override;

private:
    bool hovered_ = false;
    std::shared_ptr<ui::TrackingArea> tracking_;
};

} // namespace pulsedeck
