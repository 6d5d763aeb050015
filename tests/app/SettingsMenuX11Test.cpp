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
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <iterator>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

// Xlib's macros must come after every other header.
// clang-format off
#include "support/DesktopSession.h"
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
             return view.state().look.hideInFullscreen && hide &&
                    hide->menuItem()->state() == ui::ControlState::on;
         },
         [&] {
             EXPECT_TRUE(delegate->settings().main().look.hideInFullscreen);
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
         [&] {
             return std::filesystem::exists(autostart()) &&
                    view.state().loginStatus == LoginItemStatus::enabled;
         },
         [&] { clickScreen(centreOnScreen(*option(germanLogin))); }},
        {"and removes it", [&] { return !std::filesystem::exists(autostart()); },
         [&] {
             EXPECT_TRUE(option(germanLogin)) << "the menu stayed open";
             delegate->details().view()->editLook(
                 [=](StripLook& l) { l.appearance = AppearanceMode::dark; });
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

// The strip's menu opens under a held right button; moved onto a row and let go there, the
// button chooses it, whatever kind of row it is.
TEST_F(SettingsMenuX11, TheStripsMenuTakesARowTheHeldButtonIsReleasedOn) {
    ASSERT_TRUE(runUntil([&] { return delegate->sampling().history.size() >= 2; }));
    const auto strip = delegate->statusStrip().view()->statusItemScreenFrame();
    ASSERT_TRUE(strip);
    const gfx::Rect memory = delegate->statusStrip().view()->rect(ModuleKind::memory);
    const Preferences& prefs = delegate->settings().main();
    struct Row {
        const char* name;
        // The submenu holding the row, if any.
        std::optional<Copy> holder;
        Copy title;
        std::function<bool()> took;
    };
    const Row rows[] = {
        {"an option", std::nullopt, Copy::hideInFullscreen,
         [&] { return prefs.look.hideInFullscreen; }},
        {"the login option", std::nullopt, Copy::launchAtLogin,
         [&] { return std::filesystem::exists(autostart()); }},
        {"an option that reopens its parent", Copy::appearanceTheme, Copy::darkAppearance,
         [&] { return prefs.look.appearance == AppearanceMode::dark; }},
    };
    const std::string first = text(Copy::launchAtLogin);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_FALSE(row.took());
        std::vector<Step> steps = {
            {"the held right button opens the strip's menu", [] { return true; },
             [&] {
                 moveScreen({strip->x() + memory.midX(), strip->y() + memory.midY()});
                 button(3, true);
             }},
            {"the menu is shown", [&] { return option(first) != nullptr; },
             [&] {
                 if (row.holder)
                     moveScreen(*itemCentre(*option(first), text(*row.holder)));
             }},
            {"the row is shown", [&] { return option(text(row.title)) != nullptr; },
             [&] { moveScreen(centreOnScreen(*option(text(row.title)))); }},
            {"the row is lit", [&] { return option(text(row.title))->isHovering(); },
             [&] { button(3, false); }},
            {"the row took and the menu stands",
             [&] { return row.took() && option(first) != nullptr; }, [] {}},
        };
        play(std::move(steps), 15);
    }
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
    const gfx::Color previous = toColor(delegate->settings().main().look.modules.colors.color(
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
             EXPECT_EQ(view.state().look.modules.colors.color(probe.colorChoice().slot(),
                                                              view.state().normalBlue),
                       PaletteColor::red);
             EXPECT_EQ(delegate->settings().main().look.modules.colors.color(
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
             delegate->details().view()->editLook(
                 [=](StripLook& l) { l.appearance = AppearanceMode::dark; });
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

// The process's processor time in seconds and resident memory in KiB, as /proc tells them.
std::pair<double, long> processUsage() {
    std::ifstream stat("/proc/self/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), {});
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::vector<std::string> field{std::istream_iterator<std::string>(fields), {}};
    const double ticks = double(sysconf(_SC_CLK_TCK));
    const double cpu =
        field.size() > 12 ? (std::stod(field[11]) + std::stod(field[12])) / ticks : 0;
    std::ifstream status("/proc/self/status");
    long rss = 0;
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0)
            rss = std::stol(line.substr(6));
    return {cpu, rss};
}

// Under openbox, with the details at the right edge of the screen, the gear's menu and its
// submenus lie over the details: every window of ours raised there crosses the still pointer
// between the menu and the details.
class SettingsMenuOverDetailsX11 : public SettingsMenuX11 {
protected:
    void SetUp() override {
        ASSERT_TRUE(xvfb.isRunning()) << xvfb.failure();
        desktop.emplace(xvfb, testsupport::Desktop::openbox);
        ASSERT_TRUE(desktop->isReady()) << desktop->failure();
        ASSERT_NO_FATAL_FAILURE(SettingsMenuX11::SetUp());
    }

    // How many rows of the menu holding `option` are lit: plain rows by the menu, options by
    // themselves.
    static int litRows(const PersistentMenuOption& option) {
        const auto item = option.menuItem();
        if (!item || !item->menu())
            return 0;
        int lit = 0;
        for (const auto& row : item->menu()->items()) {
            const auto view = std::dynamic_pointer_cast<PersistentMenuOption>(row->view());
            lit += row->isHighlighted() || (view && view->isHovering()) ? 1 : 0;
        }
        return lit;
    }

    std::optional<testsupport::DesktopSession> desktop;
};

TEST_F(SettingsMenuOverDetailsX11, TheLanguageSubmenuStaysPutWhileThePointerMovesOnItsRow) {
    ASSERT_NO_FATAL_FAILURE(openDetailsFrom(ModuleKind::compute));
    const DetailViewProbe probe(*delegate->details().view());
    const gfx::Rect details = delegate->details().popover()->window()->frame();
    const std::string hide = text(Copy::hideInFullscreen);
    constexpr double watched = 5;
    std::optional<gfx::Point> row;
    double until = 0;
    int moves = 0, mostLit = 0;
    std::set<ui::NativeWindowId> menusSeen;
    std::pair<double, long> before, after;
    // The hand on the Language row: small moves every 40 ms for five seconds.
    dispatch::Timer hand(
        0.04, true,
        [&] {
            if (!row || loop.clock().now() > until)
                return;
            ++moves;
            moveScreen(row->offsetBy(moves % 9 - 4, moves % 3 - 1));
            for (const auto& window : menuWindows())
                menusSeen.insert(*window->windowNumber());
            for (const std::string& title : {hide, std::string("Deutsch")})
                if (const auto shown = option(title))
                    mostLit = std::max(mostLit, litRows(*shown));
        },
        dispatch::commonModes, loop);

    std::vector<Step> steps = {
        {"the gear opens the menu", [] { return true; },
         [&] { clickScreen(centreOnScreen(probe.settingsButton())); }},
        {"the menu is shown over the details", [&] { return option(hide) != nullptr; },
         [&] {
             EXPECT_TRUE(menuWindows().front()->frame().intersects(details));
             row = itemCentre(*option(hide), text(Copy::language));
             ASSERT_TRUE(row);
             moveScreen(*row);
         }},
        {"the language submenu opens", [&] { return option("Deutsch") != nullptr; },
         [&] {
             EXPECT_TRUE(option("Deutsch")->window()->frame().intersects(details));
             before = processUsage();
             until = loop.clock().now() + watched;
         }},
        {"five seconds of moves on its row", [&] { return loop.clock().now() > until; },
         [&] {
             after = processUsage();
             gfx::Rect shown = details;
             for (const auto& window : menuWindows())
                 shown = shown.unionWith(window->frame());
             EXPECT_TRUE(captureScreen(shown).writePng(
                 testsupport::artifactPath("SettingsMenuX11-language-over-details.png")));
         }},
    };
    play(std::move(steps), 30);
    EXPECT_GT(moves, 30);
    EXPECT_EQ(menusSeen.size(), 2u) << "the menu and one submenu window";
    EXPECT_LE(mostLit, 1) << "one lit row per menu";
    // Bounds a loaded two-core machine keeps: a submenu rebuilt on every crossing took
    // about two thirds of a core and 11 MB a second.
    EXPECT_LT(after.first - before.first, 0.4 * watched) << "processor seconds";
    EXPECT_LT(after.second - before.second, 16 * 1024) << "resident KiB";
}

} // namespace
} // namespace pulsedeck
