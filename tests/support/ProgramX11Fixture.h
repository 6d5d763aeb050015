#pragma once

// clang-format off
#include "app/AppDelegate.h"
#include "support/AppDelegateProbe.h"
#include "detail/PersistentMenuOption.h"
#include "platform/dispatch/Timer.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/toolkit/Accessibility.h"
#include "platform/toolkit/MenuTracker.h"
#include "platform/toolkit/Screen.h"
#include "platform/toolkit/x11/X11WindowList.h"
#include "support/TestPaths.h"
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>
#include "support/X11TestSupport.h"
#include <X11/keysym.h>
// clang-format on

namespace pulsedeck::testing {

// The whole program on a private X server, launched as by a user who has seen the first-run
// tip already, in English, with its preferences in a folder of the test's own.
class ProgramX11Fixture : public testsupport::X11Fixture {
protected:
    using X11Fixture::X11Fixture;

    static constexpr const char* domain = "local.dorvettin.Pulsedeck";

    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(X11Fixture::SetUp());
        defaults = std::make_unique<foundation::UserDefaults>(config.path(), domain);
        defaults->setBool(true, PreferenceKey::hasLaunched);
        defaults->setBool(true, PreferenceKey::menuBarTipShown);
        AppDelegate::Environment environment;
        environment.defaults = defaults.get();
        environment.loop = &loop;
        environment.preferredLanguages = [] { return std::vector<std::string>{"en"}; };
        environment.windowList = std::make_shared<ui::x11::X11WindowList>(*server);
        prepare(environment);
        delegate = AppDelegate::create(environment);
        app->setDelegate(delegate);
        app->finishLaunching();
    }

    void TearDown() override {
        if (delegate) {
            delegate->applicationWillTerminate();
            delegate.reset();
        }
        X11Fixture::TearDown();
    }

    // What a test changes in the environment before the program starts.
    virtual void prepare(AppDelegate::Environment&) {}

    // A screen point as root pixels (the primary screen's bottom-left is the origin, y up).
    std::pair<int, int> pixel(gfx::Point point) const {
        const auto rect = server->geometry().pixelsFromRect({point.x, point.y, 1, 1});
        return {rect.x, rect.y};
    }

    // The user's pointer and keys at screen points, and the menus they open.
    void clickScreen(gfx::Point point) {
        const auto [x, y] = pixel(point);
        click(x, y);
    }
    void moveScreen(gfx::Point point) {
        const auto [x, y] = pixel(point);
        moveTo(x, y);
    }
    static gfx::Point centreOnScreen(const ui::View& view) {
        const gfx::Rect bounds = view.bounds();
        return view.window()->convertPointToScreen(
            view.convertPointToView({bounds.midX(), bounds.midY()}, nullptr));
    }

    // Whether the strip shows where the program has it. A manager that places it elsewhere than
    // asked (i3 stacks it under its own bar) may take a while on a loaded machine, and until it
    // has, and the program has heard of it, a click at the strip's frame finds another window.
    bool stripShownWhereKnown() const {
        const auto strip = delegate->statusStrip().view()->statusItemScreenFrame();
        const ui::Window* window = delegate->statusStrip().view()->window();
        const auto xid = window ? xWindow(*window) : std::nullopt;
        if (!strip || !xid || !viewable(*window))
            return false;
        const auto shown = testsupport::rootArea(server->display(), *xid);
        const auto known = server->geometry().pixelsFromRect(*strip);
        return known.x >= shown.x && known.y >= shown.y &&
               known.x + known.width <= shown.x + shown.width &&
               known.y + known.height <= shown.y + shown.height;
    }

    // A click on a module of the status strip, once two samples are in and the strip shows where
    // the program has it, opens the details.
    void openDetailsFrom(ModuleKind kind) {
        ASSERT_TRUE(runUntil([&] { return delegate->sampling().history.size() >= 2; }));
        ASSERT_TRUE(runUntil([&] { return stripShownWhereKnown(); }));
        const auto strip = delegate->statusStrip().view()->statusItemScreenFrame();
        const gfx::Rect module = delegate->statusStrip().view()->rect(kind);
        clickScreen({strip->x() + module.midX(), strip->y() + module.midY()});
        ASSERT_TRUE(runUntil([&] { return delegate->details().popover()->isShown(); }));
        ASSERT_TRUE(runUntil([&] { return viewable(*delegate->details().popover()->window()); }));
        settle(0.5);
    }

    // The open menu windows, top level first.
    std::vector<std::shared_ptr<ui::Window>> menuWindows() const {
        std::vector<std::shared_ptr<ui::Window>> open;
        for (const auto& window : app->windows())
            if (window->level() == ui::WindowLevel::popUpMenu && window->isVisible() &&
                window->contentView() &&
                window->contentView()->accessibility().role == ui::AccessibilityRole::menu)
                open.push_back(window);
        return open;
    }
    // The option titled so in an open menu window.
    std::shared_ptr<PersistentMenuOption> option(const std::string& title) const {
        for (const auto& window : menuWindows())
            for (const auto& view : window->contentView()->subviews())
                if (auto found = std::dynamic_pointer_cast<PersistentMenuOption>(view);
                    found && found->title() == title)
                    return found;
        return nullptr;
    }
    // The screen centre of a plain item of the menu that holds `sibling`.
    static std::optional<gfx::Point> itemCentre(const PersistentMenuOption& sibling,
                                                const std::string& title) {
        const auto item = sibling.menuItem();
        ui::Menu* menu = item ? item->menu() : nullptr;
        const auto frame = menu ? menu->frameOnScreen() : std::nullopt;
        if (!frame)
            return std::nullopt;
        const auto rects = ui::MenuLayout::itemRects(*menu, frame->width());
        for (std::size_t i = 0; i < rects.size(); ++i)
            if (menu->itemAt(i)->title() == title)
                return gfx::Point{frame->minX() + rects[i].midX(), frame->minY() + rects[i].midY()};
        return std::nullopt;
    }
    void photographMenus(const std::string& name) {
        std::optional<gfx::Rect> all;
        for (const auto& window : menuWindows())
            all = all ? all->unionWith(window->frame()) : window->frame();
        ASSERT_TRUE(all);
        gfx::Rect area = all->insetBy(-8, -8);
        if (auto screen = ui::Screen::mainScreen())
            area = area.intersection(screen->frame());
        EXPECT_TRUE(captureScreen(area).writePng(testsupport::artifactPath(name)));
    }
    // What the screen shows over an area in screen points.
    testsupport::Capture captureScreen(const gfx::Rect& area) const {
        const auto pixels = server->geometry().pixelsFromRect(area);
        return captureRoot(pixels.x, pixels.y, pixels.width, pixels.height);
    }

    // Steps run in order from a common-modes timer, so they go on inside a menu's tracking loop:
    // each waits for its condition, then acts.
    struct Step {
        std::string what;
        std::function<bool()> ready;
        std::function<void()> act;
    };
    void play(std::vector<Step> steps, double seconds) {
        std::size_t next = 0;
        double readySince = -1;
        const double deadline = loop.clock().now() + seconds;
        // The runs below cannot end while a menu tracks, so the steps end with the menus closed
        // and a stuck run closes them itself.
        steps.push_back({"Escape closes the menus", [] { return true; }, [&] { escape(); }});
        steps.push_back({"the menus are closed", [&] { return menuWindows().empty(); }, [] {}});
        dispatch::Timer timer(
            0.02, true,
            [&] {
                if (next >= steps.size())
                    return;
                if (loop.clock().now() > deadline) {
                    ADD_FAILURE() << "stuck at: " << steps[next].what << " with "
                                  << menuWindows().size() << " menu windows, tracking "
                                  << (app->trackingSession() != nullptr);
                    next = steps.size();
                    dismiss();
                    // A menu that no longer answers the user must still end for the test to.
                    if (ui::EventTrackingSession* session = app->trackingSession())
                        session->cancel();
                    return;
                }
                if (!steps[next].ready()) {
                    readySince = -1;
                    return;
                }
                // A condition that holds for two ticks in a row lets drawing catch up.
                if (readySince < 0) {
                    readySince = loop.clock().now();
                    return;
                }
                steps[next++].act();
                readySince = -1;
            },
            dispatch::commonModes, loop);
        runUntil([&] { return next >= steps.size() && menuWindows().empty(); }, seconds + 2);
    }
    void escape() {
        key(XK_Escape, true);
        key(XK_Escape, false);
    }
    void dismiss() {
        const auto screen = ui::Screen::mainScreen();
        clickScreen(screen ? gfx::Point{screen->frame().minX() + 4, screen->frame().minY() + 4}
                           : gfx::Point{4, 4});
    }

    testsupport::TemporaryDirectory config;
    std::unique_ptr<foundation::UserDefaults> defaults;
    std::shared_ptr<AppDelegate> delegate;
};

} // namespace pulsedeck::testing
