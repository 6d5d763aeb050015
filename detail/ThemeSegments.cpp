#include "detail/ThemeSegments.h"

#include "platform/graphics/AttributedString.h"
#include "platform/graphics/Context.h"
#include "platform/graphics/Path.h"

#include <algorithm>

namespace pulsedeck {

namespace {

constexpr double backgroundRadius = 6;
constexpr double chipInset = 2;
constexpr double chipRadius = 4;
constexpr double defaultFontSize = 11;
constexpr gfx::Size imageSize{20, 12};
constexpr double imageAdvance = 24;

struct SegmentPalette {
    gfx::Color background, chip, chipShadow, chipOutline;
};

SegmentPalette paletteFor(bool dark) {
    if (dark)
        return {gfx::Color::white().withAlpha(0.08), gfx::Color::white().withAlpha(0.2),
                gfx::Color::black().withAlpha(0.35), gfx::Color::white().withAlpha(0.1)};
    return {gfx::Color::black().withAlpha(0.04), gfx::Color::white(),
            gfx::Color::black().withAlpha(0.12), gfx::Color::black().withAlpha(0.08)};
}

} // namespace

std::vector<gfx::Rect> neutralSegmentFrames(const gfx::Rect& bounds,
                                            const std::vector<double>& widths) {
    double total = 0;
    for (double width : widths)
        total += std::max(width, 1.0);
    std::vector<gfx::Rect> frames;
    double x = bounds.minX();
    for (double width : widths) {
        const double share = bounds.width() * std::max(width, 1.0) / total;
        frames.push_back({x, bounds.minY(), share, bounds.height()});
        x += share;
    }
    return frames;
}

std::vector<gfx::Rect> ThemeSegments::segmentFrames() const {
    std::vector<double> widths;
    for (int i = 0; i < segmentCount(); ++i)
        widths.push_back(width(i));
    return neutralSegmentFrames(bounds(), widths);
}

void ThemeSegments::drawRect(gfx::Context& context, const gfx::Rect&) {
    const SegmentPalette palette = paletteFor(effectiveAppearance() == gfx::Appearance::dark);
    context.setFillColor(palette.background);
    context.fill(gfx::Path::roundedRect(bounds(), backgroundRadius, backgroundRadius));
    const std::vector<gfx::Rect> frames = segmentFrames();
    for (std::size_t i = 0; i < frames.size(); ++i)
        drawSegment(context, int(i), frames[i]);
}

void ThemeSegments::drawSegment(gfx::Context& context, int segment, const gfx::Rect& frame) {
    const bool selected = isSelected(segment);
    if (selected) {
        const SegmentPalette palette = paletteFor(effectiveAppearance() == gfx::Appearance::dark);
        const gfx::Path chip =
            gfx::Path::roundedRect(frame.insetBy(chipInset, chipInset), chipRadius, chipRadius);
        {
            gfx::Context::SavedState saved(context);
            context.setShadow(gfx::Shadow{palette.chipShadow, 2, {0, -0.5}});
            context.setFillColor(palette.chip);
            context.fill(chip);
        }
        context.setStrokeColor(palette.chipOutline);
        context.setLineWidth(0.5);
        context.stroke(chip);
    }

    const std::string text = label(segment);
    const double size = font() ? font()->pointSize() : defaultFontSize;
    const gfx::TextAttributes attributes{
        gfx::Font::system(size, selected ? gfx::FontWeight::semibold : gfx::FontWeight::regular),
        selected ? gfx::Color::label() : gfx::Color::secondaryLabel()};
    const gfx::Size measured = gfx::textSize(text, attributes);
    const std::optional<gfx::Image> picture = image(segment);
    const double contentWidth = measured.width + (picture ? imageAdvance : 0);
    double x = frame.midX() - contentWidth / 2;
    if (picture) {
        picture->draw(
            context,
            gfx::Rect{x, frame.midY() - imageSize.height / 2, imageSize.width, imageSize.height},
            {.respectFlipped = true});
        x += imageAdvance;
    }
    gfx::drawText(context, text, gfx::Point{x, frame.midY() - measured.height / 2}, attributes);
}

} // namespace pulsedeck
