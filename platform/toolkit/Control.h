#pragma once

#include "platform/graphics/Color.h"
#include "platform/graphics/Font.h"
#include "platform/toolkit/View.h"

#include <functional>
#include <optional>

namespace ui {

// The standard controls' blue for on and filled states (a check box's fill, a slider's bar).
inline constexpr gfx::Color controlAccentColor = gfx::Color::srgb(0.16, 0.58, 1.0);

// A view the user operates: it reports through its action, called with the control itself as the
// sender, so the owner reads the new value from it. An owner that must not keep the control alive
// captures it weakly. Disabled controls ignore the pointer and the keyboard; highlighted is the
// pressed look while a press is tracked.
class Control : public View {
public:
    using Action = std::function<void(Control& sender)>;

    explicit Control(const gfx::Rect& frame = {});

    const Action& action() const { return action_; }
    void setAction(Action action) { action_ = std::move(action); }
    // Calls the action, if any; answers whether there was one. Programmatic changes never send.
    bool sendAction();

    bool isEnabled() const { return enabled_; }
    virtual void setEnabled(bool enabled);
    bool isHighlighted() const { return highlighted_; }
    void setHighlighted(bool highlighted);
    // Whether a tracked change sends the action at every step or only at the release.
    bool isContinuous() const { return continuous_; }
    void setContinuous(bool continuous) { continuous_ = continuous; }
    int tag() const { return tag_; }
    void setTag(int tag) { tag_ = tag; }

    // The control's text font; none means the control's own default.
    const std::optional<gfx::Font>& font() const { return font_; }
    void setFont(std::optional<gfx::Font> font);

    // Keyboard focus: an enabled control takes it unless it refuses.
    bool refusesFirstResponder() const { return refusesFirstResponder_; }
    void setRefusesFirstResponder(bool refuses) { refusesFirstResponder_ = refuses; }
    bool acceptsFirstResponder() const override { return enabled_ && !refusesFirstResponder_; }

private:
    Action action_;
    bool enabled_ = true;
    bool highlighted_ = false;
    bool continuous_ = false;
    bool refusesFirstResponder_ = false;
    int tag_ = 0;
    std::optional<gfx::Font> font_;
};

} // namespace ui
