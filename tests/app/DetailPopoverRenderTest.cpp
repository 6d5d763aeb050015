#include "app/ControllerHarness.h"
#include "detail/ModuleColorButton.h"
#include "detail/ModuleSectionView.h"
#include "detail/PersistentMenuOption.h"
#include "detail/SettingsIconButton.h"
#include "model/AccentColor.h"
#include "platform/toolkit/MenuTracker.h"
#include "support/DetailViewProbe.h"

#include <any>

namespace pulsedeck {
namespace {

using testing::luminance;

gfx::Rect onScreen(const ui::View& view) {
    return view.window()->convertRectToScreen(view.convertRectToView(view.bounds(), nullptr));
}

// The popover opened from the strip of a light desktop, as a user clicks it.
class DetailPopoverRender : public testing::ControllerHarness {
protected:
    void SetUp() override {
        launch();
        advance(1.0);
    }

    void open(ModuleKind module) {
        const gfx::Point point = moduleCenter(module);
        server.movePointer(point);
        server.click(point);
        pump();
        advance(1.0);
        ASSERT_TRUE(popover()->isShown());
    }

    gfx::Bitmap screen() {
        for (const auto& window : app.windows())
            window->displayIfNeeded();
        return server.composeScreen(0);
    }

    // The open menu's window: the popover stands at the same level.
    std::shared_ptr<ui::Window> shownMenuWindow() const {
        for (const auto& window : app.windows())
            if (window->level() == ui::WindowLevel::popUpMenu && window->isVisible() &&
                window != popover()->window())
                return window;
        return nullptr;
    }
};

// Focused on one card, then switched to the overview: the card stands at the top of the
// cards once the popover has its overview width, as far as the grid can scroll.
TEST_F(DetailPopoverRender, TheOverviewKeepsTheFocusedCardInView) {
    for (ModuleKind module : {ModuleKind::network, ModuleKind::temperature}) {
        SCOPED_TRACE(toString(module));
        open(module);
        DetailView& view = *details();
        const DetailViewProbe probe(view);
        ASSERT_EQ(view.priority(), module);
        view.editLook([=](StripLook& l) { l.presentation = DetailPresentation::overview; });
        advance(1.0);
        ASSERT_EQ(view.bounds().width(), view.contentWidth()) << "the overview's width";

        const gfx::Bitmap shot = screen();
        ASSERT_TRUE(shot.writePng(
            testsupport::artifactPath("overview-from-" + std::string(toString(module)) + ".png")
                .string()));
        const ui::ClipView& clip = probe.scroll().contentView();
        const ModuleSectionView& card = probe.card(module);
        const double reachable = probe.contentHeight() - clip.bounds().height();
        const double wanted = std::max(0.0, std::min(reachable, card.frame().minY()));
        EXPECT_NEAR(clip.bounds().minY(), wanted, 0.5);
        const gfx::Rect visible = onScreen(clip);
        const gfx::Rect shown = onScreen(card);
        EXPECT_GE(shown.minY(), visible.minY() - 0.5) << "the whole card in view";
        EXPECT_LE(shown.maxY(), visible.maxY() + 0.5);

        view.editLook([=](StripLook& l) { l.presentation = DetailPresentation::details; });
        popover()->performClose();
        advance(1.0);
    }
}

// The settings menu, reopened after choosing Dark on a light desktop, comes back dark.
TEST_F(DetailPopoverRender, TheReopenedSettingsMenuTakesTheAppsAppearance) {
    open(ModuleKind::memory);
    DetailView& view = *details();
    const DetailViewProbe probe(view);
    auto menu = view.makeSettingsMenu();
    std::shared_ptr<PersistentMenuOption> dark;
    for (const auto& item : menu->items())
        if (item->submenu())
            for (const auto& choice : item->submenu()->items())
                if (const auto* name = std::any_cast<std::string>(&choice->representedObject());
                    name && *name == "dark" &&
                    item->title() == text(Copy::appearanceTheme, view.state().language))
                    dark = std::dynamic_pointer_cast<PersistentMenuOption>(choice->view());
    ASSERT_TRUE(dark);

    std::optional<gfx::Appearance> reopened;
    std::optional<int> backdrop;
    loop.queue().asyncAfter(0.2, [&] { dark->activateOption(); });
    loop.queue().asyncAfter(0.6, [&] {
        if (auto window = shownMenuWindow()) {
            reopened = window->appearance();
            const gfx::Bitmap shot = screen();
            shot.writePng(testsupport::artifactPath("settings-menu-reopened-dark.png").string());
            const gfx::Rect frame = window->frame();
            backdrop = luminance(shot.pixelAtPoint({frame.maxX() - 4, frame.midY()}));
        }
        server.key(ui::KeyCode::escape, "\x1b");
    });
    ui::Menu::popUp(menu, {0, 0}, probe.settingsButton());
    loop.advanceAndRunDue(1.0);

    EXPECT_EQ(delegate->settings().main().look.appearance, AppearanceMode::dark);
    EXPECT_EQ(app.effectiveAppearance(), gfx::Appearance::light) << "the desktop stays light";
    ASSERT_TRUE(reopened) << "the menu came back";
    EXPECT_EQ(*reopened, gfx::Appearance::dark);
    ASSERT_TRUE(backdrop);
    EXPECT_LT(*backdrop, 80) << "a dark menu backdrop";
}

// The theme's colour menu open under its button, the pointer on its third row.
TEST_F(DetailPopoverRender, TheColourMenuRowsShowSwatchesAndOneWideHighlight) {
    open(ModuleKind::memory);
    ModuleColorButton& button = DetailViewProbe(*details()).colorChoice();
    std::optional<gfx::Rect> frame;
    std::optional<gfx::Bitmap> shot;
    loop.queue().asyncAfter(0.2, [&] {
        auto window = shownMenuWindow();
        ASSERT_TRUE(window);
        frame = window->frame();
        const double row =
            frame->maxY() - ui::MenuLayout::verticalPadding - PersistentMenuOption::height * 2.5;
        server.movePointer({frame->midX(), row});
        loop.advanceAndRunDue(0.1);

        shot = screen();
        shot->writePng(testsupport::artifactPath("colour-menu-rows.png").string());
        server.key(ui::KeyCode::escape, "\x1b");
    });
    button.choose();
    loop.runUntilIdle();
    ASSERT_TRUE(shot && frame);

    // The lit third row spans the menu but for 4 pt each side; the rows stand 25 pt apart.
    const double litY =
        frame->maxY() - ui::MenuLayout::verticalPadding - PersistentMenuOption::height * 2.5;
    const gfx::Color accent = accentColor();
    auto isAccent = [&](gfx::Point point) {
        const gfx::Rgba8 p = shot->pixelAtPoint(point);
        return std::abs(p.blue - int(accent.blue() * 255)) < 30 &&
               std::abs(p.red - int(accent.red() * 255)) < 30;
    };
    EXPECT_TRUE(isAccent({frame->minX() + 5.5, litY}));
    EXPECT_FALSE(isAccent({frame->minX() + 2.5, litY}));
    EXPECT_TRUE(isAccent({frame->maxX() - 5.5, litY}));
    EXPECT_FALSE(isAccent({frame->maxX() - 2.5, litY}));
    EXPECT_FALSE(isAccent({frame->midX(), litY + PersistentMenuOption::height}));
}

} // namespace
} // namespace pulsedeck
