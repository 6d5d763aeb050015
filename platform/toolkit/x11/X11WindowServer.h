#pragma once

#include "platform/dispatch/Clock.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/toolkit/WindowServer.h"
#include "platform/toolkit/x11/ScreenLayout.h"
#include "platform/toolkit/x11/SolidShape.h"
#include "platform/toolkit/x11/XSettings.h"

#include <bitset>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

struct _XDisplay;
struct _XGC;
union _XEvent;

namespace ui::x11 {

class InputMethod;
class SettingsPortal;
class X11Clipboard;
struct WindowKind;

// How a pointer event came about, beyond where it happened (the event's fields of the same names).
struct PointerCause {
    bool overAnotherProgram = false;
    bool pointerStill = false;
};

// The toolkit's windows on a real X display (Xlib, drawn through cairo-xlib).
//
// Window kinds: menus and the 1 × 1 anchor panel are override-redirect; the status bar is a dock
// at the top right of the primary monitor with a partial strut; every other window is managed
// with a fitting type and states. Without a compositing manager translucent windows are drawn
// solid and shaped. The connection is a file-descriptor source of the run loop, flushed before
// the loop sleeps. Events are stamped on the given clock when they are read. Global monitors see
// XInput2 raw button events on the root window, and raw motion only while a button is down.
//
// The server also reads the desktop's settings (the settings portal over D-Bus, else XSETTINGS)
// and reports them, the screens' changes, the workspace's notices (current desktop, active
// window, wake) and a lost connection as the server's notices. It knows nothing of the
// application that installs itself as their handler.
//
// Implemented by concern: the connection (X11WindowServer.cpp), events
// (X11WindowServerEvents.cpp), the windows and their states (X11WindowServerWindows.cpp), where
// they stand and what a window manager refuses (X11WindowServerPlacement.cpp), the veil over a
// resize (X11WindowServerResizeVeil.cpp), mapping, stacking and focus
// (X11WindowServerMapping.cpp), presenting their pixels (X11WindowServerDrawing.cpp), their icon
// (X11WindowServerIcon.cpp), windows other programs move, stretch or unmap
// (X11WindowServerForeignChanges.cpp), and the desktop (X11WindowServerDesktop.cpp).
class X11WindowServer final : public WindowServer {
public:
    struct Options {
        // The display to open; empty means $DISPLAY.
        std::string displayName;
        // Fixes the backing scale instead of reading it from the desktop.
        std::optional<int> backingScale;
        // Ask the settings portal on the session bus for the appearance.
        bool usePortal = true;
    };

    // None when the display cannot be opened.
    static std::unique_ptr<X11WindowServer>
    open(dispatch::RunLoop& loop, Options options,
         const dispatch::Clock& clock = dispatch::uptimeClock());
    static std::unique_ptr<X11WindowServer> open(dispatch::RunLoop& loop) {
        return open(loop, Options{});
    }
    ~X11WindowServer() override;
    X11WindowServer(const X11WindowServer&) = delete;
    X11WindowServer& operator=(const X11WindowServer&) = delete;

    // WindowServer
    NativeWindowId createWindow(const gfx::Rect& frame,
                                const NativeWindowAttributes& attributes) override;
    void destroyWindow(NativeWindowId window) override;
    void setFrame(NativeWindowId window, const gfx::Rect& frame) override;
    void setLevel(NativeWindowId window, int level) override;
    void setAlpha(NativeWindowId window, double alpha) override;
    void setIgnoresMouseEvents(NativeWindowId window, bool ignores) override;
    void setCollectionBehavior(NativeWindowId window, unsigned behavior) override;
    void orderFront(NativeWindowId window) override;
    void orderOut(NativeWindowId window) override;
    void makeKey(NativeWindowId window) override;
    void present(NativeWindowId window, cairo_surface_t* backing, const gfx::Rect& dirty) override;
    std::vector<ScreenDescription> screens() const override;
    gfx::Point pointerLocation() const override;
    bool reportsPointerLeaving() const override { return !xwayland_; }
    unsigned pressedMouseButtons() const override;
    void setCursor(CursorKind cursor) override;
    void setInputGrab(bool grab) override;
    std::optional<DesktopSettings> desktopSettings() const override;
    void setTitle(NativeWindowId window, const std::string& title) override;
    void setApplicationIcon(const gfx::Image& image) override;
    void setClipboardText(std::optional<std::string> text) override;
    void requestClipboardText(std::function<void(std::optional<std::string>)> completion) override;

    _XDisplay* display() const { return display_; }
    // The X window behind a native window, for tests and diagnostics.
    std::optional<unsigned long> xWindow(NativeWindowId window) const;
    // Whether a compositing manager owns the screen (translucent windows are real then).
    bool hasCompositor() const;
    const RootGeometry& geometry() const { return geometry_; }
    // The monitors in root pixels, the primary first.
    const std::vector<MonitorArea>& monitors() const { return monitors_; }
    // Waits until the X server has handled every request sent, then handles every event it
    // sent back.
    void sync();

private:
    struct NativeWindow;
    struct Atoms;

    X11WindowServer(_XDisplay* display, dispatch::RunLoop& loop, const Options& options,
                    const dispatch::Clock& clock);

    NativeWindow* find(NativeWindowId window);
    const NativeWindow* find(NativeWindowId window) const;
    NativeWindowId windowFor(unsigned long xid) const;
    bool isOurs(unsigned long xid) const;

    // How the window presents itself to a window manager (WindowKind.h).
    WindowKind kindOf(const NativeWindow& window) const;
    bool isSticky(const NativeWindow& window) const;
    // Whether the window manager should keep the window above normal ones.
    bool keepsAbove(const NativeWindow& window) const;
    // Asks the window manager to add or remove a _NET_WM_STATE of a mapped window.
    void askWindowManagerState(NativeWindow& window, unsigned long state, bool add);
    void placeWindow(NativeWindow& window);
    // Asks for the window's place and size (with the hints and strut that follow them).
    void sendGeometry(NativeWindow& window, RootGeometry::PixelRect pixels);
    // Whether the window and every guest drawn in it were last drawn at their frames' sizes.
    bool drawnAtFrame(const NativeWindow& window) const;
    // A pending resize lands: `pixels` (the window's whole new pixels) become its background,
    // which the server paints as it resizes the window, and the outline goes with them.
    void landResize(NativeWindow& window, cairo_surface_t* pixels,
                    const std::vector<PixelSpan>& spans);
    // A pending resize of a window its manager shows larger than it draws lands inside the X
    // window as it stands, without waiting for the manager; whether it did.
    bool landInsideStretched(NativeWindow& window, cairo_surface_t* pixels,
                             const std::vector<PixelSpan>& spans);
    // Makes `pixels` at (x, y) of a `width` × `height` picture, clear around them, the window's
    // background, which the server paints as the window is resized or exposed.
    void holdAsBackground(NativeWindow& window, cairo_surface_t* pixels, int width, int height,
                          int x, int y);
    // The window's present pixels as the background it already holds.
    void holdShownAsBackground(NativeWindow& window);
    // What lies under a shaped window: the desktop's picture where it is, if it publishes one.
    // `renewed` is set when the picture had to be read again (every pixel then changes).
    Backdrop backdropFor(NativeWindow& window, bool& renewed);
    // Where a manager that stretches docks (i3 gives them the screen's width) shows its own
    // frames at the top, over the desktop: around the strip's place, known once the strip has
    // shown there, and the docks above it. Windows of ours over it show that, not the desktop.
    std::optional<StretchedBand> stretchedBand(const NativeWindow& painted);
    // Reads the desktop's own background: the picture a desktop setter published on the root.
    void readDesktopBackground();
    // The desktop's background changed: shaped windows are drawn over it again.
    void desktopBackgroundChanged();
    // Whether a translucent window shows what lies behind it: a compositor blends it, or the
    // desktop's picture is known to lay it over.
    bool showsWhatLiesBehind() const;
    // The colour the server paints the root with, read when first asked after a change.
    std::uint32_t rootColour();
    void setWindowProperties(NativeWindow& window);
    // _NET_WM_ICON from the application's icon (X11WindowServerIcon.cpp).
    void setIconProperty(const NativeWindow& window);
    void updateStrut(NativeWindow& window);
    // Stacks our shown windows by level, then order; without a window manager, only those kept
    // above normal windows when `keptAboveOnly`.
    void restack(bool keptAboveOnly = false);
    // Whether another program's window (not a pop-up of its own) lies over ours, on a server
    // without a window manager.
    bool coveredByAnotherProgram(const NativeWindow& window) const;
    void setSizeHints(NativeWindow& window);
    // Asks again for a first map a window manager dropped (one starting as we map), a few times.
    void mapAgainUnlessShown(NativeWindowId id, int attemptsLeft);
    // Sends a new size or place that waited for the window manager to apply the last one.
    void landWaitingResize(NativeWindow& window);
    // Lifts a window's veil once the window stands where it was asked to be and its manager's
    // frame shows it in its new outline.
    void liftVeilWhenLanded(NativeWindow& window);
    // Makes the X window behind a native window, with alpha where a compositor blends it.
    void makeXWindow(NativeWindow& window);
    // Maps a shown window's X window, made again first where it was never shown at its place.
    void mapXWindow(NativeWindow& window);
    // Maps the windows first shown during the loop's turn, now that their places are known.
    void mapHeldWindows();
    // Makes the window's X window again as it stands (shown again if it is shown), and lets
    // the old one go.
    void remakeXWindow(NativeWindow& window);
    // A compositor started or stopped: translucent windows are made again to match.
    void followCompositor();
    // Hides a window at alpha 0 where no compositor blends it, and shows it again at any other.
    void applyAlphaVisibility(NativeWindow& window);
    // Gives a shown window the keyboard focus (through the window manager where there is one).
    void focus(NativeWindow& window);
    // Under XWayland the compositor gives the keyboard only to a managed window it activated:
    // a pop-up's keys come through the managed window of ours the user's press went to, made
    // active with that press's time. Whether there is one.
    bool focusThroughPressedWindow();
    // Hands the focus back to the window that held it before ours took it, when the window
    // leaving (an X window) or another of ours holds it now. Under XWayland only to another
    // program's window: the one before may be the compositor's own (KWin keeps the X focus on
    // one of its windows while a native window has the keys), where keys reach nobody.
    void giveFocusBack(unsigned long leaving);
    // Whether an X window is, or lies inside, a client the window manager lists.
    bool insideListedClient(unsigned long xid) const;
    // The status bar that holds the whole of the window's frame, for a panel laid over it.
    NativeWindowId hostFor(const NativeWindow& window) const;
    // Whether the window has guests drawn inside it.
    bool hasGuests(NativeWindowId host) const;
    // Repaints the part of a guest's host that the guest covers (all of it, or a dirty rect in
    // the guest's points).
    void repaintHostUnder(const NativeWindow& guest, std::optional<gfx::Rect> dirty = {});
    // The host's backing with its guests over it, brought up to date in the pixel box (grown to
    // the whole window when it is made afresh); the backing itself when it has none.
    cairo_surface_t* shownPixels(NativeWindow& window, int& x, int& y, int& width, int& height);
    // The guest under a point of a host's frame that takes the pointer there.
    std::optional<NativeWindowId> guestAt(NativeWindowId host, gfx::Point location) const;
    void paint(NativeWindow& window, int x, int y, int width, int height, bool reshape);

    void readDesktop();
    // The name the window manager gives itself; empty without one.
    std::string windowManagerName() const;
    void refreshScreens();
    // The docks of other programs, and the panels a compositor draws itself.
    std::vector<Dock> otherDocks() const;
    // The top of the primary monitor's work area where no dock's strut accounts for it: a panel
    // without an X window reserves the rows above it.
    std::optional<long> windowlessTop(const std::vector<Dock>& docks) const;
    // Takes where the server shows one of our windows as its frame, telling the application when
    // that is not where it put it.
    void followPlacement(NativeWindow& window);
    // Whether a window manager places the window; one it does not stands only where we put it.
    bool placedByManager(const NativeWindow& window) const;
    // Whether the window draws at the size it asks for, whatever size the server gives it.
    bool keepsOwnSize(const NativeWindow& window) const;
    // Moves where the window's pixels lie inside its X window, outline and all, and shows them
    // there.
    void setInset(NativeWindow& window, int x, int y);
    // Fills what an area of the X window (in its own pixels) holds beyond the window's pixels.
    void fillBeyond(NativeWindow& window, int x, int y, int width, int height);
    // Another program changed the window's place or size against its hints: asked for again, at
    // once where no manager places it, else once the manager's steps have settled; a bounded
    // few times.
    void askAgain(NativeWindow& window);
    // Maps a shown window again once another program unmapped it (a window manager that hides
    // it says so in WM_STATE), a bounded few times.
    void mapAgainAfterUnmap(NativeWindowId id);
    // The status bar is made again at the place its manager refused, if it still stands where
    // the manager kept it.
    void placeRefused(NativeWindowId id);
    // The bar still stands at `top`, where its manager put it: the screen's top follows it.
    void barPlaced(NativeWindowId id, long top);
    // Where an X window lies on the root, in pixels; none once it is gone.
    std::optional<RootGeometry::PixelRect> rootArea(unsigned long xid) const;
    void readXSettings();

    void drainEvents();
    void handleEvent(_XEvent& event);
    void handleExpose(_XEvent& event);
    void handlePointerEvent(_XEvent& event);
    void handleKeyEvent(_XEvent& event);
    void handleFocusOut(_XEvent& event);
    // Gives the key window the focus again when a window manager took it away just after one of
    // our managed windows went; whether it did.
    bool retakeFocus();
    // Tells the application when the window manager makes another program's window active.
    void followActiveWindow();
    void handleClientMessage(_XEvent& event);
    void handlePropertyChange(_XEvent& event);
    void handleStructureChange(_XEvent& event);
    void handleRawEvent(void* cookie);
    void handleVisibility(_XEvent& event);
    // Where a pointer event at (x, y) in the X window xid is, in global points.
    gfx::Point locate(unsigned long xid, int x, int y, int rootX, int rootY) const;
    // Our window for an X window, none for any other.
    std::optional<NativeWindowId> target(unsigned long xid) const;
    // The window a pointer event at a global point in an X window goes to: a guest drawn there,
    // else the window itself.
    std::optional<NativeWindowId> pointerTarget(unsigned long xid, gfx::Point location) const;
    void selectRawMotion(bool select);
    // Keeps to the raw buttons down only those the server's pointer state holds (and the one
    // pressed now), and watches drags only while one is.
    void followHeldButtons(unsigned state, unsigned pressedNow);
    void deliverPointer(EventType type, std::optional<NativeWindowId> window, gfx::Point location,
                        unsigned state, int button, PointerCause cause = {});
    void checkWake();

    _XDisplay* display_;
    dispatch::RunLoop& loop_;
    const dispatch::Clock& clock_;
    Options options_;
    std::unique_ptr<Atoms> atoms_;
    int screenNumber_ = 0;
    unsigned long root_ = 0;
    int xinputOpcode_ = -1;
    int randrEventBase_ = -1;
    int xfixesEventBase_ = -1;
    int shapeEventBase_ = -1;
    bool hasWindowManager_ = false;
    // The picture a desktop setter published as the root's background (none: 0): read at the
    // start and again when a setter publishes another; each reading has its serial.
    std::uint64_t desktopSerial_ = 0;
    unsigned long desktopPicture_ = 0;
    std::optional<std::uint32_t> rootColour_;
    // The colour of the frame a manager stretched the strip's dock in, once read.
    std::optional<std::uint32_t> bandColour_;
    // Whether a compositing manager owned the screen when last looked.
    bool composited_ = false;
    // Draws a shaped window's solid pixels with plain image requests; none when the server keeps
    // pixels in another layout.
    _XGC* solidGC_ = nullptr;

    std::map<NativeWindowId, std::unique_ptr<NativeWindow>> windows_;
    NativeWindowId nextId_ = 1;
    std::uint64_t nextStackOrder_ = 1;

    std::vector<MonitorArea> monitors_;
    int rootWidth_ = 0;
    int rootHeight_ = 0;
    // The panels the compositor draws without an X window (weston's), as docks of the monitors.
    std::vector<Dock> compositorPanels_;
    RootGeometry geometry_;
    mutable std::optional<std::vector<ScreenDescription>> screens_;
    // Worked out with the screens, which are read lazily: what a windowless panel was last seen
    // to reserve, the bar's top that the docks and that panel give, and the top a window manager
    // put the bar at instead (a tiling manager stacks docks itself).
    mutable std::optional<long> windowlessTop_;
    mutable long reservedBarTop_ = -1;
    mutable std::optional<long> placedBarTop_;
    // Every bottom edge the bar's strut has reserved: the window manager's work area follows the
    // strut later than the bar's own frame does, so a work area ending at one of them is ours
    // even while the frame has moved on.
    std::set<long> reservedStrutBottoms_;

    std::optional<XSettings> xsettings_;
    unsigned long xsettingsOwner_ = 0;
    std::unique_ptr<SettingsPortal> portal_;
    std::unique_ptr<X11Clipboard> clipboard_;
    std::unique_ptr<InputMethod> inputMethod_;

    std::map<CursorKind, unsigned long> cursors_;
    CursorKind cursor_ = CursorKind::arrow;
    std::optional<NativeWindowId> keyWindow_;
    // The application's icon as _NET_WM_ICON's value; empty until one is set.
    std::vector<long> iconCardinals_;
    // The guest a press went to: the drag and the release follow it, wherever they go.
    std::optional<NativeWindowId> pressedGuest_;
    // Where the server last reported the pointer in an event to one of our windows, in root
    // pixels: a crossing at the same place is a window moving under it, not the user's hand.
    std::optional<std::pair<int, int>> lastPointerPixel_;
    // Another program's window that held the focus before ours took it.
    unsigned long previousFocus_ = 0;
    // The window manager's active window when last read.
    unsigned long activeWindow_ = 0;
    // How long after one of our managed windows that held the focus (or was the manager's active
    // window) was withdrawn a window manager's change of the focus is undone.
    struct FocusSettling {
        // Long enough for a manager under load.
        static constexpr double duration = 1.5;
        static constexpr int maximumRetakes = 2;
        double until = -1;
        int retakes = 0;
    } focusSettling_;
    bool grabbing_ = false;
    bool rawMotionSelected_ = false;
    unsigned rawButtonsDown_ = 0;
    // A look at the pointer's buttons is due: a raw button is down.
    bool watchingHeldButtons_ = false;
    // The server is XWayland, inside a Wayland compositor (its outputs are named so): clicks on
    // native windows reach no X client, and the focus or the active window leaving ours is what
    // tells that the user went elsewhere. On an X server of its own the global monitors see
    // every press, and a manager moving the focus (for a press on the desktop, say) or a
    // keyboard switch closes nothing.
    bool xwayland_ = false;
    // The server time of the user's last press or key, and the managed window of ours the last
    // press went to: the window that takes the keyboard for a pop-up that press opened.
    unsigned long lastUserTime_ = 0;
    NativeWindowId lastPressedManaged_ = 0;
    std::bitset<256> keysDown_;
    struct LastClick {
        int button = 0;
        double time = -1;
        gfx::Point location;
        int count = 0;
    } lastClick_;
    double bootMinusMonotonic_ = 0;

    dispatch::RunLoop::Registration source_;
    dispatch::RunLoop::Registration beforeWaiting_;
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
    // cairo's hold on the display, finished before the display is closed.
    struct CairoDeviceRelease {
        void operator()(cairo_device_t* device) const {
            cairo_device_finish(device);
            cairo_device_destroy(device);
        }
    };
    std::unique_ptr<cairo_device_t, CairoDeviceRelease> cairoDevice_;
};

} // namespace ui::x11
