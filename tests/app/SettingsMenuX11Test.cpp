#include "app/AppDelegate.h"
#include "detail/ModuleColorButton.h"
#include "detail/PersistentMenuOption.h"
#include "detail/SettingsIconButton.h"
#include "model/AccentColor.h"
#include "platform/dispatch/Timer.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/toolkit/Accessibility.h"
#include "platform/toolkit/MenuTracker.h"
#include "platform/toolkit/Screen.h"
#include "platform/toolkit/Window.h"
#include "platform/toolkit/x11/X11WindowList.h"
#include "support/DetailViewProbe.h"
#include "support/ProgramX11Fixture.h"
#include "support/TestPaths.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <utility>
#include <vector>

// Xlib's macros must come after every other header.
// clang-format off
#include "support/X11TestSupport.h"
#include <X11/keysym.h>
// clang-format on

namespace pulsedeck {
namespace {

// The whole program on a private X server: the user opens the settings menu from the popover's
// gear and works it with the pointer while it stays open.
class SettingsMenuX11 : public testing::ProgramX11Fixture {
protected:
    void prepare(AppDelegate::Environment& environment) override {
        environment.loginItem.emplace(autostart(), "/usr/bin/true");
    }

    std::filesystem::path autostart() const {
        return config.path() / "autostart" / LoginItem::entryName;
    }

    // The status strip as the screen shows it.
    testsupport::Capture captureStrip() const {
        const auto strip = delegate->statusStrip().view()->statusItemScreenFrame();
        if (!strip)
            return {};
        return captureScreen(*strip);
    }
    // The places in the strip's pixels drawn in `color`, whole or blended with the strip's grey.
    // Blending with a grey keeps a colour's hue, so anti-aliased text counts as well as a full
    // bar, and a figure that is small when the machine is idle still shows.
    static std::vector<std::pair<int, int>> pixelsTinted(const testsupport::Capture& strip,
                                                         const gfx::Color& color) {
        const auto srgb = color.usingSRGB();
        if (!srgb)
            return {};
        const double wanted = hue(srgb->red() * 255, srgb->green() * 255, srgb->blue() * 255);
        std::vector<std::pair<int, int>> found;
        for (int row = 0; row < strip.height; ++row)
            for (int column = 0; column < strip.width; ++column) {
                const testsupport::Rgb pixel = strip.at(column, row);
                const int chroma = std::max({pixel.red, pixel.green, pixel.blue}) -
                                   std::min({pixel.red, pixel.green, pixel.blue});
                const double off = std::abs(hue(pixel.red, pixel.green, pixel.blue) - wanted);
                if (chroma >= 48 && std::min(off, 360 - off) <= 8)
                    found.emplace_back(column, row);
            }
        return found;
    }
    static double hue(double red, double green, double blue) {
        const double top = std::max({red, green, blue});
        const double chroma = top - std::min({red, green, blue});
        if (chroma <= 0)
            return 0;
        const double sixths = top == red     ? std::fmod((green - blue) / chroma + 6, 6)
                              : top == green ? (blue - red) / chroma + 2
                                             : (red - green) / chroma + 4;
        return sixths * 60;
    }

    std::string text(Copy key) const {
        return pulsedeck::text(key, delegate->details().view()->state().language);
    }
};

TEST_F(SettingsMenuX11, TheGearMenuChangesSettingsWhileOpenAndReopensInTheNewLanguage) {
    ASSERT_NO_FATAL_FAILURE(openDetailsFrom(ModuleKind::memory));
    DetailView& view = *delegate->details().view();
    const DetailViewProbe probe(view);
    const std::string english = text(Copy::hideInFullscreen);
    const std::string germanLogin = pulsedeck::text(Copy::launchAtLogin, AppLanguage::german);
    std::optional<gfx::Rect> firstFrame;
    double chosenAt = 0, reopenedAt = 0;

    std::vector<Step> steps = {
        {"the gear opens the menu", [] { return true; },
         [&] { clickScreen(centreOnScreen(probe.settingsButton())); }},
        {"the menu is shown", [&] { return option(english) != nullptr; },
         [&] {
             firstFrame = menuWindows().front()->frame();
             photographMenus("SettingsMenuX11-menu-light.png");
             clickScreen(centreOnScreen(*option(english)));
         }},
        {"full-screen hiding is on and the menu stays",
         [&] {
             auto hide = option(english);
             return view.state().hideInFullscreen && hide &&
                    hide->menuItem()->state() == ui::ControlState::on;
         },
         [&] {
             EXPECT_TRUE(delegate->settings().main().hideInFullscreen);
             auto centre = itemCentre(*option(english), text(Copy::language));
             ASSERT_TRUE(centre);
             moveScreen(*centre);
         }},
        {"the language submenu opens", [&] { return option("Deutsch") != nullptr; },
         [&] {
             moveScreen(centreOnScreen(*option("Deutsch")));
             photographMenus("SettingsMenuX11-language-light.png");
             clickScreen(centreOnScreen(*option("Deutsch")));
             chosenAt = loop.clock().now();
         }},
        {"the menu reopens in German", [&] { return option(germanLogin) != nullptr; },
         [&] {
             reopenedAt = loop.clock().now();
             EXPECT_EQ(view.state().language, AppLanguage::german);
             EXPECT_EQ(menuWindows().front()->frame().origin.x, firstFrame->origin.x);
             EXPECT_EQ(menuWindows().front()->frame().maxY(), firstFrame->maxY());
             EXPECT_FALSE(std::filesystem::exists(autostart()));
             clickScreen(centreOnScreen(*option(germanLogin)));
         }},
        {"launch at login writes the autostart entry",
         [&] { return std::filesystem::exists(autostart()) && view.state().loginState == 1; },
         [&] { clickScreen(centreOnScreen(*option(germanLogin))); }},
        {"and removes it", [&] { return !std::filesystem::exists(autostart()); },
         [&] {
             EXPECT_TRUE(option(germanLogin)) << "the menu stayed open";
             delegate->details().view()->appearanceAction(AppearanceMode::dark);
         }},
        {"dark", [] { return true; },
         [&] {
             photographMenus("SettingsMenuX11-menu-dark.png");
             auto centre = itemCentre(*option(germanLogin),
                                      pulsedeck::text(Copy::automaticUpdates, AppLanguage::german));
             ASSERT_TRUE(centre);
             moveScreen(*centre);
         }},
        {"the updates submenu opens",
         [&] { return option(pulsedeck::text(Copy::everyMonth, AppLanguage::german)) != nullptr; },
         [&] { photographMenus("SettingsMenuX11-updates-dark.png"); }},
    };
    play(std::move(steps), 20);
    EXPECT_GE(reopenedAt - chosenAt, PersistentMenuOption::reopenDelay);
    EXPECT_EQ(delegate->statusStrip().view()->fanInputs().language, AppLanguage::german);
}

TEST_F(SettingsMenuX11, TheColourPillOffersThePaletteAndAChoiceRecoloursTheStrip) {
    ASSERT_NO_FATAL_FAILURE(openDetailsFrom(ModuleKind::memory));
    DetailView& view = *delegate->details().view();
    const DetailViewProbe probe(view);
    ASSERT_TRUE(probe.colorChoice().window());
    const auto memoryPill = &probe.colorButton(ColorSlot::memory);
    ASSERT_TRUE(memoryPill->window()) << "the memory card shows its colour row";
    const std::string red = text(Copy::red);
    const gfx::Color chosen = toColor(PaletteColor::red);
    const gfx::Color previous = toColor(delegate->settings().main().moduleColors.color(
        ColorSlot::theme, delegate->settings().main().normalBlue));
    ASSERT_NE(previous, chosen);
    const std::size_t figure = 24;
    const testsupport::Capture before = captureStrip();
    EXPECT_TRUE(before.writePng(testsupport::artifactPath("SettingsMenuX11-strip-before.png")));
    EXPECT_GE(pixelsTinted(before, previous).size(), figure) << "the strip shows the theme";
    EXPECT_LT(pixelsTinted(before, chosen).size(), figure) << "and nothing red";
    std::vector<Step> steps = {
        {"the pill opens the palette", [] { return true; },
         [&] { clickScreen(centreOnScreen(probe.colorChoice())); }},
        {"the palette is shown", [&] { return option(red) != nullptr; },
         [&] {
             moveScreen(centreOnScreen(*option(red)));
             photographMenus("SettingsMenuX11-colours-light.png");
             clickScreen(centreOnScreen(*option(red)));
         }},
        {"red is chosen and checked in the open palette",
         [&] {
             auto choice = option(red);
             return choice && choice->menuItem()->state() == ui::ControlState::on;
         },
         [&] {
             EXPECT_EQ(view.state().moduleColors.color(probe.colorChoice().slot(),
                                                       view.state().normalBlue),
                       PaletteColor::red);
             EXPECT_EQ(delegate->settings().main().moduleColors.color(
                           ColorSlot::theme, delegate->settings().main().normalBlue),
                       PaletteColor::red);
             EXPECT_EQ(accentColor(), chosen) << "the accent follows";
         }},
        // The strip's figures that follow the theme turn red: enough pixels of that hue to be a
        // figure, not a stray edge, and the old colour's figures are gone.
        {"the strip's figures turn red",
         [&] { return pixelsTinted(captureStrip(), chosen).size() >= figure; },
         [&] {
             const testsupport::Capture after = captureStrip();
             EXPECT_TRUE(
                 after.writePng(testsupport::artifactPath("SettingsMenuX11-strip-after.png")));
             EXPECT_LT(pixelsTinted(after, previous).size(), figure);
             delegate->details().view()->appearanceAction(AppearanceMode::dark);
         }},
        {"dark", [] { return true; },
         [&] {
             photographMenus("SettingsMenuX11-colours-dark.png");
             escape();
         }},
        {"the theme palette closes", [&] { return menuWindows().empty(); },
         [&] { clickScreen(centreOnScreen(*memoryPill)); }},
        {"the memory palette offers the theme first",
         [&] { return option(text(Copy::followTheme)) != nullptr; },
         [&] {
             auto follow = option(text(Copy::followTheme));
             EXPECT_EQ(follow->menuItem()->menu()->numberOfItems(), 10u);
             EXPECT_EQ(follow->menuItem()->state(), ui::ControlState::on);
             photographMenus("SettingsMenuX11-module-colours-dark.png");
         }},
    };
    play(std::move(steps), 15);
}

} // namespace
} // namespace pulsedeck
