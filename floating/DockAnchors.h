#pragma once

#include "platform/foundation/PropertyValue.h"
#include "platform/graphics/Geometry.h"

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace pulsedeck {

// Where the status strip sits on one display, measured from the display's top-right corner so it
// survives a change of resolution: the strip's right end `dx` points in from the right edge, its
// middle `dy` points down from the top, at its width and height.
struct DockAnchor {
    // An anchor further down than this is no longer in a menu bar.
    static constexpr double maximumDepth = 80;

    double dx = 0;
    double dy = 0;
    double width = 0;
    double height = 0;

    static DockAnchor measure(const gfx::Rect& screenFrame, const gfx::Rect& strip);
    // The anchor of a stored text; none when the text is not a rectangle or the place could not
    // be a strip in a menu bar (no width, right of the display, not within its top 80 points).
    static std::optional<DockAnchor> parse(std::string_view text);

    // The stored form: the rectangle text "{{dx, dy}, {w, h}}".
    std::string text() const;
    bool isPlausible() const;
    // Where a floating bar of `bar` size docks on a display: its right end at the strip's right
    // end, its middle on the strip's middle.
    gfx::Rect frame(const gfx::Rect& screenFrame, gfx::Size bar) const;

    bool operator==(const DockAnchor&) const = default;
};

// Stored anchors by display key.
using DockAnchorTexts = std::map<std::string, std::string, std::less<>>;

// The key of a display's anchor: "Optional(2)" for display 2, "nil" for a display without a
// number (0). Kept in this form because stored anchors already use it.
std::string dockAnchorKey(int displayNumber);

// The stored map, taken whole only when every value is a text; anything else reads as empty.
DockAnchorTexts decodeDockAnchors(const std::optional<foundation::PropertyDictionary>& stored);
foundation::PropertyDictionary encodeDockAnchors(const DockAnchorTexts& anchors);

} // namespace pulsedeck
