#include "model/ModuleColors.h"

#include <gtest/gtest.h>

namespace pulsedeck {
namespace {

TEST(ModuleColors, EmptyMapFollowsTheBlueDefaultFlag) {
    ModuleColors colors;
    for (auto slot : allColorSlots) {
        EXPECT_EQ(colors.color(slot, true), PaletteColor::blue);
        EXPECT_EQ(colors.color(slot, false), PaletteColor::green);
        EXPECT_EQ(colors.explicitColor(slot), std::nullopt);
    }
}

TEST(ModuleColors, SlotFallsBackToThemeAndSkipsValuesOutsideThePalette) {
    ModuleColors colors{{{"theme", 6}}};
    EXPECT_EQ(colors.color(ColorSlot::memory, true), PaletteColor::red);
    EXPECT_EQ(colors.color(ColorSlot::theme, false), PaletteColor::red);

    colors.values["memory"] = 12;
    EXPECT_EQ(colors.color(ColorSlot::memory, true), PaletteColor::red);
    EXPECT_EQ(colors.explicitColor(ColorSlot::memory), std::nullopt);

    colors.values["memory"] = 3;
    EXPECT_EQ(colors.color(ColorSlot::memory, true), PaletteColor::purple);
    EXPECT_EQ(colors.explicitColor(ColorSlot::memory), PaletteColor::purple);
}

TEST(ModuleColors, InvalidThemeFallsToTheDefault) {
    ModuleColors colors{{{"theme", -1}}};
    EXPECT_EQ(colors.color(ColorSlot::fan, false), PaletteColor::green);
    // A huge stored number must not wrap into the palette.
    colors.values["theme"] = (std::int64_t{1} << 32) + 4;
    EXPECT_EQ(colors.color(ColorSlot::fan, true), PaletteColor::blue);
}

TEST(ModuleColors, SetColorStoresOrRemovesTheSlot) {
    ModuleColors colors;
    colors.setColor(PaletteColor::indigo, ColorSlot::gpu);
    EXPECT_EQ(colors.values.at("gpu"), 8);
    colors.setColor(PaletteColor::teal, ColorSlot::gpu);
    EXPECT_EQ(colors.values.at("gpu"), 2);
    colors.setColor(std::nullopt, ColorSlot::gpu);
    EXPECT_TRUE(colors.values.empty());
}

TEST(ModuleColors, StoredMapKeepsOnlyKnownSlotsWithPaletteValues) {
    auto colors =
        ModuleColors::fromStored({{"cpu", 3}, {"wallpaper", 2}, {"gpu", 9}, {"theme", -1}});
    EXPECT_EQ(colors.values, (decltype(colors.values){{"cpu", 3}}));
    EXPECT_TRUE(ModuleColors::keepsStoredEntry("devices", 0));
    EXPECT_FALSE(ModuleColors::keepsStoredEntry("Devices", 0));
    EXPECT_FALSE(ModuleColors::keepsStoredEntry("compute", 1));
}

} // namespace
} // namespace pulsedeck
