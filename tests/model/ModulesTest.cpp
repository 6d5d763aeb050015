#include "model/Modules.h"

#include "model/FloatingMode.h"

#include <gtest/gtest.h>

namespace pulsedeck {
namespace {

using enum ModuleKind;

TEST(ModuleKind, RawNamesMatchExactly) {
    for (auto kind : allModuleKinds) {
        EXPECT_EQ(parseModuleKind(toString(kind)), kind);
    }
    EXPECT_EQ(toString(temperature), "temperature");
    EXPECT_EQ(parseModuleKind("Memory"), std::nullopt);
    EXPECT_EQ(parseModuleKind(""), std::nullopt);
    EXPECT_EQ(parseModuleKind("cpu"), std::nullopt);
}

TEST(ModuleKind, ParseOrderKeepsFirstOccurrenceThenCanonical) {
    EXPECT_EQ(parseOrder({"fan", "fan", "gpu", "devices"}),
              (std::vector{fan, devices, memory, network, temperature, compute}));
}

TEST(ModuleKind, ParseOrderOfNothingUsableIsCanonical) {
    std::vector canonical{memory, fan, network, temperature, compute, devices};
    EXPECT_EQ(parseOrder({}), canonical);
    EXPECT_EQ(parseOrder({"Network"}), canonical);
}

TEST(ModuleKind, ParseOrderKeepsAFullPermutation) {
    EXPECT_EQ(parseOrder({"devices", "compute", "temperature", "network", "fan", "memory"}),
              (std::vector{devices, compute, temperature, network, fan, memory}));
}

TEST(ModuleKind, ComputeIsColouredByTwoSlots) {
    EXPECT_EQ(colorSlots(compute), (std::vector{ColorSlot::cpu, ColorSlot::gpu}));
    for (auto kind : allModuleKinds) {
        if (kind == compute) {
            continue;
        }
        auto slots = colorSlots(kind);
        ASSERT_EQ(slots.size(), 1u);
        EXPECT_EQ(toString(slots[0]), toString(kind));
    }
}

TEST(ColorSlot, RawNamesMatchExactly) {
    for (auto slot : allColorSlots) {
        EXPECT_EQ(parseColorSlot(toString(slot)), slot);
    }
    EXPECT_EQ(parseColorSlot("Theme"), std::nullopt);
    EXPECT_EQ(parseColorSlot("compute"), std::nullopt);
}

TEST(PaletteColor, AcceptsZeroToEightOnly) {
    EXPECT_EQ(paletteColor(0), PaletteColor::blue);
    EXPECT_EQ(paletteColor(8), PaletteColor::indigo);
    EXPECT_EQ(paletteColor(-1), std::nullopt);
    EXPECT_EQ(paletteColor(9), std::nullopt);
}

TEST(StoredChoices, UnknownWordsAndNumbersGiveNothing) {
    EXPECT_EQ(parseAppearanceMode("dark"), AppearanceMode::dark);
    EXPECT_EQ(parseAppearanceMode("Dark"), std::nullopt);
    EXPECT_EQ(parseDetailPresentation("overview"), DetailPresentation::overview);
    EXPECT_EQ(parseDetailPresentation("grid"), std::nullopt);
    EXPECT_EQ(fanAnimationMode(2), FanAnimationMode::smooth);
    EXPECT_EQ(fanAnimationMode(3), std::nullopt);
    EXPECT_EQ(fanAnimationMode(-1), std::nullopt);
    for (auto mode : {FloatingMode::none, FloatingMode::copy, FloatingMode::detached})
        EXPECT_EQ(parseFloatingMode(toString(mode)), mode);
    EXPECT_EQ(parseFloatingMode("Detached"), std::nullopt);
    EXPECT_EQ(parseFloatingMode(""), std::nullopt);
}

} // namespace
} // namespace pulsedeck
