#include "ToolkitFixture.h"
#include "platform/graphics/AttributedString.h"
#include "platform/graphics/Context.h"
#include "platform/graphics/Path.h"
#include "platform/toolkit/Menu.h"
#include "platform/toolkit/MenuTracker.h"
#include "platform/toolkit/StatusBar.h"
#include "platform/toolkit/Window.h"
#include "support/TestPaths.h"

namespace {

using toolkittest::ToolkitFixture;

const gfx::Color accent = gfx::Color::srgb(0.16, 0.58, 1.0);
const gfx::Color orange = gfx::Color::srgb(1.0, 0.58, 0.12);

class Swatch : public ui::View {
public:
    Swatch(const gfx::Rect& frame, gfx::Color color, std::string label = {})
        : View(frame), color_(color), label_(std::move(label)) {}

protected:
    void drawRect(gfx::Context& context, const gfx::Rect&) override {
        context.setFillColor(color_);
        context.fill(gfx::Path::roundedRect(bounds(), 8, 8));
        if (!label_.empty())
            gfx::drawText(context, label_, {12, 10},
                          {gfx::Font::system(15, gfx::FontWeight::semibold), gfx::Color::white()});
    }

private:
    gfx::Color color_;
    std::string label_;
};

// What a status item's view draws: a capsule with a reading.
class Reading : public ui::View {
public:
    using View::View;

protected:
    void drawRect(gfx::Context& context, const gfx::Rect&) override {
        context.setFillColor(gfx::Color::grey(0, 0.08));
        context.fill(gfx::Path::roundedRect(bounds().insetBy(1, 2), 9, 9));
        context.setFillColor(orange);
        context.fillRect({8, 6, 6, 12});
        gfx::drawText(
            context, "42%", {20, 5},
            {gfx::Font::monospacedDigitSystem(11, gfx::FontWeight::medium), gfx::Color::black()});
    }
};

bool near(gfx::Rgba8 pixel, gfx::Color color) {
    auto close = [](std::uint8_t value, double component) {
        return std::abs(int(value) - int(std::lround(component * 255))) <= 3;
    };
    return close(pixel.red, color.red()) && close(pixel.green, color.green()) &&
           close(pixel.blue, color.blue());
}

TEST_F(ToolkitFixture, ComposedScreenShowsWindowsByLevelAndTheStatusItem) {
    auto document = std::make_shared<ui::Window>(gfx::Rect{200, 300, 520, 360}, ui::Style::titled);
    document->setBackgroundColor(gfx::Color::white());
    document->contentView()->addSubview(
        std::make_shared<Swatch>(gfx::Rect{20, 20, 220, 120}, accent, "Document"));
    document->makeKeyAndOrderFront();

    auto floating =
        std::make_shared<ui::Panel>(gfx::Rect{560, 420, 320, 200}, ui::Style::nonactivatingPanel);
    floating->setLevel(ui::WindowLevel::floating);
    floating->setOpaque(false);
    floating->setBackgroundColor(gfx::Color::clear());
    floating->contentView()->addSubview(
        std::make_shared<Swatch>(gfx::Rect{0, 0, 320, 200}, orange, "Floating panel"));
    floating->orderFrontRegardless();
    // Ordered later but on a lower level: the floating panel stays on top of it.
    document->orderFront();

    auto item = ui::StatusBar::system().statusItem(64);
    item->setView(std::make_shared<Reading>(gfx::Rect{0, 0, 64, 24}));
    loop.runUntilIdle();

    const gfx::Bitmap screen = server.composeScreen(0);
    ASSERT_TRUE(server.writeScreenPng(0, testsupport::artifactPath("toolkit-headless-screen.png")));

    auto at = [&](double x, double y) { return screen.pixelAtPoint({x, y}); };
    EXPECT_TRUE(near(at(300, 380), accent));
    EXPECT_TRUE(near(at(700, 500), orange));
    EXPECT_TRUE(near(at(400, 600), gfx::Color::white()));
    // The status item: the capsule's orange bar at its left, at the top right of the screen.
    EXPECT_TRUE(near(at(1440 - 64 + 10, 900 - 12), orange));
    EXPECT_FALSE(near(at(1440 - 64 - 10, 900 - 12), orange));
    // Nothing of either window outside its frame.
    EXPECT_FALSE(near(at(190, 380), gfx::Color::white()));
}

TEST_F(ToolkitFixture, AnOpenMenuDrawsItsItemsAndHighlight) {
    auto menu = std::make_shared<ui::Menu>();
    auto launch = std::make_shared<ui::MenuItem>("Launch at Login");
    launch->setState(ui::ControlState::on);
    menu->addItem(launch);
    auto appearance = std::make_shared<ui::MenuItem>("Appearance");
    auto choices = std::make_shared<ui::Menu>();
    choices->addItem(std::make_shared<ui::MenuItem>("System"));
    appearance->setSubmenu(choices);
    menu->addItem(appearance);
    menu->addItem(ui::MenuItem::separator());
    auto disabled = std::make_shared<ui::MenuItem>("Check for Updates");
    disabled->setEnabled(false);
    menu->addItem(disabled);
    menu->addItem(std::make_shared<ui::MenuItem>("Quit Pulsedeck", ui::MenuItem::Action{}, "q"));
    menu->setMinimumWidth(200);

    const gfx::Point origin{400, 700};
    const double height = ui::MenuLayout::height(*menu);
    const auto rows = ui::MenuLayout::itemRects(*menu, menu->width());
    const gfx::Point quit{origin.x + 60, origin.y - height + rows[4].midY()};
    std::optional<gfx::Bitmap> shot;
    loop.queue().asyncAfter(0.1, [&] {
        server.movePointer(quit);
        loop.queue().async([&] {
            shot = server.composeScreen(0);
            shot->writePng(testsupport::artifactPath("toolkit-headless-menu.png").string());
            server.key(ui::KeyCode::escape, "\x1b");
        });
    });
    ui::Event::Fields fields;
    fields.type = ui::EventType::rightMouseDown;
    fields.screenLocation = origin;
    server.movePointer(origin);
    EXPECT_EQ(ui::Menu::popUpContextMenu(menu, ui::Event(fields), nullptr), nullptr);
    ASSERT_TRUE(shot.has_value());
    EXPECT_TRUE(near(shot->pixelAtPoint({origin.x + 8, quit.y}), accent));
    EXPECT_TRUE(near(shot->pixelAtPoint({origin.x + 8, origin.y - height + rows[0].midY() + 8}),
                     gfx::Color::grey(0.97)));
}

} // namespace
