#pragma once

// The X11 window server's own parts, shared by the files that implement it by concern. Brings
// Xlib, whose macros (None, Bool, Status) break other headers: include it last.

#include "platform/graphics/SurfacePointer.h"
#include "platform/toolkit/x11/ResizeVeil.h"
#include "platform/toolkit/x11/SolidShape.h"
#include "platform/toolkit/x11/WindowKind.h"
#include "platform/toolkit/x11/X11WindowServer.h"

#include <array>
#include <cairo.h>
#include <ctime>
#include <memory>
#include <optional>
#include <vector>

// clang-format off
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/shape.h>
// clang-format on

namespace ui::x11 {

// Frees an image header over pixels it does not own.
struct ImageHeaderRelease {
    void operator()(XImage* image) const {
        image->data = nullptr;
        XDestroyImage(image);
    }
};

// Combines the window's outline with the pixel spans' rows, each moved by (x, y), inside a window
// whose picture starts at (insetX, insetY).
inline void combineOutline(Display* display, ::Window xid, int insetX, int insetY, int x, int y,
                           const std::vector<PixelSpan>& spans, int operation) {
    std::vector<XRectangle> rows;
    rows.reserve(spans.size());
    for (const PixelSpan& span : spans)
        rows.push_back(
            {short(x + span.x), short(y + span.y), static_cast<unsigned short>(span.width), 1});
    XShapeCombineRectangles(display, xid, ShapeBounding, insetX, insetY, rows.data(),
                            int(rows.size()), operation, YSorted);
}

inline constexpr const char* atomNames[] = {
    "_NET_WM_WINDOW_TYPE",
    "_NET_WM_WINDOW_TYPE_NORMAL",
    "_NET_WM_WINDOW_TYPE_DOCK",
    "_NET_WM_WINDOW_TYPE_UTILITY",
    "_NET_WM_WINDOW_TYPE_POPUP_MENU",
    "_NET_WM_WINDOW_TYPE_TOOLTIP",
    "_NET_WM_WINDOW_TYPE_DIALOG",
    "_NET_WM_WINDOW_TYPE_DND",
    "_NET_WM_USER_TIME",
    "_NET_WM_STATE",
    "_NET_WM_STATE_ABOVE",
    "_NET_WM_STATE_STICKY",
    "_NET_WM_STATE_SKIP_TASKBAR",
    "_NET_WM_STATE_SKIP_PAGER",
    "_NET_WM_DESKTOP",
    "_NET_WM_STRUT",
    "_NET_WM_STRUT_PARTIAL",
    "_NET_WM_WINDOW_OPACITY",
    "_NET_WM_PID",
    "_NET_WM_NAME",
    "UTF8_STRING",
    "_MOTIF_WM_HINTS",
    "_NET_ACTIVE_WINDOW",
    "_NET_CURRENT_DESKTOP",
    "_NET_CLIENT_LIST",
    "_NET_WORKAREA",
    "_NET_SUPPORTING_WM_CHECK",
    "_XSETTINGS_SETTINGS",
    "RESOURCE_MANAGER",
    "WM_PROTOCOLS",
    "WM_DELETE_WINDOW",
    "WM_TAKE_FOCUS",
    "_XROOTPMAP_ID",
    "ESETROOT_PMAP_ID",
    "WM_STATE",
    "_COMPTON_SHADOW",
};

enum AtomIndex {
    wmWindowType,
    typeNormal,
    typeDock,
    typeUtility,
    typePopupMenu,
    typeToolTip,
    typeDialog,
    typeDragPreview,
    wmUserTime,
    wmState,
    stateAbove,
    stateSticky,
    stateSkipTaskbar,
    stateSkipPager,
    wmDesktop,
    wmStrut,
    wmStrutPartial,
    wmWindowOpacity,
    wmPid,
    wmName,
    utf8String,
    motifWmHints,
    activeWindow,
    currentDesktop,
    clientList,
    workArea,
    supportingWmCheck,
    xsettingsSettings,
    resourceManager,
    wmProtocols,
    wmDeleteWindow,
    wmTakeFocus,
    rootPicture,
    rootPictureSetter,
    // ICCCM's WM_STATE, which a window manager keeps on the windows it manages.
    managedState,
    compositorShadow,
    atomCount
};

// How long a window manager's answer must stand before it is taken as the manager's will: before
// a window is made again where it was asked (a manager may resize a window and move it in two
// steps), before the bar's place sets the screen's top, or before a size the manager gave against
// the hints is asked for again.
inline constexpr double refusalPatience = 0.3;
// How long after a window is made again its presents send it whole: past weston's fading of the
// window it replaces, which shows through where the new one misses pixels.
inline constexpr double madeAgainSettling = 2.5;
// How many times a window asks again for what another program changed, or maps itself again.
inline constexpr int placeAsks = 3;
// How often the pointer's buttons are looked at while a raw button is down and no release came:
// a drag's watch outlives the drag's end by no more.
inline constexpr double heldButtonsPatience = 0.5;

struct X11WindowServer::Atoms {
    Atom atoms[atomCount] = {};
    Atom compositorSelection = 0;
    Atom xsettingsSelection = 0;
    Atom operator[](AtomIndex index) const { return atoms[index]; }
};

// A cairo surface a window holds: destroyed when replaced and with the window. It reads as the
// bare surface, which cairo's calls borrow.
class HeldSurface {
public:
    // Takes over `surface` (none: holds nothing), destroying the one held before.
    void reset(cairo_surface_t* surface = nullptr) { surface_.reset(surface); }
    operator cairo_surface_t*() const { return surface_.get(); }

private:
    gfx::SurfacePointer surface_;
};

struct X11WindowServer::NativeWindow {
    NativeWindowId id = 0;
    ::Window xid = 0;
    NativeWindowAttributes attributes;
    // Where the window is, as the toolkit knows it: where it asked for it to be, until the server
    // shows it elsewhere (a window manager may move or stretch it).
    gfx::Rect frame;
    RootGeometry::PixelRect pixels;
    // Whether pixels holds a request of ours rather than a place the server reported.
    bool pixelsAsked = true;
    // Earlier requests whose answers may still come, overtaken by the one in pixels.
    std::vector<RootGeometry::PixelRect> pendingPlaces;
    // The place last asked of the server for the X window: where it was made, or the last sent.
    RootGeometry::PixelRect sentPixels;
    // Where the X window was made: a manager that moves no shown window maps it there.
    RootGeometry::PixelRect madeAt;
    // Whether the window has been mapped on its own at least once.
    bool everShown = false;
    // Shown to the toolkit, and mapped on the server at the end of the loop's turn.
    bool mapHeld = false;
    // Where the server last showed the window.
    std::optional<RootGeometry::PixelRect> lastShown;
    // Where the window's own pixels begin inside its X window: off its corner while the server
    // shows the X window larger than the window draws (DrawnArea.h).
    int insetX = 0;
    int insetY = 0;
    // How many more times the window asks again for the place and size it asked for when another
    // program changes them against its hints; renewed whenever it stands as asked.
    int asksLeft = placeAsks;
    // A request to ask again waits for a window manager's steps to settle.
    bool askWaiting = false;
    // How many more times a window another program unmapped maps itself again, and when it last
    // did: renewed when it shows, or once it has stood shown a while.
    int remapsLeft = placeAsks;
    double lastRemap = 0;
    // A place asked for the shown status bar that its manager answered with the size alone,
    // keeping the bar where it was: a manager that moves no shown window (weston's) places a
    // window only when it maps.
    std::optional<RootGeometry::PixelRect> refusedPlace;
    // The top the bar's manager put it at when it was last asked once more for ours.
    std::optional<long> insistedTop;
    // The window manager's frame that holds the window, watched for its moves: a manager may
    // move its frame without telling the window (weston's).
    unsigned long managerFrame = 0;
    // Whether the server has shown the window at least once (its first MapNotify).
    bool everViewable = false;
    // Until when every present sends the whole window: weston shows an X window made again only
    // some presents after it maps, and what it was sent before may never reach the screen.
    double wholeUntil = -1;
    // Whether the server shows the present X window: mapped by it and not unmapped since.
    bool viewable = false;
    // Whether the window manager put the window where it was last asked to be.
    bool managerFollows = false;
    // Mapped, and not yet found anywhere but where it was asked to be: a manager's first other
    // place for it is answered by asking once more.
    bool placeToInsist = false;
    // Over the window while its manager applies a resize (landResize).
    std::unique_ptr<ResizeVeil> veil;
    std::uint64_t veilSerial = 0;
    int level = 0;
    double alpha = 1;
    bool ignoresMouseEvents = false;
    bool mapped = false;
    bool overrideRedirect = false;
    // Drawn with alpha (a compositing manager blends it) or solid over the desktop and shaped.
    bool argb = false;
    bool shaped = false;
    // Without a compositor nothing blends a window's alpha, so a window at alpha 0 would still
    // show at full strength: it is given an empty bounding shape instead.
    bool hiddenByAlpha = false;
    // The colormap an alpha window's visual needs, made with it.
    unsigned long colormap = 0;
    bool focusWhenMapped = false;
    std::string title = "Pulsedeck";
    std::uint64_t stackOrder = 0;
    // A place and size the toolkit gave that wait for pixels drawn at that size: the next
    // present at it sends both together.
    std::optional<RootGeometry::PixelRect> pendingPixels;
    // The frame's size when the toolkit last presented a backing.
    gfx::Size drawnSize;
    // The pixels of the last resize, held by the server as the window's background.
    unsigned long backgroundPixmap = 0;
    // The desktop's picture under a shaped window (RGB24, the window's size), where it lies and
    // for which reading of the desktop.
    HeldSurface backdrop;
    RootGeometry::PixelRect backdropArea;
    std::uint64_t backdropSerial = 0;
    // The band a manager stretched a dock of ours over that the backdrop shows.
    std::optional<StretchedBand> backdropBand;
    HeldSurface surface;
    // The last backing the toolkit presented, kept to answer exposures.
    HeldSurface backing;
    // A shaped window's backing as last drawn solid (RGB24, the backing's size): exposures
    // copy from it instead of solidifying again.
    HeldSurface solid;
    // The solid copy as an image the server is sent from, made again when the copy is.
    std::unique_ptr<XImage, ImageHeaderRelease> solidImage;
    // What the window's bounding shape holds now, to send only shapes that change it.
    KeptPixels shape;
    // The status bar this window is drawn inside (none: it is a window of its own on the
    // server). A panel laid over the bar is drawn into the bar's own pixels, so no window manager
    // places it, hides it or offers actions for it.
    NativeWindowId host = 0;
    // A host's backing with its guests drawn over it (the backing's size), what the host shows.
    HeldSurface composed;
    // Whether every pixel of the backing is clear, worked out when first asked after a present.
    std::optional<bool> backingClear;
    // The union of an exposure series not yet repainted (x, y, right, bottom).
    std::optional<std::array<int, 4>> exposed;
};

// A property of a window as raw bytes (32-bit items as longs, as Xlib hands them over); empty
// when the window lacks it or holds it in another type.
std::vector<unsigned char> windowProperty(Display* display, ::Window window, Atom property,
                                          Atom type, int& format);
// A property's 32-bit items; empty unless it holds them.
std::vector<long> cardinals(Display* display, ::Window window, Atom property, Atom type);

double clockSeconds(clockid_t clock);

} // namespace ui::x11
