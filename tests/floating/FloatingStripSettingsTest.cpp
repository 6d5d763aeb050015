#include "floating/FloatingStripSettings.h"

#include "support/OtherStyles.h"

#include <gtest/gtest.h>

namespace pulsedeck {
namespace {

// The floating bar's record as strip settings: its hidden modules and styles, no fan without fans,
// the menu bar's theme for every slot without a colour; the strip 5 points taller with wider ends.
TEST(FloatingStripSettings, FollowTheBarsRecord) {
    FloatingPreferences record;
    record.hidden = {ModuleKind::network};
    record.colors.values = {{"memory", rawValue(PaletteColor::red)}};
    record.styles = testsupport::otherStyles;
    record.gap = 5;
    const StripSettings settings = floatingStripSettings(record, PaletteColor::blue, false);
    EXPECT_EQ(settings.shown, (std::set{ModuleKind::memory, ModuleKind::temperature,
                                        ModuleKind::compute, ModuleKind::devices}));
    EXPECT_EQ(settings.order, record.order) << "a hidden module keeps its place";
    EXPECT_EQ(settings.styles, record.styles);
    EXPECT_EQ(settings.gap, 5);
    EXPECT_EQ(settings.colors.color(ColorSlot::cpu, false), PaletteColor::blue);
    EXPECT_EQ(settings.colors.color(ColorSlot::memory, false), PaletteColor::red);
    EXPECT_TRUE(settings.normalBlue);
    EXPECT_FALSE(floatingStripSettings(record, PaletteColor::teal, true).normalBlue);
    const StripEnvironment environment = floatingStripEnvironment(24);
    EXPECT_EQ(environment.height, 29);
    EXPECT_EQ(environment.edgePadding, 2.5);
}

} // namespace
} // namespace pulsedeck
