#include "detail/CompactSwitch.h"

#include "detail/CompactSwitchLook.h"
#include "model/AccentColor.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/graphics/Context.h"
#include "platform/graphics/Path.h"
#include "platform/toolkit/Application.h"
#include "platform/toolkit/Workspace.h"

namespace pulsedeck {

namespace {

constexpr double tickInterval = 1.0 / 60;
const gfx::Shadow knobShadow{gfx::Color::black().withAlpha(0.18), 1.5, {0, -0.5}};

bool reduceMotion() {
    ui::Application* app = ui::Application::current();
    return app && app->workspace().accessibilityDisplayShouldReduceMotion();
}

} // namespace

CompactSwitch::CompactSwitch(gfx::Point origin) : Button({origin, frameSize}) {
    setButtonType(ui::ButtonType::switchButton);
    setBordered(false);
    setBoundsSize(boundsSize);
}

CompactSwitch::~CompactSwitch() {
    stopTimer();
}

void CompactSwitch::setSecondary(bool secondary) {
    if (secondary_ == secondary)
        return;
    secondary_ = secondary;
    setNeedsDisplay(true);
}

void CompactSwitch::setState(ui::ControlState state) {
    Button::setState(state);
    syncToState();
}

double CompactSwitch::now() const {
    return dispatch::RunLoop::main().clock().now();
}

void CompactSwitch::syncToState() {
    const double target = state() == ui::ControlState::on ? 1 : 0;
    if (target == destination_ && (timer_ || position_ == target))
        return;
    destination_ = target;
    if (window() && !reduceMotion()) {
        from_ = position_;
        started_ = now();
        stopTimer();
        timer_ = std::make_unique<dispatch::Timer>(
            tickInterval, true, [this] { tick(); }, dispatch::commonModes);
        return;
    }
    stopTimer();
    position_ = destination_;
    setNeedsDisplay(true);
}

void CompactSwitch::tick() {
    const double elapsed = now() - started_;
    position_ = compactSwitchKnobPosition(from_, destination_, elapsed);
    setNeedsDisplay(true);
    if (elapsed >= compactSwitchSlideDuration)
        stopTimer();
}

void CompactSwitch::stopTimer() {
    // Safe from the timer's own tick: the loop keeps the running action alive.
    timer_.reset();
}

void CompactSwitch::drawRect(gfx::Context& context, const gfx::Rect&) {
    syncToState();
    const gfx::Rect b = bounds();
    const CompactSwitchColors colors = compactSwitchColors(
        effectiveAppearance() == gfx::Appearance::dark, state() == ui::ControlState::on, secondary_,
        isEnabled(), accentColor());
    const double radius = b.height() / 2;
    context.setFillColor(colors.track);
    context.fill(gfx::Path::roundedRect(b, radius, radius));

    const double diameter = b.height() - 4;
    const gfx::Rect knob{b.minX() + 2 + (b.width() - diameter - 4) * position_, b.minY() + 2,
                         diameter, diameter};
    gfx::Context::SavedState saved(context);
    context.setShadow(knobShadow);
    context.setFillColor(colors.knob);
    context.fillEllipse(knob);
}

} // namespace pulsedeck
