#include "platform/toolkit/TextField.h"

#include "platform/graphics/AttributedString.h"
#include "platform/graphics/Context.h"

namespace ui {

TextField::TextField(const gfx::Rect& frame) : View(frame) {
    setAccessibilityElement(true);
    setAccessibilityRole(AccessibilityRole::staticText);
}

std::shared_ptr<TextField> TextField::labelWithString(std::string text) {
    auto label = std::make_shared<TextField>();
    label->setStringValue(std::move(text));
    return label;
}

void TextField::setStringValue(std::string text) {
    if (text_ == text)
        return;
    text_ = std::move(text);
    setAccessibilityValue(text_);
    setNeedsDisplay(true);
}

void TextField::setFont(gfx::Font font) {
    font_ = std::move(font);
    setNeedsDisplay(true);
}

void TextField::setTextColor(gfx::Color color) {
    color_ = color;
    setNeedsDisplay(true);
}

void TextField::setAlignment(TextAlignment alignment) {
    alignment_ = alignment;
    setNeedsDisplay(true);
}

void TextField::setLineBreakMode(LineBreakMode mode) {
    lineBreakMode_ = mode;
    setNeedsDisplay(true);
}

void TextField::drawRect(gfx::Context& context, const gfx::Rect&) {
    if (text_.empty())
        return;
    const gfx::TextAttributes attributes{font_, color_};
    const gfx::Rect room = bounds().insetBy(padding, 0);
    const gfx::Size size = gfx::textSize(text_, attributes);
    // The line box hangs from the top edge, whichever way the view runs.
    const double y = isFlipped() ? room.minY() : room.maxY() - size.height;
    if (size.width > room.width()) {
        if (lineBreakMode_ == LineBreakMode::truncatingTail) {
            gfx::drawText(context, text_, gfx::Rect{room.minX(), y, room.width(), size.height},
                          attributes);
            return;
        }
        gfx::Context::SavedState saved(context);
        context.clipToRect(room);
        gfx::drawText(context, text_, gfx::Point{room.minX(), y}, attributes);
        return;
    }
    double x = room.minX();
    if (alignment_ == TextAlignment::center)
        x = room.midX() - size.width / 2;
    else if (alignment_ == TextAlignment::right)
        x = room.maxX() - size.width;
    gfx::drawText(context, text_, gfx::Point{x, y}, attributes);
}

} // namespace ui
