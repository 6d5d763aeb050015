// The whole program on a real desktop: openbox with a tint2 panel at the top or the bottom of
// the screen, and picom compositing. Each test starts its own X server and desktop programs and
// ends them.

#include "support/ChildProcess.h"
#include "support/TestPaths.h"

#include <gtest/gtest.h>

// After gtest: the X headers define macros (None, Bool) that gtest's own names would hit.
// clang-format off
#include "PulsedeckProgram.h"
#include "support/X11TestSupport.h"
#include <X11/Xatom.h>
#include <X11/keysym.h>
#include <X11/extensions/XTest.h>
// clang-format on

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

using namespace std::chrono_literals;
using namespace pulsedecktest;
using testsupport::ChildProcess;

std::optional<Placed> ourDock(Display* display) {
    const auto found = docks(display);
    return found.empty() ? std::nullopt : std::optional(found.front());
}

// How many pixels of a captured row are exactly `colour`.
int inRow(const testsupport::Capture& captured, int row, testsupport::Rgb colour) {
    int found = 0;
    for (int column = 0; column < captured.width; ++column)
        found += captured.at(column, row) == colour ? 1 : 0;
    return found;
}

constexpr testsupport::Rgb black{0, 0, 0};
// Xvfb's bare root.
constexpr testsupport::Rgb white{255, 255, 255};

void sendToRoot(Display* display, ::Window window, const char* message, std::vector<long> data) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, message, False);
    event.xclient.format = 32;
    for (std::size_t i = 0; i < data.size() && i < 5; ++i)
        event.xclient.data.l[i] = data[i];
    XSendEvent(display, DefaultRootWindow(display), False,
               SubstructureRedirectMask | SubstructureNotifyMask, &event);
    XFlush(display);
}

enum class PanelEdge { top, bottom };

class PulsedeckDesktop : public ProgramOnDisplay {
protected:
    // openbox, with its configuration and caches in the test's folder.
    void startWindowManager() {
        manager_ = std::make_unique<ChildProcess>(
            std::vector<std::string>{"openbox", "--sm-disable"},
            std::vector<std::pair<std::string, std::string>>{{"DISPLAY", xvfb_.displayName()},
                                                             {"HOME", home_.path().string()}});
        ASSERT_TRUE(waitFor(
            [&] {
                return !testsupport::windowProperty(display(), DefaultRootWindow(display()),
                                                    "_NET_SUPPORTING_WM_CHECK", XA_WINDOW, 1)
                            .empty();
            },
            20s))
            << "openbox manages the screen";
    }

    // A tint2 panel 30 pixels high along one edge, reserving it.
    void startPanel(PanelEdge edge) {
        const auto config = home_.path() / "tint2rc";
        std::ofstream(config) << "panel_items = T\n"
                              << "panel_position = " << (edge == PanelEdge::top ? "top" : "bottom")
                              << " center horizontal\n"
                              << "panel_size = 100% 30\n"
                              << "strut_policy = follow_size\n"
                              << "panel_background_id = 0\n";
        panel_ = std::make_unique<ChildProcess>(
            std::vector<std::string>{"tint2", "-c", config.string()},
            std::vector<std::pair<std::string, std::string>>{{"DISPLAY", xvfb_.displayName()},
                                                             {"HOME", home_.path().string()}});
        ASSERT_TRUE(waitFor([&] { return panelStrut(edge) == 30; }, 20s)) << "tint2 reserves 30 px";
    }

    long panelStrut(PanelEdge edge) {
        for (long client : testsupport::windowProperty(display(), DefaultRootWindow(display()),
                                                       "_NET_CLIENT_LIST", XA_WINDOW, 1024)) {
            const auto strut = testsupport::windowProperty(
                display(), ::Window(client), "_NET_WM_STRUT_PARTIAL", XA_CARDINAL, 12);
            if (strut.size() == 12 && !isProgramWindow(display(), ::Window(client)))
                return edge == PanelEdge::top ? strut[2] : strut[3];
        }
        return 0;
    }

    // picom compositing the screen, with no configuration of the user's.
    void startCompositor() {
        compositor_ = std::make_unique<ChildProcess>(
            std::vector<std::string>{"picom", "--backend", "xrender", "--config", "/dev/null"},
            std::vector<std::pair<std::string, std::string>>{{"DISPLAY", xvfb_.displayName()}});
        ASSERT_TRUE(waitFor(
            [&] {
                return XGetSelectionOwner(display(),
                                          XInternAtom(display(), "_NET_WM_CM_S0", False)) != None;
            },
            20s))
            << "picom owns the screen";
    }

    // The four corners of the dock's area, where the strip's rounded ends leave the desktop.
    std::vector<testsupport::Rgb> dockCorners(const Placed& dock) {
        const auto shown =
            testsupport::capture(display(), DefaultRootWindow(display()), dock.area.x, dock.area.y,
                                 dock.area.width, dock.area.height);
        if (shown.pixels.empty())
            return {};
        return {shown.at(0, 0), shown.at(shown.width - 1, 0), shown.at(0, shown.height - 1),
                shown.at(shown.width - 1, shown.height - 1)};
    }

    void press(KeySym symbol, bool down) { testsupport::fakeKey(display(), symbol, down); }
    void clickAt(int x, int y) {
        XTestFakeMotionEvent(display(), -1, x, y, CurrentTime);
        XFlush(display());
        std::this_thread::sleep_for(100ms);
        XTestFakeButtonEvent(display(), 1, True, CurrentTime);
        XTestFakeButtonEvent(display(), 1, False, CurrentTime);
        XFlush(display());
    }

    testsupport::TemporaryDirectory home_;
    std::unique_ptr<ChildProcess> manager_;
    std::unique_ptr<ChildProcess> panel_;
    std::unique_ptr<ChildProcess> compositor_;
};

// The strip where the dock is, drawn from its top row; "show desktop" keeps it; a maximised window
// starts below the space it reserves.
class PulsedeckDesktopPanel : public PulsedeckDesktop,
                              public ::testing::WithParamInterface<PanelEdge> {};

TEST_P(PulsedeckDesktopPanel, UnderOpenboxTheStripSitsAtTheTopAndStaysThere) {
    const PanelEdge edge = GetParam();
    const int expectedTop = edge == PanelEdge::top ? 30 : 0;
    const std::string name = edge == PanelEdge::top ? "top" : "bottom";
    ASSERT_NO_FATAL_FAILURE(startWindowManager());
    ASSERT_NO_FATAL_FAILURE(startPanel(edge));
    markLaunchedBefore(config_.path());
    Program program(xvfb_, config_.path());
    ASSERT_TRUE(program.started());
    std::optional<Placed> dock;
    ASSERT_TRUE(waitFor([&] { return (dock = ourDock(display())).has_value(); }, 20s));
    // Directly below tint2, with no window of ours laid over it for the manager to move.
    EXPECT_TRUE(waitFor([&] { return ourDock(display())->area.y == expectedTop; }, 20s))
        << ourDock(display())->area.y;
    std::this_thread::sleep_for(1500ms);
    dock = ourDock(display());
    ASSERT_TRUE(dock);
    EXPECT_TRUE(shownPanels(display()).empty());
    const auto strip = testsupport::capture(display(), DefaultRootWindow(display()), dock->area.x,
                                            dock->area.y, dock->area.width, dock->area.height);
    EXPECT_EQ(inRow(strip, 0, black), 0) << "the strip's top row shows the strip";
    EXPECT_EQ(inRow(strip, dock->area.height / 2, black), 0);
    screenshot(("desktop-openbox-tint2-" + name + ".png").c_str());

    // "Show desktop" hides windows, not the docks.
    sendToRoot(display(), DefaultRootWindow(display()), "_NET_SHOWING_DESKTOP", {1});
    std::this_thread::sleep_for(700ms);
    dock = ourDock(display());
    ASSERT_TRUE(dock) << "the strip stays on show desktop";
    const auto shown = testsupport::capture(display(), DefaultRootWindow(display()), dock->area.x,
                                            dock->area.y, dock->area.width, dock->area.height);
    // The figures move on with each sample; the strip is still what shows there.
    EXPECT_EQ(inRow(shown, dock->area.height / 2, black), 0);
    EXPECT_LT(inRow(shown, dock->area.height / 2, white), dock->area.width / 4);
    screenshot(("desktop-openbox-tint2-" + name + "-show-desktop.png").c_str());
    sendToRoot(display(), DefaultRootWindow(display()), "_NET_SHOWING_DESKTOP", {0});

    // A maximised window starts below the strip.
    const ::Window other = XCreateSimpleWindow(display(), DefaultRootWindow(display()), 100, 300,
                                               400, 200, 0, 0, 0x336699);
    XMapWindow(display(), other);
    XSync(display(), False);
    std::this_thread::sleep_for(300ms);
    sendToRoot(display(), other, "_NET_WM_STATE",
               {1, long(XInternAtom(display(), "_NET_WM_STATE_MAXIMIZED_VERT", False)),
                long(XInternAtom(display(), "_NET_WM_STATE_MAXIMIZED_HORZ", False)), 1});
    EXPECT_TRUE(waitFor([&] { return testsupport::rootArea(display(), other).width > 1000; }, 20s));
    const auto maximised = testsupport::rootArea(display(), other);
    EXPECT_GE(maximised.y, dock->area.y + dock->area.height) << "below the strip";
    if (edge == PanelEdge::bottom) {
        EXPECT_LE(maximised.y + maximised.height, xvfb_.height() - 30) << "above the panel";
    }
    screenshot(("desktop-openbox-tint2-" + name + "-maximised.png").c_str());
}

INSTANTIATE_TEST_SUITE_P(PanelEdges, PulsedeckDesktopPanel,
                         ::testing::Values(PanelEdge::top, PanelEdge::bottom),
                         [](const auto& info) {
                             return info.param == PanelEdge::top ? "PanelAtTheTop"
                                                                 : "PanelAtTheBottom";
                         });

// The details open on a click of the strip and hold the keyboard: Escape closes them, and
// Control-Q quits with the preferences saved.
TEST_F(PulsedeckDesktop, UnderOpenboxTheDetailsTakeTheKeyboardForEscapeAndTheQuitKey) {
    ASSERT_NO_FATAL_FAILURE(startWindowManager());
    markLaunchedBefore(config_.path());
    Program program(xvfb_, config_.path());
    ASSERT_TRUE(program.started());
    std::optional<Placed> dock;
    ASSERT_TRUE(waitFor([&] { return (dock = ourDock(display())).has_value(); }, 20s));
    std::this_thread::sleep_for(1500ms);
    dock = ourDock(display());
    const int stripX = dock->area.x + dock->area.width - 40;
    const int stripY = dock->area.y + dock->area.height / 2;

    // The keys go to the details once the window manager has handed them the keyboard.
    const auto detailsHoldTheKeyboard = [&] {
        const auto panels = shownPanels(display());
        return panels.size() == 1u && holdsKeyboard(display(), panels.front().window);
    };
    clickAt(stripX, stripY);
    ASSERT_TRUE(waitFor(detailsHoldTheKeyboard, 20s)) << "details open with the keyboard";
    screenshot("desktop-openbox-details.png");
    press(XK_Escape, true);
    press(XK_Escape, false);
    EXPECT_TRUE(waitFor([&] { return shownPanels(display()).empty(); }, 20s))
        << "Escape closes the details";

    clickAt(stripX, stripY);
    ASSERT_TRUE(waitFor(detailsHoldTheKeyboard, 20s)) << "details open with the keyboard";
    press(XK_Control_L, true);
    press(XK_q, true);
    press(XK_q, false);
    press(XK_Control_L, false);
    const auto status = program.waitForExit(20s);
    ASSERT_TRUE(status) << "Control-Q quits";
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0);
    EXPECT_NE(fileText(config_.path() / "pulsedeck" / "local.dorvettin.Pulsedeck.json")
                  .find("\"hasLaunched\": true"),
              std::string::npos);
}

// Under picom the strip is blended over the desktop: around its rounded ends the desktop shows,
// whether picom was there first or came after.
class PulsedeckComposited : public PulsedeckDesktop, public ::testing::WithParamInterface<bool> {};

TEST_P(PulsedeckComposited, AroundTheStripTheDesktopShows) {
    const bool compositorFirst = GetParam();
    constexpr unsigned long desktop = 0x2e6b8f;
    const testsupport::Rgb desktopColour{0x2e, 0x6b, 0x8f};
    testsupport::setDesktopColour(display(), desktop);
    if (compositorFirst) {
        ASSERT_NO_FATAL_FAILURE(startCompositor());
    }
    markLaunchedBefore(config_.path());
    Program program(xvfb_, config_.path());
    ASSERT_TRUE(program.started());
    std::optional<Placed> dock;
    ASSERT_TRUE(waitFor([&] { return (dock = ourDock(display())).has_value(); }, 20s));
    std::this_thread::sleep_for(1500ms);
    if (!compositorFirst) {
        ASSERT_NO_FATAL_FAILURE(startCompositor());
        std::this_thread::sleep_for(1500ms);
    }
    ASSERT_TRUE(dock = ourDock(display()));
    XWindowAttributes attributes{};
    XGetWindowAttributes(display(), dock->window, &attributes);
    EXPECT_EQ(attributes.depth, 32) << "the strip's window has alpha for the compositor";
    for (const auto& corner : dockCorners(*dock))
        EXPECT_TRUE(testsupport::near(corner, desktopColour, 6)) << corner;
    const auto strip = testsupport::capture(display(), DefaultRootWindow(display()), dock->area.x,
                                            dock->area.y, dock->area.width, dock->area.height);
    EXPECT_EQ(inRow(strip, 0, black), 0);
    EXPECT_EQ(inRow(strip, dock->area.height - 1, black), 0);
    screenshot(compositorFirst ? "desktop-picom-first.png" : "desktop-picom-after.png");
}

INSTANTIATE_TEST_SUITE_P(CompositorOrder, PulsedeckComposited, ::testing::Values(true, false),
                         [](const auto& info) {
                             return info.param ? "PicomStartedFirst" : "PicomStartedAfter";
                         });

} // namespace
