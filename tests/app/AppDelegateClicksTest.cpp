#include "app/ControllerHarness.h"
#include "detail/ModuleSectionView.h"
#include "platform/toolkit/Menu.h"
#include "platform/toolkit/Workspace.h"
#include "statusbar/StatusEditingSurface.h"
#include "support/DetailViewProbe.h"

#include <chrono>
#include <fstream>
#include <functional>
#include <future>
#include <mutex>

namespace pulsedeck {
namespace {

// Clicks and hovers injected into the headless window server, with the editing panels up over
// the strip as they are 0.25 s after launch.
class AppDelegateClicksTest : public testing::ControllerHarness {
protected:
    void SetUp() override {
        launch();
        advance(0.3);
        ASSERT_TRUE(delegate->statusStrip().view()->statusItemScreenFrame());
    }

    gfx::Rect strip() const { return *delegate->statusStrip().view()->statusItemScreenFrame(); }

    // A moment after whatever came before, as no hand clicks twice at one instant.
    void clickModule(ModuleKind kind) {
        loop.advanceAndRunDue(0.02);
        const gfx::Point point = moduleCenter(kind);
        server.movePointer(point);
        server.click(point);
        loop.runUntilIdle();
    }

    bool shown() const { return popover()->isShown(); }
};

TEST_F(AppDelegateClicksTest, AClickOnAModuleOpensThePopoverAnchoredUnderIt) {
    const gfx::Point point = moduleCenter(ModuleKind::network);
    clickModule(ModuleKind::network);
    ASSERT_TRUE(shown());
    EXPECT_EQ(details()->priority(), ModuleKind::network);
    EXPECT_EQ(delegate->statusStrip().view()->activeModule(), ModuleKind::network);
    EXPECT_FALSE(DetailViewProbe(*details()).lastLayoutRequestedAnimation());
    EXPECT_FALSE(inside(*delegate).clickedModule) << "consumed by the showing";
    EXPECT_EQ(inside(*delegate).lastStatusActivation, clock.now());

    ASSERT_TRUE(inside(*delegate).anchorPanel);
    const ui::Window& anchor = *inside(*delegate).anchorPanel;
    EXPECT_EQ(anchor.frame(), (gfx::Rect{point.x - 0.5, strip().minY(), 1, 1}));
    EXPECT_EQ(anchor.level(), ui::WindowLevel::status);
    EXPECT_EQ(anchor.collectionBehavior(), 0x148u);
    EXPECT_TRUE(anchor.ignoresMouseEvents());
    EXPECT_EQ(anchor.styleMask(), ui::Style::nonactivatingPanel);
    EXPECT_FALSE(anchor.isAccessibilityElement());
    EXPECT_TRUE(inside(*delegate).outsideClickMonitor);

    // The popover hangs below the menu bar, its top at the anchor.
    const auto& window = popover()->window();
    ASSERT_TRUE(window);
    EXPECT_LE(window->frame().maxY(), strip().minY() + 0.5);
    EXPECT_LT(window->frame().minX(), point.x);
    EXPECT_GT(window->frame().maxX(), point.x);
}

TEST_F(AppDelegateClicksTest, AnotherModuleRefocusesAndTheSameModuleCloses) {
    clickModule(ModuleKind::network);
    const auto anchor = inside(*delegate).anchorPanel;
    const gfx::Point memory = moduleCenter(ModuleKind::memory);
    clickModule(ModuleKind::memory);
    ASSERT_TRUE(shown());
    EXPECT_EQ(details()->priority(), ModuleKind::memory);
    EXPECT_EQ(delegate->statusStrip().view()->activeModule(), ModuleKind::memory);
    EXPECT_EQ(inside(*delegate).anchorPanel, anchor) << "the same anchor moves";
    EXPECT_EQ(inside(*delegate).anchorPanel->frame().origin,
              (gfx::Point{memory.x - 0.5, strip().minY()}));

    clickModule(ModuleKind::memory);
    EXPECT_FALSE(shown());
    EXPECT_FALSE(inside(*delegate).anchorPanel);
    EXPECT_FALSE(inside(*delegate).outsideClickMonitor);
    EXPECT_FALSE(delegate->statusStrip().view()->activeModule());
    EXPECT_FALSE(anchor->isVisible());
}

TEST_F(AppDelegateClicksTest, TheOpenPopoverStaysWhereTheClickWasWhenTheStripChangesUnderIt) {
    struct Change {
        const char* what;
        std::function<void(AppDelegate&)> apply;
    };
    const std::vector<Change> changes = {
        {"a module right of it switched off",
         [](AppDelegate& app) {
             app.details().view()->editLook(
                 [=](StripLook& l) { l.modules.setShown(ModuleKind::compute, false); });
         }},
        {"the module right of it switched on again",
         [](AppDelegate& app) {
             app.details().view()->editLook(
                 [=](StripLook& l) { l.modules.setShown(ModuleKind::compute, true); });
         }},
        {"moved to the right end",
         [](AppDelegate& app) {
             app.details().view()->editLook([=](StripLook& l) {
                 l.modules.order =
                     completeOrder({ModuleKind::memory, ModuleKind::fan, ModuleKind::temperature,
                                    ModuleKind::compute, ModuleKind::devices, ModuleKind::network});
             });
         }},
        {"a longer chart",
         [](AppDelegate& app) {
             app.details().view()->editLook(
                 [=](StripLook& l) { l.modules.chartLength = clampedChartLength(150); });
         }},
    };
    for (const auto& change : changes) {
        SCOPED_TRACE(change.what);
        const gfx::Point before = moduleCenter(ModuleKind::network);
        server.movePointer({before.x + 3, before.y});
        server.click({before.x + 3, before.y});
        loop.runUntilIdle();
        ASSERT_TRUE(shown());
        const gfx::Rect anchor = inside(*delegate).anchorPanel->frame();
        const gfx::Rect shownFrame = popover()->window()->frame();

        change.apply(*delegate);
        advance(1);
        ASSERT_TRUE(shown());
        EXPECT_NE(moduleCenter(ModuleKind::network).x, before.x) << "the module moved";
        EXPECT_EQ(inside(*delegate).anchorPanel->frame(), anchor);
        EXPECT_EQ(popover()->window()->frame().origin.x, shownFrame.origin.x);

        popover()->performClose();
        loop.runUntilIdle();
    }
}

TEST_F(AppDelegateClicksTest, AClickElsewhereClosesAfterTheDelayUnlessTheStripSawAClick) {
    clickModule(ModuleKind::network);
    server.click({200, 200});
    loop.runUntilIdle();
    EXPECT_TRUE(shown());
    loop.advanceAndRunDue(0.05);
    EXPECT_TRUE(shown());
    loop.advanceAndRunDue(0.011);
    EXPECT_FALSE(shown());

    // A status activation inside the delay keeps the popover.
    clickModule(ModuleKind::network);
    server.click({200, 200});
    loop.advanceAndRunDue(0.03);
    delegate->details().show(moduleCenter(ModuleKind::memory), std::nullopt);
    loop.advanceAndRunDue(0.1);
    EXPECT_TRUE(shown());
    EXPECT_EQ(details()->priority(), ModuleKind::memory);
}

TEST_F(AppDelegateClicksTest, PressesOnOrJustBesideTheStripOrInThePopoverAreNotOutside) {
    clickModule(ModuleKind::network);
    const gfx::Rect frame = strip();
    for (gfx::Point point :
         {gfx::Point{frame.minX() - 1.5, frame.midY()},
          gfx::Point{frame.midX(), frame.minY() - 1.5}, popover()->window()->frame().center()}) {
        server.movePointer(point);
        delegate->details().handleOutsideClick();
        loop.advanceAndRunDue(0.1);
        EXPECT_TRUE(shown());
    }
    server.movePointer({frame.minX() - 3, frame.midY()});
    delegate->details().handleOutsideClick();
    loop.advanceAndRunDue(0.1);
    EXPECT_FALSE(shown());
}

TEST_F(AppDelegateClicksTest, HoverRefocusesModuleByModuleOnlyWhileShownAndAllowed) {
    // Closed: hovering opens nothing.
    server.movePointer(moduleCenter(ModuleKind::memory));
    loop.advanceAndRunDue(0.2);
    EXPECT_FALSE(shown());

    clickModule(ModuleKind::network);
    server.movePointer(moduleCenter(ModuleKind::temperature));
    loop.advanceAndRunDue(0.2);
    EXPECT_EQ(details()->priority(), ModuleKind::temperature);
    server.movePointer(moduleCenter(ModuleKind::compute));
    loop.advanceAndRunDue(0.2);
    EXPECT_EQ(details()->priority(), ModuleKind::compute);
    EXPECT_TRUE(shown());

    // While a press is tracked or the strip sorts, hovering does nothing.
    delegate->statusStrip().view()->setSorting(true);
    ASSERT_TRUE(delegate->statusStrip().view()->holdsPointer());
    delegate->details().hoverModule(ModuleKind::memory, moduleCenter(ModuleKind::memory));
    EXPECT_EQ(details()->priority(), ModuleKind::compute);
    delegate->statusStrip().view()->setSorting(false);
    delegate->details().hoverModule(ModuleKind::memory, moduleCenter(ModuleKind::memory));
    EXPECT_EQ(details()->priority(), ModuleKind::memory);

    // Closing leaves no surface hovering.
    server.movePointer(moduleCenter(ModuleKind::network));
    loop.runUntilIdle();
    ASSERT_FALSE(delegate->statusStrip().editingPanels()->panels().empty());
    const auto& panel = *delegate->statusStrip().editingPanels()->panels().begin()->second;
    ASSERT_TRUE(EditingPanels::surfaceOf(panel)->hoveredModule());
    details()->dismissAction();
    EXPECT_FALSE(EditingPanels::surfaceOf(panel)->hoveredModule());
    EXPECT_FALSE(EditingPanels::surfaceOf(panel)->hoverPending());
}

TEST_F(AppDelegateClicksTest, TheSecondaryClickClosesThePopoverAndPopsTheSettingsMenu) {
    clickModule(ModuleKind::network);
    bool menuOpenWithPopoverClosed = false;
    loop.queue().asyncAfter(0.2, [&] {
        menuOpenWithPopoverClosed = app.trackingSession() != nullptr && !shown();
        server.key(ui::KeyCode::escape, "\x1b");
    });
    server.rightClick(moduleCenter(ModuleKind::memory));
    loop.runUntilIdle();
    EXPECT_TRUE(menuOpenWithPopoverClosed);
    EXPECT_EQ(app.trackingSession(), nullptr) << "Escape dismissed the menu";
    EXPECT_FALSE(shown());
}

TEST_F(AppDelegateClicksTest, WhileSortingTheSecondaryClickLeavesThePopoverOpen) {
    clickModule(ModuleKind::network);
    details()->setSorting(true);
    bool popoverShownUnderMenu = false;
    loop.queue().asyncAfter(0.2, [&] {
        popoverShownUnderMenu = app.trackingSession() != nullptr && shown();
        server.key(ui::KeyCode::escape, "\x1b");
    });
    server.rightClick(moduleCenter(ModuleKind::memory));
    loop.runUntilIdle();
    EXPECT_TRUE(popoverShownUnderMenu);
}

TEST_F(AppDelegateClicksTest, EscapeWhileSortingEndsSortingOnBothSidesAndKeepsThePopover) {
    clickModule(ModuleKind::network);
    details()->setSorting(true);
    details()->sortingAction();
    ASSERT_TRUE(delegate->statusStrip().view()->isSorting());
    server.key(ui::KeyCode::escape, "\x1b");
    loop.runUntilIdle();
    EXPECT_FALSE(details()->isSorting());
    EXPECT_FALSE(delegate->statusStrip().view()->isSorting());
    EXPECT_EQ(delegate->statusStrip().view()->activeModule(), ModuleKind::network);
    EXPECT_TRUE(shown());
}

TEST_F(AppDelegateClicksTest, ClosingResetsSortingFocusSizeAndTheOutsideMonitor) {
    clickModule(ModuleKind::network);
    details()->setSorting(true);
    details()->sortingAction();
    ASSERT_TRUE(delegate->statusStrip().view()->isSorting());
    details()->dismissAction();
    EXPECT_FALSE(shown());
    EXPECT_FALSE(details()->isSorting());
    EXPECT_FALSE(delegate->statusStrip().view()->isSorting());
    EXPECT_FALSE(delegate->statusStrip().view()->activeModule());
    EXPECT_FALSE(delegate->details().floatingFrame());
    EXPECT_FALSE(inside(*delegate).outsideClickMonitor);
    EXPECT_EQ(popover()->contentSize(),
              (gfx::Size{details()->contentWidth(), details()->preferredHeight()}));
}

TEST_F(AppDelegateClicksTest, ClosingMidCardDragEndsTheDrag) {
    clickModule(ModuleKind::network);
    DetailViewProbe view{*details()};
    const ModuleSectionView& card = view.card(ModuleKind::memory);
    ASSERT_TRUE(
        view.beginCardDrag(ModuleKind::memory, {card.frame().midX(), card.frame().minY() + 8}));
    ASSERT_EQ(card.alphaValue(), 0.2);
    details()->dismissAction();
    EXPECT_FALSE(shown());
    EXPECT_FALSE(view.draggedModule());
    EXPECT_EQ(card.alphaValue(), 1);
    EXPECT_TRUE(view.beginCardDrag(ModuleKind::memory, {card.frame().midX(), 8}))
        << "a new drag may begin";
    view.endCardDrag();
}

TEST_F(AppDelegateClicksTest, AClickBesideEveryModuleFallsBackToThePriority) {
    clickModule(ModuleKind::network);
    // No module under the point: the priority, which closes.
    delegate->details().show(gfx::Point{strip().maxX() + 40, strip().midY()}, std::nullopt);
    EXPECT_FALSE(shown());
    // Closed, no point: the priority when the strip shows it, else the first shown module.
    details()->prioritize(ModuleKind::compute);
    delegate->details().show(std::nullopt, std::nullopt);
    EXPECT_TRUE(shown());
    EXPECT_EQ(details()->priority(), ModuleKind::compute);
    EXPECT_EQ(inside(*delegate).anchorPanel->frame().origin,
              (gfx::Point{strip().midX() - 0.5, strip().minY()}));
}

TEST_F(AppDelegateClicksTest, NothingIsHighlightedWhenThereIsNoPlaceToShowThePopover) {
    server.setScreens({});
    delegate->details().show(std::nullopt, std::nullopt);
    EXPECT_FALSE(shown());
    EXPECT_FALSE(inside(*delegate).anchorPanel);
    EXPECT_FALSE(delegate->statusStrip().view()->activeModule());
    EXPECT_EQ(details()->priority(), ModuleKind::memory) << "the focus still moves";
}

TEST_F(AppDelegateClicksTest, ShownBesideAnAnchorRectangleThePopoverFitsTheRoomThere) {
    const gfx::Rect bar{400, 500, 300, 30};
    delegate->details().show(std::nullopt, bar);
    ASSERT_TRUE(shown());
    EXPECT_EQ(delegate->details().floatingFrame(), bar);
    EXPECT_EQ(inside(*delegate).anchorPanel->frame().x(), bar.midX() - 0.5);
    // Below the bar is 500 − 0 points of room, less 20.
    delegate->details().updatePopoverSize(2000, false);
    EXPECT_EQ(popover()->contentSize().height, 480);
}

TEST_F(AppDelegateClicksTest, SizeChangesAnimateOnlyWhenShownAndMotionIsAllowed) {
    const gfx::Size before = popover()->contentSize();
    delegate->details().updatePopoverSize(before.height, true);
    EXPECT_TRUE(popover()->animates());

    clickModule(ModuleKind::network);
    app.workspace().setReduceMotion(true);
    delegate->details().updatePopoverSize(popover()->contentSize().height - 40, true);
    EXPECT_FALSE(popover()->animates());
    app.workspace().setReduceMotion(false);
    delegate->details().updatePopoverSize(popover()->contentSize().height - 40, true);
    EXPECT_TRUE(popover()->animates());
}

TEST_F(AppDelegateClicksTest, TheActivityMonitorButtonOpensTheDesktopsSystemMonitor) {
    // The opener runs on a worker thread.
    std::mutex mutex;
    std::vector<std::vector<std::string>> opened;
    std::promise<void> first;
    app.workspace().setOpener([&](const std::vector<std::string>& argv) {
        std::lock_guard lock(mutex);
        opened.push_back(argv);
        if (opened.size() == 1)
            first.set_value();
        return true;
    });
    testsupport::TemporaryDirectory data;
    app.workspace().setDataDirectories({data.path()});
    details()->openAction();
    {
        std::lock_guard lock(mutex);
        EXPECT_TRUE(opened.empty()) << "none installed: nothing is handed to the opener";
    }

    std::filesystem::create_directories(data.path() / "applications");
    std::ofstream(data.path() / "applications" / "xfce4-taskmanager.desktop")
        << "[Desktop Entry]\nType=Application\nName=Task Manager\nExec=xfce4-taskmanager\n";
    details()->openAction();
    ASSERT_EQ(first.get_future().wait_for(std::chrono::seconds(5)), std::future_status::ready);
    std::lock_guard lock(mutex);
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_NE(opened.front().back().find("xfce4-taskmanager.desktop"), std::string::npos);
}

TEST_F(AppDelegateClicksTest, TheSettingsMenuRebuildsItselfAndIsEmptyOnceTheControllerIsGone) {
    auto menu = std::static_pointer_cast<LiveSettingsMenu>(delegate->details().makeSettingsMenu());
    ASSERT_TRUE(menu);
    ASSERT_TRUE(menu->rebuild);
    EXPECT_FALSE(menu->rebuild()->items().empty());
    delegate->applicationWillTerminate();
    delegate.reset();
    EXPECT_TRUE(menu->rebuild()->items().empty());
}

TEST_F(AppDelegateClicksTest, AFullScreenWindowHidesTheItemAndClosesThePopoverWhenHidingIsOn) {
    clickModule(ModuleKind::network);
    windows->setWindows({{.bounds = {0, 0, 1440, 900}, .ownerPID = 1}});
    details()->editLook([=](StripLook& l) { l.hideInFullscreen = true; });
    EXPECT_EQ(delegate->floatingMode().fullscreen().displayIDs(), std::set<int>{1});
    EXPECT_FALSE(delegate->statusStrip().item()->isVisible());
    EXPECT_FALSE(shown());

    windows->setWindows({});
    loop.advanceAndRunDue(FullscreenMonitor::scanInterval + FullscreenMonitor::scanTolerance);
    EXPECT_TRUE(delegate->floatingMode().fullscreen().displayIDs().empty());
    EXPECT_TRUE(delegate->statusStrip().item()->isVisible());

    details()->editLook([=](StripLook& l) { l.hideInFullscreen = false; });
    EXPECT_FALSE(delegate->floatingMode().fullscreen().isEnabled());
}

} // namespace
} // namespace pulsedeck
