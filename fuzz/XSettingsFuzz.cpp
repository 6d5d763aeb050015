#include "platform/toolkit/x11/XSettings.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

// The settings blob and the resource database come from whatever program owns the desktop's
// settings; neither may crash the reader.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto settings = ui::x11::parseXSettings(std::span(data, size));
    const auto dpi =
        ui::x11::xftDpiFromResources(std::string_view(reinterpret_cast<const char*>(data), size));
    const int scale = ui::x11::backingScaleFrom(settings, dpi);
    if (scale < 1 || scale > 8)
        __builtin_trap();
    ui::x11::themeIsDark(settings);
    ui::x11::animationsDisabled(settings);
    return 0;
}
