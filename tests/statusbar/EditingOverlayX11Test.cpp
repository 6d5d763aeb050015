#include "SampleStrip.h"
#include "platform/graphics/Bitmap.h"
#include "platform/toolkit/StatusBar.h"
#include "platform/toolkit/ToolTipController.h"
#include "statusbar/EditingPanels.h"
#include "statusbar/MenuBarContentView.h"
#include "support/MenuBarContentViewProbe.h"
#include "support/TestPaths.h"

#include <gtest/gtest.h>
#include <memory>

// Xlib's macros (None, Bool, Status) must come after every other header.
// clang-format off
#include "support/X11TestSupport.h"
// clang-format on

namespace pulsedeck {
namespace {

using Probe = MenuBarContentViewProbe;

// The status strip with every module, sorted through its editing panel on a private X server.
class EditingOverlayX11 : public testsupport::X11Fixture {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(X11Fixture::SetUp());
        strip = std::make_shared<MenuBarContentView>(gfx::Rect{0, 0, 300, 24});
        striptest::fillSampleStrip(*strip, readings, false);
        strip->setFrameSize({strip->requiredWidth(), 24});
        item = app->statusBar().statusItem(strip->requiredWidth());
        item->setView(strip);
        strip->statusOrderAction = [this](const std::vector<ModuleKind>& order) {
            orders.push_back(order);
        };
        panels = std::make_unique<EditingPanels>(strip);
        strip->editingDisplayAction = [this] { panels->redrawSurfaces(); };
        strip->editingRectAction = [this](const gfx::Rect& rect) { panels->redrawSurfaces(rect); };
    }

    void TearDown() override {
        panels.reset();
        strip.reset();
        item.reset();
        X11Fixture::TearDown();
    }

    void refresh() {
        EditingPanels::Conditions conditions;
        conditions.surfacesReady = true;
        panels->refresh(conditions);
    }

    bool panelViewable() {
        return !panels->panels().empty() && viewable(*panels->panels().begin()->second);
    }

    // Root pixels for a point of the y-up screen space.
    int rootX(double x) const { return static_cast<int>(x); }
    int rootY(double y) const { return screenHeight - 1 - static_cast<int>(y); }
    void moveTo(gfx::Point point) { X11Fixture::moveTo(rootX(point.x), rootY(point.y)); }

    // What the X server shows over a screen rect, as a bitmap.
    gfx::Bitmap grab(const gfx::Rect& rect) {
        gfx::Bitmap bitmap =
            captureRoot(rootX(rect.minX()), rootY(rect.maxY()) + 1, static_cast<int>(rect.width()),
                        static_cast<int>(rect.height()))
                .bitmap();
        bitmap.setSize(rect.size);
        return bitmap;
    }

    striptest::SampleReadings readings;
    std::shared_ptr<MenuBarContentView> strip;
    std::shared_ptr<ui::StatusItem> item;
    std::unique_ptr<EditingPanels> panels;
    std::vector<std::vector<ModuleKind>> orders;
};

TEST_F(EditingOverlayX11, AnXTestDragReordersTwoModulesInSortingMode) {
    refresh();
    ASSERT_TRUE(runUntil([&] { return panelViewable(); }));
    const auto frame = strip->statusItemScreenFrame();
    ASSERT_TRUE(frame);
    settle(0.2);
    const gfx::Bitmap shown = grab(*frame);
    EXPECT_TRUE(shown.writePng(testsupport::artifactPath("editing-overlay-x11.png").string()));
    // Between the memory and fan modules lies bare glass: the light grey of the strip.
    const gfx::Rect memory = strip->rect(ModuleKind::memory);
    const gfx::Rgba8 glass = shown.pixelAtPoint({memory.maxX() + strip->fanGap() / 2, 12});
    EXPECT_NEAR(glass.red, 240, 3);
    EXPECT_NEAR(glass.blue, 240, 3);

    strip->setSorting(true);
    refresh();
    const gfx::Point grip{frame->minX() + memory.minX() + 6, frame->minY() + 5};
    const double reach = strip->layoutModuleRects().at(ModuleKind::fan).midX() - memory.midX() + 2;
    moveTo(grip);
    settle(0.05);
    button(1, true);
    ASSERT_TRUE(runUntil([&] { return strip->draggedModule() == ModuleKind::memory; }));
    for (double dx = 2; dx <= reach; dx += 2) {
        moveTo({grip.x + dx, grip.y});
        settle(0.01);
    }
    moveTo({grip.x + reach, grip.y});
    button(1, false);
    ASSERT_TRUE(runUntil([&] { return !Probe::sortPointerIsDown(*strip) && !orders.empty(); }));
    EXPECT_EQ(strip->order()[0], ModuleKind::fan);
    EXPECT_EQ(strip->order()[1], ModuleKind::memory);
    EXPECT_EQ(orders.back(), strip->order());
    EXPECT_EQ(strip->draggedModule(), std::nullopt);

    settle(0.6);
    EXPECT_TRUE(grab(*frame).writePng(
        testsupport::artifactPath("editing-overlay-x11-sorted.png").string()));
}

TEST_F(EditingOverlayX11, TheStripsToolTipShowsAfterTheHoverDelay) {
    strip->setToolTip("Memory used: 18.4 GB");
    refresh();
    ASSERT_TRUE(runUntil([&] { return panelViewable(); }));
    const auto frame = strip->statusItemScreenFrame();
    ASSERT_TRUE(frame);
    const gfx::Point over{frame->minX() + strip->rect(ModuleKind::memory).midX(), frame->midY()};
    moveTo(over);
    settle(0.05);
    moveTo({over.x + 2, over.y});
    ASSERT_TRUE(runUntil([&] { return app->toolTips().window() != nullptr; }, 3))
        << "a tip after the usual delay";
    EXPECT_EQ(app->toolTips().shownText(), "Memory used: 18.4 GB");
    EXPECT_TRUE(runUntil([&] { return viewable(*app->toolTips().window()); }));
}

} // namespace
} // namespace pulsedeck
