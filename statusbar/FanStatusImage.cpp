#include "statusbar/FanStatusImage.h"

#include "drawing/RenderedBitmapImage.h"
#include "platform/foundation/NumberFormatting.h"
#include "platform/graphics/Path.h"
#include "sources/FanReading.h"
#include "statusbar/ClippedLayer.h"
#include "statusbar/HistorySegments.h"
#include "statusbar/MenuBarContentView.h"
#include "statusbar/StatusFonts.h"
#include "statusbar/StatusLayout.h"
#include "statusbar/StatusText.h"
#include "statusbar/StripMetrics.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <type_traits>

namespace pulsedeck {

namespace {

constexpr double ringRadius = 9.9;
constexpr double ringCentre = 12;
constexpr double ringStart = 225;
constexpr double ringSweep = 270;
constexpr double ringWidth = 2.2;
constexpr double trackAlpha = 0.2;
constexpr double markerInset = 6;
constexpr double markerFontSize = 7.0;

// The graph's room besides its chart: 26 before it, 70 after it for the texts.
constexpr double graphExtraWidth = 96;
constexpr double capsuleRadius = 12;
constexpr double capsuleAlphaDark = 0.1;
constexpr double capsuleAlphaLight = 0.06;
constexpr double plotBottom = 3;
constexpr double plotHeight = 18;
constexpr double graphFillAlpha = 0.3;
constexpr double titleAlpha = 0.65;
constexpr double titleY = 13;
constexpr double valueY = 2;
constexpr double textInset = 8;

constexpr int outlineSegments = 96;
// The outline stays this far inside the picture's edges.
constexpr double outlineMargin = 2.1;

constexpr double rpmToTurnsPerSecond = 0.55 / 1000;
constexpr double loadedFraction = 0.85;
constexpr double peakFraction = 0.95;
constexpr double bladeSymmetry = 120;

double unit(double value) {
    return std::isnan(value) ? 0 : std::clamp(value, 0.0, 1.0);
}

double radians(double degrees) {
    return degrees * std::numbers::pi / 180;
}

gfx::Color baseColor(bool dark) {
    return dark ? gfx::Color::white() : gfx::Color::black();
}

const gfx::Font& markerFont() {
    static const gfx::Font font = gfx::Font::system(markerFontSize, gfx::FontWeight::semibold);
    return font;
}

// The angle where the ring's value arc ends: 225° less 270° of the value (225° for a negative
// value or one that is not a number).
double ringEndAngle(double value) {
    if (!(value > 0)) {
        return ringStart;
    }
    return ringStart - ringSweep * std::min(value, 1.0);
}

gfx::Path ringArc(gfx::Point centre, double endAngle) {
    gfx::Path arc;
    arc.appendArc(centre, ringRadius, ringStart, endAngle, true);
    arc.setLineWidth(ringWidth);
    arc.setLineCap(gfx::LineCap::round);
    return arc;
}

std::string rpmText(const FanSnapshot& snapshot) {
    std::optional<FanReading> busiest = busiestFan(snapshot.fans);
    if (!busiest || !busiest->rpm) {
        return "\u2014 RPM";
    }
    return foundation::formatFixed(*busiest->rpm, 0) + " RPM";
}

void drawGraphTexts(gfx::Context& context, const FanPicture& picture, double rightX, double bottomY,
                    double alpha) {
    const gfx::Color base = baseColor(picture.dark);
    drawTextEndingAt(context, text(Copy::fanShort, picture.language), statusTitleFont(),
                     base.withAlpha(titleAlpha * alpha), rightX, bottomY + titleY);
    drawTextEndingAt(context, rpmText(picture.snapshot), statusValueFont(), base.withAlpha(alpha),
                     rightX, bottomY + valueY);
}

gfx::Path capsulePath(const gfx::Rect& rect) {
    return gfx::Path::roundedRect(rect.insetBy(1, 0), capsuleRadius, capsuleRadius);
}

// Raw bytes rather than formatted text: a key is built on every status rebuild, and byte
// equality of the figures is all it has to tell. Only scalars go in, so no padding does.
struct BackdropKey {
    std::string bytes;

    template <typename T> void add(T value) {
        static_assert(std::is_scalar_v<T>);
        bytes.append(reinterpret_cast<const char*>(&value), sizeof value);
    }
    void addOptional(std::optional<double> value) {
        add(value.has_value());
        add(value.value_or(0));
    }
};

// Painted and rasterised at once, so the painter may refer to the caller's picture.
gfx::Image rendered(const FanPicture& picture, double width,
                    const std::function<void(gfx::Context&, const gfx::Rect&)>& paint) {
    gfx::Image image = gfx::Image::withDrawingHandler(
        {width, fanRingSide}, false, [&paint](gfx::Context& context, const gfx::Rect& rect) {
            paint(context, rect);
            return true;
        });
    return renderedBitmapImage(image, 2, picture.dark);
}

} // namespace

double smootherstep(double x) {
    const double t = unit(x);
    return t * t * t * (t * (6 * t - 15) + 10);
}

int historySlots(int capacity) {
    return std::max(capacity, 2);
}

double fanGraphWidth(double chartLength) {
    return statusChartWidth(chartLength) + graphExtraWidth;
}

FanOutlineGeometry fanOutlineGeometry(double progress, double value, double length) {
    const double p = unit(progress);
    const double v = unit(value);
    const double a = std::clamp(2 * (p - 0.25), 0.0, 1.0);
    const double b = std::clamp((p - 0.4) / 0.48, 0.0, 1.0);
    const double k = std::clamp(4 * p, 0.0, 1.0);
    const double valueArc = ringRadius * radians(ringSweep * v);
    const double sa = smootherstep(a);
    const double sb = smootherstep(b);
    const double beta = radians(ringEndAngle(value) + 90);
    return {ringRadius, length * sb + (1 - sb) * valueArc * sa, (1 - sa) * valueArc,
            std::atan2(std::sin(beta), std::cos(beta)) * (1 - smootherstep(k))};
}

std::vector<gfx::Point> fanOutlinePoints(const FanOutlineInput& input, double progress,
                                         double ringValue) {
    const int slots = historySlots(input.capacity);
    const std::size_t n = std::min(input.history.size(), static_cast<std::size_t>(slots));
    const std::span<const std::optional<double>> recent = input.history.last(n);
    const double span = slots - 1;
    const double s0 = n >= 1 ? std::max((span - static_cast<double>(n)) / span, 0.0) : 0.0;

    const double p = unit(progress);
    const double length = statusChartWidth(input.chartLength);
    const double xStart = input.chartX + s0 * length;
    const double xEnd = input.chartX + length;
    const FanOutlineGeometry shape = fanOutlineGeometry(p, ringValue, xEnd - xStart);

    std::vector<gfx::Point> local;
    local.reserve(outlineSegments + 1);
    const double cosR = std::cos(shape.rotation);
    const double sinR = std::sin(shape.rotation);
    double minX = INFINITY, maxX = -INFINITY, minY = INFINITY, maxY = -INFINITY;
    for (int i = 0; i <= outlineSegments; ++i) {
        const double d = (shape.straight + shape.arc) * i / outlineSegments;
        double x = d;
        double y = 0;
        if (d > shape.straight) {
            const double phi = (d - shape.straight) / shape.radius;
            x = shape.straight + shape.radius * std::sin(phi);
            y = shape.radius * (1 - std::cos(phi));
        }
        const gfx::Point point{x * cosR - y * sinR, x * sinR + y * cosR};
        minX = std::min(minX, point.x);
        maxX = std::max(maxX, point.x);
        minY = std::min(minY, point.y);
        maxY = std::max(maxY, point.y);
        local.push_back(point);
    }

    const std::optional<double> current =
        input.current && std::isfinite(*input.current) ? input.current : std::nullopt;
    auto graphHeight = [&](double t) {
        if (n < 1) {
            return current.value_or(0) * plotHeight + plotBottom;
        }
        const double position = (s0 + (1 - s0) * t) * span - (slots - static_cast<double>(n));
        const double last = static_cast<double>(n - 1);
        const double i0 = std::clamp(std::floor(position), 0.0, last);
        const double i1 = std::min(i0 + 1, last);
        const double w = std::clamp(position - i0, 0.0, 1.0);
        auto entry = [&](double index) -> std::optional<double> {
            const std::optional<double>& value = recent[static_cast<std::size_t>(index)];
            return value && std::isfinite(*value) ? value : std::nullopt;
        };
        const double a = entry(i0).value_or(current.value_or(0));
        const double b = entry(i1).value_or(a);
        return (a + w * (b - a)) * plotHeight + plotBottom;
    };

    const double endAngle = radians(ringEndAngle(ringValue));
    const gfx::Point ringEnd{ringCentre + ringRadius * std::cos(endAngle),
                             ringCentre + ringRadius * std::sin(endAngle)};
    const double q = smootherstep(p / 0.45);
    const gfx::Point start{ringEnd.x * (1 - q) + q * xStart,
                           ringEnd.y * (1 - q) + q * graphHeight(0)};

    const double fullWidth = input.imageWidth.value_or(fanGraphWidth(input.chartLength));
    const double widthNow = fanRingSide + p * (fullWidth - fanRingSide);
    const double ox =
        std::max(outlineMargin - minX, std::min(widthNow - outlineMargin - maxX, start.x));
    const double oy =
        std::max(outlineMargin - minY, std::min(fanRingSide - outlineMargin - maxY, start.y));
    const double settle = smootherstep((p - 0.82) / 0.18);

    std::vector<gfx::Point> points;
    points.reserve(local.size());
    for (int i = 0; i <= outlineSegments; ++i) {
        const gfx::Point& point = local[static_cast<std::size_t>(i)];
        const double graphY =
            settle > 0 ? graphHeight(static_cast<double>(i) / outlineSegments) : 0;
        points.push_back({ox + point.x, (1 - settle) * (oy + point.y) + settle * graphY});
    }
    return points;
}

std::optional<double> FanPicture::load() const {
    return fanLoadFraction(snapshot.fans);
}

FanOutlineInput FanPicture::outlineInput() const {
    return {history, load(), capacity, std::nullopt, chartLength, fanChartX};
}

void drawFanRing(gfx::Context& context, const FanPicture& picture, const gfx::Rect& rect) {
    const gfx::Point centre = rect.center();
    context.setStrokeColor(baseColor(picture.dark).withAlpha(trackAlpha));
    ringArc(centre, ringStart - ringSweep).stroke(context);

    const std::optional<double> load = picture.load();
    if (load && *load > 0) {
        context.setStrokeColor(toColor(picture.color));
        ringArc(centre, ringEndAngle(*load)).stroke(context);
    }

    const std::optional<FanReading> busiest = busiestFan(picture.snapshot.fans);
    if (!busiest || !busiest->rpm) {
        const char* marker = picture.snapshot.detectedCount == 0 ? "\u2212" : "?";
        drawTextAt(context, marker, markerFont(), gfx::Color::secondaryLabel(),
                   rect.maxX() - markerInset, rect.minY());
    }
}

void drawFanGraph(gfx::Context& context, const FanPicture& picture, const gfx::Rect& rect) {
    const gfx::Color base = baseColor(picture.dark);
    context.setFillColor(base.withAlpha(picture.dark ? capsuleAlphaDark : capsuleAlphaLight));
    capsulePath(rect).fill(context);

    const gfx::Rect chart{rect.minX() + fanChartX, rect.minY() + plotBottom,
                          statusChartWidth(picture.chartLength), plotHeight};
    std::vector<std::optional<double>> heights;
    heights.reserve(picture.history.size());
    for (const std::optional<double>& value : picture.history) {
        heights.push_back(value && std::isfinite(*value) ? std::optional(unit(*value))
                                                         : std::nullopt);
    }
    const std::vector<HistorySegment> segments =
        historySegments(heights, static_cast<std::size_t>(historySlots(picture.capacity)), chart);
    const gfx::Color colour = toColor(picture.color);
    {
        gfx::Context::SavedState saved(context);
        context.clipToRect(chart);
        gfx::ChartPainter painter(context);
        fillHistorySegments(painter, segments, chart.minY(), [&](const HistorySegment&) {
            return colour.withAlpha(graphFillAlpha);
        });
        strokeHistorySegments(painter, segments, [&](const HistorySegment&) { return colour; });
    }
    drawGraphTexts(context, picture, rect.maxX() - textInset, rect.minY(), 1);
}

void drawFanMorph(gfx::Context& context, const FanPicture& picture, const gfx::Rect& rect,
                  double progress) {
    const double p = unit(progress);
    gfx::Context::SavedState saved(context);
    context.translate(rect.minX(), rect.minY());
    const gfx::Rect local{0, 0, rect.width(), rect.height()};
    const gfx::Color base = baseColor(picture.dark);

    const gfx::Path capsule = capsulePath(local);
    drawThroughClip(context, capsule, [&] {
        context.setFillColor(
            base.withAlpha(p * (picture.dark ? capsuleAlphaDark : capsuleAlphaLight)));
        capsule.fill(context);

        const FanOutlineInput input = picture.outlineInput();
        const double trackAlphaNow = (1 - smootherstep(p / 0.22)) * trackAlpha;
        if (trackAlphaNow > 0) {
            context.setStrokeColor(base.withAlpha(trackAlphaNow));
            MenuBarContentView::fanGraphStrokePath(fanOutlinePoints(input, p, 1.0), p)
                .stroke(context);
        }

        const std::optional<double> load = input.current;
        const bool anyHistory = std::any_of(picture.history.begin(), picture.history.end(),
                                            [](const std::optional<double>& v) { return v; });
        if (load || anyHistory) {
            const std::vector<gfx::Point> points = fanOutlinePoints(input, p, load.value_or(0));
            const gfx::Path path = MenuBarContentView::fanGraphStrokePath(points, p);
            const gfx::Color colour = toColor(picture.color);
            if (p > 0.62 && !points.empty()) {
                gfx::Path area = path;
                area.lineTo({points.back().x, plotBottom});
                area.lineTo({points.front().x, plotBottom});
                area.close();
                context.setFillColor(
                    colour.withAlpha(smootherstep((p - 0.62) / 0.32) * graphFillAlpha));
                area.fill(context);
            }
            context.setStrokeColor(colour);
            path.stroke(context);
        }

        const double textAlpha = std::clamp((p - 0.9) / 0.1, 0.0, 1.0);
        if (textAlpha > 0) {
            drawGraphTexts(context, picture, local.width() - textInset, 0, textAlpha);
        }
    });
}

gfx::Image fanRingImage(const FanPicture& picture) {
    return rendered(picture, fanRingSide, [&picture](gfx::Context& context, const gfx::Rect& rect) {
        drawFanRing(context, picture, rect);
    });
}

gfx::Image fanGraphImage(const FanPicture& picture) {
    return rendered(picture, fanGraphWidth(picture.chartLength),
                    [&picture](gfx::Context& context, const gfx::Rect& rect) {
                        drawFanGraph(context, picture, rect);
                    });
}

gfx::Image fanTransitionImage(const FanPicture& picture, double graphProgress) {
    const double g = unit(graphProgress);
    return rendered(picture, fanModuleWidth(picture.chartLength, g),
                    [&picture, g](gfx::Context& context, const gfx::Rect& rect) {
                        drawFanMorph(context, picture, rect, g);
                    });
}

std::string fanRingKey(const FanPicture& picture) {
    BackdropKey key;
    key.add(picture.dark);
    key.add(picture.color);
    key.addOptional(picture.load());
    const std::optional<FanReading> busiest = busiestFan(picture.snapshot.fans);
    key.add(busiest && busiest->rpm);
    key.add(picture.snapshot.detectedCount == 0);
    return std::move(key.bytes);
}

std::string fanGraphKey(const FanPicture& picture) {
    BackdropKey key;
    key.add(picture.dark);
    key.add(picture.color);
    key.add(picture.language);
    key.add(picture.capacity);
    key.add(picture.chartLength);
    const std::string speed = rpmText(picture.snapshot);
    key.add(speed.size());
    key.bytes += speed;
    key.add(picture.history.size());
    for (const std::optional<double>& value : picture.history) {
        key.addOptional(value);
    }
    return std::move(key.bytes);
}

RotorLoad rotorLoad(const std::vector<FanReading>& fans) {
    const std::optional<double> load = fanLoadFraction(fans);
    const std::optional<FanReading> busiest = busiestFan(fans);
    const bool turning = busiest && busiest->rpm && *busiest->rpm > 0;
    return {turning && load && *load >= loadedFraction, load && *load >= peakFraction};
}

std::string rotorFramesKey(bool dark, RotorLoad load) {
    auto word = [](bool flag) { return flag ? "true" : "false"; };
    return std::string(word(dark)) + "-" + word(load.loaded) + "-" + word(load.peak);
}

double rotorSpeed(FanDisplayMode mode, FanAnimationMode animation, bool animationsEnabled,
                  const std::vector<FanReading>& fans) {
    if (mode == FanDisplayMode::hidden || animation == FanAnimationMode::off ||
        !animationsEnabled) {
        return 0;
    }
    const std::optional<FanReading> busiest = busiestFan(fans);
    if (busiest && busiest->rpm && *busiest->rpm > 0 && std::isfinite(*busiest->rpm)) {
        return *busiest->rpm * rpmToTurnsPerSecond;
    }
    return 0;
}

int rotorFrameRate(FanAnimationMode animation) {
    switch (animation) {
    case FanAnimationMode::off:
        return 0;
    case FanAnimationMode::efficient:
        return 12;
    case FanAnimationMode::smooth:
        return 30;
    }
    return 0;
}

double rotorTimerInterval(int frameRate) {
    return frameRate > 0 ? 1.0 / frameRate : 1.0;
}

void rebasePhase(FanPhaseClock& phase, double now, double speed) {
    phase.phase = std::fmod(phase.angle(now), bladeSymmetry);
    phase.lastTime = now;
    phase.speed = speed;
}

} // namespace pulsedeck
