#include "statusbar/TemperatureStatusImage.h"

#include "drawing/RenderedBitmapImage.h"
#include "platform/foundation/NumberFormatting.h"
#include "platform/graphics/AttributedString.h"
#include "platform/graphics/Path.h"
#include "statusbar/CapsuleImage.h"
#include "statusbar/ClippedLayer.h"
#include "statusbar/FanModeMorph.h"
#include "statusbar/MenuBarContentView.h"
#include "statusbar/MetricStatusDrawing.h"
#include "statusbar/StatusFonts.h"
#include "statusbar/StatusLayout.h"
#include "statusbar/StatusText.h"

#include <algorithm>
#include <cmath>

namespace pulsedeck {

namespace {

constexpr double gaugeSide = 24;
constexpr double gaugeRadius = 9.9;
constexpr double gaugeStart = 225;
constexpr double gaugeSweep = 270;
constexpr double gaugeWidth = 2.2;
constexpr double trackAlpha = 0.2;

constexpr double glyphLightGrey = 0.42;
constexpr double glyphAlpha = 0.9;
constexpr double glyphLineWidth = 0.6;
constexpr double glyphFillHeight = 6.6;
constexpr gfx::Rect glyphFillRect{10, 13, 4, 0};

constexpr double numberAlpha = 0.94;
constexpr double numberKern = -0.2;
constexpr double largeNumberSize = 8.6;
constexpr double smallNumberSize = 6.9;
constexpr double degreeSize = 5.6;
constexpr double degreeAlpha = 0.9;
constexpr double numberCentreX = 12;
constexpr double numberBaseline = 8.2;

// The heat at which the gauge is a third full, and the span over which it fills the rest.
constexpr double warmCelsius = 55;
constexpr double hotSpan = 40;
// Readings are drawn against this many °C at the chart's full height.
constexpr double chartScale = 110;
constexpr std::size_t chartSlots = 60;
constexpr double chartX = 5;
constexpr double plotBottom = 3;
constexpr double plotHeight = 18;
constexpr double chartGap = 7;
constexpr double textInset = 8;

constexpr double capsuleRadius = 12;
constexpr double capsuleAlphaDark = 0.1;
constexpr double capsuleAlphaLight = 0.06;
constexpr double titleAlpha = 0.72;
constexpr double titleY = 13;
constexpr double valueY = 2;
constexpr double separatorAlpha = 0.15;
constexpr double lineFillAlpha = 0.3;
constexpr gfx::Rect fadingGaugeClip{5, 1, 14, 19};

gfx::Color baseColor(bool dark) {
    return dark ? gfx::Color::white() : gfx::Color::black();
}

std::optional<double> finite(std::optional<double> value) {
    return value && std::isfinite(*value) ? value : std::nullopt;
}

std::string celsiusValueText(std::optional<double> celsius) {
    if (!finite(celsius)) {
        return "\u2014 \u00B0C";
    }
    return foundation::formatFixed(*celsius, 0) + " \u00B0C";
}

std::size_t characterCount(const std::string& text) {
    return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

gfx::Font gaugeFont(double size, gfx::FontWeight weight) {
    return gfx::Font::roundedSystem(size, weight).value_or(gfx::Font::system(size, weight));
}

gfx::Path gaugeArc(gfx::Point centre, double endAngle) {
    gfx::Path arc;
    arc.appendArc(centre, gaugeRadius, gaugeStart, endAngle, true);
    arc.setLineWidth(gaugeWidth);
    arc.setLineCap(gfx::LineCap::round);
    return arc;
}

// The thermometer's outline in the gauge's own 24 × 24 space: the stem from the bulb up to the
// rounded cap and down again, then round the bulb.
gfx::Path glyphOutline() {
    gfx::Path outline;
    outline.moveTo({11.35, 15.3});
    outline.lineTo({11.35, 18.9});
    outline.appendArc({12, 18.9}, 0.65, 180, 0, true);
    outline.lineTo({12.65, 15.3});
    outline.appendArc({12, 14.35}, 1.2, 57, 123, true);
    outline.close();
    return outline;
}

gfx::Image chartImage(CapsuleCache& capsules, const TemperaturePicture& picture, double width) {
    return renderedCapsuleImage(
        capsules, {width, gaugeSide}, picture.dark,
        [&picture](gfx::Context& context, const gfx::Rect& rect) {
            const gfx::Rect chart{chartX, plotBottom, statusChartWidth(picture.chartLength),
                                  plotHeight};
            return drawInCapsule(context, picture.dark, rect,
                                 [&](const gfx::Color& foreground, const gfx::Rect& imageRect) {
                                     drawGraphWithValue(context, foreground, imageRect, chart,
                                                        picture.history, picture.tint,
                                                        picture.language, picture.celsius);
                                 });
        });
}

} // namespace

double heatFraction(std::optional<double> celsius) {
    if (!finite(celsius)) {
        return 0;
    }
    const double t = *celsius;
    if (t <= warmCelsius) {
        return std::max(t, 0.0) / warmCelsius / 3;
    }
    const double u = std::clamp((t - warmCelsius) / hotSpan, 0.0, 1.0);
    return 1.0 / 3 + 2.0 / 3 * smoothstep(u);
}

bool drawThermometer(gfx::Context& context, bool dark, std::optional<double> celsius,
                     std::optional<gfx::Color> tint, const gfx::Rect& rect, double level) {
    const gfx::Color base = baseColor(dark);
    const std::optional<double> reading = finite(celsius);
    const gfx::Point centre = rect.center();

    context.setStrokeColor(base.withAlpha(trackAlpha));
    gaugeArc(centre, gaugeStart - gaugeSweep).stroke(context);
    if (reading && level > 0) {
        context.setStrokeColor(temperatureColor(reading, tint));
        gaugeArc(centre, gaugeStart - gaugeSweep * std::min(level, 1.0)).stroke(context);
    }

    gfx::Context::SavedState placed(context);
    context.translate(rect.minX(), rect.minY());

    const gfx::Color glyph =
        (dark ? gfx::Color::white() : gfx::Color::grey(glyphLightGrey)).withAlpha(glyphAlpha);
    gfx::Path outline = glyphOutline();
    {
        gfx::Context::SavedState clipped(context);
        outline.addClip(context);
        const double filled = level > 0 ? std::min(level, 1.0) * glyphFillHeight : 0;
        context.setFillColor(glyph);
        context.fillRect({glyphFillRect.x(), glyphFillRect.y(), glyphFillRect.width(), filled});
    }
    outline.setLineWidth(glyphLineWidth);
    context.setStrokeColor(glyph);
    outline.stroke(context);

    std::string number = "\u2013";
    if (reading) {
        number = foundation::formatFixed(*reading, 0);
    }
    const bool shortNumber = characterCount(number) < 3;
    const gfx::Font numberFont =
        gaugeFont(shortNumber ? largeNumberSize : smallNumberSize, gfx::FontWeight::bold);
    const gfx::Color numberColor = base.withAlpha(numberAlpha);
    gfx::AttributedString label(number,
                                {.font = numberFont, .color = numberColor, .kern = numberKern});
    double degreeWidth = 0;
    if (reading && shortNumber) {
        const gfx::Font degreeFont = gaugeFont(degreeSize, gfx::FontWeight::semibold);
        const gfx::TextAttributes degree{.font = degreeFont,
                                         .color = numberColor.withAlpha(numberAlpha * degreeAlpha),
                                         .baselineOffset =
                                             numberFont.capHeight() - degreeFont.capHeight() - 0.3};
        label.append("\u00B0", degree);
        degreeWidth = gfx::textSize("\u00B0", {.font = degreeFont}).width;
    }
    const double x = numberCentreX - (label.size().width - degreeWidth) / 2;
    const double y = numberFont.descender() + numberBaseline - numberFont.capHeight() / 2;
    label.draw(context, {x, y});
    return true;
}

double temperatureChartWidth(const TemperaturePicture& picture) {
    const double texts =
        std::max({textWidth(celsiusValueText(picture.celsius), statusValueFont()),
                  textWidth(text(Copy::shortTemperature, picture.language), statusTitleFont()),
                  textWidth("0 \u00B0C", statusValueFont())});
    return chartX + statusChartWidth(picture.chartLength) + chartGap + std::ceil(texts) + textInset;
}

std::vector<gfx::Point> temperatureOutlinePoints(const TemperaturePicture& picture,
                                                 double chartWidth, double progress, double level) {
    std::vector<std::optional<double>> scaled;
    scaled.reserve(picture.history.size());
    for (const std::optional<double>& reading : picture.history) {
        scaled.push_back(reading ? std::optional(*reading / chartScale) : std::nullopt);
    }
    const std::optional<double> current = finite(picture.celsius);
    const FanOutlineInput input{scaled,
                                current ? std::optional(*current / chartScale) : std::nullopt,
                                static_cast<int>(chartSlots),
                                chartWidth,
                                picture.chartLength,
                                chartX};
    return fanOutlinePoints(input, progress, level);
}

bool drawTemperatureMorph(gfx::Context& context, const TemperaturePicture& picture,
                          double chartWidth, const gfx::Rect& rect, double progress, double level) {
    const double p = std::clamp(progress, 0.0, 1.0);
    const gfx::Color base = baseColor(picture.dark);

    const gfx::Path capsule =
        gfx::Path::roundedRect(rect.insetBy(1, 0), capsuleRadius, capsuleRadius);
    context.setFillColor(base.withAlpha(p * (picture.dark ? capsuleAlphaDark : capsuleAlphaLight)));
    capsule.fill(context);
    drawThroughClip(context, capsule, [&] {
        const std::vector<gfx::Point> line =
            temperatureOutlinePoints(picture, chartWidth, p, level);
        const std::vector<gfx::Point> track = temperatureOutlinePoints(picture, chartWidth, p, 1);

        const double trackFade = trackAlpha * (1 - smootherstep(p / 0.22));
        if (trackFade > 0) {
            context.setStrokeColor(base.withAlpha(trackFade));
            MenuBarContentView::fanGraphStrokePath(track, p).stroke(context);
        }

        const gfx::Color heat = temperatureColor(picture.celsius, picture.tint);
        const gfx::Path path = MenuBarContentView::fanGraphStrokePath(line, p);
        if (p > 0.62 && !line.empty()) {
            gfx::Path area = path;
            area.lineTo({line.back().x, plotBottom});
            area.lineTo({line.front().x, plotBottom});
            area.close();
            context.setFillColor(heat.withAlpha(lineFillAlpha * smootherstep((p - 0.62) / 0.32)));
            area.fill(context);
        }
        context.setStrokeColor(heat);
        path.stroke(context);

        const double gaugeFade = 1 - smootherstep(p / 0.3);
        if (gaugeFade > 0) {
            gfx::Context::SavedState fading(context);
            context.clipToRect(fadingGaugeClip);
            const gfx::Image gauge = gfx::Image::withDrawingHandler(
                {gaugeSide, gaugeSide}, false,
                [&picture, level](gfx::Context& inner, const gfx::Rect& gaugeRect) {
                    return drawThermometer(inner, picture.dark, picture.celsius, picture.tint,
                                           gaugeRect, level);
                });
            gauge.draw(context, gfx::Rect{0, 0, gaugeSide, gaugeSide}, {.fraction = gaugeFade});
        }

        const double textFade = smootherstep((p - 0.75) * 4);
        const double right = rect.width() - textInset;
        drawTextEndingAt(context, text(Copy::shortTemperature, picture.language), statusTitleFont(),
                         base.withAlpha(titleAlpha * textFade), right, titleY);
        drawTextEndingAt(context, celsiusValueText(picture.celsius), statusValueFont(),
                         base.withAlpha(textFade), right, valueY);
        context.setFillColor(base.withAlpha(separatorAlpha * textFade));
        context.fillRect({statusChartWidth(picture.chartLength) + 9, 4, 0.5, 16},
                         context.compositingOperation());
    });
    return true;
}

gfx::Image temperatureStatusImage(CapsuleCache& capsules, const TemperaturePicture& picture,
                                  double progress, double level) {
    const double p = std::isnan(progress) ? 0 : std::clamp(progress, 0.0, 1.0);
    if (p <= 0) {
        const gfx::Image gauge = gfx::Image::withDrawingHandler(
            {gaugeSide, gaugeSide}, false,
            [&picture, level](gfx::Context& context, const gfx::Rect& rect) {
                return drawThermometer(context, picture.dark, picture.celsius, picture.tint, rect,
                                       level);
            });
        return renderedBitmapImage(gauge, 2, picture.dark);
    }
    const double chartWidth = temperatureChartWidth(picture);
    if (p >= 1) {
        return chartImage(capsules, picture, chartWidth);
    }
    const gfx::Image morph = gfx::Image::withDrawingHandler(
        {gaugeSide + p * (chartWidth - gaugeSide), gaugeSide}, false,
        [&picture, chartWidth, p, level](gfx::Context& context, const gfx::Rect& rect) {
            return drawTemperatureMorph(context, picture, chartWidth, rect, p, level);
        });
    return renderedBitmapImage(morph, 2, picture.dark);
}

FanMotionProfile temperatureMotionProfile(const TemperaturePicture& picture, double level) {
    const double chartWidth = temperatureChartWidth(picture);
    return measuredMotionProfile(
        [&](double t) { return temperatureOutlinePoints(picture, chartWidth, t, level); },
        [&](double t) { return gaugeSide + (chartWidth - gaugeSide) * t; });
}

} // namespace pulsedeck
