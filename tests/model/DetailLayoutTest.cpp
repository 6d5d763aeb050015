#include "model/DetailLayout.h"

#include <gtest/gtest.h>
#include <limits>
#include <set>

namespace pulsedeck {
namespace {

class FakeSections : public DetailSectionMetrics {
public:
    std::set<ModuleKind> expanded;
    bool isSectionExpanded(ModuleKind kind) const override { return expanded.contains(kind); }
    double sectionHeight(ModuleKind kind) const override {
        return 100 + 10 * static_cast<int>(kind);
    }
};

TEST(DetailLayout, ContentWidthFitsColumnsToTheAvailableWidth) {
    EXPECT_EQ(DetailLayout::contentWidth(6, 0), (DetailGrid{1, 300}));
    EXPECT_EQ(DetailLayout::contentWidth(6, 600), (DetailGrid{2, 588}));
    EXPECT_EQ(DetailLayout::contentWidth(6, 1200), (DetailGrid{4, 1164}));
    EXPECT_EQ(DetailLayout::contentWidth(6, std::numeric_limits<double>::quiet_NaN()),
              (DetailGrid{1, 300}));
    // Exactly two columns' width, and a hair less.
    EXPECT_EQ(DetailLayout::contentWidth(6, 588).columns, 2);
    EXPECT_EQ(DetailLayout::contentWidth(6, 587.9).columns, 1);
}

TEST(DetailLayout, ColumnsNeverExceedModulesAndNeverDropBelowOne) {
    EXPECT_EQ(DetailLayout::contentWidth(2, 5000), (DetailGrid{2, 588}));
    EXPECT_EQ(DetailLayout::contentWidth(0, 5000), (DetailGrid{1, 300}));
    EXPECT_EQ(DetailLayout::contentWidth(-3, 600), (DetailGrid{1, 300}));
}

TEST(DetailLayout, CollapsedCardsGoRoundRobin) {
    FakeSections sections;
    auto frames = DetailLayout::cardFrames(
        {ModuleKind::memory, ModuleKind::fan, ModuleKind::network}, 2, sections);
    ASSERT_EQ(frames.size(), 3u);
    EXPECT_EQ(frames[ModuleKind::memory], gfx::Rect(10, 10, 280, 40));
    EXPECT_EQ(frames[ModuleKind::fan], gfx::Rect(298, 10, 280, 40));
    EXPECT_EQ(frames[ModuleKind::network], gfx::Rect(10, 58, 280, 40));
}

TEST(DetailLayout, ExpandedCardsAddTheirSectionAndDoNotSeekTheShortestColumn) {
    FakeSections sections;
    sections.expanded = {ModuleKind::memory};
    auto frames = DetailLayout::cardFrames(
        {ModuleKind::memory, ModuleKind::fan, ModuleKind::network, ModuleKind::compute}, 2,
        sections);
    EXPECT_EQ(frames[ModuleKind::memory], gfx::Rect(10, 10, 280, 152));
    EXPECT_EQ(frames[ModuleKind::network], gfx::Rect(10, 170, 280, 40));
    EXPECT_EQ(frames[ModuleKind::compute], gfx::Rect(298, 58, 280, 40));
}

TEST(DetailLayout, RepeatedModuleKeepsItsLastFrameAndZeroColumnsActsAsOne) {
    FakeSections sections;
    auto frames = DetailLayout::cardFrames({ModuleKind::fan, ModuleKind::memory, ModuleKind::fan},
                                           0, sections);
    EXPECT_EQ(frames[ModuleKind::fan], gfx::Rect(10, 106, 280, 40));
    EXPECT_EQ(frames[ModuleKind::memory], gfx::Rect(10, 58, 280, 40));
    EXPECT_TRUE(DetailLayout::cardFrames({}, 3, sections).empty());
}

} // namespace
} // namespace pulsedeck
