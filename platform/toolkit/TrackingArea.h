#pragma once

#include "platform/graphics/Geometry.h"

#include <cstdint>

namespace ui {

class View;

// Tracking-area options as fixed bits callers may write plainly (0x283 is entered/exited, moved,
// always active, in the visible rect).
using TrackingOptions = std::uint32_t;

namespace Tracking {
inline constexpr TrackingOptions mouseEnteredAndExited = 0x01;
inline constexpr TrackingOptions mouseMoved = 0x02;
inline constexpr TrackingOptions cursorUpdate = 0x04;
inline constexpr TrackingOptions activeWhenFirstResponder = 0x10;
inline constexpr TrackingOptions activeInKeyWindow = 0x20;
inline constexpr TrackingOptions activeInActiveApp = 0x40;
inline constexpr TrackingOptions activeAlways = 0x80;
inline constexpr TrackingOptions assumeInside = 0x100;
inline constexpr TrackingOptions inVisibleRect = 0x200;
inline constexpr TrackingOptions enabledDuringMouseDrag = 0x400;
} // namespace Tracking

// A region of a view that reports the pointer entering, moving in and leaving it to its owner.
// The owner is not owned; a view removes its areas when it goes away.
class TrackingArea {
public:
    TrackingArea(const gfx::Rect& rect, TrackingOptions options, View* owner)
        : rect_(rect), options_(options), owner_(owner),
          inside_((options & Tracking::assumeInside) != 0) {}

    // In the owner's coordinates; ignored with inVisibleRect, which follows the visible rect.
    const gfx::Rect& rect() const { return rect_; }
    TrackingOptions options() const { return options_; }
    View* owner() const { return owner_; }

private:
    friend class Window;
    gfx::Rect rect_;
    TrackingOptions options_;
    View* owner_;
    bool inside_;
};

} // namespace ui
