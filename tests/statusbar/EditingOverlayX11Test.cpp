#include "SampleStrip.h"
#include "platform/dispatch/Clock.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/graphics/Bitmap.h"
#include "platform/toolkit/Application.h"
#include "platform/toolkit/StatusBar.h"
#include "platform/toolkit/Window.h"
#include "platform/toolkit/x11/X11WindowServer.h"
#include "statusbar/EditingPanels.h"
#include "statusbar/MenuBarContentView.h"
#include "support/TestPaths.h"
#include "support/XvfbServer.h"

#include <functional>
#include <gtest/gtest.h>
#include <memory>

// Xlib's macros (None, Bool, Status) must come after every other header.
// clang-format off
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
// clang-format on

// fontconfig keeps the configuration pango loads for the life of the process; not our leak.
extern "C" __attribute__((weak)) const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}

namespace pulsedeck {
namespace {

constexpr int screenWidth = 1280;
constexpr int screenHeight = 800;

// The status strip with every module, sorted through its editing panel on a private X server.
class EditingOverlayX11 : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(xvfb.isRunning()) << xvfb.failure();
        ui::x11::X11WindowServer::Options options;
        options.displayName = xvfb.displayName();
        options.backingScale = 1;
        options.usePortal = false;
        server = ui::x11::X11WindowServer::open(loop, options);
        ASSERT_TRUE(server);
        app = std::make_unique<ui::Application>(*server, loop);
        user = XOpenDisplay(xvfb.displayName().c_str());
        ASSERT_NE(user, nullptr);

        strip = std::make_shared<MenuBarContentView>(gfx::Rect{0, 0, 300, 24});
        striptest::fillSampleStrip(*strip, readings, false);
        strip->setFrameSize({strip->requiredWidth(), 24});
        item = app->statusBar().statusItem(strip->requiredWidth());
        item->setView(strip);
        strip->statusOrderAction = [this](const std::vector<ModuleKind>& order) {
            orders.push_back(order);
        };
        panels = std::make_unique<EditingPanels>(strip);
        strip->editingDisplayAction = [this] { panels->redrawSurfaces(); };
        strip->editingRectAction = [this](const gfx::Rect& rect) { panels->redrawSurfaces(rect); };
    }

    void TearDown() override {
        panels.reset();
        strip.reset();
        item.reset();
        app.reset();
        server.reset();
        if (user)
            XCloseDisplay(user);
    }

    void refresh() {
        EditingPanels::Conditions conditions;
        conditions.surfacesReady = true;
        panels->refresh(conditions);
    }

    bool runUntil(const std::function<bool()>& done, double seconds = 3) {
        const double deadline = dispatch::systemUptime() + seconds;
        loop.runNested(dispatch::RunLoopMode::defaultMode, [&] {
            if (done() || dispatch::systemUptime() > deadline)
                return false;
            loop.queue().asyncAfter(0.01, [] {});
            return true;
        });
        return done();
    }
    void settle(double seconds = 0.2) {
        const double until = dispatch::systemUptime() + seconds;
        runUntil([&] { return dispatch::systemUptime() >= until; }, seconds + 1);
    }

    bool panelViewable() {
        if (panels->panels().empty())
            return false;
        const auto number = panels->panels().begin()->second->windowNumber();
        const auto xid = number ? server->xWindow(*number) : std::nullopt;
        XWindowAttributes attributes{};
        return xid && XGetWindowAttributes(server->display(), *xid, &attributes) &&
               attributes.map_state == IsViewable;
    }

    // Root pixels for a point of the y-up screen space.
    int rootX(double x) const { return static_cast<int>(x); }
    int rootY(double y) const { return screenHeight - 1 - static_cast<int>(y); }
    void moveTo(gfx::Point point) {
        XTestFakeMotionEvent(user, 0, rootX(point.x), rootY(point.y), CurrentTime);
        XFlush(user);
    }
    void button(bool down) {
        XTestFakeButtonEvent(user, 1, down ? True : False, CurrentTime);
        XFlush(user);
    }

    // What the X server shows over a screen rect, as a bitmap.
    gfx::Bitmap grab(const gfx::Rect& rect) {
        const int wide = static_cast<int>(rect.width());
        const int high = static_cast<int>(rect.height());
        gfx::Bitmap bitmap(wide, high, rect.size);
        XImage* image =
            XGetImage(server->display(), DefaultRootWindow(server->display()), rootX(rect.minX()),
                      rootY(rect.maxY()) + 1, wide, high, AllPlanes, ZPixmap);
        if (!image)
            return bitmap;
        gfx::Context context(bitmap);
        for (int row = 0; row < high; ++row) {
            for (int column = 0; column < wide; ++column) {
                const unsigned long pixel = XGetPixel(image, column, row);
                context.setFillColor(gfx::Color::srgb(((pixel >> 16) & 0xff) / 255.0,
                                                      ((pixel >> 8) & 0xff) / 255.0,
                                                      (pixel & 0xff) / 255.0));
                context.fillRect({double(column), double(high - 1 - row), 1, 1});
            }
        }
        XDestroyImage(image);
        return bitmap;
    }

    testsupport::XvfbServer xvfb{screenWidth, screenHeight};
    dispatch::RunLoop loop;
    dispatch::ScopedMainRunLoop scopedLoop{loop};
    std::unique_ptr<ui::x11::X11WindowServer> server;
    std::unique_ptr<ui::Application> app;
    Display* user = nullptr;

    striptest::SampleReadings readings;
    std::shared_ptr<MenuBarContentView> strip;
    std::shared_ptr<ui::StatusItem> item;
    std::unique_ptr<EditingPanels> panels;
    std::vector<std::vector<ModuleKind>> orders;
};

TEST_F(EditingOverlayX11, AnXTestDragReordersTwoModulesInSortingMode) {
    refresh();
    ASSERT_TRUE(runUntil([&] { return panelViewable(); }));
    const auto frame = strip->statusItemScreenFrame();
    ASSERT_TRUE(frame);
    settle();
    const gfx::Bitmap shown = grab(*frame);
    EXPECT_TRUE(shown.writePng(testsupport::artifactPath("editing-overlay-x11.png").string()));
    // Between the memory and fan modules lies bare glass: the light grey of the strip.
    const gfx::Rect memory = strip->rect(ModuleKind::memory);
    const gfx::Rgba8 glass = shown.pixelAtPoint({memory.maxX() + strip->fanGap / 2, 12});
    EXPECT_NEAR(glass.red, 240, 3);
    EXPECT_NEAR(glass.blue, 240, 3);

    strip->setSorting(true);
    refresh();
    const gfx::Point grip{frame->minX() + memory.minX() + 6, frame->minY() + 5};
    const double reach = strip->layoutModuleRects().at(ModuleKind::fan).midX() - memory.midX() + 2;
    moveTo(grip);
    settle(0.05);
    button(true);
    ASSERT_TRUE(runUntil([&] { return strip->draggedModule == ModuleKind::memory; }));
    for (double dx = 2; dx <= reach; dx += 2) {
        moveTo({grip.x + dx, grip.y});
        settle(0.01);
    }
    moveTo({grip.x + reach, grip.y});
    button(false);
    ASSERT_TRUE(runUntil([&] { return !strip->sortPointerIsDown && !orders.empty(); }));
    EXPECT_EQ(strip->order[0], ModuleKind::fan);
    EXPECT_EQ(strip->order[1], ModuleKind::memory);
    EXPECT_EQ(orders.back(), strip->order);
    EXPECT_EQ(strip->draggedModule, std::nullopt);

    settle(0.6);
    EXPECT_TRUE(grab(*frame).writePng(
        testsupport::artifactPath("editing-overlay-x11-sorted.png").string()));
}

} // namespace
} // namespace pulsedeck
