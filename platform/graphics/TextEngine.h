#pragma once

#include "platform/graphics/AttributedString.h"

#include <memory>
#include <optional>
#include <pango/pango.h>
#include <string>
#include <vector>

namespace gfx {

// The pango context text is shaped in: the default cairo font map of this thread, 72 dpi (so a
// pango point is one user unit), metrics unhinted so that positions do not depend on the scale
// a layout is later drawn at. One per thread, made on first use; pango's font map is itself per
// thread, so this adds no sharing.
PangoContext* shapingContext();

// Runs shaped into a pango layout, with what measuring and drawing need from it.
struct ShapedText {
    ShapedText() = default;
    ShapedText(const ShapedText&) = delete;
    ShapedText& operator=(const ShapedText&) = delete;
    ~ShapedText();

    PangoLayout* layout = nullptr;
    // The line box in points, its left edge at logicalX from the layout's origin.
    double logicalX = 0;
    double width = 0;
    double height = 0;
    // Where each run begins, from the left edge of the line box.
    std::vector<double> runOffsets;
    // True when the runs carry their own colours (more than one colour among them).
    bool coloured = false;
    // What the shaping depended on (texts, fonts, spacing, width, colours when coloured): equal
    // keys shape alike, on any thread.
    std::string key;
    std::size_t keyHash = 0;
};

// The runs shaped on this thread, cut at maxWidth with an ellipsis when given. Results come
// from a small per-thread cache; the returned pointer stays valid while it is held.
std::shared_ptr<const ShapedText> shapeText(const std::vector<AttributedString::Run>& runs,
                                            std::optional<double> maxWidth = std::nullopt);

} // namespace gfx
