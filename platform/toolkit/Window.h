#pragma once

#include "platform/graphics/Bitmap.h"
#include "platform/graphics/Color.h"
#include "platform/graphics/Geometry.h"
#include "platform/graphics/ShapeMaskCache.h"
#include "platform/toolkit/Event.h"
#include "platform/toolkit/Screen.h"
#include "platform/toolkit/View.h"
#include "platform/toolkit/WindowServer.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace ui {

class Application;

// Style-mask bits as fixed numbers callers may write plainly.
using StyleMask = unsigned;
namespace Style {
inline constexpr StyleMask borderless = 0;
inline constexpr StyleMask titled = 1u << 0;
inline constexpr StyleMask closable = 1u << 1;
inline constexpr StyleMask miniaturizable = 1u << 2;
inline constexpr StyleMask resizable = 1u << 3;
inline constexpr StyleMask utilityWindow = 1u << 4;
inline constexpr StyleMask nonactivatingPanel = 1u << 7;
inline constexpr StyleMask hudWindow = 1u << 13;
inline constexpr StyleMask fullSizeContentView = 1u << 15;
} // namespace Style

enum class BackingStoreType { retained = 0, nonretained = 1, buffered = 2 };

// Window levels as fixed numbers callers may write plainly (a panel at 26 sits above the strip).
namespace WindowLevel {
inline constexpr int normal = 0;
inline constexpr int floating = 3;
inline constexpr int modalPanel = 8;
inline constexpr int mainMenu = 24;
inline constexpr int status = 25;
inline constexpr int popUpMenu = 101;
// The help level, where tool tips stand: over menus and the popover.
inline constexpr int toolTip = 200;
inline constexpr int screenSaver = 1000;
} // namespace WindowLevel

// Collection-behaviour bits as fixed numbers callers may write plainly (0x148 is transient, ignores
// cycle, full-screen auxiliary).
using CollectionBehavior = unsigned;
namespace Collection {
inline constexpr CollectionBehavior canJoinAllSpaces = 1u << 0;
inline constexpr CollectionBehavior moveToActiveSpace = 1u << 1;
inline constexpr CollectionBehavior managed = 1u << 2;
inline constexpr CollectionBehavior transient = 1u << 3;
inline constexpr CollectionBehavior stationary = 1u << 4;
inline constexpr CollectionBehavior participatesInCycle = 1u << 5;
inline constexpr CollectionBehavior ignoresCycle = 1u << 6;
inline constexpr CollectionBehavior fullScreenPrimary = 1u << 7;
inline constexpr CollectionBehavior fullScreenAuxiliary = 1u << 8;
inline constexpr CollectionBehavior fullScreenNone = 1u << 9;
} // namespace Collection

// A top-level surface: a content view drawn into an offscreen backing that the window server
// shows. Geometry is in global screen points, y up; our windows have no decoration of their own,
// so the frame is the content rect. Make windows with std::make_shared: events and the
// application refer to them weakly.
class Window : public std::enable_shared_from_this<Window> {
public:
    Window(const gfx::Rect& contentRect, StyleMask styleMask,
           BackingStoreType backing = BackingStoreType::buffered, bool defer = false);
    virtual ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    StyleMask styleMask() const { return styleMask_; }
    const std::string& title() const { return title_; }
    void setTitle(std::string title);
    BackingStoreType backingType() const { return backingType_; }
    bool isDeferred() const { return defer_; }

    const std::shared_ptr<View>& contentView() const { return contentView_; }
    // The view is sized to the window's content rect.
    void setContentView(std::shared_ptr<View> view);

    // Where the window is: what the program last asked for, or where the window system put it
    // instead (a window manager may move or stretch a window).
    const gfx::Rect& frame() const { return frame_; }
    // The frame the program last asked for. A window manager may show the window elsewhere
    // (frame() says where), which is no choice of the program's or of its user's.
    const gfx::Rect& requestedFrame() const { return requestedFrame_; }
    void setFrame(const gfx::Rect& frame, bool display);
    // Runs when the window system moved or resized the window by itself.
    std::function<void()> frameChangedAction;
    void setFrameOrigin(gfx::Point origin);
    void setContentSize(gfx::Size size);
    // Where a frame may go on a screen; the default keeps a titled window's top edge below the
    // screen's visible top and leaves other windows where they ask to be.
    virtual gfx::Rect constrainFrameRect(const gfx::Rect& frame,
                                         const std::optional<Screen>& screen) const;

    int level() const { return level_; }
    void setLevel(int level);
    CollectionBehavior collectionBehavior() const { return collectionBehavior_; }
    void setCollectionBehavior(CollectionBehavior behavior);
    double alphaValue() const { return alpha_; }
    void setAlphaValue(double alpha);
    bool isOpaque() const { return opaque_; }
    void setOpaque(bool opaque) { opaque_ = opaque; }
    const gfx::Color& backgroundColor() const { return backgroundColor_; }
    void setBackgroundColor(const gfx::Color& color);
    bool hasShadow() const { return hasShadow_; }
    void setHasShadow(bool shadow) { hasShadow_ = shadow; }
    bool isReleasedWhenClosed() const { return releasedWhenClosed_; }
    void setReleasedWhenClosed(bool released) { releasedWhenClosed_ = released; }
    bool hidesOnDeactivate() const { return hidesOnDeactivate_; }
    void setHidesOnDeactivate(bool hides) { hidesOnDeactivate_ = hides; }
    bool acceptsMouseMovedEvents() const { return acceptsMouseMoved_; }
    void setAcceptsMouseMovedEvents(bool accepts) { acceptsMouseMoved_ = accepts; }
    bool ignoresMouseEvents() const { return ignoresMouseEvents_; }
    void setIgnoresMouseEvents(bool ignores);
    bool isExcludedFromWindowsMenu() const { return excludedFromWindowsMenu_; }
    void setExcludedFromWindowsMenu(bool excluded) { excludedFromWindowsMenu_ = excluded; }
    bool isAccessibilityElement() const { return accessibilityElement_; }
    void setAccessibilityElement(bool element) { accessibilityElement_ = element; }

    const std::optional<gfx::Appearance>& appearance() const { return appearance_; }
    void setAppearance(std::optional<gfx::Appearance> appearance);
    gfx::Appearance effectiveAppearance() const;

    // Ordering and key status.
    bool isVisible() const { return visible_; }
    void orderFront();
    void orderFrontRegardless();
    void orderOut();
    void makeKeyWindow();
    void makeKeyAndOrderFront();
    bool isKeyWindow() const;
    virtual bool canBecomeKeyWindow() const;
    virtual bool canBecomeMainWindow() const;
    // Hides the window; a window released when closed also leaves the application's list.
    void close();
    bool isClosed() const { return closed_; }
    // What the window's close control and the window manager's close ask for: closes a window
    // whose style mask has the closable bit and ignores the request otherwise.
    void performClose();
    // Runs each time the window stops showing: ordered out, or closed by any route (a close
    // orders the window out). It must not release the window; work that may do so goes on the
    // main queue.
    std::function<void()> orderedOutAction;

    View* firstResponder() const { return firstResponder_; }
    bool makeFirstResponder(View* view);

    // The screen holding most of the window, or none when there are no screens.
    std::optional<Screen> screen() const;
    double backingScaleFactor() const;
    gfx::Rect convertRectToScreen(const gfx::Rect& rect) const;
    gfx::Rect convertRectFromScreen(const gfx::Rect& rect) const;
    gfx::Point convertPointToScreen(gfx::Point point) const;
    gfx::Point convertPointFromScreen(gfx::Point point) const;

    // Drawing: display() redraws everything; displayIfNeeded() only what views marked. Marks
    // also schedule a displayIfNeeded on the main queue.
    void display();
    void displayIfNeeded();
    bool viewsNeedDisplay() const { return !dirty_.isEmpty(); }
    // The last drawn backing, for snapshots and tests.
    const gfx::Bitmap* backing() const { return backing_.get(); }

    void invalidateCursorRectsForView(View* view);

    // Routes an event of this window to its views.
    virtual void sendEvent(const Event& event);

    // The window server's number for this window, once it has one.
    std::optional<NativeWindowId> windowNumber() const { return native_; }

protected:
    // The role the window server gets for the native window.
    virtual WindowRole role() const { return WindowRole::normal; }

private:
    friend class View;
    friend class Application;

    NativeWindowId ensureNative();
    void takeFrame(const gfx::Rect& frame, bool display);
    // The window system reports where the window really is.
    void serverPlacedWindow(const gfx::Rect& frame);
    void viewInvalidated(const View& view, const gfx::Rect& rectInView);
    void scheduleDisplay();
    void redraw(const gfx::Rect& dirty);
    void forEachView(const std::function<void(View&)>& visit);
    void pointerMoved(std::optional<gfx::Point> location, const Event& event);
    void updateCursor(gfx::Point location);
    void viewWillLeave(View& view);
    void visibilityChanged();

    StyleMask styleMask_;
    std::string title_;
    BackingStoreType backingType_;
    bool defer_;
    gfx::Rect frame_;
    // The frame the program last asked for.
    gfx::Rect requestedFrame_;
    std::shared_ptr<View> contentView_;
    int level_ = WindowLevel::normal;
    CollectionBehavior collectionBehavior_ = 0;
    double alpha_ = 1;
    bool opaque_ = true;
    gfx::Color backgroundColor_ = gfx::Color::grey(0.93);
    bool hasShadow_ = true;
    bool releasedWhenClosed_ = true;
    bool hidesOnDeactivate_ = false;
    bool acceptsMouseMoved_ = false;
    bool ignoresMouseEvents_ = false;
    bool excludedFromWindowsMenu_ = false;
    bool accessibilityElement_ = true;
    std::optional<gfx::Appearance> appearance_;
    bool visible_ = false;
    View* firstResponder_ = nullptr;
    View* mouseDownView_ = nullptr;
    View* rightMouseDownView_ = nullptr;
    // Every mark since the last display, in window points: whether a display is due.
    gfx::Rect dirty_;
    // Marks of the window's own (a resize), which no view holds.
    gfx::Rect ownDirty_;
    bool displayScheduled_ = false;
    bool cursorRectsValid_ = false;
    bool cursorRefreshScheduled_ = false;
    bool closed_ = false;
    Application* app_;
    std::optional<NativeWindowId> native_;
    std::unique_ptr<gfx::Bitmap> backing_;
    // The masks of the shapes its views paint through (round ends, kept layers), which come back
    // at every display.
    gfx::ShapeMaskCache shapeMasks_;
};

// A window that can work without activating the application (style bit nonactivatingPanel).
class Panel : public Window {
public:
    using Window::Window;

protected:
    WindowRole role() const override { return WindowRole::panel; }
};

} // namespace ui
