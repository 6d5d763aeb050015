#pragma once

#include "platform/toolkit/WindowServer.h"

#include <cstdint>
#include <map>
#include <optional>
#include <vector>

namespace ui::x11 {

// A monitor in X root-window pixels (origin top-left, y down).
struct MonitorArea {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool primary = false;

    friend bool operator==(const MonitorArea&, const MonitorArea&) = default;
};

// One window's _NET_WM_STRUT_PARTIAL: how far it reserves each edge of the root window, and
// over which span of that edge. A plain _NET_WM_STRUT reserves its edges over their full span.
struct Strut {
    long left = 0, right = 0, top = 0, bottom = 0;
    long leftStartY = 0, leftEndY = 0, rightStartY = 0, rightEndY = 0;
    long topStartX = 0, topEndX = 0, bottomStartX = 0, bottomEndX = 0;

    static Strut fullSpan(long left, long right, long top, long bottom);
    friend bool operator==(const Strut&, const Strut&) = default;
};

// How the root window's pixels map to the global point space: its origin is the primary
// monitor's bottom-left corner, y up, and a point is `scale` pixels.
class RootGeometry {
public:
    RootGeometry() = default;
    RootGeometry(const MonitorArea& primary, int scale);

    int scale() const { return scale_; }
    gfx::Point pointFromPixel(double x, double y) const;
    // A rect of root pixels (top-left corner and size) in points.
    gfx::Rect rectFromPixels(double x, double y, double width, double height) const;
    struct PixelRect {
        int x = 0, y = 0, width = 0, height = 0;
        friend bool operator==(const PixelRect&, const PixelRect&) = default;
    };
    // A rect in points as root pixels, rounded outwards; never smaller than one pixel.
    PixelRect pixelsFromRect(const gfx::Rect& rect) const;

private:
    double left_ = 0;
    double bottom_ = 0;
    int scale_ = 1;
};

// A strut as far as it can hold: no edge reserved beyond the root window, nor beyond the far side
// of the dock that claims it (a dock reserves the space it covers, and a strut of 100,000 pixels
// from a 30-pixel panel is a fault of that panel, not a screen to give away).
Strut clampedStrut(const Strut& strut, const RootGeometry::PixelRect& dock, int rootWidth,
                   int rootHeight);

// The strut our status bar advertises where it stands (`bar`, in root pixels): the top edge of
// the monitor it hangs from, down to its bottom, over its own columns, and no deeper than its own
// `thickness` below where it stands. A bar a manager floats away from the top (one that ignores
// the dock type) reserves nothing: it lies below the panels that may stack at a monitor's top,
// which take no more than a quarter of its height.
Strut statusBarStrut(const RootGeometry::PixelRect& bar, const std::vector<MonitorArea>& monitors,
                     long thickness);

// The monitors with the primary first (the first monitor when none is marked primary).
std::vector<MonitorArea> primaryFirst(std::vector<MonitorArea> monitors);

// How many pixels the struts take off each edge of the monitor.
struct EdgeInsets {
    long left = 0, right = 0, top = 0, bottom = 0;
    friend bool operator==(const EdgeInsets&, const EdgeInsets&) = default;
};
EdgeInsets reservedEdges(const MonitorArea& monitor, int rootWidth, int rootHeight,
                         const std::vector<Strut>& struts);

// Another program's dock: what it reserves, and where its window lies.
struct Dock {
    Strut strut;
    RootGeometry::PixelRect area;
};

// Rows a window manager shows its own frames in, and their colour (0xRRGGBB).
struct StretchedBand {
    RootGeometry::PixelRect area;
    std::uint32_t colour = 0;
    friend bool operator==(const StretchedBand&, const StretchedBand&) = default;
};

// The root row where the status bar's top belongs on the primary monitor: below the top struts of
// the docks that lie at or above that row, and below a panel without a window of its own that
// reserves the rows above `windowlessTop` (read from the work area) unless that leaves fewer than
// the bar's `barThickness` rows on the monitor. A dock lying lower (another status bar, placed
// below ours) is not honoured: each bar honouring the other's strut would push both down the
// screen.
long statusBarTop(const MonitorArea& primary, std::vector<Dock> docks,
                  std::optional<long> windowlessTop, long barThickness);

// The screens the toolkit sees: each monitor (the primary first) less the other docks' struts
// in its visible frame. The primary's frame begins at `barTop` (a root row; below whatever other
// panels reserve at its top when none is given), since that is where our status bar sits (the
// toolkit puts the bar at the frame's top), and its visible frame leaves out the bar's
// `barThickness` points: so frame top − visible-frame top is the bar's thickness wherever the bar
// sits.
std::vector<ScreenDescription> describeScreens(std::vector<MonitorArea> monitors, int rootWidth,
                                               int rootHeight, const std::vector<Strut>& struts,
                                               int scale, double barThickness,
                                               std::optional<long> barTop = std::nullopt);

// Each monitor's whole area in points, by the display number describeScreens gives its screen.
std::map<int, gfx::Rect> describeDisplays(std::vector<MonitorArea> monitors, int scale);

} // namespace ui::x11
