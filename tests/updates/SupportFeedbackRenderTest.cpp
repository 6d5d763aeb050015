#include "platform/dispatch/RunLoop.h"
#include "platform/toolkit/Application.h"
#include "platform/toolkit/TextView.h"
#include "platform/toolkit/Window.h"
#include "platform/toolkit/Workspace.h"
#include "platform/toolkit/headless/HeadlessWindowServer.h"
#include "support/TestPaths.h"
#include "updates/SupportFeedback.h"

#include <gtest/gtest.h>

namespace pulsedeck {
namespace {

TEST(SupportFeedbackRender, PanelShowsHeadingMessageButtonsAndStatus) {
    dispatch::VirtualClock clock{10};
    dispatch::RunLoop loop{clock};
    dispatch::ScopedMainRunLoop scopedLoop{loop};
    ui::HeadlessWindowServer server{{ui::HeadlessWindowServer::makeScreen({0, 0, 1280, 800}, 1)},
                                    clock};
    ui::Application app{server, loop};
    app.workspace().setOpener([](const std::vector<std::string>&) { return true; });
    SupportFeedback feedback{"2.1.0", "Debian GNU/Linux 12 (bookworm)"};
    feedback.show(AppLanguage::english);
    feedback.message().insertText("The fan figure froze at 2400 RPM after waking — é, 中文.\n"
                                  "Second line & more = #tags + 100%?");
    feedback.copyReport();
    loop.runUntilIdle();
    const auto panel = feedback.panel();
    panel->display();
    const auto image = server.windowImage(*panel->windowNumber());
    ASSERT_TRUE(image);
    image->writePng(testsupport::artifactPath("feedback-panel.png"));

    // Points of the panel's content (y up from its bottom; the title bar sits above 370).
    auto at = [&](double x, double y) { return image->pixelAtPoint({x, y}); };
    const gfx::Rgba8 send = at(30, 55);
    EXPECT_GT(send.blue, 200);
    EXPECT_LT(send.red, 90) << "the primary button is filled with the accent";
    const gfx::Rgba8 copy = at(215, 55);
    EXPECT_GT(copy.red, 200) << "the other buttons only tint it";
    const gfx::Rgba8 messageArea = at(440, 110);
    EXPECT_EQ(messageArea, (gfx::Rgba8{255, 255, 255, 255}));
    const gfx::Rgba8 outsideRoundedCorner = at(24.5, 100.5);
    EXPECT_NE(outsideRoundedCorner, (gfx::Rgba8{255, 255, 255, 255}));
    EXPECT_EQ(feedback.status(), text(Copy::feedbackCopied, AppLanguage::english));
}

} // namespace
} // namespace pulsedeck
