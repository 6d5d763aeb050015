#include "app/AppDelegate.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/toolkit/Application.h"
#include "platform/toolkit/StatusBar.h"
#include "platform/toolkit/x11/X11WindowList.h"
#include "platform/toolkit/x11/X11WindowServer.h"
#include "support/TestPaths.h"
#include "support/XvfbServer.h"

#include <cairo.h>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

// Xlib's macros must come after every other header.
// clang-format off
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
// clang-format on

extern "C" __attribute__((weak)) const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}

namespace pulsedeck {
namespace {

// Writes the root window of the display to a PNG.
bool writeRootPng(Display* display, const std::filesystem::path& path) {
    const ::Window root = DefaultRootWindow(display);
    XWindowAttributes attributes{};
    XGetWindowAttributes(display, root, &attributes);
    XImage* image =
        XGetImage(display, root, 0, 0, attributes.width, attributes.height, AllPlanes, ZPixmap);
    if (!image)
        return false;
    cairo_surface_t* surface =
        cairo_image_surface_create(CAIRO_FORMAT_RGB24, attributes.width, attributes.height);
    auto* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    for (int y = 0; y < attributes.height; ++y)
        for (int x = 0; x < attributes.width; ++x)
            reinterpret_cast<std::uint32_t*>(data + y * stride)[x] =
                static_cast<std::uint32_t>(XGetPixel(image, x, y) & 0xffffff);
    cairo_surface_mark_dirty(surface);
    const bool written = cairo_surface_write_to_png(surface, path.c_str()) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(surface);
    XDestroyImage(image);
    return written;
}

// The controller with the live readers on a private X server, driven by the real clock.
class StatusClickX11 : public ::testing::Test {
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

        defaults =
            std::make_unique<foundation::UserDefaults>(config.path(), "local.dorvettin.Pulsedeck");
        defaults->setBool(true, PreferenceKey::hasLaunched);
        defaults->setBool(true, PreferenceKey::menuBarTipShown);
        AppDelegate::Environment environment;
        environment.defaults = defaults.get();
        environment.loop = &loop;
        environment.preferredLanguages = [] { return std::vector<std::string>{"en"}; };
        environment.windowList = std::make_shared<ui::x11::X11WindowList>(*server);
        delegate = AppDelegate::create(environment);
        app->setDelegate(delegate);
        app->finishLaunching();
    }

    void TearDown() override {
        if (delegate) {
            delegate->applicationWillTerminate();
            delegate.reset();
        }
        app.reset();
        server.reset();
        if (user)
            XCloseDisplay(user);
    }

    // Runs the loop until done() holds or the time is up; answers done().
    bool runUntil(const std::function<bool()>& done, double seconds) {
        const double deadline = dispatch::systemUptime() + seconds;
        loop.runNested(dispatch::RunLoopMode::defaultMode, [&] {
            if (done() || dispatch::systemUptime() > deadline)
                return false;
            loop.queue().asyncAfter(0.01, [] {});
            return true;
        });
        return done();
    }

    void runFor(double seconds) {
        runUntil([] { return false; }, seconds);
    }

    // A screen point as root pixels (the primary screen's bottom-left is the origin, y up).
    std::pair<int, int> pixel(gfx::Point point) const {
        const auto rect = server->geometry().pixelsFromRect({point.x, point.y, 1, 1});
        return {rect.x, rect.y};
    }

    testsupport::XvfbServer xvfb{1280, 800};
    testsupport::TemporaryDirectory config;
    dispatch::RunLoop loop;
    dispatch::ScopedMainRunLoop mainLoop{loop};
    std::unique_ptr<ui::x11::X11WindowServer> server;
    std::unique_ptr<ui::Application> app;
    Display* user = nullptr;
    std::unique_ptr<foundation::UserDefaults> defaults;
    std::shared_ptr<AppDelegate> delegate;
};

TEST_F(StatusClickX11, LiveFiguresAndAClickOpensThePopoverBelowTheModule) {
    // Two samples give the network and compute modules rates to show.
    ASSERT_TRUE(runUntil([&] { return delegate->history.size() >= 2; }, 5));
    runFor(0.4);
    const std::string tip = delegate->statusView->toolTip();
    EXPECT_NE(tip.find(" CPU: "), std::string::npos) << tip;
    EXPECT_NE(tip.find("%"), std::string::npos) << tip;
    ASSERT_TRUE(delegate->statusView->memoryImage);
    ASSERT_TRUE(delegate->statusView->networkImage);
    const auto strip = delegate->statusView->statusItemScreenFrame();
    ASSERT_TRUE(strip);

    const gfx::Rect network = delegate->statusView->rect(ModuleKind::network);
    const gfx::Point target{strip->x() + network.midX(), strip->y() + network.midY()};
    const auto [x, y] = pixel(target);
    XTestFakeMotionEvent(user, -1, x, y, 0);
    XTestFakeButtonEvent(user, 1, True, 0);
    XTestFakeButtonEvent(user, 1, False, 0);
    XFlush(user);
    ASSERT_TRUE(runUntil([&] { return delegate->popover->isShown(); }, 3));
    runFor(0.5);

    EXPECT_EQ(delegate->details->priority, ModuleKind::network);
    const auto& window = delegate->popover->window();
    ASSERT_TRUE(window);
    const auto xid = server->xWindow(*window->windowNumber());
    ASSERT_TRUE(xid);
    XWindowAttributes attributes{};
    ASSERT_TRUE(XGetWindowAttributes(user, *xid, &attributes));
    int rootX = 0, rootY = 0;
    ::Window child = 0;
    XTranslateCoordinates(user, *xid, DefaultRootWindow(user), 0, 0, &rootX, &rootY, &child);
    const auto [stripX, stripBottom] = pixel({strip->x(), strip->minY()});
    (void)stripX;
    EXPECT_EQ(attributes.map_state, IsViewable);
    EXPECT_GE(rootY, stripBottom - 1) << "the popover hangs below the menu bar";
    EXPECT_LE(rootX, x);
    EXPECT_GE(rootX + attributes.width, x);

    EXPECT_TRUE(writeRootPng(user, testsupport::artifactPath("StatusClickX11.png")));
}

} // namespace
} // namespace pulsedeck
