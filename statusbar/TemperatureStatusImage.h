#pragma once

#include "model/Localization.h"
#include "platform/graphics/Color.h"
#include "platform/graphics/Context.h"
#include "platform/graphics/Geometry.h"
#include "platform/graphics/Image.h"
#include "statusbar/FanMorph.h"
#include "statusbar/FanStatusImage.h"

#include <optional>
#include <string>
#include <vector>

// The temperature module's pictures: a thermometer ring gauge whose liquid rises with the heat,
// the chart of recent readings with title and value, and the morph between them. Main thread:
// text is measured on the thread that draws.
namespace pulsedeck {

class CapsuleCache;

// How full the gauge is for a reading: a third at 55 °C (linear from 0 °C), then a smoothstep to
// full at 95 °C; 0 without a finite reading.
double heatFraction(std::optional<double> celsius);

// The gauge in a 24 × 24 pt rect, without a capsule: the 270° track, the value arc in the heat
// colour, the thermometer glyph filled to the level, and the rounded reading with a small "°"
// ("–" without a reading). Always true (a drawing handler's answer).
bool drawThermometer(gfx::Context& context, bool dark, std::optional<double> celsius,
                     std::optional<gfx::Color> tint, const gfx::Rect& rect, double level);

// Everything a temperature picture is drawn from.
struct TemperaturePicture {
    std::optional<double> celsius;
    // Readings in °C, oldest first.
    std::vector<std::optional<double>> history;
    AppLanguage language = AppLanguage::english;
    bool dark = true;
    std::optional<gfx::Color> tint;
    double chartLength = 85;

    bool operator==(const TemperaturePicture&) const = default;
};

// The chart image's width: 5 + the chart + 7 + the widest of the value, the title and "0 °C",
// rounded up, + 8.
double temperatureChartWidth(const TemperaturePicture& picture);

// The outline of the picture's line at a morph progress for a gauge level: the fan outline over
// the readings scaled by 110 °C, from the chart start x 5 in an image of the chart's width.
std::vector<gfx::Point> temperatureOutlinePoints(const TemperaturePicture& picture,
                                                 double chartWidth, double progress, double level);

// The thermometer unrolling into the chart at progress p (0…1) in an image rect of that
// moment's width; the chart image is chartWidth wide. Always true.
bool drawTemperatureMorph(gfx::Context& context, const TemperaturePicture& picture,
                          double chartWidth, const gfx::Rect& rect, double progress, double level);

// The picture as the strip shows it at a progress (0 thermometer, 1 chart) and liquid level,
// rendered at scale 2: 24 pt wide as a thermometer, the chart's width as a chart, linear between.
gfx::Image temperatureStatusImage(CapsuleCache& capsules, const TemperaturePicture& picture,
                                  double progress, double level);

// The pace of the morph for a gauge level: the line's points and the width from 24 to the
// chart's.
FanMotionProfile temperatureMotionProfile(const TemperaturePicture& picture, double level);

} // namespace pulsedeck
