#include "app/StripLook.h"

#include "statusbar/MenuBarContentView.h"

namespace pulsedeck {

namespace {

// The same picture: both absent, or both the one bitmap. An image without a bitmap has no
// identity to compare and always counts as changed.
bool sameImage(const std::optional<gfx::Image>& left, const std::optional<gfx::Image>& right) {
    if (!left || !right)
        return !left && !right;
    return left->bitmap() && left->bitmap() == right->bitmap() && left->size() == right->size();
}

} // namespace

StripLook StripLook::of(const MenuBarContentView& strip) {
    StripLook look;
    look.images = {strip.memoryImage, strip.networkImage, strip.temperatureImage,
                   strip.computeImage, strip.devicesImage};
    look.ringBackdrop = strip.ringBackdrop;
    look.graphBackdrop = strip.graphBackdrop;
    look.rotorKey = strip.rotorKey;
    look.displayedRects = strip.displayedRects;
    look.order = strip.order;
    look.editableModules = strip.editableModules;
    look.presentationHeight = strip.presentationHeight;
    look.size = strip.frame().size;
    look.displaysAppMark = strip.displaysAppMark;
    look.dark = strip.drawsDark();
    look.graphProgress = strip.graphProgress;
    look.fanMode = strip.fanMode;
    look.fanGap = strip.fanGap;
    look.chartLength = strip.chartLength;
    look.sorting = strip.isSorting();
    return look;
}

bool StripLook::sameAs(const StripLook& other) const {
    const auto changed = changedImagesOnly(other);
    return changed && changed->empty();
}

std::optional<std::vector<ModuleKind>> StripLook::changedImagesOnly(const StripLook& other) const {
    if (!sameApartFromImages(other))
        return std::nullopt;
    std::vector<ModuleKind> changed;
    for (std::size_t i = 0; i < images.size(); ++i)
        if (!sameImage(images[i], other.images[i]))
            changed.push_back(imageModules[i]);
    return changed;
}

bool StripLook::sameApartFromImages(const StripLook& other) const {
    return sameImage(ringBackdrop, other.ringBackdrop) &&
           sameImage(graphBackdrop, other.graphBackdrop) && rotorKey == other.rotorKey &&
           displayedRects == other.displayedRects && order == other.order &&
           editableModules == other.editableModules &&
           presentationHeight == other.presentationHeight && size == other.size &&
           displaysAppMark == other.displaysAppMark && dark == other.dark &&
           graphProgress == other.graphProgress && fanMode == other.fanMode &&
           fanGap == other.fanGap && chartLength == other.chartLength && !sorting && !other.sorting;
}

} // namespace pulsedeck
