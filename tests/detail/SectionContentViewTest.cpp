#include "detail/SectionContentView.h"

#include "detail/DetailView.h"
#include "detail/ModuleIcon.h"
#include "detail/ModuleSectionView.h"
#include "detail/SectionContentDrawing.h"
#include "platform/graphics/Image.h"
#include "platform/graphics/RecordingContext.h"
#include "platform/toolkit/ToolkitFixture.h"
#include "support/DetailViewProbe.h"

#include <gtest/gtest.h>

namespace pulsedeck {
namespace {

class SectionContentViewTest : public toolkittest::ToolkitFixture {
protected:
    std::shared_ptr<DetailView> view = std::make_shared<DetailView>(DetailView::initialFrame);
    DetailViewProbe probe{*view};
};

TEST_F(SectionContentViewTest, ADeviceThatCameInWithoutAClockIsDrawnAtItsTrueAge) {
    ExternalDevice disk;
    disk.id = "disk:1";
    disk.name = "Disk";
    probe.change([&](DetailState& s) { s.readings.devices = {disk}; });
    // Not in a window: no entrance clock runs, so the view's frame time stays where it was.
    ASSERT_FALSE(probe.deviceCardClockRunning());
    loop.advanceAndRunDue(1.0);
    const double now = clock.now();
    const SectionContent content = sectionContent(*view, ModuleKind::devices, 282, now);
    EXPECT_EQ(content.deviceCardNow, now);
    ASSERT_EQ(content.devices.size(), 1u);

    gfx::RecordingContext context({282, 400});
    drawSectionContent(context, ModuleKind::devices, content);
    const gfx::Rect card = content.regions.at("device0");
    ASSERT_FALSE(context.log().fills().empty());
    EXPECT_EQ(context.log().fills().front().bounds, card) << "at rest, not entering";
    EXPECT_EQ(context.log().fills().front().alpha, 1);
}

TEST_F(SectionContentViewTest, TheCardsContentDrawsTheViewsFiguresUntilTheOwnerGoes) {
    probe.change([](DetailState& s) { s.readings.memory.physical = "32.00 GB"; });
    const SectionContent content = sectionContent(*view, ModuleKind::memory, 282, 0);
    EXPECT_EQ(content.memory.physical, "32.00 GB");
    ASSERT_TRUE(content.regions.contains("memoryRow0"));
    const gfx::Rect row = content.regions.at("memoryRow0");

    ModuleSectionView& card = probe.card(ModuleKind::memory);
    const auto inkInRow = [&] {
        const std::optional<gfx::Image> image = ui::snapshotImage(card.content(), 1);
        if (!image)
            return 0;
        const gfx::Bitmap& bitmap = *image->bitmap();
        int ink = 0;
        for (double x = 0; x < card.content().bounds().width(); x += 1) {
            for (double y = row.minY(); y < row.maxY(); y += 1)
                ink += bitmap.pixelAtPoint({x + 0.5, y + 0.5}).alpha > 0;
        }
        return ink;
    };
    EXPECT_GT(inkInRow(), 20);
    card.owner = nullptr;
    EXPECT_EQ(inkInRow(), 0);
}

TEST_F(SectionContentViewTest, EveryHeaderShowsItsModulesIconFaintlyInTheIconBox) {
    for (const ModuleKind kind : allModuleKinds) {
        const std::optional<gfx::Image> icon = moduleIcon(kind, gfx::Color::black());
        ASSERT_TRUE(icon) << toString(kind);
        EXPECT_GT(icon->size().width, 0);

        ModuleSectionView& card = probe.card(kind);
        const std::optional<gfx::Image> image = ui::snapshotImage(card, 1);
        ASSERT_TRUE(image);
        // The card is flipped: rows from the top are its y.
        int darkest = 255;
        int outside = 0;
        for (int x = 0; x < 40; ++x) {
            for (int y = 0; y < 40; ++y) {
                const gfx::Rgba8 pixel = image->bitmap()->pixel(x, y);
                const bool inBox = x >= 18 && x < 36 && y >= 11 && y < 29;
                if (inBox)
                    darkest = std::min(darkest, 255 - int(pixel.alpha));
                else
                    outside += pixel.alpha > 0;
            }
        }
        // Drawn at 0.72 of the label colour: visible, never fully opaque.
        EXPECT_LT(darkest, 255 - 100) << toString(kind);
        EXPECT_GT(darkest, 255 - 0.85 * 0.9 * 255 - 2) << toString(kind);
        EXPECT_EQ(outside, 0) << toString(kind);
    }
}

} // namespace
} // namespace pulsedeck
