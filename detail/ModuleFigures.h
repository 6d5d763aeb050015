#pragma once

#include "detail/SectionContent.h"
#include "detail/SectionContentDrawing.h"
#include "platform/graphics/Context.h"

#include <functional>
#include <optional>
#include <span>
#include <string>

// What the memory, fan, network, compute and temperature cards show: a chart card with the
// module's recent history, the figure rows, the no-fan message and the titles beside the card's
// choices. Each block draws only where its regions exist.
namespace pulsedeck {

void drawMemoryFigures(gfx::Context& context, const SectionContent& content,
                       const SectionColors& colors);
void drawFanFigures(gfx::Context& context, const SectionContent& content,
                    const SectionColors& colors);
void drawNetworkFigures(gfx::Context& context, const SectionContent& content,
                        const SectionColors& colors);
void drawComputeFigures(gfx::Context& context, const SectionContent& content,
                        const SectionColors& colors);
void drawTemperatureFigures(gfx::Context& context, const SectionContent& content,
                            const SectionColors& colors);

// How a history chart reads its entries: the height fraction of a value (clamped to 0…1 by the
// chart) and the colour of the step ending at it.
struct HistoryChartStyle {
    std::function<double(double)> fraction;
    std::function<gfx::Color(double)> color;
};

// The last 60 entries as steps, the newest on the right edge of rect (a shorter history leaves
// the left part empty): each present value fills down to the bottom at 0.22 of its colour's alpha
// under a 1-pt line from the previous value. Clipped to rect; nothing for an empty history.
void drawHistoryChart(gfx::Context& context, std::span<const std::optional<double>> history,
                      const HistoryChartStyle& style, const gfx::Rect& rect);

// A fan speed or maximum as the rows show it: "%.0f", "—" when absent or not a number.
std::string fanFigureText(std::optional<double> value);

} // namespace pulsedeck
