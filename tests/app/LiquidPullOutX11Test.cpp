// The liquid pull-out in the running program: a module dragged out of the status item with
// XTest on a private Xvfb composited by picom (the real panel hides by its alpha while the
// overlay stands in for it), the screen below the bar recorded at each step into a filmstrip.

#include "support/ChildProcess.h"
#include "support/TestPaths.h"

#include <gtest/gtest.h>

// After gtest: the X headers define macros (None, Bool) that gtest's own names would hit.
// clang-format off
#include "PulsedeckProgram.h"
#include "support/X11TestSupport.h"
#include <X11/keysym.h>
#include <X11/extensions/XTest.h>
// clang-format on

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using namespace pulsedecktest;

// Pixels of two captures of one area that differ.
int differingPixels(const testsupport::Capture& a, const testsupport::Capture& b) {
    int count = 0;
    for (std::size_t i = 0; i < a.pixels.size() && i < b.pixels.size(); ++i)
        count += (a.pixels[i] & 0xffffff) != (b.pixels[i] & 0xffffff);
    return count;
}

// The frames one above the other, a 4-pixel gap between them.
gfx::Bitmap filmstrip(const std::vector<testsupport::Capture>& frames) {
    const int width = frames.front().width;
    const int height = frames.front().height;
    const double total = double(frames.size() * std::size_t(height + 4));
    gfx::Bitmap strip = gfx::Bitmap::forPointSize({double(width), total}, 1);
    gfx::Context context(strip);
    double top = total;
    for (const auto& frame : frames) {
        top -= height;
        gfx::Image::withBitmap(frame.bitmap()).draw(context, gfx::Point{0, top});
        top -= 4;
    }
    return strip;
}

TEST(LiquidPullOutX11, AModuleDraggedOutStretchesTearsOffAndLeavesTheBarClean) {
    testsupport::XvfbServer xvfb;
    DisplayConnection connection;
    ASSERT_NO_FATAL_FAILURE(testsupport::lookAtServer(xvfb, connection, 0x2e6b8f));
    Display* display = connection.get();
    testsupport::ChildProcess compositor({"picom", "--backend", "xrender", "--config", "/dev/null"},
                                         {{"DISPLAY", xvfb.displayName()}});
    const Atom compositorSelection = XInternAtom(display, "_NET_WM_CM_S0", False);
    for (int wait = 0; wait < 200 && XGetSelectionOwner(display, compositorSelection) == None;
         ++wait)
        std::this_thread::sleep_for(50ms);
    ASSERT_NE(XGetSelectionOwner(display, compositorSelection), None) << "picom owns the screen";

    testsupport::TemporaryDirectory config;
    markLaunchedBefore(config.path());
    Program program(xvfb, config.path());
    ASSERT_TRUE(program.started());
    const auto bar = waitForStatusBar(display, 30s);
    ASSERT_TRUE(bar);
    std::this_thread::sleep_for(1500ms);
    const auto strip = stripWindow(display, *bar).value_or(*bar);

    // Everything from the strip's left, less 120 pixels, to the screen's right edge, from the top
    // to 340 pixels down.
    const int left = std::max(0, strip.x - 120);
    const int width = xvfb.width() - left;
    const int height = 340;
    const ::Window root = DefaultRootWindow(display);
    auto shot = [&] { return testsupport::capture(display, root, left, 0, width, height); };
    const int pressX = strip.x + 24;
    const int pressY = strip.y + int(strip.height) / 2;
    const int barBottom = bar->y + int(bar->height);

    std::vector<testsupport::Capture> frames{shot()};
    const testsupport::Capture before = frames.front();
    XTestFakeMotionEvent(display, -1, pressX, pressY, CurrentTime);
    XTestFakeButtonEvent(display, 1, True, CurrentTime);
    XFlush(display);
    std::this_thread::sleep_for(100ms);
    // Pulled straight down in steps: hanging on its neck at first, torn off past 124 points.
    int neckFrame = 0;
    for (const int down : {20, 45, 70, 95, 150, 210, 260}) {
        XTestFakeMotionEvent(display, -1, pressX - down / 5, pressY + down, CurrentTime);
        XFlush(display);
        std::this_thread::sleep_for(120ms);
        frames.push_back(shot());
        if (down == 70)
            neckFrame = int(frames.size()) - 1;
    }
    XTestFakeButtonEvent(display, 1, False, CurrentTime);
    XFlush(display);
    std::this_thread::sleep_for(300ms);
    // Torn off and dropped away from the bar: the strip waits where it fell under the menu that
    // offers a floating bar there. Escape declines it.
    frames.push_back(shot());
    const testsupport::Capture offered = frames.back();
    testsupport::fakeKey(display, XK_Escape, true);
    testsupport::fakeKey(display, XK_Escape, false);
    std::this_thread::sleep_for(1200ms);
    frames.push_back(shot());

    EXPECT_TRUE(
        filmstrip(frames).writePng(testsupport::artifactPath("liquid-pull-out-x11.png").string()));

    // While hanging, the liquid joins the strip to the bar just below the press.
    const auto& hanging = frames[std::size_t(neckFrame)];
    const int column = pressX - left;
    EXPECT_FALSE(
        testsupport::near(hanging.at(column, barBottom + 8), before.at(column, barBottom + 8), 30))
        << "the neck below the bar";
    EXPECT_GT(differingPixels(hanging, before), 2000);
    EXPECT_GT(differingPixels(offered, before), 2000) << "the strip and the menu at the drop";
    // Once the drop is over, the screen below the bar is as it was.
    testsupport::Capture after = frames.back();
    int changedBelow = 0;
    for (int row = barBottom + 2; row < height; ++row)
        for (int x = 0; x < width; ++x)
            changedBelow += !testsupport::near(after.at(x, row), before.at(x, row));
    EXPECT_EQ(changedBelow, 0);
    EXPECT_TRUE(program.isRunning());
}

} // namespace
