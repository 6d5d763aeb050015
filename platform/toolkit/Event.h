#pragma once

#include "platform/graphics/Geometry.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace ui {

class Window;

// Event types with fixed numbers, so masks built as 1 << type match the callers' plain
// numbers (0x46 is left down, left up and left dragged).
enum class EventType : int {
    leftMouseDown = 1,
    leftMouseUp = 2,
    rightMouseDown = 3,
    rightMouseUp = 4,
    mouseMoved = 5,
    leftMouseDragged = 6,
    rightMouseDragged = 7,
    mouseEntered = 8,
    mouseExited = 9,
    keyDown = 10,
    keyUp = 11,
    flagsChanged = 12,
    scrollWheel = 22,
    otherMouseDown = 25,
    otherMouseUp = 26,
    otherMouseDragged = 27,
};

using EventMask = std::uint64_t;

constexpr EventMask eventMaskFor(EventType type) {
    return EventMask{1} << static_cast<int>(type);
}

namespace EventMasks {
inline constexpr EventMask leftMouseDown = eventMaskFor(EventType::leftMouseDown);
inline constexpr EventMask leftMouseUp = eventMaskFor(EventType::leftMouseUp);
inline constexpr EventMask rightMouseDown = eventMaskFor(EventType::rightMouseDown);
inline constexpr EventMask rightMouseUp = eventMaskFor(EventType::rightMouseUp);
inline constexpr EventMask mouseMoved = eventMaskFor(EventType::mouseMoved);
inline constexpr EventMask leftMouseDragged = eventMaskFor(EventType::leftMouseDragged);
inline constexpr EventMask keyDown = eventMaskFor(EventType::keyDown);
inline constexpr EventMask keyUp = eventMaskFor(EventType::keyUp);
inline constexpr EventMask otherMouseDown = eventMaskFor(EventType::otherMouseDown);
inline constexpr EventMask any = ~EventMask{0};
} // namespace EventMasks

// Modifier flags as fixed bits. The low 16 bits are device-dependent; callers
// compare flags & deviceIndependentMask.
using ModifierFlags = std::uint32_t;

namespace Modifier {
inline constexpr ModifierFlags capsLock = 1u << 16;
inline constexpr ModifierFlags shift = 1u << 17;
inline constexpr ModifierFlags control = 1u << 18;
inline constexpr ModifierFlags option = 1u << 19;
inline constexpr ModifierFlags command = 1u << 20;
inline constexpr ModifierFlags deviceIndependentMask = 0xffff0000u;
} // namespace Modifier

// Virtual key codes as fixed numbers; backends map their own key symbols onto them.
namespace KeyCode {
inline constexpr int returnKey = 36;
inline constexpr int tab = 48;
inline constexpr int space = 49;
inline constexpr int escape = 53;
inline constexpr int q = 12;
inline constexpr int leftArrow = 123;
inline constexpr int rightArrow = 124;
inline constexpr int downArrow = 125;
inline constexpr int upArrow = 126;
} // namespace KeyCode

// Bits of the pressed-mouse-buttons word: bit 0 is the left button.
namespace MouseButton {
inline constexpr unsigned left = 1u << 0;
inline constexpr unsigned right = 1u << 1;
inline constexpr unsigned other = 1u << 2;
} // namespace MouseButton

// One input event. Its time stamp is on the process's uptime clock (never the window system's),
// so it can be compared with systemUptime(). Locations are in points, y up.
class Event {
public:
    struct Fields {
        EventType type = EventType::mouseMoved;
        double timestamp = 0;
        // Where the event happened in global screen space (origin at the primary screen's
        // bottom-left).
        gfx::Point screenLocation;
        // The same place with the origin at the primary screen's top-left, y down, as the
        // window system's own event location reads.
        std::optional<gfx::Point> topLeftLocation;
        ModifierFlags modifierFlags = 0;
        int keyCode = 0;
        std::string characters;
        std::string charactersIgnoringModifiers;
        int clickCount = 0;
        int buttonNumber = 0;
        bool isARepeat = false;
        // Scroll-wheel events: how far to scroll, positive up (towards the top of a document)
        // and left; in points when precise, else in lines of the wheel.
        double scrollingDeltaX = 0;
        double scrollingDeltaY = 0;
        bool hasPreciseScrollingDeltas = false;
        // An event outside the application's windows (as a global monitor sees it) that went to
        // another program's window under the pointer, not to the desktop: a window of ours may
        // lie at the same place beneath it.
        bool overAnotherProgram = false;
        // A crossing the window system reported because a window came, went or was restacked
        // under a pointer that stayed where it was: it tells which window is under the pointer,
        // not that the user moved it.
        bool pointerStill = false;
    };

    Event() = default;
    Event(Fields fields, std::weak_ptr<Window> window = {});

    EventType type() const { return fields_.type; }
    double timestamp() const { return fields_.timestamp; }
    ModifierFlags modifierFlags() const { return fields_.modifierFlags; }
    int keyCode() const { return fields_.keyCode; }
    const std::string& characters() const { return fields_.characters; }
    const std::string& charactersIgnoringModifiers() const {
        return fields_.charactersIgnoringModifiers;
    }
    int clickCount() const { return fields_.clickCount; }
    int buttonNumber() const { return fields_.buttonNumber; }
    bool isARepeat() const { return fields_.isARepeat; }
    double scrollingDeltaX() const { return fields_.scrollingDeltaX; }
    double scrollingDeltaY() const { return fields_.scrollingDeltaY; }
    bool hasPreciseScrollingDeltas() const { return fields_.hasPreciseScrollingDeltas; }
    bool overAnotherProgram() const { return fields_.overAnotherProgram; }
    bool isPointerStill() const { return fields_.pointerStill; }

    // The window the event belongs to; none for an event outside the application's windows
    // (as a global monitor sees them) or once that window is gone.
    std::shared_ptr<Window> window() const { return window_.lock(); }
    // In the window's base coordinates, or in screen coordinates without a window.
    gfx::Point locationInWindow() const { return locationInWindow_; }
    gfx::Point screenLocation() const { return fields_.screenLocation; }
    std::optional<gfx::Point> topLeftLocation() const { return fields_.topLeftLocation; }

    // Where the pointer is now and which buttons are down (bit 0 left), on the shared
    // application's window server.
    static gfx::Point mouseLocation();
    static unsigned pressedMouseButtons();

    bool isMouseEvent() const;
    bool isKeyEvent() const;
    bool matches(EventMask mask) const { return (mask & eventMaskFor(fields_.type)) != 0; }

    // The same event seen from another window (or none).
    Event withWindow(std::weak_ptr<Window> window) const { return Event(fields_, window); }

    const Fields& fields() const { return fields_; }

private:
    Fields fields_;
    std::weak_ptr<Window> window_;
    gfx::Point locationInWindow_;
};

} // namespace ui
