#pragma once

#include "platform/foundation/PropertyValue.h"
#include "platform/graphics/Geometry.h"

#include <map>
#include <optional>
#include <string_view>

namespace ui {

// The keys of one window's entry in the window list.
namespace WindowInfoKey {
// A dictionary of "x", "y", "width" and "height": the window's frame in the global point space
// of the screens (origin at the primary screen's bottom-left corner, y up).
inline constexpr std::string_view bounds = "bounds";
// Integer; 0 for ordinary application windows.
inline constexpr std::string_view layer = "layer";
// Integer: the process that owns the window.
inline constexpr std::string_view ownerPID = "ownerPID";
// Real, 0…1.
inline constexpr std::string_view alpha = "alpha";
// Boolean; may be absent.
inline constexpr std::string_view onScreen = "onScreen";
} // namespace WindowInfoKey

// Window layers: ordinary windows sit on layer 0; docks, panels kept above and menus sit on
// others.
namespace WindowLayer {
inline constexpr int normal = 0;
inline constexpr int dock = 20;
inline constexpr int overlay = 101;
} // namespace WindowLayer

// One window as a window list reports it.
struct WindowListEntry {
    gfx::Rect bounds;
    int layer = WindowLayer::normal;
    double alpha = 1;
    int ownerPID = 0;
    bool onScreen = true;
};

// The entry as the dictionary the window list hands out.
foundation::PropertyDictionary windowInfo(const WindowListEntry& entry);

// The window server's list of the windows on screen, of every application, desktop elements
// (the desktop's own background windows) left out, front to back, each entry a dictionary of
// WindowInfoKey. Main thread only.
class WindowList {
public:
    virtual ~WindowList() = default;
    // None when the list cannot be had.
    virtual std::optional<foundation::PropertyArray> onScreenWindows() = 0;
    // Each display's whole bounds by display number, in the space of the windows' bounds: what a
    // full-screen window covers, panels and their reserved strips included. By default the
    // screens' frames, which are whole displays where no panel trims them.
    virtual std::map<int, gfx::Rect> displayBounds();
};

} // namespace ui
