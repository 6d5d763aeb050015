#pragma once

#include "platform/dispatch/RunLoop.h"
#include "platform/dispatch/Timer.h"
#include "platform/foundation/PropertyValue.h"
#include "platform/graphics/Geometry.h"
#include "platform/toolkit/Screen.h"
#include "platform/toolkit/WindowList.h"
#include "platform/toolkit/Workspace.h"

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <vector>

namespace pulsedeck {

// One window of the window list, as far as full-screen detection asks.
struct FullscreenWindowGeometry {
    gfx::Rect frame;
    int layer = 0;
    double alpha = 1;
    int owner = 0;
    bool onScreen = false;

    bool operator==(const FullscreenWindowGeometry&) const = default;

    // The bounds, layer, owner and alpha are required (none without one of them); a missing or
    // non-Boolean on-screen entry reads as off screen.
    static std::optional<FullscreenWindowGeometry> make(const foundation::PropertyDictionary& info);
};

// The displays (by number) that some window of another process covers: an ordinary window
// (layer 0), on screen, nearly opaque (alpha above 0.9), with a finite frame within 2 points of
// the display's bounds on each of x, y, width and height. Displays without area never count.
std::set<int> fullscreenDisplayIDs(const std::vector<FullscreenWindowGeometry>& windows,
                                   const std::map<int, gfx::Rect>& displays, int ownPID);

// Finds the displays on which another application shows a full-screen window, so the status item
// and the floating bar can step aside there. While enabled it scans the window list twice a
// second and right after a space change, an application activation or a wake, and calls
// `changed` whenever the set of displays changes. Main thread only.
class FullscreenMonitor {
public:
    static constexpr double scanInterval = 0.5;
    static constexpr double scanTolerance = 0.1;

    // No window list: every scan finds the list missing and changes nothing.
    explicit FullscreenMonitor(std::shared_ptr<ui::WindowList> windows, int ownPID = currentPID(),
                               dispatch::RunLoop& loop = dispatch::RunLoop::main());
    ~FullscreenMonitor();
    FullscreenMonitor(const FullscreenMonitor&) = delete;
    FullscreenMonitor& operator=(const FullscreenMonitor&) = delete;

    // Called after displayIDs changed.
    std::function<void()> changed;

    // Always stops first. On: observes the workspace, starts the timer and scans at once. Off:
    // a non-empty set is emptied and reported, so everything hidden shows again.
    void setEnabled(bool enabled);
    // Ends the timer and the observations; the set stays as it is.
    void stop();
    // A scan on the main queue, soon, while the monitor still exists.
    void scheduleScan();
    // Recomputes the set; nothing while disabled or when the window list cannot be had.
    void scan();

    bool isEnabled() const { return timer_ != nullptr; }
    std::size_t observationCount() const { return observations_.size(); }
    const std::set<int>& displayIDs() const { return displayIDs_; }
    // A screen without a display number (0) is never full-screen.
    bool isFullscreen(const ui::Screen& screen) const;
    // The first screen holding the rectangle's centre decides; none holds it: false.
    bool isFullscreen(const gfx::Rect& rect) const;

    static int currentPID();

private:
    std::shared_ptr<ui::WindowList> windows_;
    int ownPID_;
    dispatch::RunLoop& loop_;
    std::unique_ptr<dispatch::Timer> timer_;
    ui::Workspace* observedWorkspace_ = nullptr;
    std::vector<ui::Workspace::ObserverToken> observations_;
    std::set<int> displayIDs_;
    // Lets the timer, the observers and scheduled scans find out that the monitor is gone.
    std::shared_ptr<FullscreenMonitor*> self_ = std::make_shared<FullscreenMonitor*>(this);
};

} // namespace pulsedeck
