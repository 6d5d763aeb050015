#include "model/StripLook.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

namespace pulsedeck {
namespace {

constexpr double infinity = std::numeric_limits<double>::infinity();
constexpr double nan = std::numeric_limits<double>::quiet_NaN();

// Every number of a look comes back inside its bounds, a stored one or a slider's alike.
TEST(StripLook, NumbersKeepToTheBounds) {
    const struct {
        double value, opacity, chartLength, gap;
    } rows[] = {
        {0.05, 0.2, 16, 0.05}, {-3, 0.2, 16, 0},      {0.55, 0.55, 16, 0.55},
        {15.5, 1, 16, 15.5},   {100.5, 1, 101, 32},   {200, 1, 160, 32},
        {nan, 1, 85, 0},       {infinity, 1, 85, 32}, {-infinity, 1, 85, 0},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(clampedOpacity(row.value), row.opacity) << row.value;
        EXPECT_EQ(clampedChartLength(row.value), row.chartLength) << row.value;
        EXPECT_EQ(clampedGap(row.value), row.gap) << row.value;
    }
}

// Detaching hands the strip's modules to the bar and docking hands them back, whole; the theme
// stays with the menu bar either way.
TEST(StripLook, ModulesHandedOverKeepTheReceiversTheme) {
    ModuleLook strip;
    strip.hidden = {ModuleKind::fan};
    strip.order = {ModuleKind::devices, ModuleKind::memory,      ModuleKind::fan,
                   ModuleKind::network, ModuleKind::temperature, ModuleKind::compute};
    strip.colors.values = {{"theme", 2}, {"memory", 5}};
    strip.chartLength = 60;
    strip.gap = 3;

    ModuleLook seeded = withThemeOf(strip, ModuleColors{});
    ModuleLook expected = strip;
    expected.colors.values = {{"memory", 5}};
    EXPECT_EQ(seeded, expected) << "the bar has no theme of its own";

    seeded.colors.values = {{"cpu", 1}};
    seeded.hidden = {ModuleKind::devices};
    const ModuleLook docked = withThemeOf(seeded, strip.colors);
    expected = seeded;
    expected.colors.values = {{"theme", 2}, {"cpu", 1}};
    EXPECT_EQ(docked, expected) << "the strip keeps its theme";

    seeded.colors.values = {{"theme", 7}};
    EXPECT_TRUE(withThemeOf(seeded, ModuleColors{}).colors.values.empty())
        << "a strip without a theme gets none back";
}

// The bar shows the menu bar's theme, whether the menu bar chose one or takes its default.
TEST(StripLook, TheBarShowsTheMenuBarsTheme) {
    StripLook bar;
    bar.modules.colors.values = {{"fan", 6}};
    const StripLook shown = withThemeColor(bar, PaletteColor::teal);
    EXPECT_EQ(shown.modules.colors.explicitColor(ColorSlot::theme), PaletteColor::teal);
    EXPECT_EQ(shown.modules.colors.color(ColorSlot::cpu, false), PaletteColor::teal);
    EXPECT_EQ(shown.modules.colors.color(ColorSlot::fan, false), PaletteColor::red);
}

} // namespace
} // namespace pulsedeck
