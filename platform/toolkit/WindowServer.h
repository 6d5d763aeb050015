#pragma once

#include "platform/graphics/Appearance.h"
#include "platform/graphics/Geometry.h"
#include "platform/graphics/Image.h"
#include "platform/toolkit/Cursor.h"
#include "platform/toolkit/Event.h"

#include <cairo.h>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace ui {

// A window as the window server knows it: a number, unique for the server's life.
using NativeWindowId = std::uint64_t;

// One display as the server reports it; geometry in the global y-up space whose origin is the
// primary screen's bottom-left corner.
struct ScreenDescription {
    gfx::Rect frame;
    // The frame less the bars other programs (and our own status bar) reserve.
    gfx::Rect visibleFrame;
    double safeAreaTop = 0;
    int displayNumber = 0;
    double backingScale = 1;

    friend bool operator==(const ScreenDescription&, const ScreenDescription&) = default;
};

// What kind of surface a window is, so a backend can pick its window type and stacking hints.
enum class WindowRole { normal, panel, statusBar, popover, menu, toolTip, alert };

struct NativeWindowAttributes {
    WindowRole role = WindowRole::normal;
    bool nonActivating = false;
    bool hasShadow = true;
    bool opaque = true;
    // The user may resize it (style bit resizable); other windows keep the size they are given.
    bool resizable = false;
    // The toolkit's collection-behaviour bits (on every desktop, transient, ...), which a
    // backend maps onto its window manager's states.
    unsigned collectionBehavior = 0;
};

// An input event as the server delivers it, before the application finds its window. window is
// the native window under the event (or holding the keyboard focus, for keys), none when the
// event happened outside every window of ours.
struct NativeEvent {
    Event::Fields fields;
    std::optional<NativeWindowId> window;
};

// What the desktop asks of every application, as the backend reads it from the desktop.
struct DesktopSettings {
    gfx::Appearance appearance = gfx::Appearance::light;
    bool reduceMotion = false;
    bool reduceTransparency = false;

    friend bool operator==(const DesktopSettings&, const DesktopSettings&) = default;
};

// News from the window server that is not input; the application acts on each.
enum class ServerNotice {
    // The display is gone: nothing can be shown any more, and the application must end.
    connectionLost,
    // The screens, or the space other panels reserve on them, changed.
    screensChanged,
    // The desktop's settings changed; desktopSettings() holds the new ones.
    desktopSettingsChanged,
    activeSpaceChanged,
    applicationActivated,
    didWake,
    // The user went to another program with a click no window of ours or global monitor saw
    // (under XWayland, on a native Wayland window): the keyboard focus or the active window
    // went to it.
    focusLeftApplication,
};

// The backend interface: everything the toolkit asks of a window system. The headless server
// keeps it all in memory for tests; the X11 server maps it onto an X display. All calls come
// from the main thread, and events are delivered on it.
class WindowServer {
public:
    virtual ~WindowServer() = default;

    virtual NativeWindowId createWindow(const gfx::Rect& frame,
                                        const NativeWindowAttributes& attributes) = 0;
    virtual void destroyWindow(NativeWindowId window) = 0;
    virtual void setFrame(NativeWindowId window, const gfx::Rect& frame) = 0;
    virtual void setLevel(NativeWindowId window, int level) = 0;
    virtual void setAlpha(NativeWindowId window, double alpha) = 0;
    virtual void setIgnoresMouseEvents(NativeWindowId window, bool ignores) = 0;
    virtual void setCollectionBehavior(NativeWindowId, unsigned) {}
    // The title the desktop shows for the window (task bar, window switcher).
    virtual void setTitle(NativeWindowId, const std::string&) {}
    // The picture the desktop shows for every window of the application, those made later too.
    virtual void setApplicationIcon(const gfx::Image&) {}
    // Shows the window above the others of its level, or hides it.
    virtual void orderFront(NativeWindowId window) = 0;
    virtual void orderOut(NativeWindowId window) = 0;
    virtual void makeKey(NativeWindowId window) = 0;
    // Hands the server the window's freshly drawn backing (ARGB32 at the window's scale);
    // dirty is the part that changed, in window points.
    virtual void present(NativeWindowId window, cairo_surface_t* backing,
                         const gfx::Rect& dirty) = 0;

    virtual std::vector<ScreenDescription> screens() const = 0;
    virtual gfx::Point pointerLocation() const = 0;
    // Whether the server tells the application when the pointer leaves its windows. Under
    // XWayland a compositor may not (mutter and KWin tell nothing when it goes onto a native
    // window), and the pointer seems to stay where it was last seen.
    virtual bool reportsPointerLeaving() const { return true; }
    // Bit 0 left, bit 1 right, bit 2 other.
    virtual unsigned pressedMouseButtons() const = 0;
    virtual void setCursor(CursorKind cursor) = 0;

    // What the desktop asks for now; none when the backend has no desktop to ask.
    virtual std::optional<DesktopSettings> desktopSettings() const { return std::nullopt; }

    // Where the server sends input and its notices; the application installs itself here.
    void setEventHandler(std::function<void(const NativeEvent&)> handler) {
        eventHandler_ = std::move(handler);
    }
    void setNoticeHandler(std::function<void(ServerNotice)> handler) {
        noticeHandler_ = std::move(handler);
    }
    // Where the server sends the desktop's requests to close one of our windows (a window
    // manager's close button, its close key or a task bar's close entry).
    void setCloseRequestHandler(std::function<void(NativeWindowId)> handler) {
        closeRequestHandler_ = std::move(handler);
    }
    // Where the server reports a window it found elsewhere than the application put it (a window
    // manager moved or stretched it), with its frame in global points.
    void setFramePlacedHandler(std::function<void(NativeWindowId, const gfx::Rect&)> handler) {
        framePlacedHandler_ = std::move(handler);
    }

    // The desktop's clipboard: what the application puts there (none gives it up), and its text
    // whoever put it there, handed to completion on the main queue. The base keeps it in memory,
    // which is the headless server's clipboard.
    virtual void setClipboardText(std::optional<std::string> text) { clipboard_ = std::move(text); }
    virtual void requestClipboardText(std::function<void(std::optional<std::string>)> completion) {
        completion(clipboard_);
    }

    // A modal session (an alert) began on the window; a backend may grab input for it.
    virtual void modalSessionBegan(NativeWindowId) {}
    // While a menu tracks, every pointer and key event should come to the application, wherever
    // it happens.
    virtual void setInputGrab(bool) {}

protected:
    void deliver(const NativeEvent& event) {
        if (eventHandler_)
            eventHandler_(event);
    }
    void post(ServerNotice notice) {
        if (noticeHandler_)
            noticeHandler_(notice);
    }
    void requestClose(NativeWindowId window) {
        if (closeRequestHandler_)
            closeRequestHandler_(window);
    }
    void reportFrame(NativeWindowId window, const gfx::Rect& frame) {
        if (framePlacedHandler_)
            framePlacedHandler_(window, frame);
    }

private:
    std::function<void(const NativeEvent&)> eventHandler_;
    std::function<void(ServerNotice)> noticeHandler_;
    std::function<void(NativeWindowId)> closeRequestHandler_;
    std::function<void(NativeWindowId, const gfx::Rect&)> framePlacedHandler_;
    std::optional<std::string> clipboard_;
};

} // namespace ui
