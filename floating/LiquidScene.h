#pragma once

#include "platform/graphics/Geometry.h"
#include "platform/graphics/Path.h"

#include <optional>
#include <vector>

namespace gfx {
class Context;
class Image;
} // namespace gfx

namespace pulsedeck {

// The drop left behind when the strip tears off the menu bar.
struct LiquidBubble {
    gfx::Point center;
    double radius = 0;
    // The fraction of the bubble's life that has passed, 0 … 1.
    double life = 0;

    friend bool operator==(const LiquidBubble&, const LiquidBubble&) = default;
};

// One frame of the liquid pull-out: the strip hanging from its place in the menu bar, the neck
// between them, the strip's wobble, the tear's bubble and the two bumps the tear leaves. All in
// the overlay's points, y up.
struct LiquidScene {
    gfx::Rect anchor;
    gfx::Rect strip;
    // Where along the width the neck attaches, 0.05 … 0.95.
    double grab = 0.5;
    // Neck thickness, 0 … 1; no neck at 0.001 or less.
    double neck = 0;
    // Deformation of the strip; drawn clamped to −0.2 … 0.2 (positive: taller and narrower).
    double jelly = 0;
    std::optional<LiquidBubble> bubble;
    double anchorBump = 0;
    double stripBump = 0;
    bool showsShadow = true;

    friend bool operator==(const LiquidScene&, const LiquidScene&) = default;

    // The strip deformed by the jelly about its own centre.
    gfx::Rect body() const;
    bool hangsBelow() const { return strip.midY() < anchor.midY(); }
    double stripAttachmentX() const;
    double stripAttachmentY() const;
    gfx::Point anchorAttachment() const;
    // Anchor, body and, with a bubble, a square of six radii around it: what any frame touches.
    gfx::Rect bounds() const;
    // What draw() paints: the shapes with their rim, the body's shadow and the bubble's ring.
    // Empty when it paints nothing.
    gfx::Rect drawnBounds() const;

    // The closed paths of the liquid shape in the order body, neck, anchor bump, strip bump,
    // bubble; each only when present.
    std::vector<gfx::Path> outline() const;
    // The waisted bridge between anchor and strip; none when their attachment heights are within
    // half a point of each other.
    std::optional<gfx::Path> neckPath() const;

    // Paints shadow, tint, rim, the strip's snapshot and the bubble's pop ring into the context.
    // reduceTransparency makes the tint opaque whatever the opacity.
    void draw(gfx::Context& context, const gfx::Image* image, bool dark, double opacity,
              bool reduceTransparency) const;
};

} // namespace pulsedeck
