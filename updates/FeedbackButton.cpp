#include "updates/FeedbackButton.h"

#include "model/AccentColor.h"
#include "platform/graphics/AttributedString.h"
#include "platform/graphics/Context.h"
#include "platform/graphics/Path.h"

namespace pulsedeck {

namespace {

constexpr double buttonRadius = 8;
constexpr double titleSize = 12;

} // namespace

FeedbackButton::FeedbackButton(const gfx::Rect& frame, std::string title,
                               std::function<void()> action)
    : View(frame), title_(std::move(title)), action_(std::move(action)) {
    setAccessibilityElement(true);
    setAccessibilityRole(ui::AccessibilityRole::button);
    setAccessibilityLabel(title_);
}

bool FeedbackButton::accessibilityPerformPress() {
    if (action_)
        action_();
    return true;
}

void FeedbackButton::drawRect(gfx::Context& context, const gfx::Rect&) {
    const gfx::Color accent = accentColor();
    const double alpha = primary ? (pressed_ ? 0.85 : 1.0) : (pressed_ ? 0.2 : 0.12);
    context.setFillColor(accent.withAlpha(alpha));
    context.fill(gfx::Path::roundedRect(bounds(), buttonRadius, buttonRadius));

    const gfx::TextAttributes attributes{
        gfx::Font::system(titleSize, primary ? gfx::FontWeight::semibold : gfx::FontWeight::medium),
        primary ? contrastingTextColor(accent) : gfx::Color::label()};
    const gfx::Size size = gfx::textSize(title_, attributes);
    gfx::drawText(context, title_,
                  {(bounds().width() - size.width) / 2, bounds().midY() - size.height / 2},
                  attributes);
}

void FeedbackButton::setPressed(bool pressed) {
    if (pressed_ != pressed) {
        pressed_ = pressed;
        setNeedsDisplay(true);
    }
}

void FeedbackButton::mouseDown(const ui::Event&) {
    setPressed(true);
}

void FeedbackButton::mouseDragged(const ui::Event& event) {
    setPressed(bounds().contains(convertPointFromView(event.locationInWindow(), nullptr)));
}

void FeedbackButton::mouseUp(const ui::Event& event) {
    const bool inside = bounds().contains(convertPointFromView(event.locationInWindow(), nullptr));
    const bool wasPressed = pressed_;
    setPressed(false);
    if (wasPressed && inside && action_)
        action_();
}

} // namespace pulsedeck
