#pragma once

#include "platform/graphics/Color.h"
#include "platform/graphics/Font.h"
#include "platform/toolkit/View.h"

#include <string>

namespace ui {

enum class TextAlignment { left, center, right };
enum class LineBreakMode { clipping, truncatingTail };

// A one-line label: a text that is neither editable nor selectable, drawn without a background
// at the top of its bounds with 2 points of padding at either side, aligned as asked. A text wider
// than the room is cut at the right edge, with "…" when truncating.
class TextField : public View {
public:
    explicit TextField(const gfx::Rect& frame = {});
    // A label: an empty frame, the system font at 13 points.
    static std::shared_ptr<TextField> labelWithString(std::string text);

    const std::string& stringValue() const { return text_; }
    void setStringValue(std::string text);
    const gfx::Font& font() const { return font_; }
    void setFont(gfx::Font font);
    const gfx::Color& textColor() const { return color_; }
    void setTextColor(gfx::Color color);
    TextAlignment alignment() const { return alignment_; }
    void setAlignment(TextAlignment alignment);
    LineBreakMode lineBreakMode() const { return lineBreakMode_; }
    void setLineBreakMode(LineBreakMode mode);

    static constexpr double padding = 2;

protected:
    void drawRect(gfx::Context& context, const gfx::Rect& dirtyRect) override;

private:
    std::string text_;
    gfx::Font font_ = gfx::Font::system(13);
    gfx::Color color_ = gfx::Color::label();
    TextAlignment alignment_ = TextAlignment::left;
    LineBreakMode lineBreakMode_ = LineBreakMode::truncatingTail;
};

} // namespace ui
