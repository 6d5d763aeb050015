#include "SampleStrip.h"
#include "StripFixture.h"
#include "platform/toolkit/StatusBar.h"
#include "platform/toolkit/Window.h"
#include "statusbar/EditingPanels.h"
#include "statusbar/StatusEditingSurface.h"
#include "support/TestPaths.h"

namespace pulsedeck {
namespace {

using striptest::poison;
using striptest::StripFixture;

// The whole sample strip in the status item, drawn by an editing panel over it.
class EditingSurfaceRender : public StripFixture {
protected:
    striptest::SampleReadings readings;
    std::shared_ptr<MenuBarContentView> strip;
    std::shared_ptr<ui::StatusItem> item;
    std::unique_ptr<EditingPanels> panels;

    void present(bool dark, double opacity) {
        strip = makeStrip();
        strip->setAppearance(dark ? gfx::Appearance::dark : gfx::Appearance::light);
        striptest::fillSampleStrip(*strip, readings, dark, &clock);
        strip->setFrameSize({strip->requiredWidth(), 24});
        item = ui::StatusBar::system().statusItem(strip->requiredWidth());
        item->setView(strip);
        panels = std::make_unique<EditingPanels>(strip);
        strip->editingDisplayAction = [this] { panels->redrawSurfaces(); };
        strip->editingRectAction = [this](const gfx::Rect& rect) { panels->redrawSurfaces(rect); };
        EditingPanels::Conditions conditions;
        conditions.surfacesReady = true;
        conditions.opacity = opacity;
        panels->refresh(conditions);
        loop.runUntilIdle();
    }
    void TearDown() override { panels.reset(); }

    ui::NativeWindowId panelNumber() const {
        return *panels->panels().begin()->second->windowNumber();
    }
    gfx::Bitmap panelImage() const { return *server.windowImage(panelNumber()); }
    // The middle of the gap after a module, in panel points.
    gfx::Point gapAfter(ModuleKind kind) const {
        return {strip->rect(kind).maxX() + strip->fanGap() / 2, 12};
    }
    void save(const gfx::Bitmap& bitmap, const std::string& name) const {
        EXPECT_TRUE(bitmap.writePng(testsupport::artifactPath(name).string()));
    }
};

TEST_F(EditingSurfaceRender, ALightStripSitsOnOpaqueRoundedGlass) {
    present(false, 1.0);
    const gfx::Bitmap image = panelImage();
    save(image, "editing-surface-light.png");
    const gfx::Rgba8 gap = image.pixelAtPoint(gapAfter(ModuleKind::memory));
    EXPECT_EQ(gap.alpha, 255);
    EXPECT_NEAR(gap.red, 240, 2);
    // The round end leaves the corner clear.
    EXPECT_EQ(image.pixelAtPoint({0.5, 0.5}).alpha, 0);
    EXPECT_EQ(image.pixelAtPoint({image.size().width - 0.5, 23.5}).alpha, 0);
    // The modules are painted on the glass.
    const gfx::Rect memory = strip->rect(ModuleKind::memory);
    int inked = 0;
    for (double x = memory.minX() + 2; x < memory.maxX() - 2; x += 1) {
        if (image.pixelAtPoint({x, memory.midY()}).red < 200)
            ++inked;
    }
    EXPECT_GT(inked, 5);
}

TEST_F(EditingSurfaceRender, ADarkStripSitsOnDarkGlass) {
    present(true, 1.0);
    const gfx::Bitmap image = panelImage();
    save(image, "editing-surface-dark.png");
    const gfx::Rgba8 gap = image.pixelAtPoint(gapAfter(ModuleKind::memory));
    EXPECT_EQ(gap.alpha, 255);
    EXPECT_NEAR(gap.red, 26, 2);
}

TEST_F(EditingSurfaceRender, ALowOpacityLetsTheTintedGlassThrough) {
    present(false, 0.3);
    const gfx::Bitmap image = panelImage();
    save(image, "editing-surface-translucent.png");
    // Glass 0.3 × tint 0.72, then the background at 0.3³ over it.
    const double expected = 1 - (1 - 0.3 * 0.72) * (1 - 0.027);
    EXPECT_NEAR(image.pixelAtPoint(gapAfter(ModuleKind::memory)).alpha, 255 * expected, 3);
}

TEST_F(EditingSurfaceRender, ARebuildRepaintsOnlyTheModulesWhosePicturesChanged) {
    present(false, 1.0);
    const ui::Window& panel = *panels->panels().begin()->second;
    const gfx::Rgba8 magenta{255, 0, 255, 255};
    const gfx::Point memory{strip->rect(ModuleKind::memory).midX(), 12};
    const gfx::Point network{strip->rect(ModuleKind::network).midX(), 12};
    poison(panel, memory);
    poison(panel, network);

    // A new memory image with the same size; everything else as it was. The rebuild sets the
    // strip's pictures and refreshes the panels, as it does every second.
    ASSERT_TRUE(strip->moduleImage(ModuleKind::memory) &&
                strip->moduleImage(ModuleKind::memory)->bitmap());
    strip->setModuleImage(
        ModuleKind::memory,
        gfx::Image::withBitmap(strip->moduleImage(ModuleKind::memory)->bitmap()->copy()));
    EditingPanels::Conditions conditions;
    conditions.surfacesReady = true;
    panels->refresh(conditions);
    loop.runUntilIdle();
    EXPECT_NE(panel.backing()->pixelAtPoint(memory), magenta);
    EXPECT_EQ(panel.backing()->pixelAtPoint(network), magenta);

    // Nothing new at all: nothing is drawn again.
    poison(panel, memory);
    panels->refresh(conditions);
    loop.runUntilIdle();
    EXPECT_EQ(panel.backing()->pixelAtPoint(memory), magenta);

    // What was drawn in part is what a whole draw gives, pixel for pixel, but where poisoned.
    strip->setModuleImage(
        ModuleKind::memory,
        gfx::Image::withBitmap(strip->moduleImage(ModuleKind::memory)->bitmap()->copy()));
    loop.runUntilIdle();
    const gfx::Bitmap redrawn = panel.backing()->copy();
    panels->panels().begin()->second->display();
    const gfx::Bitmap& whole = *panel.backing();
    int differing = 0;
    for (int row = 0; row < whole.pixelsHigh(); ++row)
        for (int column = 0; column < whole.pixelsWide(); ++column)
            differing += redrawn.pixel(column, row) != whole.pixel(column, row);
    EXPECT_EQ(differing, 1);
}

TEST_F(EditingSurfaceRender, AMovedModuleAndAChangedLookRepaintWhatTheyTouch) {
    present(false, 1.0);
    const ui::Window& panel = *panels->panels().begin()->second;
    const gfx::Rgba8 magenta{255, 0, 255, 255};
    const gfx::Point network{strip->rect(ModuleKind::network).midX(), 12};
    poison(panel, network);
    // The opacity changes the glass under every module.
    EditingPanels::surfaceOf(*panels->panels().begin()->second)->setOpacity(0.5);
    panels->redrawSurfaces();
    loop.runUntilIdle();
    EXPECT_NE(panel.backing()->pixelAtPoint(network), magenta);

    // The selection capsule under a module.
    poison(panel, network);
    strip->setActiveModule(ModuleKind::memory);
    panels->redrawSurfaces();
    loop.runUntilIdle();
    EXPECT_NE(panel.backing()->pixelAtPoint(network), magenta);
}

TEST_F(EditingSurfaceRender, TheStripUnderThePanelDrawsNothingOfItsOwn) {
    present(false, 1.0);
    ASSERT_TRUE(strip->editingSurfacePresented());
    const ui::Window* bar = ui::StatusBar::system().window().get();
    const gfx::Bitmap barImage = *server.windowImage(*bar->windowNumber());
    const gfx::Bitmap screen = server.composeScreen(0);
    save(screen, "editing-surface-screen.png");
    const gfx::Rect frame = *strip->statusItemScreenFrame();
    const double x = frame.minX() - bar->frame().minX() + strip->rect(ModuleKind::memory).midX();
    // Where the memory module would be inked, the bar shows only what is above and below it.
    const gfx::Rgba8 underMemory = barImage.pixelAtPoint({x, 12});
    const gfx::Rgba8 barBackground = barImage.pixelAtPoint({x, 0.5});
    EXPECT_EQ(underMemory, barBackground);

    strip->setEditingSurfacePresented(false);
    ui::StatusBar::system().window()->display();
    const gfx::Bitmap drawnBar = *server.windowImage(*bar->windowNumber());
    EXPECT_NE(drawnBar.pixelAtPoint({x, 12}), drawnBar.pixelAtPoint({x, 0.5}));
}

} // namespace
} // namespace pulsedeck
