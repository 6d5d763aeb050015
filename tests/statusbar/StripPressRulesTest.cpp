#include "statusbar/StripPressRules.h"

#include <gtest/gtest.h>

namespace pulsedeck {
namespace {

TEST(StripPressRules, ExactlyEightPointsIsStillAClick) {
    EXPECT_FALSE(exceedsDragThreshold({100, 10}, {108, 10}));
    EXPECT_FALSE(exceedsDragThreshold({100, 10}, {100, 2}));
    EXPECT_TRUE(exceedsDragThreshold({100, 10}, {108.01, 10}));
    // Distance, not either axis alone.
    EXPECT_TRUE(exceedsDragThreshold({0, 0}, {6, 6}));
}

TEST(StripPressRules, TheBadgeHitAreaReachesThreePointsOutside) {
    // A 24-pt strip: a 12-pt badge at the module's top right.
    const gfx::Rect module{10, 2, 40, 20};
    EXPECT_EQ(closeBadgeHitRect(module, 24), (gfx::Rect{35, 9, 18, 18}));
    EXPECT_TRUE(closeBadgeHitRect(module, 24).contains({52.9, 12}));
    EXPECT_FALSE(closeBadgeHitRect(module, 24).contains({53.1, 12}));
}

TEST(StripPressRules, TheDraggedModuleStaysInsideTheStrip) {
    EXPECT_EQ(clampedSortDragLeft(-5, 40, 200), 0);
    EXPECT_EQ(clampedSortDragLeft(50, 40, 200), 50);
    EXPECT_EQ(clampedSortDragLeft(190, 40, 200), 160);
}

TEST(StripPressRules, AModuleWiderThanTheStripIsPinnedAtTheLeftEdge) {
    EXPECT_EQ(clampedSortDragLeft(-20, 80, 60), 0);
    EXPECT_EQ(clampedSortDragLeft(30, 80, 60), 0);
}

class SortDragTarget : public ::testing::Test {
protected:
    // memory [0, 40), network [48, 108), devices [116, 150); the others are not shown.
    const std::vector<ModuleKind> order{ModuleKind::memory,  ModuleKind::fan,
                                        ModuleKind::network, ModuleKind::temperature,
                                        ModuleKind::compute, ModuleKind::devices};
    const ModuleRects layout{{ModuleKind::memory, {0, 0, 40, 24}},
                             {ModuleKind::network, {48, 0, 60, 24}},
                             {ModuleKind::devices, {116, 0, 34, 24}}};
};

TEST_F(SortDragTarget, TheOrderChangesOnlyWhenTheCentreReachesANeighboursMiddle) {
    EXPECT_EQ(sortDragTarget(order, 0, 77.99, layout), 0u);
    EXPECT_EQ(sortDragTarget(order, 0, 78, layout), 2u);
    EXPECT_EQ(sortDragTarget(order, 0, 132.99, layout), 2u);
    EXPECT_EQ(sortDragTarget(order, 0, 133, layout), 5u);
}

TEST_F(SortDragTarget, MovingLeftTakesTheFirstPassedNeighbour) {
    EXPECT_EQ(sortDragTarget(order, 5, 78.01, layout), 5u);
    EXPECT_EQ(sortDragTarget(order, 5, 78, layout), 2u);
    EXPECT_EQ(sortDragTarget(order, 5, -10, layout), 0u);
}

TEST_F(SortDragTarget, ModulesWithoutARectAreSkipped) {
    EXPECT_EQ(sortDragTarget(order, 2, 60, ModuleRects{{ModuleKind::network, {48, 0, 60, 24}}}),
              2u);
}

} // namespace
} // namespace pulsedeck
