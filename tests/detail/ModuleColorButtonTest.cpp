#include "detail/ModuleColorButton.h"

#include "detail/DetailView.h"
#include "detail/PersistentMenuOption.h"
#include "platform/graphics/AttributedString.h"
#include "platform/graphics/RecordingContext.h"
#include "platform/toolkit/ToolkitFixture.h"
#include "platform/toolkit/Window.h"
#include "support/DetailViewProbe.h"

#include <any>
#include <gtest/gtest.h>

namespace pulsedeck {
namespace {

// The slot and colour a choice sets: of a look whose every slot is yellow, the slot it changes
// and the colour it leaves there (none: the slot follows the theme).
std::pair<ColorSlot, std::optional<PaletteColor>> colourChoice(const LookEdit& edit) {
    StripLook look;
    for (ColorSlot slot : allColorSlots)
        look.modules.colors.setColor(PaletteColor::yellow, slot);
    edit(look);
    for (ColorSlot slot : allColorSlots)
        if (const auto color = look.modules.colors.explicitColor(slot);
            color != PaletteColor::yellow)
            return {slot, color};
    ADD_FAILURE() << "the choice changed no colour";
    return {ColorSlot::theme, PaletteColor::yellow};
}

class DrawnColorButton : public ModuleColorButton {
public:
    using ModuleColorButton::drawRect;
    using ModuleColorButton::ModuleColorButton;
};

class ColorButtonTest : public toolkittest::ToolkitFixture {
protected:
    std::string t(Copy key) const { return text(key, view->state().language); }

    std::shared_ptr<PersistentMenuOption> optionOf(const std::shared_ptr<ui::MenuItem>& item) {
        return std::dynamic_pointer_cast<PersistentMenuOption>(item->view());
    }

    gfx::DrawingRecorder drawn(DrawnColorButton& button) {
        gfx::RecordingContext context(button.bounds().size);
        button.drawRect(context, button.bounds());
        return context.log();
    }

    std::shared_ptr<DetailView> view = std::make_shared<DetailView>(DetailView::initialFrame);

    DetailViewProbe probe{*view};
};

TEST_F(ColorButtonTest, ModuleSlotsOfferTheThemeFirstAndTheThemeSlotOnlyColours) {
    auto shared = std::make_shared<ModuleColorButton>(ColorSlot::fan, view.get());
    auto menu = shared->makeColorMenu();
    ASSERT_EQ(menu->numberOfItems(), 10u);
    EXPECT_EQ(menu->itemAt(0)->title(), t(Copy::followTheme));
    EXPECT_EQ(menu->itemAt(0)->state(), ui::ControlState::on) << "no colour of its own";
    for (const auto& item : menu->items()) {
        ASSERT_TRUE(item->image());
        EXPECT_EQ(item->image()->size(), (gfx::Size{16, 16}));
        auto option = optionOf(item);
        ASSERT_TRUE(option);
        EXPECT_TRUE(option->swatch());
        EXPECT_FALSE(option->returnsToParent());
        EXPECT_EQ(std::any_cast<std::string>(item->representedObject()), "fan");
    }

    std::vector<std::pair<ColorSlot, std::optional<PaletteColor>>> reports;
    view->lookAction = [&](const LookEdit& edit) {
        reports.push_back(colourChoice(edit));
        probe.change([&](DetailState& s) { edit(s.look); });
    };
    const auto& red = menu->itemAt(1 + std::size_t(PaletteColor::red));
    optionOf(red)->activateOption();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0], std::make_pair(ColorSlot::fan, std::optional(PaletteColor::red)));
    EXPECT_EQ(red->state(), ui::ControlState::on) << "the check moves in the open menu";
    EXPECT_EQ(menu->itemAt(0)->state(), ui::ControlState::off);

    shared->owner = nullptr;
    EXPECT_EQ(shared->makeColorMenu()->numberOfItems(), 0u);
    red->action()(*red);
    EXPECT_EQ(reports.size(), 1u) << "no report once the owner has gone";
}

// What each choice reports: the slot the item names (else the button's), and its colour (none
// for following the theme).
TEST_F(ColorButtonTest, ChoicesReportTheirSlotAndColour) {
    std::vector<std::pair<ColorSlot, std::optional<PaletteColor>>> reports;
    view->lookAction = [&](const LookEdit& edit) { reports.push_back(colourChoice(edit)); };
    probe.change([](DetailState& s) {
        s.look.modules.colors.setColor(PaletteColor::pink, ColorSlot::network);
    });
    auto button = std::make_shared<ModuleColorButton>(ColorSlot::network, view.get());
    struct Case {
        const char* name;
        std::size_t index;
        std::any represented;
        ColorSlot slot;
        std::optional<PaletteColor> color;
    };
    const Case cases[] = {
        {"follow the theme", 0, std::string("network"), ColorSlot::network, std::nullopt},
        {"a colour", 1 + std::size_t(PaletteColor::teal), std::string("network"),
         ColorSlot::network, PaletteColor::teal},
        {"another slot named", 1, std::string("gpu"), ColorSlot::gpu, PaletteColor::blue},
        {"no such slot", 1, std::string("wheel"), ColorSlot::network, PaletteColor::blue},
        {"not a text", 0, 7, ColorSlot::network, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        reports.clear();
        auto item = button->makeColorMenu()->itemAt(c.index);
        item->setRepresentedObject(c.represented);
        item->action()(*item);
        ASSERT_EQ(reports.size(), 1u);
        EXPECT_EQ(reports[0], std::make_pair(c.slot, c.color));
    }
}

// The theme with no colour stored checks its default: blue or green as the machine says.
TEST_F(ColorButtonTest, TheThemeSlotChecksItsDefaultColour) {
    for (bool blue : {true, false}) {
        probe.change([&](DetailState& s) { s.normalBlue = blue; });
        auto theme = std::make_shared<ModuleColorButton>(ColorSlot::theme, view.get());
        auto palette = theme->makeColorMenu();
        ASSERT_EQ(palette->numberOfItems(), 9u);
        const PaletteColor expected = blue ? PaletteColor::blue : PaletteColor::green;
        for (std::size_t i = 0; i < 9; ++i)
            EXPECT_EQ(palette->itemAt(i)->state() == ui::ControlState::on,
                      i == std::size_t(expected))
                << "normalBlue " << blue << ", item " << i;
    }
}

// The pill: an 8-pt dot at (10, midY − 4) in the slot's colour, then the name in the room
// W − 32 from x 25, shrunk toward 8 pt before it is cut.
TEST_F(ColorButtonTest, ThePillDrawsItsDotAndFitsItsName) {
    probe.change([](DetailState& s) {
        s.look.modules.colors.setColor(PaletteColor::orange, ColorSlot::memory);
    });
    struct Case {
        const char* name;
        double width;
        std::string title;
        double size;
    };
    const std::string word = "Orange";
    const double natural =
        gfx::textSize(word, {gfx::Font::system(10, gfx::FontWeight::medium)}).width;
    const Case cases[] = {
        {"fits", 162, word, 10},
        {"shrinks", 32 + natural * 0.9, word, 9},
        {"shrinks to 8 and is cut", 60, "Follow the theme colour of the whole strip", 8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto button = std::make_shared<DrawnColorButton>(ColorSlot::memory, view.get());
        button->setFrame({0, 0, c.width, 26});
        button->setTitle(c.title);
        const auto log = drawn(*button);
        const auto fills = log.fills();
        ASSERT_GE(fills.size(), 2u);
        EXPECT_EQ(fills[1].bounds, (gfx::Rect{10, 9, 8, 8}));
        EXPECT_EQ(fills[1].color, toColor(PaletteColor::orange));
        const auto texts = log.texts();
        ASSERT_EQ(texts.size(), 1u);
        EXPECT_NEAR(texts[0].font.pointSize(), c.size, 0.05);
        EXPECT_GE(texts[0].bounds.minX(), 25 - 0.01);
        EXPECT_LE(texts[0].bounds.maxX(), c.width - 7 + 0.5);
    }
}

// Orphaned by its owner: the dot in the pill's own colour, and a click shows an empty menu.
TEST_F(ColorButtonTest, WithoutAnOwnerTheDotFadesAndTheMenuIsEmpty) {
    auto button = std::make_shared<DrawnColorButton>(ColorSlot::memory, nullptr);
    const auto fills = drawn(*button).fills();
    ASSERT_GE(fills.size(), 2u);
    EXPECT_EQ(fills[1].color, fills[0].color);

    auto window = std::make_shared<ui::Window>(gfx::Rect{200, 400, 200, 40}, ui::Style::borderless);
    window->contentView()->addSubview(button);
    window->orderFront();
    bool menuShown = false;
    loop.queue().asyncAfter(0.1, [&] {
        for (const auto& open : app.windows())
            menuShown |= open->level() == ui::WindowLevel::popUpMenu && open->isVisible();
        server.key(ui::KeyCode::escape, "\x1b");
    });
    button->choose();
    EXPECT_TRUE(menuShown);
}

// The swatch beside each choice: a 12-pt disc with a faint 0.5-pt ring.
TEST_F(ColorButtonTest, SwatchesHaveAHairlineRing) {
    auto button = std::make_shared<ModuleColorButton>(ColorSlot::cpu, view.get());
    auto item = button->makeColorMenu()->itemAt(1 + std::size_t(PaletteColor::purple));
    gfx::RecordingContext context({16, 16});
    item->image()->draw(context, gfx::Rect{0, 0, 16, 16});
    const auto fills = context.log().fills();
    const auto strokes = context.log().strokes();
    ASSERT_EQ(fills.size(), 1u);
    EXPECT_EQ(fills[0].bounds, (gfx::Rect{2, 2, 12, 12}));
    EXPECT_EQ(fills[0].color, toColor(PaletteColor::purple));
    ASSERT_EQ(strokes.size(), 1u);
    EXPECT_EQ(strokes[0].bounds, (gfx::Rect{2, 2, 12, 12}));
    EXPECT_EQ(strokes[0].lineWidth, 0.5);
    EXPECT_NEAR(strokes[0].color.alpha(), 0.2, 1e-6);
}

} // namespace
} // namespace pulsedeck
