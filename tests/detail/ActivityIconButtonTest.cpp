#include "detail/ActivityIconButton.h"

#include "platform/graphics/Bitmap.h"
#include "platform/toolkit/ToolkitFixture.h"
#include "platform/toolkit/Window.h"

#include <gtest/gtest.h>
#include <vector>

namespace {

using pulsedeck::ActivityIconButton;
using pulsedeck::ActivityMonitorLocator;

class ActivityIconButtonTest : public toolkittest::ToolkitFixture {
protected:
    ActivityMonitorLocator locator(std::optional<std::string> url) {
        return {[url] { return url; },
                [this](const std::string&, gfx::Appearance appearance) {
                    asked.push_back(appearance);
                    return gfx::Image::withBitmap(gfx::Bitmap(64, 64, {64, 64}));
                }};
    }
    std::vector<gfx::Appearance> asked;
};

TEST_F(ActivityIconButtonTest, WithoutTheApplicationTheButtonShowsNoImage) {
    ActivityIconButton button({0, 0, 24, 24}, locator(std::nullopt));
    EXPECT_FALSE(button.applicationURL());
    EXPECT_FALSE(button.image());
    EXPECT_TRUE(asked.empty());
}

TEST_F(ActivityIconButtonTest, ShowsTheIconAt16PointsAndReloadsItOnAnAppearanceChange) {
    auto window = std::make_shared<ui::Window>(gfx::Rect{100, 100, 100, 60}, ui::Style::titled);
    window->makeKeyAndOrderFront();
    auto button = std::make_shared<ActivityIconButton>(
        gfx::Rect{10, 10, 24, 24}, locator("file:///usr/share/applications/monitor.desktop"));
    window->contentView()->addSubview(button);
    ASSERT_TRUE(button->image());
    EXPECT_EQ(button->image()->size(), (gfx::Size{16, 16}));
    EXPECT_FALSE(button->image()->isTemplate());

    app.setAppearance(gfx::Appearance::dark);
    EXPECT_EQ(asked, (std::vector<gfx::Appearance>{gfx::Appearance::light, gfx::Appearance::dark}));

    server.movePointer({100 + 20, 100 + 20});
    EXPECT_TRUE(button->isHovered());
    EXPECT_EQ(server.cursor(), ui::CursorKind::pointingHand);
    server.movePointer({100 + 80, 100 + 50});
    EXPECT_FALSE(button->isHovered());
    EXPECT_EQ(server.cursor(), ui::CursorKind::arrow);
}

} // namespace
