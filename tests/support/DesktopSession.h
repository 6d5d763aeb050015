#pragma once

// Header-only, like X11TestSupport.h: it brings Xlib, so include it after every other header.

#include "support/ChildProcess.h"
#include "support/TestPaths.h"
#include "support/XvfbServer.h"

#include <chrono>
#include <fstream>
#include <optional>
#include <string>
#include <thread>

// clang-format off
#include <X11/Xatom.h>
#include <X11/Xlib.h>
// clang-format on

namespace testsupport {

// A real desktop on a private X server: openbox as the window manager and tint2 as a panel along
// the top edge, reserving `panelHeight` pixels there with its strut. Both are started at
// construction and ready (or reported failed) within a bound, and stopped with the object; they
// never read the user's own configuration.
class DesktopSession {
public:
    static constexpr int panelHeight = 30;

    explicit DesktopSession(const XvfbServer& xvfb) {
        const std::vector<std::pair<std::string, std::string>> environment = {
            {"DISPLAY", xvfb.displayName()},
            {"HOME", home_.path().string()},
            {"XDG_CONFIG_HOME", (home_.path() / "config").string()}};
        Display* display = XOpenDisplay(xvfb.displayName().c_str());
        if (!display) {
            failure_ = "cannot open " + xvfb.displayName();
            return;
        }
        windowManager_.emplace(std::vector<std::string>{"openbox", "--sm-disable"}, environment);
        if (!waitFor([&] { return hasWindowManager(display); })) {
            failure_ = "openbox did not take over the display";
        } else {
            const auto config = home_.path() / "tint2rc";
            std::ofstream(config) << "panel_items = T\n"
                                  << "panel_size = 100% " << panelHeight << "\n"
                                  << "panel_position = top center horizontal\n"
                                  << "panel_layer = top\n"
                                  << "strut_policy = follow_size\n"
                                  << "autohide = 0\n";
            panel_.emplace(std::vector<std::string>{"tint2", "-c", config.string()}, environment);
            if (!waitFor([&] { return reservesTop(display); }))
                failure_ = "tint2 reserved no strip along the top";
        }
        XCloseDisplay(display);
    }

    bool isReady() const { return failure_.empty(); }
    const std::string& failure() const { return failure_; }

private:
    static constexpr auto patience = std::chrono::seconds(10);

    template <typename Condition> bool waitFor(Condition condition) {
        const auto deadline = std::chrono::steady_clock::now() + patience;
        while (std::chrono::steady_clock::now() < deadline) {
            if (condition())
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }

    static std::vector<long> property(Display* display, ::Window window, const char* name,
                                      Atom type) {
        Atom actual = 0;
        int format = 0;
        unsigned long count = 0, remaining = 0;
        unsigned char* data = nullptr;
        std::vector<long> items;
        if (XGetWindowProperty(display, window, XInternAtom(display, name, False), 0, 1024, False,
                               type, &actual, &format, &count, &remaining, &data) == Success &&
            data && format == 32) {
            const long* first = reinterpret_cast<const long*>(data);
            items.assign(first, first + count);
        }
        if (data)
            XFree(data);
        return items;
    }

    static bool hasWindowManager(Display* display) {
        return !property(display, DefaultRootWindow(display), "_NET_SUPPORTING_WM_CHECK", XA_WINDOW)
                    .empty();
    }

    static bool reservesTop(Display* display) {
        for (long client :
             property(display, DefaultRootWindow(display), "_NET_CLIENT_LIST", XA_WINDOW)) {
            const auto strut =
                property(display, ::Window(client), "_NET_WM_STRUT_PARTIAL", XA_CARDINAL);
            if (strut.size() >= 4 && strut[2] >= panelHeight)
                return true;
        }
        return false;
    }

    TemporaryDirectory home_;
    std::optional<ChildProcess> windowManager_;
    std::optional<ChildProcess> panel_;
    std::string failure_;
};

} // namespace testsupport
