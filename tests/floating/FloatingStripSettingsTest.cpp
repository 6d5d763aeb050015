#include "floating/FloatingStripSettings.h"

#include "support/OtherStyles.h"

#include <gtest/gtest.h>

namespace pulsedeck {
namespace {

// The floating bar's look reaches its strip whole, with the menu bar's theme for every slot
// without a colour and no fan without fans; the strip is 5 points taller with wider ends.
TEST(FloatingStripSettings, TakeTheBarsLookWholeWithTheMenuBarsTheme) {
    StripLook look;
    look.modules.hidden = {ModuleKind::network};
    look.modules.colors.values = {{"memory", rawValue(PaletteColor::red)}};
    look.modules.styles = testsupport::otherStyles;
    look.modules.gap = 5;
    look.appearance = AppearanceMode::dark;
    const StripSettings settings = floatingStripSettings(look, PaletteColor::blue, false);
    EXPECT_EQ(settings.look, withThemeColor(look, PaletteColor::blue));
    EXPECT_EQ(settings.shown(), (std::set{ModuleKind::memory, ModuleKind::temperature,
                                          ModuleKind::compute, ModuleKind::devices}));
    EXPECT_EQ(settings.look.modules.order, look.modules.order) << "a hidden module keeps its place";
    EXPECT_EQ(settings.look.modules.colors.color(ColorSlot::cpu, false), PaletteColor::blue);
    EXPECT_EQ(settings.look.modules.colors.color(ColorSlot::memory, false), PaletteColor::red);
    EXPECT_TRUE(settings.normalBlue);
    EXPECT_FALSE(floatingStripSettings(look, PaletteColor::teal, true).normalBlue);
    EXPECT_TRUE(floatingStripSettings(look, PaletteColor::teal, true).shows(ModuleKind::fan));
    const StripEnvironment environment = floatingStripEnvironment(24);
    EXPECT_EQ(environment.height, 29);
    EXPECT_EQ(environment.edgePadding, 2.5);
}

} // namespace
} // namespace pulsedeck
