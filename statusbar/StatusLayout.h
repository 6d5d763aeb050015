#pragma once

#include "model/DisplayMode.h"
#include "model/Localization.h"
#include "sources/MemorySnapshot.h"

#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace pulsedeck {

// The width of a module's history chart for the "chartLength" setting: the length rounded half
// away from zero, clamped to 16…160; 85 when the setting is not a finite number.
double statusChartWidth(double chartLength);

// The memory segment's text column start: 6 without the chart; with it, the chart (from x 5)
// plus 10 pt: statusChartWidth + 15.
double chartColumnWidth(bool showsChart, double chartLength);

// The text without its spaces and no-break spaces ("8.00 GB" → "8.00GB").
std::string strippingBlanks(std::string_view text);

// The swap figure as the rows show it: "—" when it is a zero amount.
std::string swapRowText(const std::string& swap);

// The memory segment's text columns and its total width, measured once per refresh: every
// column takes the wider of a template ("88.88 GB" with the chart, "88.88GB" without) and the
// current texts, so the segment does not twitch as figures change.
struct StatusLayout {
    // x where the text begins (right of the chart area).
    double leftStart = 0;
    // Right edge of the left column; its values are right-aligned to it.
    double leftEnd = 0;
    // Where the right column begins (grid style).
    double rightStart = 0;
    double rightEnd = 0;
    // The memory image's width.
    double width = 0;

    friend bool operator==(const StatusLayout&, const StatusLayout&) = default;

    static StatusLayout measure(DisplayMode style, AppLanguage language,
                                const MemorySnapshot& snapshot, bool showsChart,
                                double chartLength);
};

// The widths of what the memory segment's columns hold besides its figures, which only the
// language and the chart change: the labels of each column and the template figure.
struct StatusLabelWidths {
    double usedSwapLabels = 0;
    double physicalCachedLabels = 0;
    double valueTemplate = 0;

    static StatusLabelWidths measure(AppLanguage language, bool showsChart);
};

// StatusLayout::measure with its last answer kept: the same style, language, chart and memory
// texts give the kept layout without measuring any text again (the chart may move every second
// while the figures stand), and new figures measure only themselves against the kept labels.
// Measuring the labels and the template again with every new figure took 44 µs of processor time
// a second instead of 23 (median, new figures' shaping aside), and measuring 6.9-7.7 % of the real
// program's processor time instead of 5.8-6.8 % (perf, two runs beside main).
class KeptStatusLayout {
public:
    StatusLayout measure(DisplayMode style, AppLanguage language, const MemorySnapshot& snapshot,
                         bool showsChart, double chartLength);

private:
    // What measure reads.
    struct Inputs {
        DisplayMode style = DisplayMode::automatic;
        AppLanguage language = AppLanguage::english;
        bool showsChart = true;
        double chartLength = 0;
        std::string used;
        std::string swap;
        std::string physical;
        std::string cached;

        bool operator==(const Inputs&) const = default;
    };
    std::optional<Inputs> inputs_;
    StatusLayout layout_;
    // The labels measured for language and chart of the last change.
    std::optional<std::pair<AppLanguage, bool>> labelsFor_;
    StatusLabelWidths labels_;
};

} // namespace pulsedeck
