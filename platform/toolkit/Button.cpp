#include "platform/toolkit/Button.h"

#include "platform/graphics/AttributedString.h"
#include "platform/graphics/Context.h"
#include "platform/graphics/Path.h"

#include <algorithm>

namespace ui {

namespace {

constexpr double bezelRadius = 5;
constexpr double checkBoxSide = 14;
constexpr double imageTitleGap = 4;

bool isStateful(ButtonType type) {
    return type == ButtonType::pushOnPushOff || type == ButtonType::switchButton;
}

} // namespace

Button::Button(const gfx::Rect& frame) : Control(frame) {
    setAccessibilityElement(true);
    setAccessibilityRole(AccessibilityRole::button);
}

void Button::setButtonType(ButtonType type) {
    type_ = type;
    setAccessibilityRole(type == ButtonType::switchButton ? AccessibilityRole::checkBox
                                                          : AccessibilityRole::button);
    updateAccessibilityValue();
    setNeedsDisplay(true);
}

void Button::setTitle(std::string title) {
    if (title_ == title)
        return;
    title_ = std::move(title);
    setNeedsDisplay(true);
}

void Button::setImage(std::optional<gfx::Image> image) {
    image_ = std::move(image);
    setNeedsDisplay(true);
}

void Button::setImagePosition(ImagePosition position) {
    imagePosition_ = position;
    setNeedsDisplay(true);
}

void Button::setImageScaling(ImageScaling scaling) {
    imageScaling_ = scaling;
    setNeedsDisplay(true);
}

void Button::setBordered(bool bordered) {
    bordered_ = bordered;
    setNeedsDisplay(true);
}

void Button::setState(ControlState state) {
    if (state == ControlState::mixed && !allowsMixedState_)
        state = ControlState::on;
    if (state_ == state)
        return;
    state_ = state;
    updateAccessibilityValue();
    setNeedsDisplay(true);
}

void Button::updateAccessibilityValue() {
    if (!isStateful(type_)) {
        setAccessibilityValue("");
        return;
    }
    setAccessibilityValue(state_ == ControlState::on      ? "1"
                          : state_ == ControlState::mixed ? "2"
                                                          : "0");
}

void Button::performClick() {
    if (!isEnabled())
        return;
    if (isStateful(type_)) {
        // Off → on → (mixed, when allowed) → off, as a check box steps.
        if (state_ == ControlState::off)
            setState(ControlState::on);
        else if (state_ == ControlState::on && allowsMixedState_)
            setState(ControlState::mixed);
        else
            setState(ControlState::off);
    }
    sendAction();
}

bool Button::accessibilityPerformPress() {
    if (!isEnabled())
        return false;
    performClick();
    return true;
}

bool Button::contains(const Event& event) const {
    return bounds().contains(convertPointFromView(event.locationInWindow(), nullptr));
}

void Button::mouseDown(const Event&) {
    if (!isEnabled())
        return;
    tracking_ = true;
    setHighlighted(true);
}

void Button::mouseDragged(const Event& event) {
    if (tracking_)
        setHighlighted(contains(event));
}

void Button::mouseUp(const Event& event) {
    if (!tracking_)
        return;
    tracking_ = false;
    setHighlighted(false);
    if (contains(event))
        performClick();
}

void Button::keyDown(const Event& event) {
    if (event.keyCode() == KeyCode::space && isEnabled())
        performClick();
    else
        Control::keyDown(event);
}

void Button::drawRect(gfx::Context& context, const gfx::Rect&) {
    const bool dark = effectiveAppearance() == gfx::Appearance::dark;
    const double strength = isEnabled() ? 1 : 0.5;
    gfx::Rect content = bounds();

    if (type_ == ButtonType::switchButton) {
        const gfx::Rect box{bounds().minX() + 1, bounds().midY() - checkBoxSide / 2, checkBoxSide,
                            checkBoxSide};
        const gfx::Path boxPath = gfx::Path::roundedRect(box, 3, 3);
        const bool filled = state_ != ControlState::off;
        context.setFillColor(filled ? controlAccentColor.withAlpha(strength)
                                    : gfx::Color::grey(dark ? 0.3 : 1, strength));
        context.fill(boxPath);
        context.setStrokeColor(gfx::Color::label().withAlpha(0.25 * strength));
        context.setLineWidth(0.5);
        context.stroke(boxPath);
        if (filled) {
            gfx::Path mark;
            if (state_ == ControlState::on) {
                mark.moveTo({box.minX() + 3.5, box.midY()});
                mark.lineTo({box.minX() + 6, box.minY() + 4});
                mark.lineTo({box.maxX() - 3.5, box.maxY() - 3.5});
            } else {
                mark.moveTo({box.minX() + 3.5, box.midY()});
                mark.lineTo({box.maxX() - 3.5, box.midY()});
            }
            context.setStrokeColor(gfx::Color::white().withAlpha(strength));
            context.setLineWidth(1.75);
            context.setLineCap(gfx::LineCap::round);
            context.stroke(mark);
        }
        content = {box.maxX() + imageTitleGap, bounds().minY(),
                   std::max(0.0, bounds().maxX() - box.maxX() - imageTitleGap), bounds().height()};
    } else if (bordered_) {
        const gfx::Path bezel =
            gfx::Path::roundedRect(bounds().insetBy(0.5, 0.5), bezelRadius, bezelRadius);
        const double fill = dark ? (isHighlighted() ? 0.45 : 0.33) : (isHighlighted() ? 0.85 : 1);
        context.setFillColor(gfx::Color::grey(fill, strength));
        context.fill(bezel);
        context.setStrokeColor(gfx::Color::label().withAlpha(0.2 * strength));
        context.setLineWidth(0.5);
        context.stroke(bezel);
    }

    const gfx::TextAttributes text{font().value_or(gfx::Font::system(13)),
                                   gfx::Color::label().withAlpha(strength)};
    const bool showsImage = image_ && imagePosition_ != ImagePosition::noImage;
    const bool showsTitle = !title_.empty() && imagePosition_ != ImagePosition::imageOnly;
    const gfx::Size titleSize = showsTitle ? gfx::textSize(title_, text) : gfx::Size{};
    gfx::Rect imageRect;
    double titleX = content.midX() - titleSize.width / 2;
    if (showsImage) {
        const gfx::Rect box =
            showsTitle
                ? gfx::Rect{0, content.minY(), std::min(image_->size().width, content.width()),
                            content.height()}
                : content;
        imageRect = scaledImageRect(image_->size(), box, imageScaling_);
        if (showsTitle) {
            const double total = imageRect.width() + imageTitleGap + titleSize.width;
            const double start = content.midX() - total / 2;
            const bool left = imagePosition_ != ImagePosition::imageRight;
            const double imageX = left ? start : start + titleSize.width + imageTitleGap;
            imageRect = imageRect.offsetBy(imageX - imageRect.minX(), 0);
            titleX = left ? start + imageRect.width() + imageTitleGap : start;
        }
        gfx::Context::SavedState saved(context);
        if (image_->isTemplate()) {
            // A template draws as a mask tinted in the label colour.
            cairo_push_group(context.cairo());
            image_->draw(context, imageRect, {.respectFlipped = true});
            context.setFillColor(gfx::Color::label());
            context.fillRect(imageRect, gfx::CompositingOperation::sourceIn);
            cairo_pop_group_to_source(context.cairo());
            cairo_paint_with_alpha(context.cairo(), strength);
        } else {
            image_->draw(context, imageRect, {.fraction = strength, .respectFlipped = true});
        }
    }
    if (showsTitle) {
        gfx::drawText(context, title_, gfx::Point{titleX, content.midY() - titleSize.height / 2},
                      text);
    }
}

} // namespace ui
