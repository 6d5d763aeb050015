// The settings blob and the resource database come from whatever program owns the desktop's
// settings; neither may crash the reader, and what the program makes of them must still hold: a
// backing scale of 1…8 that is the desktop's own factor when it names one, screens laid out at
// that scale that fit their monitors and map back onto the very pixels they came from, and the
// appearance the theme name picks resolving the label colour to one that reads on it.
#include "platform/graphics/Color.h"
#include "platform/toolkit/x11/ScreenLayout.h"
#include "platform/toolkit/x11/XSettings.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <set>
#include <span>
#include <string_view>
#include <vector>

namespace {

using namespace ui::x11;

// Monitors and other docks' struts from the input's last bytes, as a desktop of up to three
// monitors side by side might have them; the same bytes also went through the parsers.
struct Desktop {
    std::vector<MonitorArea> monitors;
    std::vector<Strut> struts;
    int rootWidth = 0;
    int rootHeight = 0;
};

Desktop desktopFrom(std::span<const std::uint8_t> bytes) {
    Desktop desktop;
    std::size_t count = bytes.empty() ? 1 : 1 + bytes.back() % 3;
    auto byte = [&](std::size_t fromEnd) -> int {
        return fromEnd < bytes.size() ? bytes[bytes.size() - 1 - fromEnd] : 0;
    };
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t at = 1 + 5 * i;
        MonitorArea monitor{desktop.rootWidth, byte(at) * 4, 320 + byte(at + 1) * 16,
                            240 + byte(at + 2) * 8, (byte(at + 3) & 1) != 0};
        desktop.rootWidth += monitor.width;
        desktop.rootHeight = std::max(desktop.rootHeight, monitor.y + monitor.height);
        desktop.monitors.push_back(monitor);
        Strut strut;
        strut.top = byte(at + 4) % 64;
        strut.topStartX = monitor.x;
        strut.topEndX = monitor.x + monitor.width - 1;
        strut.bottom = byte(at + 4) * 3;
        strut.bottomStartX = monitor.x + byte(at);
        strut.bottomEndX = monitor.x + byte(at + 1) * 32;
        const RootGeometry::PixelRect dock{monitor.x, monitor.y, monitor.width, byte(at + 2) + 1};
        desktop.struts.push_back(
            clampedStrut(strut, dock, desktop.rootWidth, std::max(1, desktop.rootHeight)));
    }
    return desktop;
}

bool contains(const gfx::Rect& outer, const gfx::Rect& inner) {
    constexpr double slack = 1e-9;
    return inner.minX() >= outer.minX() - slack && inner.maxX() <= outer.maxX() + slack &&
           inner.minY() >= outer.minY() - slack && inner.maxY() <= outer.maxY() + slack;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    const auto settings = parseXSettings(bytes);
    const auto dpi =
        xftDpiFromResources(std::string_view(reinterpret_cast<const char*>(data), size));
    if (dpi && !(*dpi > 0))
        __builtin_trap();
    const int scale = backingScaleFrom(settings, dpi);
    if (scale < 1 || scale > 8)
        __builtin_trap();
    if (settings) {
        // The desktop's own factor wins over the resource database whenever it is usable.
        const auto factor = settings->integers.find("Gdk/WindowScalingFactor");
        if (factor != settings->integers.end() && factor->second >= 1 &&
            scale != std::min(factor->second, 8))
            __builtin_trap();
    }

    const Desktop desktop = desktopFrom(bytes);
    const auto ordered = primaryFirst(desktop.monitors);
    const RootGeometry geometry(ordered.front(), scale);
    const auto screens = describeScreens(desktop.monitors, desktop.rootWidth, desktop.rootHeight,
                                         desktop.struts, scale, 24);
    if (screens.size() != desktop.monitors.size())
        __builtin_trap();
    std::set<int> displayNumbers;
    for (std::size_t i = 0; i < screens.size(); ++i) {
        const auto& screen = screens[i];
        const auto& monitor = ordered[i];
        const gfx::Rect whole =
            geometry.rectFromPixels(monitor.x, monitor.y, monitor.width, monitor.height);
        // A window placed over the whole monitor covers exactly its pixels.
        if (geometry.pixelsFromRect(whole) !=
            RootGeometry::PixelRect{monitor.x, monitor.y, monitor.width, monitor.height})
            __builtin_trap();
        if (screen.backingScale != scale || !contains(whole, screen.frame) ||
            !contains(screen.frame, screen.visibleFrame))
            __builtin_trap();
        displayNumbers.insert(screen.displayNumber);
    }
    if (displayNumbers.size() != screens.size() ||
        describeDisplays(desktop.monitors, scale).size() != screens.size())
        __builtin_trap();

    // The appearance and motion the desktop asks for, as the backend reports them without a
    // portal, with the label colour of that appearance: dark text on light, light on dark.
    ui::DesktopSettings desktopSettings;
    desktopSettings.appearance =
        themeIsDark(settings) ? gfx::Appearance::dark : gfx::Appearance::light;
    desktopSettings.reduceMotion = animationsDisabled(settings);
    const gfx::Color label = gfx::Color::label().resolved(desktopSettings.appearance);
    if (label.isDynamic() ||
        (desktopSettings.appearance == gfx::Appearance::dark) != (label.red() > 0.5))
        __builtin_trap();
    return 0;
}
