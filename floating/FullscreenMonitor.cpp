#include "floating/FullscreenMonitor.h"

#include "platform/toolkit/Application.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <unistd.h>

namespace pulsedeck {

namespace {

// How far a window's frame may miss the display's and still cover it, in points.
constexpr double coverTolerance = 2.0;
// Windows at or below this alpha let the desktop show through; they do not hide anything.
constexpr double opaqueAlpha = 0.9;

const foundation::PropertyValue* entry(const foundation::PropertyDictionary& info,
                                       std::string_view key) {
    const auto found = info.find(key);
    return found == info.end() ? nullptr : &found->second;
}

std::optional<gfx::Rect> boundsOf(const foundation::PropertyValue* value) {
    const auto* bounds = value ? value->asDictionary() : nullptr;
    if (!bounds)
        return std::nullopt;
    double parts[4];
    const char* names[4] = {"x", "y", "width", "height"};
    for (int i = 0; i < 4; ++i) {
        const auto* part = entry(*bounds, names[i]);
        const auto number = part && part->isNumber() ? part->asDouble() : std::nullopt;
        if (!number)
            return std::nullopt;
        parts[i] = *number;
    }
    return gfx::Rect{parts[0], parts[1], parts[2], parts[3]};
}

bool covers(const gfx::Rect& frame, const gfx::Rect& display) {
    return std::fabs(frame.x() - display.x()) <= coverTolerance &&
           std::fabs(frame.y() - display.y()) <= coverTolerance &&
           std::fabs(frame.width() - display.width()) <= coverTolerance &&
           std::fabs(frame.height() - display.height()) <= coverTolerance;
}

bool isFinite(const gfx::Rect& rect) {
    return std::isfinite(rect.x()) && std::isfinite(rect.y()) && std::isfinite(rect.width()) &&
           std::isfinite(rect.height());
}

} // namespace

std::optional<FullscreenWindowGeometry>
FullscreenWindowGeometry::make(const foundation::PropertyDictionary& info) {
    const auto frame = boundsOf(entry(info, ui::WindowInfoKey::bounds));
    const auto* layer = entry(info, ui::WindowInfoKey::layer);
    const auto* owner = entry(info, ui::WindowInfoKey::ownerPID);
    const auto* alpha = entry(info, ui::WindowInfoKey::alpha);
    if (!frame || !layer || !layer->isInteger() || !owner || !owner->isInteger() || !alpha ||
        !alpha->isNumber())
        return std::nullopt;
    const auto pid = *owner->asInteger();
    if (pid < INT32_MIN || pid > INT32_MAX)
        return std::nullopt;
    const auto* onScreen = entry(info, ui::WindowInfoKey::onScreen);
    FullscreenWindowGeometry geometry;
    geometry.frame = *frame;
    geometry.layer =
        static_cast<int>(std::clamp<std::int64_t>(*layer->asInteger(), INT32_MIN, INT32_MAX));
    geometry.alpha = *alpha->asDouble();
    geometry.owner = static_cast<int>(pid);
    geometry.onScreen = onScreen && onScreen->isBool() && *onScreen->asBool();
    return geometry;
}

std::set<int> fullscreenDisplayIDs(const std::vector<FullscreenWindowGeometry>& windows,
                                   const std::map<int, gfx::Rect>& displays, int ownPID) {
    std::set<int> found;
    for (const auto& [display, bounds] : displays) {
        if (!(bounds.width() > 0 && bounds.height() > 0))
            continue;
        for (const auto& window : windows) {
            if (window.owner != ownPID && window.layer == 0 && window.onScreen &&
                window.alpha > opaqueAlpha && isFinite(window.frame) &&
                covers(window.frame, bounds)) {
                found.insert(display);
                break;
            }
        }
    }
    return found;
}

int FullscreenMonitor::currentPID() {
    return static_cast<int>(getpid());
}

FullscreenMonitor::FullscreenMonitor(std::shared_ptr<ui::WindowList> windows, int ownPID,
                                     dispatch::RunLoop& loop)
    : windows_(std::move(windows)), ownPID_(ownPID), loop_(loop) {}

FullscreenMonitor::~FullscreenMonitor() {
    stop();
}

void FullscreenMonitor::setEnabled(bool enabled) {
    stop();
    if (!enabled) {
        if (!displayIDs_.empty()) {
            displayIDs_.clear();
            if (changed)
                changed();
        }
        return;
    }
    const std::weak_ptr<FullscreenMonitor*> weak = self_;
    if (auto* app = ui::Application::current()) {
        observedWorkspace_ = &app->workspace();
        for (auto name : {ui::WorkspaceNotification::activeSpaceDidChange,
                          ui::WorkspaceNotification::didActivateApplication,
                          ui::WorkspaceNotification::didWake})
            observations_.push_back(observedWorkspace_->addObserver(name, [weak] {
                if (auto self = weak.lock())
                    (*self)->scheduleScan();
            }));
    }
    timer_ = std::make_unique<dispatch::Timer>(
        scanInterval, true,
        [weak] {
            if (auto self = weak.lock())
                (*self)->scan();
        },
        dispatch::commonModes, loop_);
    timer_->setTolerance(scanTolerance);
    scan();
}

void FullscreenMonitor::stop() {
    if (timer_) {
        timer_->invalidate();
        timer_.reset();
    }
    if (observedWorkspace_ && ui::Application::current())
        for (auto token : observations_)
            observedWorkspace_->removeObserver(token);
    observations_.clear();
    observedWorkspace_ = nullptr;
}

void FullscreenMonitor::scheduleScan() {
    loop_.queue().async([weak = std::weak_ptr<FullscreenMonitor*>(self_)] {
        if (auto self = weak.lock())
            (*self)->scan();
    });
}

void FullscreenMonitor::scan() {
    if (!timer_)
        return;
    if (!windows_)
        return;
    // A full-screen window covers the whole display, the strips other panels reserve included,
    // so it is compared with the display's bounds, not with the screen's frame those trim.
    const auto bounds = windows_->displayBounds();
    std::map<int, gfx::Rect> displays;
    for (const auto& screen : ui::Screen::screens())
        if (const auto found = bounds.find(screen.displayNumber());
            screen.displayNumber() != 0 && found != bounds.end())
            displays.emplace(*found);

    const auto list = windows_->onScreenWindows();
    if (!list)
        return;
    std::vector<FullscreenWindowGeometry> windows;
    for (const auto& info : *list) {
        const auto* dictionary = info.asDictionary();
        if (!dictionary)
            return;
        if (auto geometry = FullscreenWindowGeometry::make(*dictionary))
            windows.push_back(*geometry);
    }

    auto found = fullscreenDisplayIDs(windows, displays, ownPID_);
    if (found == displayIDs_)
        return;
    displayIDs_ = std::move(found);
    if (changed)
        changed();
}

bool FullscreenMonitor::isFullscreen(const ui::Screen& screen) const {
    return screen.displayNumber() != 0 && displayIDs_.contains(screen.displayNumber());
}

bool FullscreenMonitor::isFullscreen(const gfx::Rect& rect) const {
    for (const auto& screen : ui::Screen::screens())
        if (screen.frame().contains(rect.center()))
            return isFullscreen(screen);
    return false;
}

} // namespace pulsedeck
