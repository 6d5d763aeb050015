#pragma once

#include "model/Modules.h"
#include "platform/graphics/Geometry.h"
#include "platform/graphics/Image.h"
#include "sources/FanDisplayMode.h"
#include "statusbar/StripMetrics.h"

#include <array>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace pulsedeck {

class MenuBarContentView;

// What the strip paints from, as far as a status rebuild sets it. Taken before and after a
// rebuild: when nothing in it changed, the strip's pixels (and the editing surfaces that copy
// them) are left alone. Images count by identity — an image kept from the last rebuild is the
// same picture — and are held here, so a new image can never reuse a released one's address.
struct StripLook {
    std::array<std::optional<gfx::Image>, 5> images;
    std::optional<gfx::Image> ringBackdrop;
    std::optional<gfx::Image> graphBackdrop;
    std::string rotorKey;
    ModuleRects displayedRects;
    std::vector<ModuleKind> order;
    std::set<ModuleKind> editableModules;
    std::optional<double> presentationHeight;
    gfx::Size size;
    bool displaysAppMark = false;
    bool dark = false;
    double graphProgress = 0;
    FanDisplayMode fanMode = FanDisplayMode::ring;
    double fanGap = 0;
    double chartLength = 0;

    static StripLook of(const MenuBarContentView& strip);
    // Whether the strip would paint the same pixels from either look.
    bool sameAs(const StripLook& other) const;
};

} // namespace pulsedeck
