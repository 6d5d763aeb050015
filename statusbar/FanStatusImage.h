#pragma once

#include "model/FanDisplayMode.h"
#include "model/Localization.h"
#include "model/Modules.h"
#include "platform/graphics/Context.h"
#include "platform/graphics/Geometry.h"
#include "platform/graphics/Image.h"
#include "sources/FanSnapshot.h"
#include "statusbar/FanPhaseClock.h"

#include <optional>
#include <span>
#include <string>
#include <vector>

// The fan module's pictures: a 24-pt ring gauge of the fan load, a wider history graph with the
// speed, and the morph that unrolls the ring's arc into the graph line (also used by the
// temperature module's transition). Plus the rotor's load flags, speed and frame rate. Main
// thread: text is measured on the thread that draws.
namespace pulsedeck {

// The ring's side and the fan graph's chart start.
inline constexpr double fanRingSide = 24;
inline constexpr double fanChartX = 26;

// S(x) = x³(x(6x − 15) + 10) of x clamped to 0…1: the ease of the morph painters.
double smootherstep(double x);

// The history slots a chart spans: the capacity, at least 2 (the step divides by slots − 1).
int historySlots(int capacity);

// The graph image's width: the drawn chart length plus 96 (181 for a length that is not finite).
double fanGraphWidth(double chartLength);

// The unrolling of the ring's value arc at progress p: the arc's radius, how much of the path is
// already straight, how much is still arc, and the path's rotation in radians.
struct FanOutlineGeometry {
    double radius = 0;
    double straight = 0;
    double arc = 0;
    double rotation = 0;
};
FanOutlineGeometry fanOutlineGeometry(double progress, double value, double length);

// What the outline is unrolled from and into.
struct FanOutlineInput {
    // Fractions 0…1 of the chart height, oldest first.
    std::span<const std::optional<double>> history;
    // The current fraction; none when there is no reading.
    std::optional<double> current;
    int capacity = 60;
    // The graph image's width; none for the fan graph's own (fanGraphWidth of the chart length).
    std::optional<double> imageWidth;
    double chartLength = 85;
    double chartX = fanChartX;
};

// The 97 points of the path that is the ring's value arc (for the ring value) at progress 0 and
// the graph line at progress 1, kept inside the picture of that moment.
std::vector<gfx::Point> fanOutlinePoints(const FanOutlineInput& input, double progress,
                                         double ringValue);

// Everything a fan picture is painted from, captured when the images are built.
struct FanPicture {
    FanSnapshot snapshot;
    std::vector<std::optional<double>> history;
    bool dark = true;
    AppLanguage language = AppLanguage::english;
    PaletteColor color = PaletteColor::blue;
    int capacity = 60;
    double chartLength = 85;

    // fanLoadFraction of the snapshot's fans.
    std::optional<double> load() const;
    FanOutlineInput outlineInput() const;
};

// The ring: a 270° track, the load arc in the fan colour, and "−" (fanless) or "?" (no speed
// read) at the lower right when there is no speed.
void drawFanRing(gfx::Context& context, const FanPicture& picture, const gfx::Rect& rect);
// The graph: capsule, load history from x 26, the title and the busiest fan's speed in RPM.
void drawFanGraph(gfx::Context& context, const FanPicture& picture, const gfx::Rect& rect);
// The ring unrolling into the graph at progress p (0…1), in a rect of that moment's width.
void drawFanMorph(gfx::Context& context, const FanPicture& picture, const gfx::Rect& rect,
                  double progress);

// The three pictures as the strip shows them, rendered at scale 2: the ring (24 × 24), the graph
// (fanGraphWidth × 24) and the morph at a graph progress (fanModuleWidth × 24).
gfx::Image fanRingImage(const FanPicture& picture);
gfx::Image fanGraphImage(const FanPicture& picture);
gfx::Image fanTransitionImage(const FanPicture& picture, double graphProgress);

// What the ring and the graph image are cached under: exactly the figures their painters read
// (the ring's load, marker, colour and appearance; the graph's history, capacity, chart length,
// speed text, language, colour and appearance). Equal keys paint equal pictures, so an unchanged
// key needs no new rendering.
std::string fanRingKey(const FanPicture& picture);
std::string fanGraphKey(const FanPicture& picture);

// When the rotor shows speed arcs: loaded = the busiest fan turns and works at 85 % or more;
// peak = at 95 % or more (the faster arcs).
struct RotorLoad {
    bool loaded = false;
    bool peak = false;

    bool operator==(const RotorLoad&) const = default;
};
RotorLoad rotorLoad(const std::vector<FanReading>& fans);

// The key the rotor frames are cached under: "dark-loaded-peak" as true/false words.
std::string rotorFramesKey(bool dark, RotorLoad load);

// The rotor's turns per second: 0 while hidden, with animation off or animations disabled;
// otherwise 0.55 turns per 1,000 RPM of the busiest fan (0 without a speed).
double rotorSpeed(FanDisplayMode mode, FanAnimationMode animation, bool animationsEnabled,
                  const std::vector<FanReading>& fans);

// Redraws per second of the turning rotor: off 0, efficient 12, smooth 30.
int rotorFrameRate(FanAnimationMode animation);

// The rotor timer's interval for a rate: 1 / rate, or 1 s for a rate of 0.
double rotorTimerInterval(int frameRate);

// Carries the angle reached at the old speed into the phase (folded into 0…120°, the blades'
// symmetry) and continues from now at the new speed.
void rebasePhase(FanPhaseClock& phase, double now, double speed);

} // namespace pulsedeck
