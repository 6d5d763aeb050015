#include "detail/PersistentMenuOption.h"

#include "detail/LiveSettingsMenu.h"
#include "model/AccentColor.h"
#include "platform/graphics/AttributedString.h"
#include "platform/toolkit/MenuTracker.h"
#include "platform/toolkit/ToolkitFixture.h"
#include "platform/toolkit/Window.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

namespace pulsedeck {
namespace {

double menuTitleWidth(const std::string& title) {
    return gfx::textSize(title, {.font = gfx::Font::system(ui::MenuLayout::fontSize),
                                 .color = gfx::Color::label()})
        .width;
}

// A menu of three staying options choosing `selected`, and a submenu of two returning ones.
class PersistentMenuOptionTest : public toolkittest::ToolkitFixture {
protected:
    void SetUp() override {
        menu->rebuild = [this]() -> std::shared_ptr<ui::Menu> {
            ++rebuilds;
            auto fresh = std::make_shared<LiveSettingsMenu>();
            fresh->addItem(std::make_shared<ui::MenuItem>("Fresh " + std::to_string(rebuilds)));
            return fresh;
        };
        for (int i = 0; i < 3; ++i)
            options.push_back(addOption(*menu, i, false));
        auto holder = std::make_shared<ui::MenuItem>("More");
        holder->setSubmenu(submenu);
        menu->addItem(holder);
        for (int i = 3; i < 5; ++i)
            addOption(*submenu, i, true);
        fitMenuWidth(*menu);
    }

    std::shared_ptr<PersistentMenuOption> addOption(ui::Menu& into, int value, bool returns) {
        auto item = std::make_shared<ui::MenuItem>("Option " + std::to_string(value),
                                                   [this, value](ui::MenuItem&) {
                                                       selected = value;
                                                       ++actions;
                                                   });
        into.addItem(item);
        return PersistentMenuOption::attach(item, std::nullopt, returns,
                                            [this, value] { return selected == value; });
    }

    // The centre of an item of the top-level menu popped up at `origin`.
    gfx::Point centreOf(std::size_t index) const {
        const double width = ui::MenuLayout::width(*menu);
        const gfx::Rect row = ui::MenuLayout::itemRects(*menu, width)[index];
        return {origin.x + row.midX(), origin.y - ui::MenuLayout::height(*menu) + row.midY()};
    }

    void popUp() {
        server.movePointer(origin);
        ui::Menu::popUpAtScreenPoint(menu, origin, gfx::Appearance::light);
    }

    gfx::Point origin{300, 600};
    std::shared_ptr<LiveSettingsMenu> menu = std::make_shared<LiveSettingsMenu>();
    std::shared_ptr<ui::Menu> submenu = std::make_shared<ui::Menu>();
    std::vector<std::shared_ptr<PersistentMenuOption>> options;
    int selected = 0;
    int actions = 0;
    int rebuilds = 0;
};

TEST_F(PersistentMenuOptionTest, AClickMovesTheCheckAndKeepsTheMenuOpen) {
    bool stillOpen = false;
    loop.queue().asyncAfter(0.1, [&] {
        server.movePointer(centreOf(2));
        server.click(centreOf(2));
        stillOpen = menu->isTracking();
        EXPECT_EQ(menu->itemAt(2)->state(), ui::ControlState::on);
        EXPECT_EQ(menu->itemAt(0)->state(), ui::ControlState::off);
        EXPECT_EQ(options[2]->accessibility().value, "1");
        EXPECT_EQ(options[0]->accessibility().value, "0");
        server.key(ui::KeyCode::escape, "\x1b");
    });
    EXPECT_EQ(menu->itemAt(0)->state(), ui::ControlState::on);
    popUp();
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(selected, 2);
    EXPECT_EQ(actions, 1);
}

TEST_F(PersistentMenuOptionTest, AReleaseOffTheOptionOrAfterTheMenuClosedSendsNothing) {
    loop.queue().asyncAfter(0.1, [&] {
        server.movePointer(centreOf(1));
        server.mouseDown(centreOf(1));
        server.inject(ui::EventType::leftMouseDragged, {origin.x - 60, centreOf(1).y});
        EXPECT_FALSE(options[1]->isHovering());
        server.mouseUp({origin.x - 60, centreOf(1).y});
        EXPECT_TRUE(menu->isTracking()) << "a release outside after a press inside stays open";
        // A press whose menu is closed under it before the release.
        server.mouseDown(centreOf(1));
        menu->cancelTrackingWithoutAnimation();
    });
    popUp();
    EXPECT_EQ(actions, 0);
    EXPECT_FALSE(options[1]->isHovering());
    EXPECT_EQ(options[1]->window(), nullptr);

    // The interrupted press is over: a lone release in the next opening finishes nothing.
    loop.queue().asyncAfter(0.1, [&] {
        server.mouseUp(centreOf(1));
        EXPECT_EQ(actions, 0);
        server.key(ui::KeyCode::escape, "\x1b");
    });
    popUp();
    EXPECT_EQ(actions, 0);
}

// Options light themselves, plain rows are lit by the menu: the pointer moving between the two
// kinds never leaves two rows lit, not even until the next hover poll.
TEST_F(PersistentMenuOptionTest, OnlyOneRowIsLitAtATime) {
    loop.queue().asyncAfter(0.1, [&] {
        server.movePointer(centreOf(0));
        EXPECT_TRUE(options[0]->isHovering());
        server.movePointer(centreOf(1));
        EXPECT_FALSE(options[0]->isHovering());
        EXPECT_TRUE(options[1]->isHovering());
        server.movePointer(centreOf(3));
        EXPECT_TRUE(menu->itemAt(3)->isHighlighted());
        EXPECT_FALSE(options[1]->isHovering());
        server.movePointer(centreOf(2));
        EXPECT_FALSE(menu->itemAt(3)->isHighlighted());
        EXPECT_TRUE(options[2]->isHovering());
        server.key(ui::KeyCode::escape, "\x1b");
    });
    popUp();
}

TEST_F(PersistentMenuOptionTest, KeysReachOptionsAndReturnActivatesThem) {
    loop.queue().asyncAfter(0.1, [&] {
        server.key(ui::KeyCode::downArrow, "");
        server.key(ui::KeyCode::downArrow, "");
        EXPECT_TRUE(menu->itemAt(1)->isHighlighted());
        server.key(ui::KeyCode::returnKey, "\r");
        EXPECT_TRUE(menu->isTracking());
        server.key(ui::KeyCode::escape, "\x1b");
    });
    popUp();
    EXPECT_EQ(selected, 1);
}

TEST_F(PersistentMenuOptionTest, AReturningOptionReopensTheRebuiltParentAtItsTopLeft) {
    // The choice is the app's appearance, on a desktop that stays light: the reopened menu is
    // drawn in the app's new one.
    gfx::Appearance chosen = gfx::Appearance::light;
    auto rebuild = menu->rebuild;
    menu->rebuild = [&chosen, rebuild] {
        auto fresh = std::static_pointer_cast<LiveSettingsMenu>(rebuild());
        fresh->appearance = [&chosen] { return chosen; };
        return std::shared_ptr<ui::Menu>(fresh);
    };
    submenu->itemAt(1)->setAction([&](ui::MenuItem&) {
        selected = 4;
        chosen = gfx::Appearance::dark;
    });
    std::optional<gfx::Rect> parentFrame;
    loop.queue().asyncAfter(0.1, [&] {
        parentFrame = menu->frameOnScreen();
        server.movePointer(centreOf(3));
        ASSERT_TRUE(submenu->isTracking());
        const gfx::Rect sub = *submenu->frameOnScreen();
        const gfx::Point second{sub.midX(), sub.maxY() - ui::MenuLayout::verticalPadding -
                                                PersistentMenuOption::height * 1.5};
        server.movePointer(second);
        server.click(second);
    });
    popUp();
    EXPECT_EQ(selected, 4);
    EXPECT_EQ(rebuilds, 1) << "built when chosen, in the state the choice left";
    ASSERT_TRUE(parentFrame);

    std::optional<gfx::Rect> reopened;
    std::string firstTitle;
    const double closedAt = clock.now();
    double reopenedAfter = 0;
    loop.queue().asyncAfter(0.5, [&] {
        for (auto id : server.visibleWindows()) {
            reopened = server.window(id)->frame;
            reopenedAfter = clock.now() - closedAt;
        }
        for (const auto& window : app.windows()) {
            if (window->isVisible()) {
                EXPECT_EQ(window->appearance(), gfx::Appearance::dark);
            }
        }
        EXPECT_EQ(app.effectiveAppearance(), gfx::Appearance::light);
        server.key(ui::KeyCode::escape, "\x1b");
    });
    loop.advanceAndRunDue(PersistentMenuOption::reopenDelay - 0.01);
    EXPECT_TRUE(server.visibleWindows().empty()) << "nothing before the delay";
    loop.advanceAndRunDue(0.02);
    ASSERT_TRUE(reopened);
    EXPECT_GE(reopenedAfter, PersistentMenuOption::reopenDelay);
    EXPECT_EQ(reopened->minX(), parentFrame->minX());
    EXPECT_EQ(reopened->maxY(), parentFrame->maxY());
}

TEST_F(PersistentMenuOptionTest, AReturningOptionWithoutAParentOnScreenStaysLikeAnyOther) {
    auto lone = std::make_shared<ui::Menu>();
    auto option = addOption(*lone, 7, true);
    option->activateOption();
    EXPECT_EQ(selected, 7);
    EXPECT_EQ(rebuilds, 0);
    EXPECT_EQ(lone->itemAt(0)->state(), ui::ControlState::on);
    loop.advanceAndRunDue(1);
    EXPECT_TRUE(server.visibleWindows().empty());
}

TEST_F(PersistentMenuOptionTest, TheHoverPollRunsOnlyInTheTrackingModeAndOnlyInAWindow) {
    auto window = std::make_shared<ui::Window>(gfx::Rect{100, 100, 200, 25}, ui::Style::borderless);
    EXPECT_FALSE(options[0]->isPollingHover());
    window->contentView()->addSubview(options[0]);
    window->orderFront();
    EXPECT_TRUE(options[0]->isPollingHover());
    const double now = clock.now();
    EXPECT_NEAR(loop.nextWakeTime(dispatch::RunLoopMode::eventTracking) - now,
                PersistentMenuOption::hoverInterval, 1e-9);
    EXPECT_EQ(loop.nextWakeTime(dispatch::RunLoopMode::defaultMode),
              std::numeric_limits<double>::infinity());
    options[0]->removeFromSuperview();
    EXPECT_FALSE(options[0]->isPollingHover());
}

TEST_F(PersistentMenuOptionTest, TheCheckMarkNeedsBothTheStateAndTheLiveAnswer) {
    auto window = std::make_shared<ui::Window>(gfx::Rect{100, 100, 200, 25}, ui::Style::borderless);
    window->contentView()->addSubview(options[1]);
    window->orderFront();
    auto markInk = [&] {
        window->contentView()->setNeedsDisplay(true);
        window->displayIfNeeded();
        int dark = 0;
        for (double x = 12; x < 24; x += 1)
            for (double y = 7; y < 19; y += 1)
                dark += window->backing()->pixelAtPoint({x, y}).alpha > 0 &&
                        window->backing()->pixelAtPoint({x, y}).red < 128;
        return dark;
    };
    selected = 1;
    options[1]->syncCheckState();
    EXPECT_GT(markInk(), 5) << "on and checked";
    menu->itemAt(1)->setState(ui::ControlState::on);
    selected = 0;
    EXPECT_EQ(markInk(), 0) << "the state says on, the live answer says no";
}

TEST(FitMenuWidthTest, OneWidthPerMenuFromTitlesViewsAndSwatches) {
    struct Case {
        std::string title;
        bool swatch;
    };
    const std::string longTitle = "A rather long option title that is wide enough for the rule";
    const Case cases[] = {{"Short", false}, {longTitle, false}, {longTitle, true}};
    for (const Case& c : cases) {
        auto menu = std::make_shared<ui::Menu>();
        auto item = std::make_shared<ui::MenuItem>(c.title);
        menu->addItem(item);
        menu->addItem(std::make_shared<ui::MenuItem>("x"));
        auto option = PersistentMenuOption::attach(
            item, c.swatch ? std::optional(gfx::Color::white()) : std::nullopt, false, {});
        auto other = PersistentMenuOption::attach(menu->itemAt(1), std::nullopt, false, {});
        fitMenuWidth(*menu);
        const double need = menuTitleWidth(c.title) + (c.swatch ? 76 : 56);
        const double expected = std::ceil(std::max(180.0, need));
        EXPECT_EQ(menu->minimumWidth(), expected) << c.title << c.swatch;
        EXPECT_EQ(option->frame().width(), expected);
        EXPECT_EQ(other->frame().width(), expected) << "every option in the menu";
        EXPECT_EQ(option->frame().height(), PersistentMenuOption::height);
    }

    auto parent = std::make_shared<ui::Menu>();
    auto holder = std::make_shared<ui::MenuItem>("Sub");
    auto child = std::make_shared<ui::Menu>();
    child->addItem(std::make_shared<ui::MenuItem>(longTitle));
    holder->setSubmenu(child);
    parent->addItem(holder);
    fitMenuWidth(*parent);
    EXPECT_EQ(parent->minimumWidth(), 180) << "a submenu's width stays its own";
    EXPECT_EQ(child->minimumWidth(), std::ceil(menuTitleWidth(longTitle) + 56));
}

// A plain row wider than every option (a key equivalent) beside the options: every row is
// one height and lights alike, end to end, whichever kind it is.
TEST_F(PersistentMenuOptionTest, PlainRowsAndOptionsLightAlikeAcrossTheMenu) {
    // The lit columns are found by the blue accent; an earlier test may have left another.
    applyAccentColor(initialAccentColor);
    auto quit = std::make_shared<ui::MenuItem>("Quit the whole program now", nullptr, "q");
    menu->addItem(quit);
    menu->setHighlight(accentHighlight());
    fitMenuWidth(*menu);
    const double width = ui::MenuLayout::width(*menu);
    EXPECT_GT(width, menu->minimumWidth()) << "the key equivalent widens the menu";
    for (const auto& option : options)
        EXPECT_EQ(option->frame().width(), width) << "options span the menu";
    for (const gfx::Rect& row : ui::MenuLayout::itemRects(*menu, width))
        EXPECT_EQ(row.height(), PersistentMenuOption::height);

    // The columns lit on a row through its middle.
    auto litSpan = [&](std::size_t index) {
        std::pair<double, double> span{1e9, -1e9};
        for (const auto& window : app.windows()) {
            if (!window->isVisible())
                continue;
            window->displayIfNeeded();
            const gfx::Rect frame = window->frame();
            const double y = centreOf(index).y - frame.minY();
            for (double x = 0.5; x < frame.width(); x += 1) {
                const gfx::Rgba8 p = window->backing()->pixelAtPoint({x, y});
                if (p.blue > 150 && p.red < 120) {
                    span.first = std::min(span.first, x);
                    span.second = std::max(span.second, x);
                }
            }
        }
        return span;
    };
    std::pair<double, double> plain, option;
    loop.queue().asyncAfter(0.1, [&] {
        server.movePointer(centreOf(4));
        plain = litSpan(4);
        server.movePointer(centreOf(1));
        loop.advanceAndRunDue(PersistentMenuOption::hoverInterval);
        option = litSpan(1);
        server.key(ui::KeyCode::escape, "\x1b");
    });
    popUp();
    EXPECT_LT(plain.first, plain.second) << "the plain row lit";
    EXPECT_EQ(plain, option);
}

TEST(CopyMenuTest, CopiesItemsOptionsAndSubmenusButNoOtherViews) {
    int chosen = 0;
    auto menu = std::make_shared<ui::Menu>("Source");
    auto item = std::make_shared<ui::MenuItem>(
        "Pick", [&](ui::MenuItem&) { ++chosen; }, "p");
    item->setTag(4);
    item->setRepresentedObject(std::string("four"));
    item->setEnabled(false);
    menu->addItem(item);
    PersistentMenuOption::attach(item, gfx::Color::white(), true, [] { return true; });
    auto plainView = std::make_shared<ui::MenuItem>("Viewed");
    plainView->setView(std::make_shared<ui::View>(gfx::Rect{0, 0, 300, 20}));
    menu->addItem(plainView);
    menu->addItem(ui::MenuItem::separator());
    auto holder = std::make_shared<ui::MenuItem>("Sub");
    holder->setSubmenu(std::make_shared<ui::Menu>());
    holder->submenu()->addItem(std::make_shared<ui::MenuItem>("Deep"));
    menu->addItem(holder);

    const auto copy = copyMenu(*menu);
    ASSERT_EQ(copy->numberOfItems(), 4u);
    EXPECT_EQ(copy->title(), "Source");
    const auto& first = copy->itemAt(0);
    EXPECT_NE(first, item);
    EXPECT_EQ(first->tag(), 4);
    EXPECT_EQ(std::any_cast<std::string>(first->representedObject()), "four");
    EXPECT_FALSE(first->isEnabled());
    EXPECT_EQ(first->keyEquivalent(), "p");
    const auto option = std::dynamic_pointer_cast<PersistentMenuOption>(first->view());
    ASSERT_TRUE(option);
    EXPECT_NE(option, item->view());
    EXPECT_TRUE(option->returnsToParent());
    EXPECT_TRUE(option->swatch());
    EXPECT_EQ(first->state(), ui::ControlState::on);
    first->action()(*first);
    EXPECT_EQ(chosen, 1);
    EXPECT_EQ(copy->itemAt(1)->view(), nullptr) << "other views are not copied";
    EXPECT_TRUE(copy->itemAt(2)->isSeparatorItem());
    ASSERT_TRUE(copy->itemAt(3)->submenu());
    EXPECT_NE(copy->itemAt(3)->submenu(), holder->submenu());
    EXPECT_EQ(copy->itemAt(3)->submenu()->supermenu(), copy.get());
    EXPECT_EQ(copy->itemAt(3)->submenu()->itemAt(0)->title(), "Deep");
}

} // namespace
} // namespace pulsedeck
