#pragma once

// What the tests on a private X server share. Header-only: the support library links nothing but
// GTest, and each of these tests links Xlib and the X11 window server through the library it
// tests. It brings Xlib, whose macros (None, Bool, Status) break other headers: include it last.

#include "platform/graphics/Bitmap.h"
#include "platform/toolkit/Application.h"
#include "platform/toolkit/Window.h"
#include "platform/toolkit/x11/X11WindowServer.h"
#include "support/RunUntil.h"
#include "support/XvfbServer.h"

#include <algorithm>
#include <cairo.h>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <ostream>
#include <vector>

// clang-format off
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XInput2.h>
#include <X11/extensions/XTest.h>
// clang-format on

namespace testsupport {

struct Rgb {
    int red = 0, green = 0, blue = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

inline std::ostream& operator<<(std::ostream& out, const Rgb& rgb) {
    return out << "rgb(" << rgb.red << ", " << rgb.green << ", " << rgb.blue << ")";
}

inline bool near(const Rgb& a, const Rgb& b, int tolerance = 2) {
    return std::abs(a.red - b.red) <= tolerance && std::abs(a.green - b.green) <= tolerance &&
           std::abs(a.blue - b.blue) <= tolerance;
}

// Pixels read back from an X drawable, row by row from the top; none when the read failed.
struct Capture {
    int width = 0, height = 0;
    std::vector<unsigned long> pixels;

    Rgb at(int column, int row) const {
        const unsigned long pixel =
            pixels[std::size_t(row) * std::size_t(width) + std::size_t(column)];
        return {int((pixel >> 16) & 0xff), int((pixel >> 8) & 0xff), int(pixel & 0xff)};
    }

    // Opaque at scale 1, for PNGs people look at and for the bitmap's own pixel probes;
    // transparent where nothing was read.
    gfx::Bitmap bitmap() const {
        gfx::Bitmap bitmap = gfx::Bitmap::forPointSize({double(width), double(height)}, 1);
        if (pixels.empty())
            return bitmap;
        cairo_surface_flush(bitmap.surface());
        unsigned char* data = cairo_image_surface_get_data(bitmap.surface());
        const int stride = cairo_image_surface_get_stride(bitmap.surface());
        for (int row = 0; row < height; ++row) {
            auto* out = reinterpret_cast<std::uint32_t*>(data + row * stride);
            for (int column = 0; column < width; ++column)
                out[column] = 0xff000000u |
                              (pixels[std::size_t(row) * std::size_t(width) + std::size_t(column)] &
                               0xffffffu);
        }
        cairo_surface_mark_dirty(bitmap.surface());
        return bitmap;
    }

    // False when nothing was read, as well as when the file cannot be written.
    bool writePng(const std::filesystem::path& path) const {
        return !pixels.empty() && bitmap().writePng(path.string());
    }
};

inline Capture capture(Display* display, Drawable drawable, int x, int y, int width, int height) {
    Capture captured{width, height, {}};
    XImage* image =
        XGetImage(display, drawable, x, y, unsigned(width), unsigned(height), AllPlanes, ZPixmap);
    if (!image)
        return captured;
    captured.pixels.reserve(std::size_t(width) * std::size_t(height));
    for (int row = 0; row < height; ++row) {
        for (int column = 0; column < width; ++column)
            captured.pixels.push_back(XGetPixel(image, column, row));
    }
    XDestroyImage(image);
    return captured;
}

// One pixel of a drawable; -1 in every channel when it cannot be read.
inline Rgb pixelAt(Display* display, Drawable drawable, int x, int y) {
    const Capture one = capture(display, drawable, x, y, 1, 1);
    return one.pixels.empty() ? Rgb{-1, -1, -1} : one.at(0, 0);
}

// A window's place on the root, in pixels.
struct PixelArea {
    int x = 0, y = 0, width = 0, height = 0;
    friend bool operator==(const PixelArea&, const PixelArea&) = default;
};

inline PixelArea rootArea(Display* display, ::Window window) {
    XWindowAttributes attributes{};
    XGetWindowAttributes(display, window, &attributes);
    ::Window child = 0;
    PixelArea area;
    XTranslateCoordinates(display, window, DefaultRootWindow(display), 0, 0, &area.x, &area.y,
                          &child);
    area.width = attributes.width;
    area.height = attributes.height;
    return area;
}

// The items of a property in 32-bit format (Xlib hands them over as longs); none when the
// window lacks it or holds it in another format.
inline std::vector<long> windowProperty(Display* display, ::Window window, const char* name,
                                        Atom type, long length) {
    Atom actual = 0;
    int format = 0;
    unsigned long count = 0, remaining = 0;
    unsigned char* data = nullptr;
    std::vector<long> items;
    if (XGetWindowProperty(display, window, XInternAtom(display, name, False), 0, length, False,
                           type, &actual, &format, &count, &remaining, &data) == Success &&
        data && format == 32) {
        const long* first = reinterpret_cast<const long*>(data);
        items.assign(first, first + count);
    }
    if (data)
        XFree(data);
    return items;
}

// Sets a property in 32-bit format, as another program would.
inline void setWindowProperty(Display* display, ::Window window, const char* name, Atom type,
                              const std::vector<long>& items) {
    XChangeProperty(display, window, XInternAtom(display, name, False), type, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(items.data()), int(items.size()));
}

// A desktop picture of one colour, set as desktops set theirs (a compositor paints it).
inline void setDesktopColour(Display* display, unsigned long colour) {
    const ::Window root = DefaultRootWindow(display);
    const Pixmap picture = XCreatePixmap(display, root, 16, 16, unsigned(DefaultDepth(display, 0)));
    GC gc = XCreateGC(display, picture, 0, nullptr);
    XSetForeground(display, gc, colour);
    XFillRectangle(display, picture, gc, 0, 0, 16, 16);
    XFreeGC(display, gc);
    const long id = long(picture);
    for (const char* name : {"_XROOTPMAP_ID", "ESETROOT_PMAP_ID"})
        XChangeProperty(display, root, XInternAtom(display, name, False), XA_PIXMAP, 32,
                        PropModeReplace, reinterpret_cast<const unsigned char*>(&id), 1);
    XSetWindowBackgroundPixmap(display, root, picture);
    XClearWindow(display, root);
    XSync(display, False);
}

struct DisplayCloser {
    void operator()(Display* display) const { XCloseDisplay(display); }
};
using DisplayConnection = std::unique_ptr<Display, DisplayCloser>;

// A connection of the test's own to its running server, as the user's side looks at it, the
// desktop painted one colour if asked. Windows come and go while they are looked at, so errors
// about vanished ones are ignored. Call in ASSERT_NO_FATAL_FAILURE.
inline void lookAtServer(const XvfbServer& xvfb, DisplayConnection& connection,
                         std::optional<unsigned long> desktopColour = std::nullopt) {
    ASSERT_TRUE(xvfb.isRunning()) << xvfb.failure();
    XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
    connection.reset(XOpenDisplay(xvfb.displayName().c_str()));
    ASSERT_TRUE(connection) << "no connection to " << xvfb.displayName();
    if (desktopColour)
        setDesktopColour(connection.get(), *desktopColour);
}

// A key as the keyboard would send it, through the given connection.
// Whether the connection has the server send it every raw pointer move on the root window.
inline bool selectsRawMotion(Display* display) {
    int count = 0;
    XIEventMask* masks = XIGetSelectedEvents(display, DefaultRootWindow(display), &count);
    bool selected = false;
    for (int i = 0; i < count; ++i)
        selected = selected || (masks[i].mask_len > XI_RawMotion / 8 &&
                                XIMaskIsSet(masks[i].mask, XI_RawMotion));
    if (masks)
        XFree(masks);
    return selected;
}

inline void fakeKey(Display* display, KeySym symbol, bool down) {
    XTestFakeKeyEvent(display, XKeysymToKeycode(display, symbol), down ? True : False, CurrentTime);
    XFlush(display);
}

// Our X11 window server with an application on a private Xvfb, and a second connection that acts
// as the user (XTest input) or as another program.
class X11Fixture : public ::testing::Test {
protected:
    static constexpr int screenWidth = 1280;
    static constexpr int screenHeight = 800;

    explicit X11Fixture(int width = screenWidth, int height = screenHeight) : xvfb(width, height) {}

    void SetUp() override { openServer(1); }

    // A fixture with a SetUp of its own calls this, or SetUp, in ASSERT_NO_FATAL_FAILURE.
    void openServer(int backingScale) {
        ASSERT_TRUE(xvfb.isRunning()) << xvfb.failure();
        ui::x11::X11WindowServer::Options options;
        options.displayName = xvfb.displayName();
        options.backingScale = backingScale;
        options.usePortal = false;
        server = ui::x11::X11WindowServer::open(loop, options);
        ASSERT_TRUE(server);
        app = std::make_unique<ui::Application>(*server, loop);
        user = XOpenDisplay(xvfb.displayName().c_str());
        ASSERT_NE(user, nullptr);
    }

    void TearDown() override {
        app.reset();
        server.reset();
        if (user)
            XCloseDisplay(user);
    }

    bool runUntil(const std::function<bool()>& done, double seconds = patience) {
        return testsupport::runUntil(loop, done, seconds);
    }
    void settle(double seconds = 0.15) { testsupport::settle(loop, seconds); }

    std::optional<::Window> xWindow(const ui::Window& window) const {
        const auto number = window.windowNumber();
        return number ? server->xWindow(*number) : std::nullopt;
    }

    bool viewable(const ui::Window& window) const {
        const auto xid = xWindow(window);
        XWindowAttributes attributes{};
        return xid && XGetWindowAttributes(server->display(), *xid, &attributes) &&
               attributes.map_state == IsViewable;
    }

    // The user's hand: XTest input from a connection of its own, in root pixels.
    void moveTo(int x, int y) {
        XTestFakeMotionEvent(user, 0, x, y, CurrentTime);
        XFlush(user);
    }
    void button(unsigned number, bool down) {
        XTestFakeButtonEvent(user, number, down ? True : False, CurrentTime);
        XFlush(user);
    }
    void key(KeySym symbol, bool down) { fakeKey(user, symbol, down); }
    void click(int x, int y, unsigned number = 1) {
        moveTo(x, y);
        button(number, true);
        button(number, false);
    }

    // What the screen shows, whichever window drew it. The server refuses a rectangle that
    // leaves the screen, so a margin around a window at an edge is cut at the edge.
    Capture captureRoot(int x, int y, int width, int height) const {
        const int left = std::max(x, 0);
        const int top = std::max(y, 0);
        const int right = std::min(x + width, xvfb.width());
        const int bottom = std::min(y + height, xvfb.height());
        return capture(server->display(), DefaultRootWindow(server->display()), left, top,
                       std::max(right - left, 0), std::max(bottom - top, 0));
    }
    Rgb rootPixel(int x, int y) const {
        return pixelAt(server->display(), DefaultRootWindow(server->display()), x, y);
    }

    XvfbServer xvfb;
    dispatch::RunLoop loop;
    dispatch::ScopedMainRunLoop scopedLoop{loop};
    std::unique_ptr<ui::x11::X11WindowServer> server;
    std::unique_ptr<ui::Application> app;
    Display* user = nullptr;
};

} // namespace testsupport
