// The whole program where nothing composites windows: a bare server, openbox alone and xfwm4 with
// its compositor off. What the screen shows is read back while the program runs.

#include "app/Preferences.h"
#include "controls/SliderTracking.h"
#include "controls/ThemeSlider.h"
#include "detail/DetailView.h"
#include "model/DisplayMode.h"
#include "model/FloatingMode.h"
#include "statusbar/MenuBarContentView.h"
#include "support/DetailViewProbe.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

// clang-format off
#include "support/ProgramX11Fixture.h"
#include "support/DesktopSession.h"
#include <X11/extensions/shape.h>
// clang-format on

namespace pulsedeck {
namespace {

using testsupport::Capture;
using testsupport::Desktop;
using testsupport::Rgb;

constexpr unsigned long rootColour = 0xc0208f;
const Rgb rootRgb{0xc0, 0x20, 0x8f};

// What is wrong in one look at the top-right of the screen, where the strip lies flush with the
// right edge: black, or the desktop showing, inside the strip's rounded rectangle (its round
// ends, 12 pixels each, left out), a piece of strip standing apart from the rest, or the strip at
// the wrong offset: short of the screen's edge, or cut off square where a round end belongs.
struct StripFault {
    int black = 0;
    int desktop = 0;
    int stray = 0;
    int shortOfEdge = 0;
    int squareEnds = 0;
    bool any() const { return black + desktop + stray + shortOfEdge + squareEnds > 0; }
};

StripFault faultsIn(const Capture& shown) {
    StripFault fault;
    if (shown.pixels.empty())
        return fault;
    const int middle = shown.height / 2;
    const auto isDesktop = [](const Rgb& pixel) { return testsupport::near(pixel, rootRgb, 2); };
    int right = shown.width - 1;
    while (right >= 0 && isDesktop(shown.at(right, middle)))
        --right;
    if (right < 0)
        return fault;
    int left = right;
    while (left > 0 && !isDesktop(shown.at(left - 1, middle)))
        --left;
    for (int column = 0; column < left; ++column)
        fault.stray += isDesktop(shown.at(column, middle)) ? 0 : 1;
    fault.shortOfEdge = right < shown.width - 2 ? 1 : 0;
    // A round end leaves the desktop in the corners of its first and last rows.
    constexpr int corner = 4;
    for (const int row : {1, shown.height - 2}) {
        fault.squareEnds += isDesktop(shown.at(right - corner, row)) ? 0 : 1;
        if (left > 0)
            fault.squareEnds += isDesktop(shown.at(left + corner, row)) ? 0 : 1;
    }
    constexpr int roundEnd = 12;
    for (int row = 3; row < shown.height - 3; ++row)
        for (int column = left + roundEnd; column <= right - roundEnd; ++column) {
            const Rgb pixel = shown.at(column, row);
            fault.black += pixel == Rgb{0, 0, 0} ? 1 : 0;
            fault.desktop += isDesktop(pixel) ? 1 : 0;
        }
    return fault;
}

// Reads the strip's part of the screen a few milliseconds apart on a connection of its own, on a
// thread of its own, while the program runs; keeps the first faulty look.
class StripPoller {
public:
    StripPoller(const std::string& display, int x, int width, int height)
        : thread_([this, display, x, width, height] { run(display, x, width, height); }) {}
    ~StripPoller() { stop(); }

    void stop() {
        stopping_ = true;
        if (thread_.joinable())
            thread_.join();
    }
    int looks() const { return looks_; }
    int faulty() const { return faulty_; }
    std::optional<Capture> firstFault() {
        std::lock_guard lock(mutex_);
        return first_;
    }

private:
    void run(const std::string& name, int x, int width, int height) {
        Display* display = XOpenDisplay(name.c_str());
        if (!display)
            return;
        // Bounded: a minute of looks at most, whatever the test does.
        for (int look = 0; look < 20000 && !stopping_; ++look) {
            Capture shown =
                testsupport::capture(display, DefaultRootWindow(display), x, 0, width, height);
            ++looks_;
            if (faultsIn(shown).any()) {
                ++faulty_;
                std::lock_guard lock(mutex_);
                if (!first_)
                    first_ = std::move(shown);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(3));
        }
        XCloseDisplay(display);
    }

    std::atomic<bool> stopping_{false};
    std::atomic<int> looks_{0};
    std::atomic<int> faulty_{0};
    std::mutex mutex_;
    std::optional<Capture> first_;
    std::thread thread_;
};

// The program on a desktop of one colour, as `xsetroot -solid` sets it: no picture to read.
class WithoutCompositor : public testing::ProgramX11Fixture {
protected:
    using ProgramX11Fixture::ProgramX11Fixture;

    virtual Desktop desktopKind() const { return Desktop::bare; }

    void SetUp() override {
        ASSERT_TRUE(xvfb.isRunning()) << xvfb.failure();
        desktop.emplace(xvfb, desktopKind());
        ASSERT_TRUE(desktop->isReady()) << desktop->failure();
        Display* setter = XOpenDisplay(xvfb.displayName().c_str());
        ASSERT_NE(setter, nullptr);
        XSetWindowBackground(setter, DefaultRootWindow(setter), rootColour);
        XClearWindow(setter, DefaultRootWindow(setter));
        XCloseDisplay(setter);
        ASSERT_NO_FATAL_FAILURE(ProgramX11Fixture::SetUp());
        ASSERT_FALSE(server->hasCompositor());
    }

    // The strip, drawn, at the top right.
    bool stripShown() {
        const auto bar = app->statusBar().window();
        return bar && viewable(*bar) && !faultsIn(captureRoot(screenWidth - 40, 0, 40, 24)).any() &&
               !near(rootPixel(screenWidth - 20, 12), rootRgb, 2);
    }

    double stripWidth() const { return app->statusBar().window()->frame().width(); }

    void photograph(const std::string& name) {
        EXPECT_TRUE(captureRoot(screenWidth - 700, 0, 700, 60)
                        .writePng(testsupport::artifactPath(name + "-" +
                                                            desktopName(desktopKind()) + ".png")));
    }

    std::optional<testsupport::DesktopSession> desktop;
};

class StripWithoutCompositor : public WithoutCompositor,
                               public ::testing::WithParamInterface<Desktop> {
protected:
    Desktop desktopKind() const override { return GetParam(); }
};

// Twelve changes of the memory figure's style and a drag of the chart-length slider change the
// strip's width; a look every few milliseconds never catches anything but the strip inside it.
TEST_P(StripWithoutCompositor, WidthChangesNeverShowForeignPixels) {
    ASSERT_TRUE(runUntil([&] { return stripShown(); }, 10));
    settle(0.5);
    photograph("strip-no-compositor-before");
    constexpr int watched = 900;
    StripPoller poller(xvfb.displayName(), screenWidth - watched, watched, 24);

    int changes = 0;
    for (int change = 0; change < 12; ++change) {
        const double before = stripWidth();
        delegate->details().view()->editLook([=](StripLook& l) {
            l.modules.styles.memoryMode = change % 2 ? DisplayMode::four : DisplayMode::pair;
        });
        changes += runUntil([&] { return stripWidth() != before; }, 2) ? 1 : 0;
        settle(0.2);
    }
    EXPECT_EQ(changes, 12) << "each change of style changes the strip's width";
    photograph("strip-no-compositor-styles");

    // The slider dragged as a hand drags it, through the details it sits in.
    delegate->details().show(std::nullopt);
    ASSERT_TRUE(runUntil([&] { return delegate->details().popover()->isShown(); }, 3));
    settle(0.6);
    ThemeSlider* slider = &DetailViewProbe(*delegate->details().view()).chartLengthSlider();
    ASSERT_TRUE(slider && slider->window());
    const gfx::Rect track = slider->convertRectToView(slider->bounds(), nullptr);
    const gfx::Rect onScreen = slider->window()->convertRectToScreen(track);
    const double knob =
        onScreen.minX() + sliderKnobCentre(slider->doubleValue(), slider->minValue(),
                                           slider->maxValue(), onScreen.width());
    const double widthBefore = stripWidth();
    moveScreen({knob, onScreen.midY()});
    settle(0.1);
    button(1, true);
    for (int step = 1; step <= 40; ++step) {
        moveScreen({std::max(onScreen.minX(), knob - step * 3.0), onScreen.midY()});
        settle(0.016);
    }
    for (int step = 1; step <= 60; ++step) {
        moveScreen({std::min(onScreen.maxX(), knob - 120 + step * 4.0), onScreen.midY()});
        settle(0.016);
    }
    button(1, false);
    settle(0.3);
    photograph("strip-no-compositor-slider");
    poller.stop();
    EXPECT_NE(stripWidth(), widthBefore) << "the drag changed the strip's width";

    EXPECT_GT(poller.looks(), 500);
    EXPECT_EQ(poller.faulty(), 0)
        << "looks showing black, the desktop or a stray piece of strip, of " << poller.looks();
    if (auto fault = poller.firstFault()) {
        const StripFault found = faultsIn(*fault);
        ADD_FAILURE() << "first fault: " << found.black << " black, " << found.desktop
                      << " desktop, " << found.stray << " stray pixels, " << found.shortOfEdge
                      << " short of the edge, " << found.squareEnds << " square corners";
        fault->writePng(testsupport::artifactPath("strip-no-compositor-fault-" +
                                                  desktopName(desktopKind()) + ".png"));
    }
}

// On a bare server the size and pixels land in one request; openbox and xfwm4 apply a new size in
// steps of their own (frame and window moved and resized apart, drawing of theirs between).
INSTANTIATE_TEST_SUITE_P(Desktops, StripWithoutCompositor,
                         ::testing::Values(Desktop::bare, Desktop::openbox,
                                           Desktop::xfwm4WithoutCompositor),
                         [](const auto& info) { return desktopName(info.param); });

// Whether a window's shape of the given kind holds every pixel of a rectangle (window pixels).
bool shapeHolds(Display* display, ::Window window, int kind, int x, int y, int width, int height) {
    int count = 0, ordering = 0;
    XRectangle* rectangles = XShapeGetRectangles(display, window, kind, &count, &ordering);
    bool holds = true;
    for (int row = y; row < y + height && holds; ++row)
        for (int column = x; column < x + width && holds; ++column)
            holds = std::any_of(rectangles, rectangles + count, [&](const XRectangle& r) {
                return column >= r.x && column < r.x + r.width && row >= r.y &&
                       row < r.y + r.height;
            });
    if (rectangles)
        XFree(rectangles);
    return holds;
}

// A floating bar at 37 % opacity, where its glass covers each pixel far less than half: the whole
// of its rounded rectangle is shown and takes clicks, and a right click between two modules opens
// its menu.
TEST_F(WithoutCompositor, AFaintFloatingBarStaysWholeAndTakesItsClicks) {
    ASSERT_TRUE(runUntil([&] { return stripShown(); }, 10));
    delegate->floatingMode().set(FloatingMode::copy, std::nullopt);
    delegate->settings().changeFloating([](FloatingPreferences& p) { p.look.opacity = 0.37; });
    ASSERT_TRUE(runUntil([&] {
        return delegate->floatingBar().panel() && viewable(*delegate->floatingBar().panel());
    }));
    settle(0.5);
    const ::Window xid = *xWindow(*delegate->floatingBar().panel());
    const auto area = testsupport::rootArea(user, xid);
    // The rounded rectangle: the band through its middle from end to end, and every row
    // between its round ends.
    const int radius = area.height / 2;
    for (const int kind : {ShapeBounding, ShapeInput}) {
        EXPECT_TRUE(shapeHolds(user, xid, kind, 1, radius - 2, area.width - 2, 4)) << kind;
        EXPECT_TRUE(
            shapeHolds(user, xid, kind, radius, 1, area.width - 2 * radius, area.height - 2))
            << kind;
    }
    EXPECT_TRUE(captureRoot(area.x - 20, area.y - 20, area.width + 40, area.height + 40)
                    .writePng(testsupport::artifactPath("floating-bar-37-BareServer.png")));

    // Between the first two modules, where only the glass is.
    std::vector<gfx::Rect> modules;
    for (const auto& [kind, rect] : delegate->floatingBar().strip()->displayedRects())
        modules.push_back(rect);
    ASSERT_GE(modules.size(), 2u);
    std::sort(modules.begin(), modules.end(),
              [](const gfx::Rect& a, const gfx::Rect& b) { return a.minX() < b.minX(); });
    const int x = area.x + int((modules[0].maxX() + modules[1].minX()) / 2);
    const int y = area.y + area.height / 2;
    EXPECT_FALSE(near(rootPixel(x, y), rootRgb, 8)) << "the glass shows between the modules";
    bool opened = false;
    play({{"the click", [] { return true; }, [&] { click(x, y, 3); }},
          {"the bar's menu", [&] { return !menuWindows().empty(); }, [&] { opened = true; }}},
         4);
    EXPECT_TRUE(opened) << "a right click between the modules opens the bar's menu";
}

// A point between two neighbouring modules of a strip, where only its glass is, on the screen.
gfx::Point betweenModules(const MenuBarContentView& strip, gfx::Point origin) {
    std::vector<gfx::Rect> modules;
    for (const auto& [kind, rect] : strip.displayedRects())
        modules.push_back(rect);
    std::sort(modules.begin(), modules.end(),
              [](const gfx::Rect& a, const gfx::Rect& b) { return a.minX() < b.minX(); });
    if (modules.size() < 2)
        return origin;
    return {origin.x + (modules[0].maxX() + modules[1].minX()) / 2,
            origin.y + strip.bounds().height() / 2};
}

int lightness(const Rgb& pixel) {
    return (pixel.red + pixel.green + pixel.blue) / 3;
}

// The strip at 20 % opacity and a floating bar at 39 % over a white terminal, in the light
// appearance. Nothing shows what lies behind them until a wallpaper is set: their glass is drawn
// solid, light under dark figures, never blended with the root's colour. Once a setter publishes
// its picture the glass is laid over it (the strip's, under i3, over the black frame i3 holds
// its dock in), and when the setter takes it back the glass is solid again.
class GlassWithoutCompositor : public WithoutCompositor,
                               public ::testing::WithParamInterface<Desktop> {
protected:
    GlassWithoutCompositor() : WithoutCompositor(1440, 900) {}
    Desktop desktopKind() const override { return GetParam(); }
    void prepare(AppDelegate::Environment& environment) override {
        defaults->setObject(std::string("light"), PreferenceKey::appAppearance);
        WithoutCompositor::prepare(environment);
    }
};

TEST_P(GlassWithoutCompositor, TheGlassShowsTheWallpaperOrStaysSolid) {
    testsupport::ChildProcess terminal(
        {"xterm", "-bg", "white", "-geometry", "200x50+0+120", "-e", "sleep", "600"},
        {{"DISPLAY", xvfb.displayName()}});
    ASSERT_TRUE(runUntil([&] {
        return viewable(*app->statusBar().window()) && delegate->sampling().history.size() >= 2;
    }));
    delegate->details().view()->editLook([=](StripLook& l) { l.opacity = clampedOpacity(0.2); });
    delegate->floatingMode().set(FloatingMode::copy, gfx::Rect{300, 500, 1, 1});
    delegate->settings().changeFloating([](FloatingPreferences& p) { p.look.opacity = 0.39; });
    ASSERT_TRUE(runUntil([&] {
        return delegate->floatingBar().panel() && viewable(*delegate->floatingBar().panel());
    }));
    const auto glass = [&] {
        const auto strip = delegate->statusStrip().view();
        const auto bar = delegate->floatingBar().strip();
        const auto stripPoint = betweenModules(*strip, strip->statusItemScreenFrame()->origin);
        const auto barPoint = betweenModules(*bar, delegate->floatingBar().panel()->frame().origin);
        const auto [stripX, stripY] = pixel(stripPoint);
        const auto [barX, barY] = pixel(barPoint);
        return std::pair{rootPixel(stripX, stripY), rootPixel(barX, barY)};
    };
    const auto photograph = [&](const std::string& name) {
        EXPECT_TRUE(captureRoot(0, 0, xvfb.width(), xvfb.height())
                        .writePng(testsupport::artifactPath("glass-" + name + "-" +
                                                            desktopName(desktopKind()) + ".png")));
    };
    // Solid and light: over the magenta root or the white terminal a blend would show either.
    EXPECT_TRUE(runUntil(
        [&] {
            const auto [strip, bar] = glass();
            return lightness(strip) > 200 && lightness(bar) > 200 && !near(strip, rootRgb, 40) &&
                   strip != Rgb{255, 255, 255} && bar != Rgb{255, 255, 255};
        },
        5))
        << glass().first << " " << glass().second;
    settle(0.3);
    photograph("solid");

    // A wallpaper: the glass shows it through, faintly tinted.
    const Rgb wallpaper{0x2e, 0x8f, 0x5a};
    const Rgb behindStrip = desktopKind() == Desktop::i3WithBar ? Rgb{0, 0, 0} : wallpaper;
    Display* setter = XOpenDisplay(xvfb.displayName().c_str());
    ASSERT_NE(setter, nullptr);
    testsupport::setDesktopColour(setter, 0x2e8f5a);
    EXPECT_TRUE(runUntil(
        [&] {
            const auto [strip, bar] = glass();
            return near(strip, behindStrip, 60) && near(bar, wallpaper, 90) &&
                   strip != behindStrip && bar != wallpaper;
        },
        5))
        << glass().first << " " << glass().second;
    settle(0.3);
    photograph("over-wallpaper");

    // The setter takes its picture back: solid again.
    for (const char* name : {"_XROOTPMAP_ID", "ESETROOT_PMAP_ID"})
        XDeleteProperty(setter, DefaultRootWindow(setter), XInternAtom(setter, name, False));
    XCloseDisplay(setter);
    EXPECT_TRUE(runUntil(
        [&] {
            const auto [strip, bar] = glass();
            return lightness(strip) > 200 && lightness(bar) > 200;
        },
        5))
        << glass().first << " " << glass().second;
}

INSTANTIATE_TEST_SUITE_P(Desktops, GlassWithoutCompositor,
                         ::testing::Values(Desktop::openbox, Desktop::i3WithBar),
                         [](const auto& info) { return desktopName(info.param); });

// A click on another program's window over the strip is that window's; a window it raises over
// the strip sees the strip come back above it.
TEST_F(WithoutCompositor, AClickOnAWindowOverTheStripIsThatWindowsAndTheStripComesBackAbove) {
    ASSERT_TRUE(runUntil([&] { return stripShown(); }, 10));
    const auto stripArea = testsupport::rootArea(user, *xWindow(*app->statusBar().window()));
    const int x = stripArea.x + stripArea.width - 30;
    const int y = stripArea.y + stripArea.height / 2;

    // A pop-up of the other program's (override-redirect) lies over everything, ours too.
    XSetWindowAttributes set{};
    set.override_redirect = True;
    set.background_pixel = 0x2060c0;
    const ::Window popUp = XCreateWindow(
        user, DefaultRootWindow(user), stripArea.x - 20, 0, unsigned(stripArea.width + 20), 60, 0,
        CopyFromParent, InputOutput, CopyFromParent, CWOverrideRedirect | CWBackPixel, &set);
    XMapRaised(user, popUp);
    XSync(user, False);
    ASSERT_TRUE(runUntil([&] { return near(rootPixel(x, y), {0x20, 0x60, 0xc0}, 2); }));
    click(x, y);
    settle(0.5);
    EXPECT_FALSE(delegate->details().popover()->isShown())
        << "the other window's click opened them";
    EXPECT_TRUE(captureRoot(screenWidth - 700, 0, 700, 80)
                    .writePng(testsupport::artifactPath("strip-under-pop-up-BareServer.png")));
    XDestroyWindow(user, popUp);
    XSync(user, False);

    // An ordinary window raised over the strip: the strip goes back over it.
    const ::Window other = XCreateSimpleWindow(user, DefaultRootWindow(user), stripArea.x - 20, 0,
                                               unsigned(stripArea.width + 20), 60, 0, 0, 0x20c060);
    XMapRaised(user, other);
    XSync(user, False);
    EXPECT_TRUE(runUntil([&] {
        return !near(rootPixel(x, y), {0x20, 0xc0, 0x60}, 2) &&
               near(rootPixel(stripArea.x - 10, 40), {0x20, 0xc0, 0x60}, 2);
    })) << "the strip is back above the window";
    EXPECT_TRUE(captureRoot(screenWidth - 700, 0, 700, 80)
                    .writePng(testsupport::artifactPath("strip-back-above-BareServer.png")));
    click(x, y);
    EXPECT_TRUE(runUntil([&] { return delegate->details().popover()->isShown(); }))
        << "clicked there now, the strip answers";
    XDestroyWindow(user, other);
    XSync(user, False);
}

} // namespace
} // namespace pulsedeck
