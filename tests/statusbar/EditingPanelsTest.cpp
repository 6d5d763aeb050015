#include "statusbar/EditingPanels.h"

#include "StripPressFixture.h"
#include "statusbar/StatusEditingSurface.h"
#include "statusbar/StripForeground.h"

namespace pulsedeck {
namespace {

using striptest::StripPressFixture;

class EditingPanelsTest : public StripPressFixture {
protected:
    std::unique_ptr<EditingPanels> panels;
    std::vector<std::pair<int, gfx::Rect>> placements;

    void SetUp() override {
        StripPressFixture::SetUp();
        makePanels();
    }
    void TearDown() override { panels.reset(); }

    void makePanels() {
        panels = std::make_unique<EditingPanels>(strip);
        panels->stripPlacedAction = [this](const ui::Screen& screen, const gfx::Rect& frame) {
            placements.emplace_back(screen.displayNumber(), frame);
        };
    }
    static EditingPanels::Conditions ready() {
        EditingPanels::Conditions conditions;
        conditions.surfacesReady = true;
        return conditions;
    }
    static bool visible(const StatusEditingPanel& panel) { return panel.isVisible(); }
};

TEST_F(EditingPanelsTest, NothingIsShownBeforeTheSurfacesAreReady) {
    panels->refresh(EditingPanels::Conditions{});
    EXPECT_TRUE(panels->panels().empty());
    EXPECT_FALSE(strip->editingSurfacePresented());
}

TEST_F(EditingPanelsTest, OnePanelLiesExactlyOverTheStrip) {
    panels->refresh(ready());
    ASSERT_EQ(panels->panels().size(), 1u);
    const auto& [key, panel] = *panels->panels().begin();
    EXPECT_EQ(key, "{{0, 0}, {1440, 900}}");
    EXPECT_EQ(panel->frame(), stripScreenFrame());
    EXPECT_EQ(panel->styleMask(), ui::Style::nonactivatingPanel);
    EXPECT_EQ(panel->level(), 26);
    EXPECT_EQ(panel->collectionBehavior(), 321u);
    EXPECT_FALSE(panel->isOpaque());
    EXPECT_FALSE(panel->hasShadow());
    EXPECT_FALSE(panel->isReleasedWhenClosed());
    EXPECT_FALSE(panel->hidesOnDeactivate());
    EXPECT_TRUE(panel->acceptsMouseMovedEvents());
    EXPECT_EQ(panel->backgroundColor().alpha(), 0);
    EXPECT_FALSE(panel->canBecomeKeyWindow());
    EXPECT_FALSE(panel->canBecomeMainWindow());
    EXPECT_TRUE(visible(*panel));

    StatusEditingSurface* surface = EditingPanels::surfaceOf(*panel);
    ASSERT_NE(surface, nullptr);
    EXPECT_EQ(surface->owner(), strip);
    EXPECT_EQ(surface->frame(), (gfx::Rect{0, 0, stripScreenFrame().width(), 24}));
    EXPECT_TRUE(strip->editingSurfacePresented());
    ASSERT_EQ(placements.size(), 1u);
    EXPECT_EQ(placements[0], std::make_pair(1, stripScreenFrame()));
}

TEST_F(EditingPanelsTest, ThePanelGoesWhereItIsPutOverTheMenuBar) {
    panels->refresh(ready());
    const auto& panel = *panels->panels().begin()->second;
    const gfx::Rect overTheTop{1300, 890, 100, 24};
    EXPECT_EQ(panel.constrainFrameRect(overTheTop, ui::Screen::mainScreen()), overTheTop);
}

TEST_F(EditingPanelsTest, EveryMenuBarDisplayGetsItsOwnPanel) {
    server.setScreens({ui::HeadlessWindowServer::makeScreen({0, 0, 1440, 900}, 1),
                       ui::HeadlessWindowServer::makeScreen({1440, 0, 1920, 1080}, 2),
                       ui::HeadlessWindowServer::makeScreen({3360, 0, 800, 600}, 3, 0)});
    ui::StatusBar::system().relayout();
    panels->refresh(ready());
    ASSERT_EQ(panels->panels().size(), 2u);
    EXPECT_TRUE(panels->panels().contains("{{1440, 0}, {1920, 1080}}"));
    ASSERT_EQ(placements.size(), 2u);
    EXPECT_EQ(placements[1].first, 2);
    EXPECT_EQ(panels->panels().at("{{1440, 0}, {1920, 1080}}")->frame(), placements[1].second);

    // The second display goes away and takes its panel with it.
    server.setScreens({ui::HeadlessWindowServer::makeScreen({0, 0, 1440, 900}, 1)});
    panels->refresh(ready());
    EXPECT_EQ(panels->panels().size(), 1u);
}

TEST_F(EditingPanelsTest, AHiddenStatusItemHidesThePanelsAndTheStripDrawsAgain) {
    panels->refresh(ready());
    int redraws = 0;
    strip->editingDisplayAction = [&] { ++redraws; };
    EditingPanels::Conditions hidden = ready();
    hidden.statusHidden = true;
    panels->refresh(hidden);
    ASSERT_EQ(panels->panels().size(), 1u);
    EXPECT_FALSE(visible(*panels->panels().begin()->second));
    EXPECT_FALSE(strip->editingSurfacePresented());
    EXPECT_GT(redraws, 0);

    panels->refresh(ready());
    EXPECT_TRUE(visible(*panels->panels().begin()->second));
    EXPECT_TRUE(strip->editingSurfacePresented());
}

TEST_F(EditingPanelsTest, AFullScreenDisplayHasItsPanelOrderedOut) {
    server.setScreens({ui::HeadlessWindowServer::makeScreen({0, 0, 1440, 900}, 1),
                       ui::HeadlessWindowServer::makeScreen({1440, 0, 1920, 1080}, 2)});
    EditingPanels::Conditions conditions = ready();
    conditions.hideInFullscreen = true;
    conditions.fullscreenDisplays = {2};
    panels->refresh(conditions);
    EXPECT_TRUE(visible(*panels->panels().at("{{0, 0}, {1440, 900}}")));
    EXPECT_FALSE(visible(*panels->panels().at("{{1440, 0}, {1920, 1080}}")));

    conditions.hideInFullscreen = false;
    panels->refresh(conditions);
    EXPECT_TRUE(visible(*panels->panels().at("{{1440, 0}, {1920, 1080}}")));
}

TEST_F(EditingPanelsTest, RedrawingARectMarksOnlyItsColumnInEveryPanel) {
    panels->refresh(ready());
    auto& panel = *panels->panels().begin()->second;
    panel.orderOut();
    auto& foreground = *EditingPanels::surfaceOf(panel)->foreground();
    foreground.setNeedsDisplay(false);
    panels->redrawSurfaces(gfx::Rect{20.5, 0, 3.2, 24});
    EXPECT_EQ(foreground.dirtyRect(), (gfx::Rect{16, 0, 12, 24}));
    panels->redrawSurfaces();
    EXPECT_EQ(foreground.dirtyRect(), foreground.bounds());
}

TEST_F(EditingPanelsTest, ThePanelsRepaintWhenTheStripChanges) {
    panels->refresh(ready());
    strip->editingDisplayAction = [this] { panels->redrawSurfaces(); };
    const auto& panel = *panels->panels().begin()->second;
    const auto presents = [&] { return server.window(*panel.windowNumber())->presentCount; };
    runFor(0);
    const int before = presents();
    strip->setNeedsDisplay(true);
    strip->setNeedsDisplay(true);
    // The changes only mark the panels' strip; the window draws it once, on its next pass of the
    // loop, however many changes came before.
    EXPECT_EQ(presents(), before);
    runFor(0);
    EXPECT_EQ(presents(), before + 1);
}

TEST_F(EditingPanelsTest, ARefreshWithNothingMovedLeavesThePanelsAlone) {
    panels->refresh(ready());
    const auto& panel = *panels->panels().begin()->second;
    const auto presents = [&] { return server.window(*panel.windowNumber())->presentCount; };
    runFor(0);
    const int before = presents();

    const std::uint64_t stacked = server.window(*panel.windowNumber())->stackOrder;
    panels->refresh(ready());
    runFor(0);
    EXPECT_EQ(presents(), before) << "the same placement, material and cursors";
    EXPECT_EQ(placements.size(), 1u);
    EXPECT_GT(server.window(*panel.windowNumber())->stackOrder, stacked)
        << "but brought to the front again, over whatever was raised meanwhile";

    EditingPanels::Conditions faint = ready();
    faint.opacity = 0.5;
    panels->refresh(faint);
    runFor(0);
    EXPECT_EQ(presents(), before + 1) << "a new opacity is a new material";

    EditingPanels::Conditions fullscreen = ready();
    fullscreen.hideInFullscreen = true;
    fullscreen.fullscreenDisplays = {1};
    panels->refresh(fullscreen);
    EXPECT_FALSE(visible(panel)) << "new conditions are followed at once";
}

TEST_F(EditingPanelsTest, RectKeysUseTheShortestNumbers) {
    EXPECT_EQ(EditingPanels::frameKey({0, -24.5, 1440, 900}), "{{0, -24.5}, {1440, 900}}");
}

} // namespace
} // namespace pulsedeck
