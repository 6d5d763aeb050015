#pragma once

#include "model/Localization.h"
#include "platform/graphics/Color.h"
#include "platform/graphics/Context.h"
#include "platform/graphics/Geometry.h"
#include "platform/graphics/Image.h"
#include "sources/DisplayMode.h"
#include "sources/MemorySnapshot.h"
#include "statusbar/StatusLayout.h"

#include <optional>
#include <span>

namespace pulsedeck {

// What the memory module's image shows. The history is only read while the image is drawn.
struct MemoryStatusContent {
    bool dark = false;
    bool showChart = true;
    // Oldest first.
    std::span<const PressurePoint> history = {};
    int capacity = 60;
    // Blue rather than green for the normal pressure level.
    bool blue = true;
    // The memory slot's colour; without one the pressure colours are used.
    std::optional<gfx::Color> tint = std::nullopt;
    MemorySnapshot snapshot = {};
    DisplayMode mode = DisplayMode::automatic;
    AppLanguage language = AppLanguage::english;
    double chartLength = 85;
    // The layout measured for these figures; measured while drawing when none.
    std::optional<StatusLayout> layout = std::nullopt;
};

// Equal when every field and every history point are: the same image would be drawn.
bool operator==(const MemoryStatusContent& left, const MemoryStatusContent& right);

// Paints the memory segment into rect (the image's bounds, y up, 24 pt high): the capsule, with
// the chart the pressure chart, its status dot while fewer than 2 points exist and a separator,
// then the figures in the layout's columns: one value under its title (automatic; without the
// chart a ring gauge of the used fraction instead), used and swap rows (pair), or a 2 × 2 grid
// (four). Always true (a drawing handler's answer).
bool drawMemoryStatus(gfx::Context& context, const MemoryStatusContent& content,
                      const StatusLayout& layout, const gfx::Rect& rect);

// The memory module's image as the strip shows it: measured, (layout width × 24) pt, drawn once
// and rendered at scale 2. The first-run tip's demo builds its sample with it too.
gfx::Image memoryStatusImage(const MemoryStatusContent& content);

} // namespace pulsedeck
