// weston's configuration is the user's file, read as it stands: no text may crash the reader, and
// the panel it gives is one weston's shell can show, reserving no more than its own thickness
// off each monitor it lies along.
#include "platform/toolkit/x11/WestonPanel.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    // The first line doubles as the command line's words.
    std::vector<std::string> arguments = {"weston"};
    for (std::size_t start = 0, end = 0; start < text.size() && text[start] != '\n';
         start = end + 1) {
        end = std::min({text.find(' ', start), text.find('\n', start), text.size()});
        arguments.push_back(text.substr(start, end - start));
    }
    const auto panel = ui::x11::westonPanel(arguments, text);
    if (!panel)
        return 0;
    if (panel->thickness != 32 && panel->thickness != 150 && panel->thickness != 170)
        __builtin_trap();
    const std::vector<ui::x11::MonitorArea> monitors = {{0, 0, 1280, 800, true},
                                                        {1280, 100, 1024, 768, false}};
    for (const auto& dock : ui::x11::westonPanelDocks(*panel, monitors, 2304, 868)) {
        const auto insets =
            ui::x11::reservedEdges(monitors[dock.area.x < 1280 ? 0 : 1], 2304, 868, {dock.strut});
        if (insets.left + insets.right + insets.top + insets.bottom != panel->thickness)
            __builtin_trap();
    }
    return 0;
}
