#include "app/AppIcon.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/toolkit/Application.h"
#include "platform/toolkit/Workspace.h"
#include "platform/toolkit/headless/HeadlessWindowServer.h"
#include "support/TestPaths.h"
#include "updates/MenuBarTipDemo.h"
#include "updates/MenuBarTipWindow.h"

#include <algorithm>
#include <cstdlib>
#include <gtest/gtest.h>
#include <string>

namespace pulsedeck {
namespace {

// Frames of the demo, drawn at scale 2 at an exact time into its loop, and probed in the
// picture's own 300-unit space (y up from the bottom of the view).
class MenuBarTipDemoRenderTest : public ::testing::Test {
protected:
    static constexpr double scale = 2;

    dispatch::VirtualClock clock{80};
    dispatch::RunLoop loop{clock};
    dispatch::ScopedMainRunLoop main{loop};
    ui::HeadlessWindowServer server{
        {ui::HeadlessWindowServer::makeScreen({0, 0, 1280, 800}, 1, 24, 2)}, clock};
    ui::Application app{server, loop};

    // The demo's frame; with a name, the whole tip as the screen shows it goes to a PNG too.
    gfx::Image frameAt(double time, gfx::Appearance appearance = gfx::Appearance::light,
                       const std::string& windowPng = {}) {
        MenuBarTipWindow tip(AppLanguage::english, appIconImage(false));
        tip.window()->setAppearance(appearance);
        tip.window()->makeKeyAndOrderFront();
        loop.advanceAndRunDue(time);
        if (!windowPng.empty()) {
            EXPECT_TRUE(server.writeWindowPng(*tip.window()->windowNumber(),
                                              testsupport::artifactPath(windowPng)));
        }
        zoom_ = tip.demo().bounds().width() / 300;
        height_ = tip.demo().bounds().height();
        return *ui::snapshotImage(tip.demo(), scale);
    }

    gfx::Rgba8 at(const gfx::Image& frame, double x, double y) const {
        return frame.bitmap()->pixel(int(x * zoom_ * scale), int((height_ - y * zoom_) * scale));
    }

    // The most opaque pixel in a box of the scene: what is drawn there, the faint bar aside.
    int inkIn(const gfx::Image& frame, double minX, double minY, double maxX, double maxY) const {
        int most = 0;
        for (double x = minX; x <= maxX; x += 0.25)
            for (double y = minY; y <= maxY; y += 0.25)
                most = std::max(most, int(at(frame, x, y).alpha));
        return most;
    }

    static int differingPixels(const gfx::Image& first, const gfx::Image& second) {
        const gfx::Bitmap& a = *first.bitmap();
        const gfx::Bitmap& b = *second.bitmap();
        int count = 0;
        for (int row = 0; row < a.pixelsHigh(); ++row)
            for (int column = 0; column < a.pixelsWide(); ++column) {
                const gfx::Rgba8 p = a.pixel(column, row), q = b.pixel(column, row);
                if (std::abs(p.alpha - q.alpha) > 8 || std::abs(p.red - q.red) > 8 ||
                    std::abs(p.green - q.green) > 8 || std::abs(p.blue - q.blue) > 8)
                    ++count;
            }
        return count;
    }

    double zoom_ = 1;
    double height_ = 0;
};

constexpr int ink = 150;
constexpr int blank = 40;

TEST_F(MenuBarTipDemoRenderTest, TheLoopEndsOnThePictureItStartsWith) {
    const gfx::Image start = frameAt(0);
    const gfx::Image end = frameAt(4.2 - 5e-4);
    const gfx::Image dragged = frameAt(1.5);
    EXPECT_EQ(differingPixels(start, end), 0);
    EXPECT_GT(differingPixels(start, dragged), 200) << "the comparison can see a change";
}

TEST_F(MenuBarTipDemoRenderTest, FramesFollowTheStory) {
    const gfx::Image early = frameAt(0.5);
    const gfx::Image held = frameAt(1.5);
    const gfx::Image settled = frameAt(3);
    ASSERT_TRUE(early.writePng(testsupport::artifactPath("tip-demo-0.5s.png").string()));
    ASSERT_TRUE(held.writePng(testsupport::artifactPath("tip-demo-1.5s.png").string()));
    ASSERT_TRUE(settled.writePng(testsupport::artifactPath("tip-demo-3s.png").string()));
    frameAt(1.5, gfx::Appearance::light, "tip-window-1.5s.png");
    frameAt(3, gfx::Appearance::dark, "tip-window-3s-dark.png");

    // 0.5 s: the note still in its slot at x 212 with the pointer's arrow below-right of it and
    // "Ctrl", the key that stands in for Command here, beside the arrow; the strip peeks out
    // dimly right of the menus, cut off left of 103.
    EXPECT_GT(inkIn(early, 209, 63, 215, 69), ink) << "note in its slot";
    EXPECT_GT(inkIn(early, 215, 55, 218, 59), ink) << "arrow";
    EXPECT_GT(inkIn(early, 224, 45, 231, 53), ink) << "Ctrl, its first letters";
    EXPECT_GT(inkIn(early, 236, 45, 239, 53), ink) << "Ctrl, its last letter";
    EXPECT_LT(inkIn(early, 246, 42, 252, 56), blank) << "nothing after the key";

    // At the bar's left end our launcher mark: four tiles around an empty middle.
    for (double dx : {-2.5, 2.5})
        for (double dy : {-2.5, 2.5})
            EXPECT_GT(inkIn(early, 16 + dx - 0.5, 66 + dy - 0.5, 16 + dx + 0.5, 66 + dy + 0.5),
                      ink / 2)
                << "a tile at " << dx << ", " << dy;
    EXPECT_LT(inkIn(early, 15.75, 65.75, 16.25, 66.25), blank) << "the gap between the tiles";
    EXPECT_LT(inkIn(early, 95, 56, 102.5, 76), blank) << "strip clipped behind the menus";

    // 1.5 s: the note dragged down and left, to about (198, 29), the pointer still holding it;
    // its slot empty, the gap not closed yet.
    EXPECT_GT(inkIn(held, 195, 26, 201, 32), ink) << "note dragged out";
    EXPECT_GT(inkIn(held, 202, 19, 205, 23), ink) << "arrow";
    EXPECT_GT(inkIn(held, 210, 8, 217, 16), ink) << "Ctrl";
    EXPECT_LT(inkIn(held, 209, 60, 215, 72), blank) << "empty slot";
    EXPECT_GT(inkIn(held, 187, 63, 193, 69), ink) << "cloud not moved yet";

    // 3 s: the note gone, no pointer, the cloud moved into the slot and the strip in full.
    EXPECT_LT(inkIn(settled, 190, 5, 235, 40), blank) << "no note, no pointer";
    EXPECT_GT(inkIn(settled, 209, 63, 215, 69), ink) << "cloud in the old slot";
    const int dim = inkIn(early, 120, 60, 165, 72);
    const int full = inkIn(settled, 140, 60, 185, 72);
    EXPECT_LT(dim, full * 3 / 4) << "the strip shows dimly until it slides out";
}

TEST_F(MenuBarTipDemoRenderTest, ReduceMotionShowsTheHeldFrameAtAnyTime) {
    const gfx::Image moving = frameAt(1.5);
    app.workspace().setReduceMotion(true);
    for (double time : {0.0, 2.7}) {
        SCOPED_TRACE(time);
        EXPECT_EQ(differingPixels(frameAt(time), moving), 0);
    }
}

} // namespace
} // namespace pulsedeck
