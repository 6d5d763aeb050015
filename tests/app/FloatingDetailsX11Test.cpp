#include "platform/graphics/RectText.h"
#include "support/ProgramX11Fixture.h"

#include <gtest/gtest.h>

namespace pulsedeck {
namespace {

// The whole program on a private X server with a floating bar beside the status item; the user
// clicks and right-clicks its modules.
class FloatingDetailsX11 : public testing::ProgramX11Fixture {
protected:
    void prepare(AppDelegate::Environment&) override {
        defaults->setObject(std::string("copy"), PreferenceKey::floatingMode);
        defaults->setObject(gfx::stringFromRect({200, 400, 10, 10}), "floatingFrame");
    }

    gfx::Point onBar(ModuleKind kind) const {
        const gfx::Rect panel = delegate->floatingBar().panel()->frame();
        const gfx::Rect rect = delegate->floatingBar().strip()->rect(kind);
        return {panel.x() + rect.midX(), panel.y() + rect.midY()};
    }

    void rightClickScreen(gfx::Point point) {
        const auto [x, y] = pixel(point);
        click(x, y, 3);
    }
};

TEST_F(FloatingDetailsX11, ClicksOnTheBarOpenAndCloseItsDetailsAndARightClickItsMenu) {
    ASSERT_TRUE(runUntil([&] { return delegate->floatingBar().panel() != nullptr; }));
    const auto panel = delegate->floatingBar().panel();
    ASSERT_TRUE(
        runUntil([&] { return viewable(*panel) && delegate->sampling().history.size() >= 2; }));
    settle(0.3);

    clickScreen(onBar(ModuleKind::network));
    const auto& details = *delegate->floatingBar().popover();
    ASSERT_TRUE(runUntil([&] { return details.isShown() && viewable(*details.window()); }));
    settle(0.4);
    EXPECT_EQ(delegate->floatingBar().details()->priority(), ModuleKind::network);
    const gfx::Rect shown = details.window()->frame();
    EXPECT_EQ(shown.maxY(), panel->frame().minY()) << "hangs from the bar";
    EXPECT_TRUE(captureScreen(shown.unionWith(panel->frame()).insetBy(-8, -8))
                    .writePng(testsupport::artifactPath("floating-details-x11.png")));

    // The press on the bar is the bar's: the same module closes the details, none reopen.
    clickScreen(onBar(ModuleKind::network));
    ASSERT_TRUE(runUntil([&] { return !details.isShown(); }));
    settle(0.3);
    EXPECT_FALSE(details.isShown());

    const std::string onTop = text(Copy::alwaysOnTop, AppLanguage::english);
    std::vector<Step> steps = {
        {"a right click opens the menu", [] { return true; },
         [&] { rightClickScreen(onBar(ModuleKind::memory)); }},
        {"the menu is shown", [&] { return option(onTop) != nullptr; },
         [&] {
             photographMenus("floating-context-menu-x11.png");
             clickScreen(centreOnScreen(*option(onTop)));
         }},
        {"the bar leaves the top and the menu stays",
         [&] { return !delegate->settings().main().floatingOnTop; },
         [&] {
             EXPECT_EQ(panel->level(), ui::WindowLevel::normal);
             ASSERT_TRUE(option(onTop));
             EXPECT_EQ(option(onTop)->menuItem()->state(), ui::ControlState::off);
         }},
    };
    play(std::move(steps), 10);
    EXPECT_FALSE(defaults->boolForKey(PreferenceKey::floatingOnTop));
}

} // namespace
} // namespace pulsedeck
