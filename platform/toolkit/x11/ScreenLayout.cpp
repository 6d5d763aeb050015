#include "platform/toolkit/x11/ScreenLayout.h"

#include <algorithm>
#include <cmath>

namespace ui::x11 {

Strut Strut::fullSpan(long left, long right, long top, long bottom) {
    // The whole edge, however large the root window grows.
    constexpr long everywhere = 1L << 30;
    Strut strut;
    strut.left = left;
    strut.right = right;
    strut.top = top;
    strut.bottom = bottom;
    strut.leftEndY = strut.rightEndY = strut.topEndX = strut.bottomEndX = everywhere;
    return strut;
}

RootGeometry::RootGeometry(const MonitorArea& primary, int scale)
    : left_(primary.x), bottom_(double(primary.y) + primary.height), scale_(std::max(scale, 1)) {}

gfx::Point RootGeometry::pointFromPixel(double x, double y) const {
    return {(x - left_) / scale_, (bottom_ - y) / scale_};
}

gfx::Rect RootGeometry::rectFromPixels(double x, double y, double width, double height) const {
    const gfx::Point bottomLeft = pointFromPixel(x, y + height);
    return {bottomLeft, {width / scale_, height / scale_}};
}

RootGeometry::PixelRect RootGeometry::pixelsFromRect(const gfx::Rect& rect) const {
    const gfx::Rect r = rect.standardized();
    const double leftEdge = std::floor(left_ + r.minX() * scale_ + 1e-6);
    const double rightEdge = std::ceil(left_ + r.maxX() * scale_ - 1e-6);
    const double topEdge = std::floor(bottom_ - r.maxY() * scale_ + 1e-6);
    const double bottomEdge = std::ceil(bottom_ - r.minY() * scale_ - 1e-6);
    PixelRect pixels;
    pixels.x = static_cast<int>(leftEdge);
    pixels.y = static_cast<int>(topEdge);
    pixels.width = std::max(1, static_cast<int>(rightEdge - leftEdge));
    pixels.height = std::max(1, static_cast<int>(bottomEdge - topEdge));
    return pixels;
}

Strut clampedStrut(const Strut& strut, const RootGeometry::PixelRect& dock, int rootWidth,
                   int rootHeight) {
    auto within = [](long value, long limit) { return std::clamp(value, 0L, std::max(0L, limit)); };
    Strut clamped = strut;
    clamped.top = within(strut.top, std::min<long>(rootHeight, long(dock.y) + dock.height));
    clamped.bottom = within(strut.bottom, std::min<long>(rootHeight, long(rootHeight) - dock.y));
    clamped.left = within(strut.left, std::min<long>(rootWidth, long(dock.x) + dock.width));
    clamped.right = within(strut.right, std::min<long>(rootWidth, long(rootWidth) - dock.x));
    return clamped;
}

Strut statusBarStrut(const RootGeometry::PixelRect& bar, const std::vector<MonitorArea>& monitors,
                     long thickness) {
    // Panels stacked along a monitor's top never take more than this share of its height.
    constexpr double stackLimit = 0.25;
    Strut strut;
    for (const MonitorArea& monitor : monitors) {
        const bool hangsFrom = bar.x < monitor.x + monitor.width && bar.x + bar.width > monitor.x &&
                               bar.y >= monitor.y &&
                               bar.y - monitor.y <= long(stackLimit * monitor.height);
        if (!hangsFrom)
            continue;
        strut.top = long(bar.y) + std::min<long>(bar.height, thickness);
        strut.topStartX = bar.x;
        strut.topEndX = long(bar.x) + bar.width - 1;
        break;
    }
    return strut;
}

std::vector<MonitorArea> primaryFirst(std::vector<MonitorArea> monitors) {
    auto primary = std::find_if(monitors.begin(), monitors.end(),
                                [](const MonitorArea& monitor) { return monitor.primary; });
    if (primary != monitors.end() && primary != monitors.begin())
        std::rotate(monitors.begin(), primary, primary + 1);
    return monitors;
}

namespace {

bool spansOverlap(long start, long end, long from, long length) {
    return start <= from + length - 1 && end >= from;
}

} // namespace

EdgeInsets reservedEdges(const MonitorArea& monitor, int rootWidth, int rootHeight,
                         const std::vector<Strut>& struts) {
    EdgeInsets insets;
    const long rightGap = long(rootWidth) - (monitor.x + monitor.width);
    const long bottomGap = long(rootHeight) - (monitor.y + monitor.height);
    for (const Strut& strut : struts) {
        if (strut.top > 0 && spansOverlap(strut.topStartX, strut.topEndX, monitor.x, monitor.width))
            insets.top = std::max(insets.top, strut.top - monitor.y);
        if (strut.bottom > 0 &&
            spansOverlap(strut.bottomStartX, strut.bottomEndX, monitor.x, monitor.width))
            insets.bottom = std::max(insets.bottom, strut.bottom - bottomGap);
        if (strut.left > 0 &&
            spansOverlap(strut.leftStartY, strut.leftEndY, monitor.y, monitor.height))
            insets.left = std::max(insets.left, strut.left - monitor.x);
        if (strut.right > 0 &&
            spansOverlap(strut.rightStartY, strut.rightEndY, monitor.y, monitor.height))
            insets.right = std::max(insets.right, strut.right - rightGap);
    }
    insets.top = std::clamp(insets.top, 0L, long(monitor.height));
    insets.bottom = std::clamp(insets.bottom, 0L, long(monitor.height) - insets.top);
    insets.left = std::clamp(insets.left, 0L, long(monitor.width));
    insets.right = std::clamp(insets.right, 0L, long(monitor.width) - insets.left);
    return insets;
}

long statusBarTop(const MonitorArea& primary, std::vector<Dock> docks,
                  std::optional<long> windowlessTop, long barThickness) {
    // A work area whose top leaves the bar no rows on the monitor would put it out of reach.
    if (windowlessTop && *windowlessTop > long(primary.y) + primary.height - barThickness)
        windowlessTop.reset();
    long top = std::max<long>(primary.y, windowlessTop.value_or(primary.y));
    std::sort(docks.begin(), docks.end(),
              [](const Dock& a, const Dock& b) { return a.area.y < b.area.y; });
    for (const Dock& dock : docks) {
        const Strut& strut = dock.strut;
        if (strut.top > top && dock.area.y <= top &&
            spansOverlap(strut.topStartX, strut.topEndX, primary.x, primary.width))
            top = strut.top;
    }
    return std::min<long>(top, long(primary.y) + primary.height);
}

std::vector<ScreenDescription> describeScreens(std::vector<MonitorArea> monitors, int rootWidth,
                                               int rootHeight, const std::vector<Strut>& struts,
                                               int scale, double barThickness,
                                               std::optional<long> barTop) {
    monitors = primaryFirst(std::move(monitors));
    std::vector<ScreenDescription> screens;
    if (monitors.empty())
        return screens;
    const RootGeometry geometry(monitors.front(), scale);
    int number = 1;
    for (const MonitorArea& monitor : monitors) {
        EdgeInsets insets = reservedEdges(monitor, rootWidth, rootHeight, struts);
        ScreenDescription screen;
        screen.frame = geometry.rectFromPixels(monitor.x, monitor.y, monitor.width, monitor.height);
        if (screens.empty()) {
            if (barTop)
                insets.top = std::clamp(*barTop - monitor.y, 0L, long(monitor.height));
            screen.frame = geometry.rectFromPixels(monitor.x, monitor.y + insets.top, monitor.width,
                                                   monitor.height - insets.top);
            const long bar = std::lround(barThickness * geometry.scale());
            insets.top = std::min(insets.top + bar, long(monitor.height) - insets.bottom);
        }
        screen.visibleFrame =
            geometry.rectFromPixels(monitor.x + insets.left, monitor.y + insets.top,
                                    monitor.width - insets.left - insets.right,
                                    monitor.height - insets.top - insets.bottom);
        screen.displayNumber = number++;
        screen.backingScale = geometry.scale();
        screens.push_back(screen);
    }
    return screens;
}

std::map<int, gfx::Rect> describeDisplays(std::vector<MonitorArea> monitors, int scale) {
    monitors = primaryFirst(std::move(monitors));
    std::map<int, gfx::Rect> displays;
    if (monitors.empty())
        return displays;
    const RootGeometry geometry(monitors.front(), scale);
    int number = 1;
    for (const MonitorArea& monitor : monitors)
        displays.emplace(
            number++, geometry.rectFromPixels(monitor.x, monitor.y, monitor.width, monitor.height));
    return displays;
}

} // namespace ui::x11
