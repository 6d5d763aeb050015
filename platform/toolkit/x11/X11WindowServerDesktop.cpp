#include "platform/toolkit/StatusBar.h"
#include "platform/toolkit/x11/SettingsPortal.h"
#include "platform/toolkit/x11/WestonPanel.h"
#include "platform/toolkit/x11/X11WindowServerPrivate.h"

#include <X11/Xatom.h>
#include <X11/extensions/Xrandr.h>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <string_view>

// The desktop around our windows: the monitors and what other panels reserve on them, the
// desktop's settings, and the notices the desktop sends (space, activation, wake).

namespace ui::x11 {

namespace {

// A suspend advances the boot-time clock but not the monotonic one; a jump between them larger
// than this is a wake.
constexpr double wakeJump = 2.0;

} // namespace

std::vector<unsigned char> windowProperty(Display* display, ::Window window, Atom property,
                                          Atom type, int& format) {
    std::vector<unsigned char> bytes;
    Atom actualType = 0;
    unsigned long count = 0, remaining = 0;
    unsigned char* data = nullptr;
    format = 0;
    // Big enough for any strut, settings blob or client list we read.
    constexpr long maximumLongs = 1 << 16;
    if (XGetWindowProperty(display, window, property, 0, maximumLongs, False, type, &actualType,
                           &format, &count, &remaining, &data) != Success)
        return bytes;
    if (data && count > 0 && (type == AnyPropertyType || actualType == type)) {
        // Xlib hands 32-bit items back as longs.
        const std::size_t itemSize = format == 32 ? sizeof(long) : std::size_t(format / 8);
        bytes.assign(data, data + count * itemSize);
    }
    if (data)
        XFree(data);
    return bytes;
}

std::vector<long> cardinals(Display* display, ::Window window, Atom property, Atom type) {
    int format = 0;
    const auto bytes = windowProperty(display, window, property, type, format);
    std::vector<long> values;
    if (format != 32)
        return values;
    values.resize(bytes.size() / sizeof(long));
    std::memcpy(values.data(), bytes.data(), values.size() * sizeof(long));
    return values;
}

double clockSeconds(clockid_t clock) {
    timespec time{};
    clock_gettime(clock, &time);
    return double(time.tv_sec) + double(time.tv_nsec) * 1e-9;
}

bool X11WindowServer::hasCompositor() const {
    return XGetSelectionOwner(display_, atoms_->compositorSelection) != None;
}

void X11WindowServer::readDesktop() {
    hasWindowManager_ =
        !cardinals(display_, root_, (*atoms_)[supportingWmCheck], XA_WINDOW).empty();
    rootWidth_ = DisplayWidth(display_, screenNumber_);
    rootHeight_ = DisplayHeight(display_, screenNumber_);
    monitors_.clear();
    xwayland_ = false;
    if (randrEventBase_ >= 0) {
        int count = 0;
        if (XRRMonitorInfo* info = XRRGetMonitors(display_, root_, True, &count)) {
            for (int i = 0; i < count; ++i) {
                monitors_.push_back(
                    {info[i].x, info[i].y, info[i].width, info[i].height, info[i].primary != 0});
                if (char* name = info[i].name ? XGetAtomName(display_, info[i].name) : nullptr) {
                    xwayland_ = xwayland_ || std::string_view(name).starts_with("XWAYLAND");
                    XFree(name);
                }
            }
            XRRFreeMonitors(info);
        }
    }
    if (monitors_.empty())
        monitors_.push_back({0, 0, rootWidth_, rootHeight_, true});
    monitors_ = primaryFirst(std::move(monitors_));
    int scale = 1;
    if (options_.backingScale) {
        scale = std::max(1, *options_.backingScale);
    } else {
        std::optional<double> dpi;
        if (const char* resources = XResourceManagerString(display_))
            dpi = xftDpiFromResources(resources);
        scale = backingScaleFrom(xsettings_, dpi);
    }
    geometry_ = RootGeometry(monitors_.front(), scale);
    compositorPanels_.clear();
    if (hasWindowManager_ && windowManagerName() == "Weston WM")
        if (const auto weston = serverProcess(ConnectionNumber(display_)))
            if (const auto panel = runningWestonPanel(*weston))
                compositorPanels_ = westonPanelDocks(*panel, monitors_, rootWidth_, rootHeight_);
    screens_.reset();
}

std::string X11WindowServer::windowManagerName() const {
    const auto check = cardinals(display_, root_, (*atoms_)[supportingWmCheck], XA_WINDOW);
    if (check.empty())
        return {};
    int format = 0;
    const auto name = windowProperty(display_, ::Window(check[0]), (*atoms_)[wmName],
                                     (*atoms_)[utf8String], format);
    return format == 8 ? std::string(name.begin(), name.end()) : std::string();
}

void X11WindowServer::refreshScreens() {
    const auto before = screens_.value_or(std::vector<ScreenDescription>{});
    screens_.reset();
    if (screens() == before)
        return;
    post(ServerNotice::screensChanged);
}

std::vector<Dock> X11WindowServer::otherDocks() const {
    const auto childrenOf = [this](::Window window) {
        std::vector<::Window> found;
        ::Window rootReturn = 0, parent = 0;
        ::Window* children = nullptr;
        unsigned count = 0;
        if (XQueryTree(display_, window, &rootReturn, &parent, &children, &count)) {
            found.assign(children, children + count);
            if (children)
                XFree(children);
        }
        return found;
    };
    std::vector<::Window> candidates;
    const auto clients = cardinals(display_, root_, (*atoms_)[clientList], XA_WINDOW);
    if (!clients.empty()) {
        candidates.assign(clients.begin(), clients.end());
        // A tiling manager may list no docks among its clients (i3): it holds them in frames of
        // its own. Missed, a panel there reserved nothing, and where the bar stood below it was
        // known only once the manager had shown the bar there and kept it there when asked
        // again, which a bar hidden from launch (a floating bar standing in) never is.
        for (const ::Window frame : childrenOf(root_))
            for (const ::Window inside : childrenOf(frame))
                if (std::find(clients.begin(), clients.end(), long(inside)) == clients.end())
                    candidates.push_back(inside);
    } else {
        // Without a window manager the docks are the root's own children.
        candidates = childrenOf(root_);
    }
    std::vector<Dock> docks;
    for (::Window candidate : candidates) {
        if (isOurs(candidate))
            continue;
        std::optional<Strut> strut;
        const auto partial = cardinals(display_, candidate, (*atoms_)[wmStrutPartial], XA_CARDINAL);
        if (partial.size() >= 12) {
            strut = Strut{partial[0], partial[1], partial[2], partial[3], partial[4],  partial[5],
                          partial[6], partial[7], partial[8], partial[9], partial[10], partial[11]};
        } else if (const auto plain =
                       cardinals(display_, candidate, (*atoms_)[wmStrut], XA_CARDINAL);
                   plain.size() >= 4) {
            strut = Strut::fullSpan(plain[0], plain[1], plain[2], plain[3]);
        }
        // A dock that vanished meanwhile reserves nothing.
        if (const auto area = strut ? rootArea(candidate) : std::nullopt)
            docks.push_back({clampedStrut(*strut, *area, rootWidth_, rootHeight_), *area});
    }
    docks.insert(docks.end(), compositorPanels_.begin(), compositorPanels_.end());
    return docks;
}

std::optional<long> X11WindowServer::windowlessTop(const std::vector<Dock>& docks) const {
    const MonitorArea& primary = monitors_.front();
    const auto desktop = cardinals(display_, root_, (*atoms_)[currentDesktop], XA_CARDINAL);
    const auto areas = cardinals(display_, root_, (*atoms_)[workArea], XA_CARDINAL);
    const std::size_t first = 4 * std::size_t(desktop.empty() ? 0 : std::max(0L, desktop[0]));
    if (areas.size() < first + 4 || areas[first + 1] <= primary.y ||
        areas[first] >= primary.x + primary.width || areas[first] + areas[first + 2] <= primary.x) {
        windowlessTop_.reset();
        return windowlessTop_;
    }
    // The work area leaves out every strut, ours included: a top where some dock's strut ends
    // says nothing of a panel without a window, and what such a panel was seen to reserve stands.
    const long top = areas[first + 1];
    const bool explained = reservedStrutBottoms_.count(top) ||
                           std::any_of(docks.begin(), docks.end(),
                                       [top](const Dock& dock) { return dock.strut.top == top; });
    if (!explained)
        windowlessTop_ = top;
    return windowlessTop_;
}

std::optional<RootGeometry::PixelRect> X11WindowServer::rootArea(unsigned long xid) const {
    XWindowAttributes attributes{};
    ::Window child = None;
    RootGeometry::PixelRect area;
    if (!XGetWindowAttributes(display_, xid, &attributes) ||
        !XTranslateCoordinates(display_, xid, root_, 0, 0, &area.x, &area.y, &child))
        return std::nullopt;
    area.width = attributes.width;
    area.height = attributes.height;
    return area;
}

std::vector<ScreenDescription> X11WindowServer::screens() const {
    if (!screens_) {
        const std::vector<Dock> docks = otherDocks();
        std::vector<Strut> struts;
        for (const Dock& dock : docks)
            struts.push_back(dock.strut);
        const long top = statusBarTop(monitors_.front(), docks, windowlessTop(docks),
                                      std::lround(StatusBar::barThickness * geometry_.scale()));
        // Where the window manager put the bar holds until what reserves the top changes.
        if (top != reservedBarTop_) {
            reservedBarTop_ = top;
            placedBarTop_.reset();
        }
        screens_ = describeScreens(monitors_, rootWidth_, rootHeight_, struts, geometry_.scale(),
                                   StatusBar::barThickness, placedBarTop_.value_or(top));
    }
    return *screens_;
}

void X11WindowServer::readXSettings() {
    xsettings_.reset();
    xsettingsOwner_ = XGetSelectionOwner(display_, atoms_->xsettingsSelection);
    if (xsettingsOwner_ == None)
        return;
    // Follow the manager's changes to its settings.
    XSelectInput(display_, xsettingsOwner_, PropertyChangeMask | StructureNotifyMask);
    int format = 0;
    const auto bytes = windowProperty(display_, xsettingsOwner_, (*atoms_)[xsettingsSettings],
                                      (*atoms_)[xsettingsSettings], format);
    if (format == 8)
        xsettings_ = parseXSettings(bytes);
}

std::optional<DesktopSettings> X11WindowServer::desktopSettings() const {
    DesktopSettings settings;
    const std::optional<bool> dark = portal_ ? portal_->prefersDark() : std::nullopt;
    settings.appearance =
        dark.value_or(themeIsDark(xsettings_)) ? gfx::Appearance::dark : gfx::Appearance::light;
    const std::optional<bool> animations = portal_ ? portal_->animationsEnabled() : std::nullopt;
    settings.reduceMotion = animations ? !*animations : animationsDisabled(xsettings_);
    // Translucency costs contrast; a user who asked for more contrast gets solid backgrounds,
    // and so does every user whose desktop cannot show what lies behind a window.
    settings.reduceTransparency =
        (portal_ && portal_->prefersHigherContrast().value_or(false)) || !showsWhatLiesBehind();
    return settings;
}

void X11WindowServer::checkWake() {
    const double now = clockSeconds(CLOCK_BOOTTIME) - clockSeconds(CLOCK_MONOTONIC);
    const bool woke = now - bootMinusMonotonic_ > wakeJump;
    bootMinusMonotonic_ = now;
    if (woke)
        post(ServerNotice::didWake);
}

} // namespace ui::x11
