#pragma once

#include "platform/graphics/Image.h"
#include "sources/NetworkSnapshot.h"
#include "statusbar/MetricStatusDrawing.h"

#include <optional>
#include <span>

namespace pulsedeck {

class CapsuleCache;

// What the network module's image shows.
struct NetworkStatusContent {
    bool dark = false;
    bool showsGraph = true;
    // Oldest first; only read while the image is drawn.
    std::span<const NetworkSnapshot> history = {};
    NetworkColors colors = {};
    std::optional<double> download = std::nullopt;
    std::optional<double> upload = std::nullopt;
    double chartLength = 85;
};

// Equal when every field and every history sample are: the same image would be drawn.
bool operator==(const NetworkStatusContent& left, const NetworkStatusContent& right);

// The width every rate text is given: the widest of "8888 B/s", "8888 KB/s", "8888 MB/s" and
// "8888 GB/s" in the rates' font, rounded up.
double networkRateBudget();

// The network module's image as the strip shows it: the capsule around the network segment,
// (budget + text column x + 29) × 24 pt, where the text column x is the graph's right edge
// (5 + chart width) with the graph and −1 without; rendered at scale 2.
gfx::Image networkStatusImage(CapsuleCache& capsules, const NetworkStatusContent& content);

// The same image, given the one drawn for `previous`. While a machine is at work the graph moves
// and a rate or two reads differently every second, the rest stays: then only those are drawn
// again, over the previous image's own pixels when nothing else shows them (redrawnCapsuleAreas).
// Kept because it pays on a network in use: with rates changing every second, the network image
// took 285 perf samples of the program on an X server instead of 328 (a minute side by side with
// the build without it, one core busy a random 0–400 ms of each second).
gfx::Image networkStatusImage(CapsuleCache& capsules, const NetworkStatusContent& content,
                              const NetworkStatusContent& previous, gfx::Image previousImage);

} // namespace pulsedeck
