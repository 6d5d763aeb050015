#pragma once

#include "model/Localization.h"
#include "platform/graphics/Color.h"
#include "platform/graphics/Context.h"
#include "platform/graphics/Font.h"
#include "platform/graphics/Geometry.h"
#include "platform/graphics/Image.h"
#include "sources/NetworkSnapshot.h"
#include "statusbar/FigureText.h"
#include "statusbar/StatusFonts.h"

#include <functional>
#include <optional>
#include <span>

// The stateless routines the menu-bar module images are painted with: the capsule frame, the
// network segment, the temperature chart segment, the app mark, the temperature colour ramp and
// the clip and scale they share. Each draws into whatever context and rect it is given, so the
// detail view and the first-run tip reuse them. Images are y-up and 24 pt high. Main thread.
namespace pulsedeck {

// The network graph's default colours (the two fallbacks of the module colours) and the
// temperature ramp's stops.
inline constexpr gfx::Color paletteBlue = gfx::Color::srgb(0.16, 0.58, 1.0);
inline constexpr gfx::Color paletteGreen = gfx::Color::srgb(0.0, 0.82, 0.09);
inline constexpr gfx::Color temperatureGreen = gfx::Color::srgb(0.12, 0.8, 0.32);
inline constexpr gfx::Color temperatureOrange = gfx::Color::srgb(1.0, 0.58, 0.12);
inline constexpr gfx::Color temperatureRed = gfx::Color::srgb(1.0, 0.22, 0.23);

// White when dark, black when light, at full alpha: the figures' and separators' colour.
gfx::Color foregroundColor(bool dark);

// Content drawn inside a capsule: the foreground (white when dark, black when light, full
// alpha) and the image rect.
using CapsuleContent = std::function<void(const gfx::Color& foreground, const gfx::Rect& rect)>;

// The rounded frame behind the network, temperature, compute and devices images: the rect inset
// 1 pt left and right, radius 12, in the foreground at 0.1 (dark) or 0.06 (light); the content
// is drawn clipped to it. Always true (a drawing handler's answer).
bool drawCapsule(gfx::Context& context, bool dark, const gfx::Rect& rect,
                 const CapsuleContent& content);
// drawCapsule's two steps: the capsule's fill, and the content clipped to the capsule.
void fillCapsule(gfx::Context& context, bool dark, const gfx::Rect& rect);
bool drawInCapsule(gfx::Context& context, bool dark, const gfx::Rect& rect,
                   const CapsuleContent& content);

// The heat colour of a reading: the base (green when none or not convertible to sRGB) up to
// 55 °C, blending to orange at 80 °C and to red at 95 °C; the secondary label colour without a
// reading (a reading that is not a number counts as none).
gfx::Color temperatureColor(std::optional<double> celsius, std::optional<gfx::Color> base);

// Bytes per second at the full height of a network graph: the largest download or upload rate
// of the history (a missing one counting 0), at least 1024, times 1.15.
double networkScale(std::span<const NetworkSnapshot> history);

// The outline rounded on the left only (radius min(height / 2, 9)), square on the right.
gfx::Path leftRoundedPath(const gfx::Rect& rect);
// Intersects the clip with that outline.
void clipLeftRounded(gfx::Context& context, const gfx::Rect& rect);

// How a network graph and its rows are coloured.
struct NetworkColors {
    // Blue rather than green as the default module colour.
    bool blue = true;
    // The user's choice of separate download and upload colours.
    bool colored = false;
    std::optional<gfx::Color> download = std::nullopt;
    std::optional<gfx::Color> upload = std::nullopt;
    std::optional<gfx::Color> module = std::nullopt;

    bool operator==(const NetworkColors&) const = default;

    // Coloured: download or palette blue. Plain: the module colour, else blue or green.
    gfx::Color downloadColor() const;
    // Coloured: upload or the system red. Plain: the download colour at alpha 0.4.
    gfx::Color uploadColor() const;
};

// The last 60 rates of the history as two series, right-aligned (a short history fills only the
// right part): download as a filled band with a 1-pt line, upload as a line only; a missing rate
// leaves a gap. Clipped to rect.
void drawHistoryGraph(gfx::Context& context, std::span<const NetworkSnapshot> history,
                      const NetworkColors& colors, const gfx::Rect& rect);

// What the network segment shows besides its colours.
struct NetworkSegment {
    bool showsGraph = true;
    gfx::Rect graphRect = {};
    std::span<const NetworkSnapshot> history = {};
    std::optional<double> download = std::nullopt;
    std::optional<double> upload = std::nullopt;
    // x of the text column: the arrows stand 11 pt right of it.
    double textX = 0;
    // A rate text is measured in this font; wider than the budget, it is drawn smaller.
    gfx::Font referenceFont = statusFigureFont();
    double valueBudget = 0;
};

// The network segment: the optional graph with its separator, then the "↓" and "↑" rows with
// their rates right-aligned 8 pt inside the image's right edge.
void drawNetwork(gfx::Context& context, const gfx::Color& foreground, const gfx::Rect& imageRect,
                 const NetworkSegment& segment, const NetworkColors& colors);
// The texts of those rows: each arrow, then its rate.
std::vector<FigureText> networkTexts(const gfx::Color& foreground, const gfx::Rect& imageRect,
                                     const NetworkSegment& segment, const NetworkColors& colors);

// The temperature chart segment: the readings (last 60, 110 °C at full height, each step in
// its heat colour) in chartRect, a separator, the title and "%.0f °C" (or "— °C") right-aligned
// 8 pt inside the image's right edge.
void drawGraphWithValue(gfx::Context& context, const gfx::Color& foreground,
                        const gfx::Rect& imageRect, const gfx::Rect& chartRect,
                        std::span<const std::optional<double>> history,
                        std::optional<gfx::Color> base, AppLanguage language,
                        std::optional<double> celsius);

// The app mark, drawn into a 24 × 24 pt image in place of the modules. Always true.
bool drawGlyph(gfx::Context& context, bool dark);

// The app mark as the strip shows it: 24 × 24 pt, rendered at scale 2.
gfx::Image appMarkImage(bool dark);

// The faint 0.5-pt rule between a chart and its texts, at (x, 4, 0.5, 16), in the foreground at
// 0.15, filled with the context's current compositing operation.
void drawSegmentSeparator(gfx::Context& context, const gfx::Color& foreground, double x);

} // namespace pulsedeck
