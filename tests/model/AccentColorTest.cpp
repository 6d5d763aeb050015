#include "model/AccentColor.h"

#include "model/ModuleColors.h"

#include <gtest/gtest.h>
#include <limits>

namespace pulsedeck {
namespace {

// Declared first: the accent is process-wide, and this case sees it before any replacement.
TEST(AccentColor, StartsAsThePaletteBlueWithBlackText) {
    EXPECT_EQ(accentColor(), gfx::Color::srgb(0.16, 0.58, 1.0));
    EXPECT_EQ(accentColor(), toColor(PaletteColor::blue));
    EXPECT_EQ(contrastingTextColor(), gfx::Color::black());
}

TEST(AccentColor, ReplacementReportsOnlyARealChange) {
    ASSERT_TRUE(replaceAccentColor(toColor(PaletteColor::red)));
    EXPECT_EQ(accentColor(), toColor(PaletteColor::red));
    EXPECT_FALSE(replaceAccentColor(toColor(PaletteColor::red)));
    EXPECT_FALSE(replaceAccentColor(gfx::Color::srgb(1.0, 0.23, 0.19)));
    EXPECT_TRUE(replaceAccentColor(initialAccentColor));
    EXPECT_EQ(accentColor(), initialAccentColor);
}

TEST(AccentColor, ThemeColourDecidesTheTextColour) {
    ModuleColors colors{{{"theme", rawValue(PaletteColor::yellow)}}};
    replaceAccentColor(toColor(colors.color(ColorSlot::theme, true)));
    EXPECT_EQ(contrastingTextColor(), gfx::Color::black());

    colors.setColor(PaletteColor::indigo, ColorSlot::theme);
    replaceAccentColor(toColor(colors.color(ColorSlot::theme, true)));
    EXPECT_EQ(contrastingTextColor(), gfx::Color::white());
    replaceAccentColor(initialAccentColor);
}

TEST(AccentColor, ContrastFollowsTheLuminanceThreshold) {
    EXPECT_EQ(contrastingTextColor(gfx::Color::white()), gfx::Color::black());
    EXPECT_EQ(contrastingTextColor(gfx::Color::black()), gfx::Color::white());
    // Grey 0.46 lies just under the threshold, 0.47 just over it.
    EXPECT_EQ(contrastingTextColor(gfx::Color::grey(0.46)), gfx::Color::white());
    EXPECT_EQ(contrastingTextColor(gfx::Color::grey(0.47)), gfx::Color::black());
    // A colour with no sRGB form is read as the initial accent.
    double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(contrastingTextColor(gfx::Color::srgb(nan, 0, 0)), gfx::Color::black());
}

TEST(PaletteColor, ComponentsAreExact) {
    EXPECT_EQ(toColor(PaletteColor::green), gfx::Color::srgb(0.0, 0.82, 0.09));
    EXPECT_EQ(toColor(PaletteColor::indigo), gfx::Color::srgb(0.37, 0.36, 0.90));
    for (auto color : allPaletteColors) {
        EXPECT_EQ(toColor(color).alpha(), 1.0);
    }
}

} // namespace
} // namespace pulsedeck
