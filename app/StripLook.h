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
// them) are left alone; when only module images changed, only those modules are. Images count by
// identity — an image kept from the last rebuild is the same picture — and are held here, so a new
// image can never reuse a released one's address.
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
    bool sorting = false;

    static StripLook of(const MenuBarContentView& strip);
    // Whether the strip would paint the same pixels from either look.
    bool sameAs(const StripLook& other) const;
    // When the looks differ only in module images, the modules whose image changed (none when
    // nothing did); otherwise none at all: the layout or the appearance moved, and the whole
    // strip must be painted again.
    std::optional<std::vector<ModuleKind>> changedImagesOnly(const StripLook& other) const;

    // The modules of `images`, in their order.
    static constexpr std::array<ModuleKind, 5> imageModules{
        ModuleKind::memory, ModuleKind::network, ModuleKind::temperature, ModuleKind::compute,
        ModuleKind::devices};

private:
    bool sameApartFromImages(const StripLook& other) const;
};

} // namespace pulsedeck
