#include "app/ControllerHarness.h"
#include "detail/CompactSwitch.h"
#include "detail/ModuleSectionView.h"
#include "model/AccentColor.h"
#include "platform/toolkit/MenuTracker.h"
#include "support/DetailViewProbe.h"

#include <cmath>

namespace pulsedeck {
namespace {

bool near(gfx::Rgba8 pixel, gfx::Color color, int tolerance = 24) {
    auto close = [&](std::uint8_t channel, double component) {
        return std::abs(channel - static_cast<int>(std::lround(component * 255))) <= tolerance;
    };
    return close(pixel.red, color.red()) && close(pixel.green, color.green()) &&
           close(pixel.blue, color.blue());
}

using testing::luminance;

// Pixels of a rectangle of the screen that pass a test.
int countPixels(const gfx::Bitmap& screen, const gfx::Rect& rect,
                const std::function<bool(gfx::Rgba8)>& test) {
    int count = 0;
    for (double x = rect.minX() + 0.5; x < rect.maxX(); x += 1)
        for (double y = rect.minY() + 0.5; y < rect.maxY(); y += 1)
            count += test(screen.pixelAtPoint({x, y})) ? 1 : 0;
    return count;
}

// The floating bar in the middle of the screen with a dark record, over a light menu bar whose
// theme is orange.
class FloatingDetailsRender : public testing::ControllerHarness {
protected:
    void SetUp() override {
        defaults->setObject("light", PreferenceKey::appAppearance);
        launch();
        details()->editLook([=](StripLook& l) {
            l.modules.colors.setColor(PaletteColor::orange, ColorSlot::theme);
        });
        delegate->floatingMode().set(FloatingMode::copy, std::nullopt);
        delegate->settings().changeFloating(
            [](FloatingPreferences& p) { p.look.appearance = AppearanceMode::dark; });
        // The bar never shows a theme of its own: the menu bar's stands.
        delegate->settings().changeFloating([](FloatingPreferences& p) {
            p.look.modules.colors.setColor(PaletteColor::pink, ColorSlot::theme);
        });
        floatingBar().panel()->setFrameOrigin({420, 640});
        for (int tick = 0; tick < 5; ++tick)
            advance(1.0);
    }

    gfx::Point onBar(ModuleKind kind) const {
        const gfx::Rect panel = floatingBar().panel()->frame();
        const gfx::Rect rect = floatingBar().strip()->rect(kind);
        return {panel.x() + rect.midX(), panel.y() + rect.midY()};
    }

    gfx::Bitmap screen() {
        for (const auto& window : app.windows())
            window->displayIfNeeded();
        return server.composeScreen(0);
    }
};

TEST_F(FloatingDetailsRender, TheDetailsHangDarkFromTheBarInTheMenuBarsTheme) {
    server.click(onBar(ModuleKind::network));
    pump();
    advance(1.0);
    ASSERT_TRUE(floatingBar().popover()->isShown());
    const gfx::Bitmap shot = screen();
    ASSERT_TRUE(shot.writePng(testsupport::artifactPath("floating-details.png").string()));

    const gfx::Rect bar = floatingBar().panel()->frame();
    const gfx::Rect details = floatingBar().popover()->window()->frame();
    EXPECT_EQ(details.maxY(), bar.minY());
    // The bar's dark record: a dark backdrop just under the bar, though the menu bar is light.
    EXPECT_LT(luminance(shot.pixelAtPoint({details.minX() + 6, details.maxY() - 6})), 70);
    EXPECT_LT(countPixels(shot, {details.minX(), details.minY(), details.width(), 40},
                          [](gfx::Rgba8 p) { return luminance(p) > 200; }),
              static_cast<int>(details.width() * 40 / 2))
        << "no light backdrop at the bottom";

    // The network card's top is scrolled to the top of the cards, and its switch is lit in the
    // menu bar's orange.
    auto onScreen = [](const ui::View& view) {
        return view.window()->convertRectToScreen(view.convertRectToView(view.bounds(), nullptr));
    };
    const DetailViewProbe probe(*floatingBar().details());
    EXPECT_NEAR(onScreen(probe.card(ModuleKind::network)).maxY(),
                onScreen(probe.scroll().contentView()).maxY(), 1);
    const gfx::Rect switchOnScreen = onScreen(probe.moduleSwitch(ModuleKind::network));
    const gfx::Color orange = toColor(PaletteColor::orange);
    EXPECT_GT(countPixels(shot, switchOnScreen, [&](gfx::Rgba8 p) { return near(p, orange); }), 20);
    for (PaletteColor other : {PaletteColor::pink, PaletteColor::blue})
        EXPECT_EQ(countPixels(shot, switchOnScreen,
                              [&](gfx::Rgba8 p) { return near(p, toColor(other)); }),
                  0);
    EXPECT_EQ(accentColor(), orange);
}

TEST_F(FloatingDetailsRender, TheContextMenuShowsTheOpacityRowChecksAndTheCloseSymbol) {
    std::optional<gfx::Bitmap> shot;
    std::optional<gfx::Rect> frame;
    loop.queue().asyncAfter(0.2, [&] {
        for (const auto& window : app.windows())
            if (window->level() == ui::WindowLevel::popUpMenu && window->isVisible())
                frame = window->frame();
        shot = screen();
        shot->writePng(testsupport::artifactPath("floating-context-menu.png").string());
        server.key(ui::KeyCode::escape, "\x1b");
    });
    server.rightClick(onBar(ModuleKind::memory));
    ASSERT_TRUE(shot && frame);

    auto menu = floatingBar().makeMenu();
    ASSERT_TRUE(menu->appearance);
    EXPECT_EQ(menu->appearance(), gfx::Appearance::dark)
        << "reopened, the menu keeps the bar's dark over the light desktop";
    const auto rows = ui::MenuLayout::itemRects(*menu, frame->width());
    ASSERT_EQ(rows.size(), 11u);
    auto onScreen = [&](const gfx::Rect& row) {
        return gfx::Rect{frame->minX() + row.minX(), frame->minY() + row.minY(), row.width(),
                         row.height()};
    };
    // Ink: anything that stands out from the menu's backdrop, which follows the bar's dark look.
    const int backdrop =
        luminance(shot->pixelAtPoint({frame->maxX() - 8, onScreen(rows[8]).midY()}));
    EXPECT_LT(backdrop, 80) << "the menu takes the bar's dark appearance";
    auto ink = [backdrop](gfx::Rgba8 p) { return std::abs(luminance(p) - backdrop) > 60; };
    auto checkColumn = [](const gfx::Rect& row) {
        return gfx::Rect{row.minX() + 4, row.minY() + 3, ui::MenuLayout::checkColumn - 6,
                         row.height() - 6};
    };
    // The close symbol's ring sits where titles start, before its title, with no check mark.
    const gfx::Rect close = onScreen(rows[10]);
    EXPECT_GT(countPixels(*shot,
                          {close.minX() + ui::MenuLayout::checkColumn, close.minY() + 3, 14,
                           close.height() - 6},
                          ink),
              12);
    EXPECT_EQ(countPixels(*shot, checkColumn(close), ink), 0);
    // Always on top is checked; the feedback item is not.
    EXPECT_GT(countPixels(*shot, checkColumn(onScreen(rows[4])), ink), 6);
    EXPECT_EQ(countPixels(*shot, checkColumn(onScreen(rows[8])), ink), 0);
    // The opacity row's slider: its filled track in the theme's orange.
    EXPECT_GT(countPixels(*shot, onScreen(rows[0]),
                          [](gfx::Rgba8 p) { return near(p, toColor(PaletteColor::orange)); }),
              20);
}

} // namespace
} // namespace pulsedeck
