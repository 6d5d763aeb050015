#pragma once

#include "platform/graphics/AttributedString.h"

#include <cairo.h>
#include <memory>
#include <optional>
#include <pango/pango.h>
#include <string>
#include <string_view>
#include <vector>

namespace gfx {

struct ShapingContextDeleter {
    void operator()(PangoContext* context) const { g_object_unref(context); }
};
using ShapingContext = std::unique_ptr<PangoContext, ShapingContextDeleter>;

// A pango context to shape text in: the default cairo font map of this thread, 72 dpi (so a
// pango point is one user unit), metrics unhinted so that positions do not depend on the scale
// a layout is later drawn at. Pango's font map is itself per thread, so contexts share only
// that thread's fonts.
ShapingContext newShapingContext();

// A reference to the context of the shaper installed on this thread (TextShaper.h), or a new one
// when there is none.
ShapingContext shapingContext();

// Runs shaped into a pango layout, or for a single run that one font covers, left to right, into
// one glyph string: figures change every second, and a layout costs several times the shaping.
// Either form measures and draws alike.
struct ShapedText {
    ShapedText() = default;
    ShapedText(const ShapedText&) = delete;
    ShapedText& operator=(const ShapedText&) = delete;
    ~ShapedText();

    PangoLayout* layout = nullptr;
    // Set instead of the layout: the line's glyphs in their font, placed from the layout
    // origin (their offsets include the baseline, this far in points below the line box's top).
    PangoFont* font = nullptr;
    PangoGlyphString* glyphs = nullptr;
    double baseline = 0;
    // The line box in points, its left edge at logicalX from the layout's origin.
    double logicalX = 0;
    double width = 0;
    double height = 0;
    // Where each run begins, from the left edge of the line box.
    std::vector<double> runOffsets;
    // True when the runs carry their own colours (more than one colour among them).
    bool coloured = false;
};

// The runs shaped, cut at maxWidth with an ellipsis when given, by the shaper installed on this
// thread (TextShaper.h), which may answer with a text it kept; with none installed, shaped anew.
// The returned text stays valid while it is held.
std::shared_ptr<const ShapedText> shapeText(const std::vector<AttributedString::Run>& runs,
                                            std::optional<double> maxWidth = std::nullopt);

// One run of non-empty text shaped the same way, without copying the text when the installed
// shaper kept it: measuring wrappers ask this for every label and figure.
std::shared_ptr<const ShapedText> shapeText(std::string_view text,
                                            const TextAttributes& attributes);

class ItemTemplates;

// The runs shaped anew in the context: a single run with no width to fit, in one font, left to
// right, into one glyph string (itemized after the templates when given), anything else into a
// layout.
std::shared_ptr<const ShapedText> shapeTextIn(PangoContext* context,
                                              const std::vector<AttributedString::Run>& runs,
                                              std::optional<double> maxWidth,
                                              ItemTemplates* templates = nullptr);

// The runs shaped into a layout whatever they are, in a new context: what the glyph-string form
// must equal.
std::shared_ptr<const ShapedText> shapeTextInLayout(const std::vector<AttributedString::Run>& runs,
                                                    std::optional<double> maxWidth = std::nullopt);

// Whether the runs differ in colour, which a shaped text then carries.
bool hasSeveralColours(const std::vector<AttributedString::Run>& runs);

// Draws the line with its layout origin (the line box's top-left less logicalX) at the current
// point, in the source and colours the layout form would use. The glyph form draws in cr's source
// alone, whatever text the thread drew before.
void showShapedText(cairo_t* cr, const ShapedText& shaped);

// The ink rectangle in pango units from the layout origin.
PangoRectangle shapedInkExtents(const ShapedText& shaped);

// How many glyphs no font had, which pango draws as boxes.
int unknownGlyphCount(const ShapedText& shaped);

} // namespace gfx
