#pragma once

#include "platform/graphics/Color.h"
#include "platform/graphics/Context.h"
#include "platform/graphics/Geometry.h"
#include "platform/graphics/Path.h"

namespace pulsedeck {

// One blade of the fan glyph for a size s about the origin (y up), before any rotation: from
// (0.2s, 0) out to the tip at (0.97s, 0.13s) and back round to (0.14s, 0.3s).
gfx::Path fanBladeOutline(double size);

// The hub: a disc 0.32 × size across about the origin.
gfx::Rect fanHubRect(double size);

// Paints the fan glyph (three blades at 0°, 120° and 240° plus the rotation, and the hub) in
// the colour with its alpha replaced by the given one, centred on center. Leaves the context's
// state as it found it. The strip's rotor frames and the detail view's fan icon both draw with it.
void drawFanBlades(gfx::Context& context, const gfx::Color& color, double rotationDegrees,
                   double alpha, gfx::Point center, double size);

// The short speed arcs around a turning rotor of base radius r: three groups at 52°, 172° and
// 292° (plus the rotation), each of arcs starting 0°, 8° and 16° after the group's angle at
// radii r + 0.5, r + 1.05 and r + 1.6 (the third only when fast), running anticlockwise over
// 43° (fast) or 29°. Every arc is its own subpath.
gfx::ImmutablePath fanMotionArcs(bool fast, gfx::Point center, double radius,
                                 double rotationDegrees);

} // namespace pulsedeck
