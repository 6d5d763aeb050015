#pragma once

#include "model/ComputeDisplayMode.h"
#include "platform/graphics/Color.h"
#include "platform/graphics/Context.h"
#include "platform/graphics/Font.h"
#include "platform/graphics/Geometry.h"
#include "platform/graphics/Image.h"
#include "sources/ComputeSnapshot.h"

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// The compute module's pictures: two load bars, a CPU/GPU history chart, the morph between the
// two, and the text-only compact rows, cross-faded into one 24-pt-high image. Every routine draws
// into whatever context it is given, so the detail view and the first-run tip reuse them. Main
// thread: text is measured on the thread that draws.
namespace pulsedeck {

class CapsuleCache;

// "%.0f%%" of a load that is present, finite and within 0…100; "—" otherwise.
std::string percentText(std::optional<double> value);

// A load a bar may show: present, finite and within 0…100 (what percentText prints).
std::optional<double> acceptedLoad(std::optional<double> value);

// The width of "99%" in the 9.3-pt monospaced-digit medium font, the room every value gets.
double percentReferenceWidth();

// The value font for a text: 9.3 pt when it is no wider than "99%", else shrunk in 0.05-pt steps
// (not below 4 pt) until it fits that width.
gfx::Font fittedPercentFont(std::string_view text);

// The two series' colours.
struct ComputeColors {
    // The user's cpu and gpu slot colours; none when not chosen.
    std::optional<gfx::Color> cpu;
    std::optional<gfx::Color> gpu;
    // Palette blue rather than green for an unchosen CPU colour.
    bool blue = true;

    bool operator==(const ComputeColors&) const = default;

    // The chosen CPU colour, else palette blue or green.
    gfx::Color cpuColor() const;
    // The chosen GPU colour, else the CPU colour at 0.45.
    gfx::Color gpuColor() const;
};

// The last 60 samples as the CPU series (a band at 0.22 of its colour's alpha under a 1-pt line)
// and the GPU series (lines only), 100 % at the rect's full height, right-aligned, gaps where a
// load is missing. Nothing for an empty history.
void drawComputeHistory(gfx::Context& context, std::span<const ComputeSnapshot> history,
                        const ComputeColors& colors, const gfx::Rect& rect);

// Bars (chart false) or chart (true) in the inner rect, then the separator and the CPU and GPU
// rows to its right.
void drawComputeSegment(gfx::Context& context, const gfx::Color& foreground,
                        const ComputeColors& colors, bool chart,
                        std::span<const ComputeSnapshot> history, const ComputeSnapshot& snapshot,
                        const gfx::Rect& imageRect, const gfx::Rect& inner);

// The bars unrolling into the chart at progress p (0…1) with the inner rect of that moment: each
// bar's top spreads into a 60-point line that settles on the history.
void drawComputeMorph(gfx::Context& context, const gfx::Color& foreground,
                      const ComputeColors& colors, const ComputeSnapshot& snapshot,
                      std::span<const ComputeSnapshot> history, const gfx::Rect& imageRect,
                      double progress, const gfx::Rect& inner);

// The text-only rows: labels at x 7 in the label font, values right-aligned 7 pt inside the
// right edge.
void drawComputeCompact(gfx::Context& context, const gfx::Color& foreground,
                        const ComputeColors& colors, const ComputeSnapshot& snapshot,
                        const gfx::Font& labelFont, const gfx::Rect& imageRect);

// Widths and inner rects of the main image: bars at progress 0, chart at 1, linear between.
double computeBarsWidth();
double computeChartWidth(double chartLength);
double computeMainWidth(double progress, double chartLength);
gfx::Rect computeInnerRect(double progress, double chartLength);
double computeCompactWidth();

// The bars, chart or morph image at progress p (clamped to 0…1), in its capsule; not rasterised.
gfx::Image drawCompute(const ComputeSnapshot& snapshot, std::span<const ComputeSnapshot> history,
                       bool dark, const ComputeColors& colors, double progress, double chartLength);

// The compact image in its capsule; not rasterised.
gfx::Image computeCompactImage(const ComputeSnapshot& snapshot, bool dark,
                               const ComputeColors& colors);

// Where the two transition values of the compute image stand for a display mode: bars (0, 0),
// chart (1, 0), compact (0, 1).
struct ComputeTargets {
    double chart = 0;
    double compact = 0;

    bool operator==(const ComputeTargets&) const = default;
};
ComputeTargets computeTargets(ComputeDisplayMode mode);

// Everything the compute image is drawn from.
struct ComputePicture {
    ComputeSnapshot snapshot;
    std::vector<ComputeSnapshot> history;
    bool dark = true;
    ComputeColors colors;
    // Bars (0) to chart (1).
    double progress = 0;
    // Main (0) to compact (1).
    double compactProgress = 0;
    double chartLength = 85;

    bool operator==(const ComputePicture&) const = default;
};

// The width of the picture's image: the main width, moving linearly to the compact width as the
// compact progress goes from 0 to 1.
double computeImageWidth(const ComputePicture& picture);

// The picture as the strip shows it: the main image, the compact image, or both cross-faded and
// scaled to the width between them; rendered at scale 2.
gfx::Image computeStatusImage(CapsuleCache& capsules, const ComputePicture& picture);

// The same image, given the one drawn for `previous`. From one second to the next at rest in a
// mode, the bars or the chart move and a figure or two reads differently: then only those are
// drawn again, over the previous image's own pixels when nothing else shows them
// (redrawnCapsuleAreas). Kept because it pays under load: with one core busy a random 0–400 ms
// of each second, the compute image took 245 → 189 and 165 → 147 perf samples of the program on
// an X server (two runs side by side with the build without it), 6.5–7.5 % of its processor
// time instead of 8.0–8.2 %.
gfx::Image computeStatusImage(CapsuleCache& capsules, const ComputePicture& picture,
                              const ComputePicture& previous, gfx::Image previousImage);

} // namespace pulsedeck
