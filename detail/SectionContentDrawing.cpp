#include "detail/SectionContentDrawing.h"

#include "detail/DeviceCards.h"
#include "detail/ModuleFigures.h"
#include "drawing/CenteredTextOrigin.h"
#include "platform/graphics/AttributedString.h"
#include "platform/graphics/Path.h"

#include <algorithm>

namespace pulsedeck {

namespace {

constexpr double labelFontSize = 11;
constexpr double chartCornerRadius = 10;
constexpr double chartTitleBand = 25;
constexpr double chartTitleInset = 10;
constexpr double colorRowLabelWidth = 90;

Copy colorRowKey(ModuleKind kind, ColorSlot slot) {
    if (kind != ModuleKind::compute)
        return Copy::moduleColor;
    return slot == ColorSlot::gpu ? Copy::gpuUsage : Copy::cpuUsage;
}

void drawColorRowLabels(gfx::Context& context, ModuleKind kind, const SectionContent& content) {
    for (const ColorSlot slot : colorSlots(kind)) {
        const gfx::Rect* r = findRegion(content.regions, "color-" + std::string(toString(slot)));
        if (!r)
            continue;
        const std::string label = text(colorRowKey(kind, slot), content.language);
        const gfx::Rect rect{0, r->minY(), colorRowLabelWidth, r->height()};
        drawLabel(context, label, rect,
                  fittedSystemFont(label, rect.width(), labelFontSize, gfx::FontWeight::medium),
                  gfx::Color::secondaryLabel());
    }
}

} // namespace

const gfx::Rect* findRegion(const SectionRegions& regions, std::string_view name) {
    const auto found = regions.find(name);
    return found == regions.end() ? nullptr : &found->second;
}

gfx::Font fittedSystemFont(std::string_view text, double maxWidth, double size,
                           gfx::FontWeight weight) {
    const gfx::Font natural = gfx::Font::system(size, weight);
    const double width = gfx::textSize(text, {.font = natural}).width;
    const double fitted = std::min(size, fittedFontSize(width, maxWidth, size));
    return fitted == size ? natural : gfx::Font::system(fitted, weight);
}

void drawLabel(gfx::Context& context, std::string_view text, const gfx::Rect& rect,
               const gfx::Font& font, const gfx::Color& color) {
    const gfx::TextAttributes attributes{.font = font, .color = color};
    const double height = std::min(gfx::textSize(text, attributes).height, rect.height());
    gfx::drawText(context, text, {rect.minX(), rect.midY() - height / 2, rect.width(), height},
                  attributes);
}

void drawRegionLabel(gfx::Context& context, const SectionRegions& regions, std::string_view region,
                     Copy key, AppLanguage language, const gfx::Color& color) {
    const gfx::Rect* r = findRegion(regions, region);
    if (!r)
        return;
    const std::string label = text(key, language);
    drawLabel(context, label, *r,
              fittedSystemFont(label, r->width(), labelFontSize, gfx::FontWeight::medium), color);
}

void drawRegionValue(gfx::Context& context, const SectionRegions& regions, std::string_view region,
                     double rightEdge, const std::string& value, const gfx::Color& color) {
    const gfx::Rect* r = findRegion(regions, region);
    if (!r)
        return;
    const gfx::TextAttributes attributes{
        .font = gfx::Font::monospacedDigitSystem(labelFontSize, gfx::FontWeight::medium),
        .color = color};
    const double width = gfx::textSize(value, attributes).width;
    gfx::drawText(context, value,
                  gfx::Point{rightEdge - width, centeredTextOriginY(value, attributes.font, *r)},
                  attributes);
}

void drawChartCard(gfx::Context& context, const SectionContent& content,
                   const SectionColors& colors, std::string_view region, Copy title,
                   const ChartRoutine& chart) {
    const gfx::Rect* found = findRegion(content.regions, region);
    if (!found)
        return;
    const gfx::Rect r = *found;
    const gfx::Path card = gfx::Path::roundedRect(r, chartCornerRadius, chartCornerRadius);
    context.setFillColor(colors.cardFill);
    context.fill(card);
    const bool details = content.presentation == DetailPresentation::details;
    {
        gfx::Context::SavedState saved(context);
        context.clip(card);
        const double band = details ? chartTitleBand : 0;
        chart(context, {r.minX(), r.minY(), r.width(), r.height() - band});
    }
    if (details) {
        const std::string label = text(title, content.language);
        const gfx::Rect band{r.minX() + chartTitleInset, r.maxY() - chartTitleBand,
                             r.width() - 2 * chartTitleInset, chartTitleBand};
        drawLabel(context, label, band,
                  fittedSystemFont(label, band.width(), labelFontSize, gfx::FontWeight::medium),
                  colors.muted);
    }
}

void drawSectionContent(gfx::Context& context, ModuleKind kind, const SectionContent& content) {
    drawColorRowLabels(context, kind, content);
    const SectionColors colors;
    if (kind == ModuleKind::devices) {
        drawDeviceCards(context, content, colors);
        drawRegionLabel(context, content.regions, "deviceHint", Copy::deviceRateHint,
                        content.language, colors.muted);
    }
    drawMemoryFigures(context, content, colors);
    drawFanFigures(context, content, colors);
    drawNetworkFigures(context, content, colors);
    drawComputeFigures(context, content, colors);
    drawTemperatureFigures(context, content, colors);
}

} // namespace pulsedeck
