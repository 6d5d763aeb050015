#include "platform/toolkit/Menu.h"

#include "ToolkitFixture.h"
#include "platform/dispatch/Timer.h"
#include "platform/toolkit/Button.h"
#include "platform/toolkit/MenuTracker.h"
#include "platform/toolkit/Window.h"

#include <algorithm>
#include <string>
#include <vector>

namespace {

using toolkittest::ToolkitFixture;

class MenuTest : public ToolkitFixture {
protected:
    void SetUp() override {
        auto add = [&](const std::string& title) {
            auto item = std::make_shared<ui::MenuItem>(
                title, [this](ui::MenuItem& sender) { performed.push_back(sender.title()); });
            menu->addItem(item);
            return item;
        };
        alpha = add("Alpha");
        alpha->setTag(1);
        menu->addItem(ui::MenuItem::separator());
        beta = add("Beta");
        beta->setState(ui::ControlState::on);
        beta->setKeyEquivalent("q");
        gamma = add("Gamma");
        gamma->setEnabled(false);
        more = add("More");
        auto submenu = std::make_shared<ui::Menu>();
        deep = std::make_shared<ui::MenuItem>(
            "Deep", [this](ui::MenuItem& sender) { performed.push_back(sender.title()); });
        submenu->addItem(deep);
        more->setSubmenu(submenu);
    }

    // The centre of an item of the top-level menu popped up at `origin`.
    gfx::Point centreOf(std::size_t index) const {
        const double width = ui::MenuLayout::width(*menu);
        const double height = ui::MenuLayout::height(*menu);
        const gfx::Rect row = ui::MenuLayout::itemRects(*menu, width)[index];
        return {origin.x + row.midX(), origin.y - height + row.midY()};
    }

    ui::Event rightClickAt(gfx::Point point) const {
        ui::Event::Fields fields;
        fields.type = ui::EventType::rightMouseDown;
        fields.screenLocation = point;
        fields.timestamp = clock.now();
        return ui::Event(fields);
    }

    std::shared_ptr<ui::MenuItem> popUp() {
        server.movePointer(origin);
        return ui::Menu::popUpContextMenu(menu, rightClickAt(origin), nullptr);
    }

    gfx::Point origin{300, 600};
    std::shared_ptr<ui::Menu> menu = std::make_shared<ui::Menu>();
    std::shared_ptr<ui::MenuItem> alpha, beta, gamma, more, deep;
    std::vector<std::string> performed;
};

TEST_F(MenuTest, ReturnsTheChosenItemWhileCommonModeTimersKeepFiring) {
    int commonTicks = 0, defaultTicks = 0;
    dispatch::Timer common(
        0.1, true, [&] { ++commonTicks; }, dispatch::commonModes, loop);
    dispatch::Timer defaultOnly(
        0.1, true, [&] { ++defaultTicks; }, dispatch::RunLoopMode::defaultMode, loop);
    bool trackingWhileOpen = false;
    loop.queue().asyncAfter(0.55, [&] {
        trackingWhileOpen = menu->isTracking() && app.trackingSession() != nullptr;
        server.movePointer(centreOf(2));
        server.click(centreOf(2));
    });

    const double start = clock.now();
    const auto chosen = popUp();
    EXPECT_EQ(chosen, beta);
    EXPECT_EQ(performed, (std::vector<std::string>{"Beta"}));
    EXPECT_TRUE(trackingWhileOpen);
    EXPECT_GE(clock.now() - start, 0.549);
    EXPECT_EQ(commonTicks, 5);
    EXPECT_EQ(defaultTicks, 0);
    EXPECT_FALSE(menu->isTracking());
    EXPECT_EQ(app.trackingSession(), nullptr);
    EXPECT_TRUE(server.visibleWindows().empty());
}

TEST_F(MenuTest, EscapeDismissesWithNothingChosen) {
    loop.queue().asyncAfter(0.3, [&] {
        server.movePointer(centreOf(0));
        server.key(ui::KeyCode::escape, "\x1b");
    });
    EXPECT_EQ(popUp(), nullptr);
    EXPECT_TRUE(performed.empty());
}

TEST_F(MenuTest, AnOpenMenuAnswersItsItemsKeyEquivalents) {
    deep->setKeyEquivalent("D");
    gamma->setKeyEquivalent("g");
    struct Case {
        const char* name;
        std::string characters;
        ui::ModifierFlags modifiers;
        std::shared_ptr<ui::MenuItem> chosen;
    };
    using namespace ui::Modifier;
    const Case cases[] = {
        {"the item's key with its modifier", "q", command, beta},
        {"the key alone is no equivalent", "q", 0, nullptr},
        {"an extra modifier is another key", "q", command | option, nullptr},
        {"caps lock does not count", "q", command | capsLock, beta},
        {"an upper-case equivalent asks for Shift, in a submenu too", "D", command | shift, deep},
        {"a disabled item is never chosen", "g", command, nullptr},
    };
    for (const Case& c : cases) {
        performed.clear();
        loop.queue().asyncAfter(0.2, [&] {
            // A letter key; its characters are what an equivalent matches.
            constexpr int letterKey = 12;
            server.key(letterKey, c.characters, c.modifiers);
            // Still open when nothing answered: end it as the user would.
            if (menu->isTracking())
                server.key(ui::KeyCode::escape, "\x1b");
        });
        const auto chosen = popUp();
        EXPECT_EQ(chosen, c.chosen) << c.name << ": " << (chosen ? chosen->title() : "nothing");
        EXPECT_EQ(performed.size(), c.chosen ? 1u : 0u) << c.name;
    }
}

TEST_F(MenuTest, ReleasingWhereTheMenuOpenedKeepsItOpen) {
    loop.queue().asyncAfter(0.1, [&] { server.inject(ui::EventType::rightMouseUp, origin); });
    loop.queue().asyncAfter(0.2, [&] {
        EXPECT_TRUE(menu->isTracking());
        server.click(centreOf(0));
    });
    EXPECT_EQ(popUp(), alpha);
}

TEST_F(MenuTest, DisabledItemsAndSeparatorsCannotBeChosen) {
    loop.queue().asyncAfter(0.1, [&] {
        server.movePointer(centreOf(3));
        server.click(centreOf(3));
        server.click(centreOf(1));
    });
    loop.queue().asyncAfter(0.2, [&] {
        EXPECT_TRUE(menu->isTracking());
        server.key(ui::KeyCode::escape, "\x1b");
    });
    EXPECT_EQ(popUp(), nullptr);
}

TEST_F(MenuTest, ClickingOutsideDismisses) {
    loop.queue().asyncAfter(0.1, [&] { server.click({10, 10}); });
    EXPECT_EQ(popUp(), nullptr);
}

TEST_F(MenuTest, SubmenusOpenOnHoverAndTheirItemsCanBeChosen) {
    loop.queue().asyncAfter(0.1, [&] {
        server.movePointer(centreOf(4));
        ASSERT_TRUE(more->submenu()->isTracking());
        const auto windows = server.visibleWindows();
        ASSERT_EQ(windows.size(), 2u);
        const gfx::Rect sub = server.window(windows.front())->frame;
        const gfx::Point target{sub.midX(), sub.maxY() - ui::MenuLayout::verticalPadding -
                                                ui::MenuLayout::itemHeight / 2};
        server.movePointer(target);
        server.click(target);
    });
    EXPECT_EQ(popUp(), deep);
    EXPECT_EQ(performed, (std::vector<std::string>{"Deep"}));
}

// The pointer wandering over the row of an open submenu, and windows coming and going under a
// still pointer, keep the submenu and its window as they are.
TEST_F(MenuTest, AnOpenSubmenuStaysWhileThePointerIsOnItsRow) {
    loop.queue().asyncAfter(0.1, [&] {
        server.movePointer(centreOf(4));
        const auto shown = server.visibleWindows();
        ASSERT_EQ(shown.size(), 2u);
        for (int step = 1; step <= 10; ++step)
            server.movePointer(centreOf(4).offsetBy(step * 3.0, step % 5 - 2));
        EXPECT_EQ(server.visibleWindows(), shown) << "one submenu window throughout";
        ui::Event::Fields still;
        still.screenLocation = centreOf(0);
        still.pointerStill = true;
        server.inject(ui::NativeEvent{still, std::nullopt});
        EXPECT_EQ(server.visibleWindows(), shown) << "a still crossing is no motion";
        EXPECT_TRUE(more->isHighlighted());
        EXPECT_FALSE(alpha->isHighlighted());
        server.key(ui::KeyCode::escape, "\x1b");
    });
    EXPECT_EQ(popUp(), nullptr);
}

// Near the bottom edge the menu opened by a press stands over the pointer, a row under the press:
// that press's release chooses only a row the pointer was moved onto since the menu appeared, a
// row of its own or a submenu's, and presses the view of a row that has one, which leaves the menu
// open; otherwise the menu stays, and a click on a row chooses it.
TEST_F(MenuTest, TheOpeningPressReleasedChoosesOnlyARowThePointerMovedOnto) {
    origin = {300, 85};
    auto withView = [&](ui::Menu& into, const std::string& title) {
        auto item = std::make_shared<ui::MenuItem>(title);
        auto view = std::make_shared<ui::Button>(gfx::Rect{0, 0, 180, 25});
        view->setAction([this, title](ui::Control&) { performed.push_back(title); });
        item->setView(view);
        into.addItem(item);
        return item;
    };
    const auto option = withView(*menu, "Option");
    const auto deepOption = withView(*more->submenu(), "Deep option");
    struct Case {
        const char* name;
        std::vector<std::shared_ptr<ui::MenuItem>> movesOnto;
        // The row the release chose or, when the row has a view, pressed.
        std::shared_ptr<ui::MenuItem> chosen;
    };
    const Case cases[] = {
        {"released where it was pressed", {}, nullptr},
        {"moved within the row it opened on", {beta}, nullptr},
        {"moved onto another row", {alpha}, alpha},
        {"moved off its row and back", {alpha, beta}, beta},
        {"moved onto a row with a view", {option}, option},
        {"moved onto a submenu's row with a view", {more, deepOption}, deepOption},
    };
    for (const Case& c : cases) {
        performed.clear();
        loop.queue().asyncAfter(0.1, [&] {
            const gfx::Rect frame = *menu->frameOnScreen();
            const auto rows = ui::MenuLayout::itemRects(*menu, frame.width());
            ASSERT_TRUE(rows[2].offsetBy(frame.x(), frame.y()).contains(origin))
                << "the menu opened over the press, on Beta";
            gfx::Point at = origin;
            for (const auto& item : c.movesOnto) {
                const auto& items = item->menu()->items();
                const gfx::Rect shown = *item->menu()->frameOnScreen();
                const std::size_t row =
                    std::size_t(std::find(items.begin(), items.end(), item) - items.begin());
                at = {shown.minX() + 20,
                      shown.minY() +
                          ui::MenuLayout::itemRects(*item->menu(), shown.width())[row].midY()};
                server.movePointer(at);
            }
            server.inject(ui::EventType::rightMouseUp, at);
            if (!c.chosen || c.chosen->view())
                server.click({frame.minX() + 20, frame.minY() + rows[0].midY()});
            // Ends a menu that neither chose.
            server.key(ui::KeyCode::escape, "\x1b");
        });
        const auto chosen = popUp();
        const bool pressed = c.chosen && c.chosen->view();
        EXPECT_EQ(chosen, c.chosen && !pressed ? c.chosen : alpha)
            << c.name << ": " << (chosen ? chosen->title() : "nothing");
        const std::vector<std::string> ran =
            pressed ? std::vector<std::string>{c.chosen->title(), "Alpha"}
                    : std::vector<std::string>{chosen ? chosen->title() : ""};
        EXPECT_EQ(performed, ran) << c.name;
    }
}

TEST_F(MenuTest, KeysMoveTheHighlightAndChoose) {
    loop.queue().asyncAfter(0.1, [&] {
        server.key(ui::KeyCode::downArrow, "");
        EXPECT_TRUE(alpha->isHighlighted());
        server.key(ui::KeyCode::downArrow, "");
        EXPECT_TRUE(beta->isHighlighted());
        server.key(ui::KeyCode::downArrow, "");
        EXPECT_TRUE(more->isHighlighted());
        server.key(ui::KeyCode::returnKey, "\r");
        EXPECT_TRUE(menu->isTracking());
        server.key(ui::KeyCode::rightArrow, "");
        EXPECT_TRUE(deep->isHighlighted());
        server.key(ui::KeyCode::returnKey, "\r");
    });
    EXPECT_EQ(popUp(), deep);
}

TEST_F(MenuTest, AnOpenMenuFollowsItsItems) {
    loop.queue().asyncAfter(0.1, [&] {
        const auto before = server.window(server.visibleWindows().front())->frame;
        menu->addItem(std::make_shared<ui::MenuItem>("A much longer title than before"));
        menu->setMinimumWidth(400);
        const auto after = server.window(server.visibleWindows().front())->frame;
        EXPECT_EQ(after.maxY(), before.maxY());
        EXPECT_EQ(after.height(), before.height() + ui::MenuLayout::itemHeight);
        EXPECT_EQ(after.width(), 400);
        menu->cancelTracking();
    });
    EXPECT_EQ(popUp(), nullptr);
}

TEST(MenuItems, DataModel) {
    ui::Menu menu;
    auto first = std::make_shared<ui::MenuItem>("First");
    first->setTag(7);
    first->setRepresentedObject(std::string("payload"));
    menu.addItem(first);
    menu.insertItem(ui::MenuItem::separator(), 0);
    EXPECT_EQ(menu.itemWithTag(7), first);
    EXPECT_EQ(menu.itemAt(1), first);
    EXPECT_EQ(first->menu(), &menu);
    EXPECT_EQ(std::any_cast<std::string>(first->representedObject()), "payload");
    EXPECT_TRUE(menu.itemAt(0)->isSeparatorItem());
    EXPECT_FALSE(menu.itemAt(0)->isEnabled());
    menu.removeItem(first);
    EXPECT_EQ(first->menu(), nullptr);
    EXPECT_EQ(menu.numberOfItems(), 1u);
}

TEST(MenuItems, KeyEquivalentsReadAsThisDesktopsKeys) {
    ui::MenuItem quit("Quit", {}, "q");
    EXPECT_EQ(quit.keyEquivalentLabel(), "Ctrl+Q");
    quit.setKeyEquivalentModifierMask(ui::Modifier::command | ui::Modifier::shift);
    EXPECT_EQ(quit.keyEquivalentLabel(), "Ctrl+Shift+Q");
    quit.setKeyEquivalent("");
    EXPECT_EQ(quit.keyEquivalentLabel(), "");
}

TEST(MenuItems, WidthHonoursTheMinimum) {
    ui::Menu menu;
    menu.addItem(std::make_shared<ui::MenuItem>("Hi"));
    const double natural = menu.width();
    EXPECT_GT(natural, ui::MenuLayout::checkColumn + ui::MenuLayout::trailingInset);
    menu.setMinimumWidth(natural + 50);
    EXPECT_EQ(menu.width(), natural + 50);
    EXPECT_EQ(ui::MenuLayout::height(menu),
              ui::MenuLayout::itemHeight + 2 * ui::MenuLayout::verticalPadding);
}

} // namespace
