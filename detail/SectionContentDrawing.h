#pragma once

#include "detail/SectionContent.h"
#include "platform/graphics/Color.h"
#include "platform/graphics/Context.h"
#include "platform/graphics/Font.h"
#include "platform/graphics/Geometry.h"

#include <functional>
#include <string>
#include <string_view>

// The drawing of a module card's content: every title, figure row, chart card and message that is
// not a control, placed in the regions the layout named. One routine serves every card: a block
// whose region is absent draws nothing. Stateless; main thread, inside the content view's drawing.
namespace pulsedeck {

// The colours one drawing call shares, made once at its start.
struct SectionColors {
    gfx::Color primary = gfx::Color::label();
    gfx::Color muted = gfx::Color::label().withAlpha(0.72);
    gfx::Color cardFill = gfx::Color::label().withAlpha(0.04);
};

// The named region, or none.
const gfx::Rect* findRegion(const SectionRegions& regions, std::string_view name);

// The system font of the size and weight, shrunk so the text fits maxWidth: never below 8 pt and
// never larger than asked.
gfx::Font fittedSystemFont(std::string_view text, double maxWidth, double size,
                           gfx::FontWeight weight);

// The label shape: the text centred vertically in rect (as high as a line of the font, at most
// the rect's height), cut at the tail with an ellipsis when wider.
void drawLabel(gfx::Context& context, std::string_view text, const gfx::Rect& rect,
               const gfx::Font& font, const gfx::Color& color);

// A key's text as a label filling the named region, fitted at 11 pt medium. Nothing when the
// region is absent.
void drawRegionLabel(gfx::Context& context, const SectionRegions& regions, std::string_view region,
                     Copy key, AppLanguage language, const gfx::Color& color);

// A value right-aligned at rightEdge and centred on the named region, monospaced digits at 11 pt
// medium, never truncated. Nothing when the region is absent.
void drawRegionValue(gfx::Context& context, const SectionRegions& regions, std::string_view region,
                     double rightEdge, const std::string& value, const gfx::Color& color);

// A chart's card on the named region: a rounded fill, the chart clipped to it, and in details a
// 25-pt title band at the top that the chart leaves free. Nothing when the region is absent.
using ChartRoutine = std::function<void(gfx::Context&, const gfx::Rect&)>;
void drawChartCard(gfx::Context& context, const SectionContent& content,
                   const SectionColors& colors, std::string_view region, Copy title,
                   const ChartRoutine& chart);

// The whole content of one module's card.
void drawSectionContent(gfx::Context& context, ModuleKind kind, const SectionContent& content);

} // namespace pulsedeck
