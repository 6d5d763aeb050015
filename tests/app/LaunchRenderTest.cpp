#include "app/AppDelegate.h"
#include "app/FakeSampling.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/toolkit/Alert.h"
#include "platform/toolkit/headless/HeadlessWindowServer.h"
#include "support/AppDelegateProbe.h"
#include "support/TestPaths.h"

#include <cstdlib>
#include <gtest/gtest.h>

namespace pulsedeck {
namespace {

bool isBlueish(gfx::Rgba8 pixel) {
    return pixel.blue > 200 && pixel.red < 120 && pixel.alpha == 255;
}

// A first launch on a headless screen in `language`, once the delayed steps have run.
struct FirstLaunch {
    explicit FirstLaunch(std::string language, gfx::Size screen = {1280, 800})
        : server{{ui::HeadlessWindowServer::makeScreen({{0, 0}, screen}, 1)}, clock} {
        defaults.setObject("dark", PreferenceKey::appAppearance);
        environment.defaults = &defaults;
        environment.loop = &loop;
        environment.makeResources = [&] { return readers.make(); };
        environment.samplingExecution = dispatch::SerialQueue::Execution::manual;
        environment.preferredLanguages = [language] { return std::vector<std::string>{language}; };
        delegate = AppDelegate::create(environment);
        app.setDelegate(delegate);
        app.finishLaunching();
        for (int tick = 0; tick < 30; ++tick) {
            loop.advanceAndRunDue(0.1);
            delegate->sampler().samplingQueue().runPending();
            loop.runUntilIdle();
        }
        for (const auto& window : app.windows())
            window->displayIfNeeded();
    }

    testsupport::TemporaryDirectory config;
    foundation::UserDefaults defaults{config.path(), "local.dorvettin.Pulsedeck"};
    dispatch::VirtualClock clock{100};
    dispatch::RunLoop loop{clock};
    dispatch::ScopedMainRunLoop main{loop};
    ui::HeadlessWindowServer server;
    ui::Application app{server, loop};
    fakes::FakeReaders readers;
    AppDelegate::Environment environment;
    std::shared_ptr<AppDelegate> delegate;
};

// What a first launch puts on the screen once the delayed steps have run: the strip in the
// status bar, the details below it and the tip beside them; a press on the tip is one outside the
// details. A screen too narrow for both shows the tip alone.
TEST(LaunchRender, FirstLaunchShowsTheStripTheDetailsAndTheTip) {
    for (const auto& [size, beside] :
         {std::pair{gfx::Size{1280, 800}, true}, {{1024, 768}, true}, {{800, 600}, false}}) {
        const std::string name =
            std::to_string(int(size.width)) + "x" + std::to_string(int(size.height));
        SCOPED_TRACE(name);
        FirstLaunch launch("en", size);
        auto& delegate = launch.delegate;
        const gfx::Bitmap screen = launch.server.composeScreen(0);
        ASSERT_TRUE(screen.writePng(
            testsupport::artifactPath("app-first-launch-" + name + ".png").string()));

        // The strip: the status bar at the top right holds drawn figures.
        const auto bar =
            delegate->statusStrip().view()->statusItemScreenFrame().value_or(gfx::Rect{});
        ASSERT_FALSE(bar.isEmpty());
        EXPECT_EQ(bar.maxX(), size.width);
        int drawn = 0;
        for (double x = bar.minX() + 1; x < bar.maxX(); x += 1)
            for (double y = bar.minY() + 2; y < bar.maxY() - 2; y += 1) {
                const auto pixel = screen.pixelAtPoint({x, y});
                drawn += pixel.red > 150 && pixel.green > 150 && pixel.blue > 150 ? 1 : 0;
            }
        EXPECT_GT(drawn, 20) << "light figures on the dark strip";

        // The details hang below the strip.
        ASSERT_EQ(delegate->details().popover()->isShown(), beside);
        if (beside) {
            EXPECT_LE(delegate->details().popover()->window()->frame().maxY(), bar.minY() + 1);
        }

        // The tip's OK button wears the accent: nothing covers it.
        ASSERT_TRUE(inside(*delegate).menuBarTip);
        const auto& tip = inside(*delegate).menuBarTip->window();
        ui::AlertButton* ok = nullptr;
        for (const auto& row : tip->contentView()->subviews())
            for (const auto& child : row->subviews())
                if (auto* button = dynamic_cast<ui::AlertButton*>(child.get()))
                    ok = button;
        ASSERT_TRUE(ok);
        const gfx::Point centre = tip->convertPointToScreen(
            ok->convertPointToView({ok->bounds().midX(), ok->bounds().midY()}, nullptr));
        for (const double x :
             {centre.x - ok->frame().width() / 2 + 4, centre.x + ok->frame().width() / 2 - 4})
            EXPECT_TRUE(isBlueish(screen.pixelAtPoint({x, centre.y})));

        if (!beside)
            continue;
        launch.server.click({tip->frame().minX() + 20, tip->frame().maxY() - 40});
        launch.loop.advanceAndRunDue(0.1);
        launch.loop.runUntilIdle();
        EXPECT_FALSE(delegate->details().popover()->isShown()) << "a press on the tip closes them";
        EXPECT_TRUE(tip->isVisible());
    }
}

// Japanese has no spaces: the tip's body must still wrap inside the tip, on several lines, none
// running into its right inset.
TEST(LaunchRender, TheJapaneseTipWrapsItsBodyInsideTheTip) {
    FirstLaunch launch("ja");
    ASSERT_TRUE(inside(*launch.delegate).menuBarTip);
    const auto& window = inside(*launch.delegate).menuBarTip->window();
    const gfx::Bitmap tip = *launch.server.windowImage(*window->windowNumber());
    ASSERT_TRUE(tip.writePng(testsupport::artifactPath("app-first-launch-tip-ja.png").string()));

    // Rows of text in the body's row of the tip, and how far right any of it reaches
    // (pixels from the top left, at the window's scale).
    const int scale = tip.pixelsWide() / static_cast<int>(window->frame().width());
    const gfx::Rect body = window->contentView()->subviews().at(2)->frame();
    const double height = window->frame().height();
    // The tip follows the chosen dark appearance: light text on a dark background.
    const gfx::Rgba8 background = tip.pixel(2, tip.pixelsHigh() - 2);
    EXPECT_LT(background.red, 80);
    int rowsWithText = 0;
    int rightmost = 0;
    for (int row = int((height - body.maxY()) * scale); row < int((height - body.minY()) * scale);
         ++row) {
        bool text = false;
        for (int column = 0; column < tip.pixelsWide(); ++column) {
            const auto pixel = tip.pixel(column, row);
            if (pixel.alpha == 255 && std::abs(pixel.red - background.red) > 60) {
                text = true;
                rightmost = std::max(rightmost, column);
            }
        }
        rowsWithText += text ? 1 : 0;
    }
    EXPECT_GT(rowsWithText, 24 * scale) << "two lines of body text or more";
    EXPECT_LT(rightmost, tip.pixelsWide() - 28 * scale) << "text within the right inset";
}

} // namespace
} // namespace pulsedeck
