#pragma once

#include "model/DisplayMode.h"
#include "model/Localization.h"
#include "platform/graphics/Color.h"
#include "platform/graphics/Context.h"
#include "platform/graphics/Geometry.h"
#include "platform/graphics/Image.h"
#include "sources/MemorySnapshot.h"
#include "statusbar/StatusLayout.h"

#include <optional>
#include <span>

namespace pulsedeck {

class CapsuleCache;

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
gfx::Image memoryStatusImage(CapsuleCache& capsules, const MemoryStatusContent& content);

// The same image, given the one last drawn for `previous`. From one second to the next the chart
// moves and a figure or two reads differently while the layout and the look stay: then the
// previous image's pixels are kept but for the chart's rect and the changed figures, which are
// drawn again (redrawnCapsuleAreas), over the previous image's own pixels when nothing else shows
// them. Kept because it pays on a machine at work: over a minute of
// the program on an X server, beside the same build without it, the memory image took 27.2 M
// instructions instead of 34.2 M and the whole program 153.8 M instead of 165.5 M (callgrind,
// one core busy a random 0–400 ms a second); the hot-cache bench cannot tell them apart.
gfx::Image memoryStatusImage(CapsuleCache& capsules, const MemoryStatusContent& content,
                             const MemoryStatusContent& previous, gfx::Image previousImage);

} // namespace pulsedeck
