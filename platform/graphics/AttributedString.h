#pragma once

#include "platform/graphics/Color.h"
#include "platform/graphics/Font.h"
#include "platform/graphics/Geometry.h"

#include <string>
#include <string_view>
#include <vector>

namespace gfx {

class Context;

// The attributes of a run of text. Kerning adds that many points after every character; the
// baseline offset raises the glyphs (y up) without moving the line box.
struct TextAttributes {
    Font font = Font::system(13);
    Color color = Color::label();
    double kern = 0;
    double baselineOffset = 0;

    friend bool operator==(const TextAttributes&, const TextAttributes&) = default;
};

// UTF-8 text in runs of attributes, measured and drawn on one line through pango: the size is the
// line box (advance width × line height); drawing at a point puts the line box's min-y corner there
// — its bottom-left in y-up space, its top-left in a flipped context — with the glyphs upright
// either way.
//
// Text is shaped by the thread's installed TextShaper, which keeps it, so text that is redrawn
// every second with the same content is not reshaped; with none installed it is shaped anew.
// Measuring works on any thread (pango's font map and the shapers are per thread); drawing goes
// with its context's thread.
class AttributedString {
public:
    struct Run {
        std::string text;
        TextAttributes attributes;
    };

    AttributedString() = default;
    AttributedString(std::string text, TextAttributes attributes);

    void append(std::string text, TextAttributes attributes);
    const std::vector<Run>& runs() const { return runs_; }
    std::string string() const;
    bool isEmpty() const;

    Size size() const;
    void draw(Context& context, Point point) const;
    // Draws the first line at the top of the rect (as seen), cut at its right edge with "…" when
    // wider.
    void draw(Context& context, const Rect& rect) const;

private:
    std::vector<Run> runs_;
};

// Measuring and drawing a string with one set of attributes.
Size textSize(std::string_view text, const TextAttributes& attributes);
void drawText(Context& context, std::string_view text, Point point,
              const TextAttributes& attributes);
void drawText(Context& context, std::string_view text, const Rect& rect,
              const TextAttributes& attributes);

} // namespace gfx
