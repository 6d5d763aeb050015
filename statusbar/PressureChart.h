#pragma once

#include "platform/graphics/Color.h"
#include "platform/graphics/Context.h"
#include "platform/graphics/Geometry.h"
#include "sources/MemorySnapshot.h"

#include <cstdint>
#include <optional>
#include <span>

namespace pulsedeck {

// The colour of a pressure level: the tint in place of normal (1) when there is one, else the
// shared pressure colours (blue or green for normal, yellow for 2, red for 4, the secondary label
// colour for anything else).
gfx::Color pressureLevelColor(std::optional<std::int32_t> level, bool blue,
                              std::optional<gfx::Color> tint = std::nullopt);

// The memory history as an area chart in rect: `capacity` samples across the width (fewer than 2
// count as 2), the newest on the right edge, each step coloured by its point's level (a point
// without a level counts as normal), filled at alpha 0.28 and stroked 1 pt; a point without a
// fraction leaves a gap. Clipped to a shape rounded on the left (or on every corner when
// fullyRounded) with radius min(height / 2, 9). An empty history draws nothing. The status image
// and the detail view's memory card both draw with it.
void drawPressureChart(gfx::Context& context, std::span<const PressurePoint> history, int capacity,
                       bool blue, bool fullyRounded, std::optional<gfx::Color> tint,
                       const gfx::Rect& rect);

} // namespace pulsedeck
