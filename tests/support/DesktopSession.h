#pragma once

// Header-only, like X11TestSupport.h: it brings Xlib, so include it after every other header.

#include "support/ChildProcess.h"
#include "support/ScopedEnvironment.h"
#include "support/TestPaths.h"
#include "support/XvfbServer.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

// clang-format off
#include <X11/Xatom.h>
#include <X11/Xlib.h>
// clang-format on

namespace testsupport {

// The desktops a user may run Pulsedeck on, each on a private X server.
enum class Desktop {
    // openbox, with tint2 as a panel along the top edge reserving `panelHeight` pixels.
    openboxWithPanel,
    // openbox alone: a stacking manager with "show desktop" and no compositor.
    openbox,
    // xfwm4 with its compositor off.
    xfwm4WithoutCompositor,
    // xfwm4 compositing the screen, as Xfce runs it by default.
    xfwm4WithCompositor,
    // i3, a tiling manager, with i3bar docked along the top edge.
    i3WithBar,
    // No window manager at all: every window stacks and places itself.
    bare,
    // No window manager, and picom compositing with its shadows on, as it starts without a
    // configuration of the user's: every window it composites casts one.
    picomWithShadows,
    // weston, a Wayland compositor, drawing its output on the X server (its X11 back end) with
    // XWayland: X programs run on XWayland's own display (displayName()), weston's window manager
    // places their windows, and the user's pointer and keys and the pictures of the screen are
    // the X server's.
    westonXWayland,
    // The same with weston's own panel where its configuration puts it by default, along the top.
    westonWithPanel,
    // GNOME's compositor, mutter, without its shell, nested in a window over the whole X server
    // with XWayland, as weston is.
    mutterXWayland,
    // KDE's compositor, KWin, without Plasma, nested likewise.
    kwinXWayland,
};

// The desktop's name in a parameterised test's name and in its screenshots' file names.
inline std::string desktopName(Desktop desktop) {
    switch (desktop) {
    case Desktop::openboxWithPanel:
        return "OpenboxWithPanel";
    case Desktop::openbox:
        return "Openbox";
    case Desktop::xfwm4WithoutCompositor:
        return "Xfwm4";
    case Desktop::xfwm4WithCompositor:
        return "Xfwm4Compositing";
    case Desktop::i3WithBar:
        return "I3";
    case Desktop::bare:
        return "BareServer";
    case Desktop::picomWithShadows:
        return "Picom";
    case Desktop::westonXWayland:
        return "Weston";
    case Desktop::westonWithPanel:
        return "WestonWithPanel";
    case Desktop::mutterXWayland:
        return "Mutter";
    case Desktop::kwinXWayland:
        return "KWin";
    }
    return "Unknown";
}

// A real desktop on a private X server. Its window manager (and panel) are started at
// construction and ready (or reported failed) within a bound, and stopped with the object; they
// never read the user's own configuration.
class DesktopSession {
public:
    static constexpr int panelHeight = 30;

    explicit DesktopSession(const XvfbServer& xvfb, Desktop desktop = Desktop::openboxWithPanel)
        : displayName_(xvfb.displayName()) {
        std::filesystem::create_directory(runtime_);
        std::filesystem::permissions(runtime_, std::filesystem::perms::owner_all);
        const std::vector<std::pair<std::string, std::string>> environment = {
            {"DISPLAY", xvfb.displayName()},
            {"HOME", home_.path().string()},
            {"XDG_CONFIG_HOME", (home_.path() / "config").string()},
            {"XDG_RUNTIME_DIR", runtime_.string()}};
        // Other programs' windows come and go while they are looked at (a panel starting): a
        // window gone before its property is read is nobody's fault.
        XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
        Display* display = XOpenDisplay(xvfb.displayName().c_str());
        if (!display) {
            failure_ = "cannot open " + xvfb.displayName();
            return;
        }
        switch (desktop) {
        case Desktop::openboxWithPanel:
        case Desktop::openbox:
            startWindowManager(display, {"openbox", "--sm-disable"}, environment);
            if (isReady() && desktop == Desktop::openboxWithPanel)
                startTint2(display, environment);
            break;
        case Desktop::xfwm4WithoutCompositor:
        case Desktop::xfwm4WithCompositor: {
            const bool compositing = desktop == Desktop::xfwm4WithCompositor;
            // xfwm4 reads its settings over a session bus and gives up without one.
            startWindowManager(display,
                               {"dbus-run-session", "--", "xfwm4",
                                compositing ? "--compositor=on" : "--compositor=off",
                                "--sm-client-disable"},
                               environment);
            if (isReady() && compositing && !waitFor([&] {
                    return XGetSelectionOwner(display,
                                              XInternAtom(display, "_NET_WM_CM_S0", False)) != None;
                }))
                failure_ = "xfwm4 did not take the screen's compositing";
            break;
        }
        case Desktop::i3WithBar: {
            const auto config = home_.path() / "i3config";
            std::ofstream(config) << "# i3 config file (v4)\n"
                                  << "font pango:DejaVu Sans 9\n"
                                  << "bar {\n  position top\n  status_command true\n"
                                  << "  tray_output none\n}\n";
            startWindowManager(display, {"i3", "-c", config.string()}, environment);
            if (isReady() && !waitFor([&] {
                    topReserved_ = topReserved(display, 1);
                    return topReserved_ > 0;
                }))
                failure_ = "i3bar reserved no strip along the top";
            break;
        }
        case Desktop::bare:
            break;
        case Desktop::picomWithShadows: {
            windowManager_.emplace(std::vector<std::string>{"picom", "--backend", "xrender",
                                                            "--shadow", "--config", "/dev/null"},
                                   environment);
            const Atom selection = XInternAtom(display, "_NET_WM_CM_S0", False);
            if (!waitFor([&] { return XGetSelectionOwner(display, selection) != None; }))
                failure_ = "picom did not take the screen";
            break;
        }
        case Desktop::westonXWayland:
        case Desktop::westonWithPanel:
            startWeston(xvfb, environment, desktop == Desktop::westonWithPanel);
            break;
        case Desktop::mutterXWayland:
            startMutter(xvfb, environment);
            break;
        case Desktop::kwinXWayland:
            startKWin(xvfb, environment);
            break;
        }
        XCloseDisplay(display);
    }

    // The display programs of this desktop run on: the X server's own, or XWayland's.
    const std::string& displayName() const { return displayName_; }
    // The variables a native Wayland program needs to show on this desktop (a compositor's only).
    const std::vector<std::pair<std::string, std::string>>& waylandEnvironment() const {
        return waylandEnvironment_;
    }
    bool isReady() const { return failure_.empty(); }
    const std::string& failure() const { return failure_; }
    // How many pixels the desktop's own panel reserves along the top edge: 0 without one.
    int topReserved() const { return topReserved_; }
    // Holds the window manager (and its panel) still, or lets it go on: a manager slow to answer
    // on a loaded machine, which maps and places nothing meanwhile.
    void pauseWindowManager(bool paused) {
        if (windowManager_)
            windowManager_->setPaused(paused);
    }

private:
    static constexpr auto patience = std::chrono::seconds(10);
    // A compositor drawing with the processor on a loaded machine starts slower.
    static constexpr auto compositorPatience = std::chrono::seconds(30);
    static constexpr const char* waylandSocket = "wayland-desktop";

    template <typename Condition>
    static bool waitFor(Condition condition, std::chrono::seconds bound = patience) {
        const auto deadline = std::chrono::steady_clock::now() + bound;
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

    void startWindowManager(Display* display, std::vector<std::string> arguments,
                            const std::vector<std::pair<std::string, std::string>>& environment) {
        const std::string name = arguments.front();
        windowManager_.emplace(std::move(arguments), environment);
        if (!waitFor([&] { return hasWindowManager(display); })) {
            failure_ = name + " did not take over the display";
            return;
        }
        // i3 takes windows at once, and its bar shows when it is ready.
        if (name != "i3")
            waitUntilManaging(display, name, patience);
    }

    // A stacking manager announces itself before it manages: a window mapped in between may
    // never be shown. Ready means a probe window has been taken into its client list.
    void waitUntilManaging(Display* display, const std::string& name, std::chrono::seconds bound) {
        const ::Window probe =
            XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 10, 10, 0, 0, 0);
        XMapWindow(display, probe);
        XFlush(display);
        int looks = 0;
        const bool manages = waitFor(
            [&] {
                const auto clients =
                    property(display, DefaultRootWindow(display), "_NET_CLIENT_LIST", XA_WINDOW);
                if (std::find(clients.begin(), clients.end(), long(probe)) != clients.end())
                    return true;
                // A map request it dropped while starting is asked again.
                if (++looks % 10 == 0) {
                    XUnmapWindow(display, probe);
                    XMapWindow(display, probe);
                    XFlush(display);
                }
                return false;
            },
            bound);
        XDestroyWindow(display, probe);
        XSync(display, False);
        if (!manages)
            failure_ = name + " manages no window";
    }

    void startTint2(Display* display,
                    const std::vector<std::pair<std::string, std::string>>& environment) {
        const auto config = home_.path() / "tint2rc";
        std::ofstream(config) << "panel_items = T\n"
                              << "panel_size = 100% " << panelHeight << "\n"
                              << "panel_position = top center horizontal\n"
                              << "panel_layer = top\n"
                              << "strut_policy = follow_size\n"
                              << "autohide = 0\n";
        panel_.emplace(std::vector<std::string>{"tint2", "-c", config.string()}, environment);
        if (waitFor([&] { return topReserved(display, panelHeight) >= panelHeight; }))
            topReserved_ = panelHeight;
        else
            failure_ = "tint2 reserved no strip along the top";
    }

    void startWeston(const XvfbServer& xvfb,
                     const std::vector<std::pair<std::string, std::string>>& environment,
                     bool panel) {
        const auto config = home_.path() / "weston.ini";
        const auto log = home_.path() / "weston.log";
        // Never idle: weston would lock the screen after five minutes.
        std::ofstream(config) << "[core]\nxwayland=true\nidle-time=0\n"
                              << "[shell]\n"
                              << (panel ? "" : "panel-position=none\n")
                              << "background-color=0xff2e6b8f\nstartup-animation=none\n"
                              << "[input-method]\npath=\n";
        windowManager_.emplace(
            std::vector<std::string>{"weston", "--backend=x11-backend.so", "--xwayland",
                                     "--socket=" + std::string(waylandSocket),
                                     "--config=" + config.string(), "--log=" + log.string(),
                                     "--width=" + std::to_string(xvfb.width()),
                                     "--height=" + std::to_string(xvfb.height())},
            environment);
        // weston names XWayland's display in its log once it listens there, and starts
        // XWayland when a first client knocks.
        const std::string listening = "xserver listening on display ";
        if (!waitFor([&] {
                const std::string text = fileText(log);
                const auto at = text.find(listening);
                if (at == std::string::npos)
                    return false;
                const auto end = text.find('\n', at);
                if (end == std::string::npos)
                    return false;
                displayName_ = text.substr(at + listening.size(), end - at - listening.size());
                return true;
            })) {
            failure_ = "weston offered no XWayland display";
            return;
        }
        if (!knock(displayName_) ||
            !waitFor([&] { return fileText(log).find("created wm") != std::string::npos; })) {
            failure_ = "XWayland did not start on " + displayName_;
            return;
        }
        // weston keeps no client list on the root window to probe.
        finishXWayland(xvfb, "weston", false);
    }

    void startMutter(const XvfbServer& xvfb,
                     std::vector<std::pair<std::string, std::string>> environment) {
        const auto log = home_.path() / "mutter.log";
        // Settings from memory: nothing asks the bus to start dconf's service. mutter's nested
        // window takes the size of its one pretend monitor.
        environment.push_back({"GSETTINGS_BACKEND", "memory"});
        environment.push_back({"MUTTER_DEBUG_DUMMY_MODE_SPECS",
                               std::to_string(xvfb.width()) + "x" + std::to_string(xvfb.height())});
        // mutter will not start without a session bus; it and the bus leave with the session.
        windowManager_.emplace(
            std::vector<std::string>{"dbus-run-session", "--", "mutter", "--nested", "--sm-disable",
                                     "--wayland-display=" + std::string(waylandSocket)},
            environment, log);
        const std::string announced = "Using public X11 display ";
        if (!waitFor(
                [&] {
                    const std::string text = fileText(log);
                    const auto at = text.find(announced);
                    const auto end = text.find(',', at);
                    if (at == std::string::npos || end == std::string::npos)
                        return false;
                    displayName_ = text.substr(at + announced.size(), end - at - announced.size());
                    return true;
                },
                compositorPatience)) {
            failure_ = "mutter offered no XWayland display";
            return;
        }
        // mutter's XWayland lets in only clients that show the key it keeps in the runtime folder;
        // the session shows it once and opens the display to the machine's other clients, as the
        // test's own X server is.
        std::filesystem::path key;
        for (const auto& entry : std::filesystem::directory_iterator(runtime_))
            if (entry.path().filename().string().starts_with(".mutter-Xwaylandauth."))
                key = entry.path();
        if (key.empty()) {
            failure_ = "mutter keeps no key to its XWayland display";
            return;
        }
        {
            const ScopedEnvironment authority("XAUTHORITY", key.string());
            Display* display = XOpenDisplay(displayName_.c_str());
            if (!display) {
                failure_ = "cannot open mutter's XWayland display " + displayName_;
                return;
            }
            XSetAccessControl(display, DisableAccess);
            XCloseDisplay(display);
        }
        finishXWayland(xvfb, "mutter", true);
    }

    void startKWin(const XvfbServer& xvfb,
                   const std::vector<std::pair<std::string, std::string>>& environment) {
        // kwin_wayland carries a file capability (CAP_SYS_RESOURCE); where the bounding set
        // lacks it, as in many containers, the kernel refuses to run it at all. A copy carries
        // none, and keeps the name its own Qt platform plugin insists on.
        const auto kwin = home_.path() / "kwin_wayland";
        std::error_code error;
        std::filesystem::copy_file(onPath("kwin_wayland"), kwin, error);
        if (error) {
            failure_ = "kwin_wayland is not installed";
            return;
        }
        // KWin starts the programs it is given in sessions of their own, past the reach of a
        // stop: the one given only writes down the display XWayland serves, and leaves.
        const auto reporter = home_.path() / "report-display";
        const auto report = home_.path() / "display";
        std::ofstream(reporter) << "#!/bin/sh\nprintf %s \"$DISPLAY\" >'" << report.string()
                                << ".new' && mv '" << report.string() << ".new' '"
                                << report.string() << "'\n";
        std::filesystem::permissions(reporter, std::filesystem::perms::owner_all);
        windowManager_.emplace(
            std::vector<std::string>{
                "dbus-run-session", "--", kwin.string(), "--x11-display", xvfb.displayName(),
                "--width", std::to_string(xvfb.width()), "--height", std::to_string(xvfb.height()),
                "--xwayland", "--socket", waylandSocket, "--no-lockscreen", reporter.string()},
            environment, home_.path() / "kwin.log");
        if (!waitFor(
                [&] {
                    displayName_ = fileText(report);
                    return !displayName_.empty();
                },
                compositorPatience)) {
            failure_ = "KWin offered no XWayland display";
            return;
        }
        finishXWayland(xvfb, "KWin", true);
    }

    // Ready once the compositor's window manager has taken XWayland's display and, where it
    // lists its clients, manages windows there.
    void finishXWayland(const XvfbServer& xvfb, const std::string& name, bool listsClients) {
        Display* display = XOpenDisplay(displayName_.c_str());
        if (!display) {
            failure_ = "cannot open " + name + "'s XWayland display " + displayName_;
            return;
        }
        if (!waitFor([&] { return hasWindowManager(display); }, compositorPatience))
            failure_ = name + "'s window manager did not take XWayland's display";
        else if (listsClients)
            waitUntilManaging(display, name, compositorPatience);
        XCloseDisplay(display);
        waylandEnvironment_ = {{"WAYLAND_DISPLAY", waylandSocket},
                               {"XDG_RUNTIME_DIR", runtime_.string()}};
        enterOutput(xvfb);
    }

    static std::filesystem::path onPath(const std::string& program) {
        const char* path = std::getenv("PATH");
        std::string folders = path ? path : "/usr/bin";
        for (std::size_t start = 0; start <= folders.size();) {
            const auto end = std::min(folders.find(':', start), folders.size());
            const auto candidate =
                std::filesystem::path(folders.substr(start, end - start)) / program;
            if (access(candidate.c_str(), X_OK) == 0)
                return candidate;
            start = end + 1;
        }
        return program;
    }

    // weston follows the X server's pointer over its output from the moment it enters there:
    // the pointer leaves for a window of the session's own and comes back.
    static void enterOutput(const XvfbServer& xvfb) {
        Display* display = XOpenDisplay(xvfb.displayName().c_str());
        if (!display)
            return;
        XSetWindowAttributes attributes{};
        attributes.override_redirect = True;
        const ::Window aside =
            XCreateWindow(display, DefaultRootWindow(display), 0, 0, 4, 4, 0, CopyFromParent,
                          InputOnly, CopyFromParent, CWOverrideRedirect, &attributes);
        XMapRaised(display, aside);
        XWarpPointer(display, None, DefaultRootWindow(display), 0, 0, 0, 0, 1, 1);
        XSync(display, False);
        XDestroyWindow(display, aside);
        XWarpPointer(display, None, DefaultRootWindow(display), 0, 0, 0, 0, xvfb.width() / 2,
                     xvfb.height() / 2);
        XCloseDisplay(display);
    }

    static std::string fileText(const std::filesystem::path& path) {
        std::ifstream in(path);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    // Connects to a display's socket and leaves at once: enough for a server started on demand.
    static bool knock(const std::string& displayName) {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const std::string path = "/tmp/.X11-unix/X" + displayName.substr(1);
        if (path.size() >= sizeof(address.sun_path))
            return false;
        std::copy(path.begin(), path.end(), address.sun_path);
        const int socket = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (socket < 0)
            return false;
        const bool connected =
            connect(socket, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0;
        close(socket);
        return connected;
    }

    static bool hasWindowManager(Display* display) {
        return !property(display, DefaultRootWindow(display), "_NET_SUPPORTING_WM_CHECK", XA_WINDOW)
                    .empty();
    }

    static int topStrutBelow(Display* display, ::Window window, int depth) {
        int largest = 0;
        ::Window root = 0, parent = 0, *children = nullptr;
        unsigned count = 0;
        if (depth == 0 || !XQueryTree(display, window, &root, &parent, &children, &count))
            return 0;
        for (unsigned i = 0; i < count; ++i) {
            const auto strut = property(display, children[i], "_NET_WM_STRUT_PARTIAL", XA_CARDINAL);
            largest = std::max(largest, strut.size() >= 4
                                            ? int(strut[2])
                                            : topStrutBelow(display, children[i], depth - 1));
        }
        if (children)
            XFree(children);
        return largest;
    }

    // The largest top strut a client reserves, once one reserves at least `atLeast` pixels.
    static int topReserved(Display* display, int atLeast) {
        int largest = 0;
        for (long client :
             property(display, DefaultRootWindow(display), "_NET_CLIENT_LIST", XA_WINDOW)) {
            const auto strut =
                property(display, ::Window(client), "_NET_WM_STRUT_PARTIAL", XA_CARDINAL);
            if (strut.size() >= 4)
                largest = std::max(largest, int(strut[2]));
        }
        // i3 lists no docks among its clients and reparents them: look two levels down.
        if (largest == 0)
            largest = topStrutBelow(display, DefaultRootWindow(display), 2);
        return largest >= atLeast ? largest : 0;
    }

    TemporaryDirectory home_;
    const std::filesystem::path runtime_ = home_.path() / "run";
    std::string displayName_;
    std::vector<std::pair<std::string, std::string>> waylandEnvironment_;
    std::optional<ChildProcess> windowManager_;
    std::optional<ChildProcess> panel_;
    std::string failure_;
    int topReserved_ = 0;
};

} // namespace testsupport
