#pragma once

#include "platform/toolkit/View.h"

#include <functional>
#include <string>

namespace pulsedeck {

// The feedback panel's button: a rounded fill of the accent colour (solid when primary, a light
// tint otherwise, both darker while pressed) and a centred title. Main thread only.
class FeedbackButton final : public ui::View {
public:
    FeedbackButton(const gfx::Rect& frame, std::string title, std::function<void()> action);

    const std::string& title() const { return title_; }
    bool primary = false;

    bool accessibilityPerformPress() override;

protected:
    void drawRect(gfx::Context& context, const gfx::Rect& dirty) override;
    void mouseDown(const ui::Event& event) override;
    void mouseDragged(const ui::Event& event) override;
    void mouseUp(const ui::Event& event) override;

private:
    void setPressed(bool pressed);

    std::string title_;
    std::function<void()> action_;
    bool pressed_ = false;
};

} // namespace pulsedeck
