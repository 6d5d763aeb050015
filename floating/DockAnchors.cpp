#include "floating/DockAnchors.h"

#include "platform/graphics/RectText.h"

namespace pulsedeck {

DockAnchor DockAnchor::measure(const gfx::Rect& screenFrame, const gfx::Rect& strip) {
    return {screenFrame.maxX() - strip.maxX(), screenFrame.maxY() - strip.midY(), strip.width(),
            strip.height()};
}

std::optional<DockAnchor> DockAnchor::parse(std::string_view text) {
    const std::optional<gfx::Rect> rect = gfx::rectFromString(text);
    if (!rect)
        return std::nullopt;
    const DockAnchor anchor{rect->x(), rect->y(), rect->width(), rect->height()};
    if (!anchor.isPlausible())
        return std::nullopt;
    return anchor;
}

std::string DockAnchor::text() const {
    return gfx::stringFromRect({dx, dy, width, height});
}

bool DockAnchor::isPlausible() const {
    return width > 0 && dx >= 0 && dy > 0 && dy < maximumDepth;
}

gfx::Rect DockAnchor::frame(const gfx::Rect& screenFrame, gfx::Size bar) const {
    return {screenFrame.maxX() - dx - bar.width, screenFrame.maxY() - dy - bar.height * 0.5,
            bar.width, bar.height};
}

std::string dockAnchorKey(int displayNumber) {
    if (displayNumber == 0)
        return "nil";
    return "Optional(" + std::to_string(displayNumber) + ")";
}

DockAnchorTexts decodeDockAnchors(const std::optional<foundation::PropertyDictionary>& stored) {
    DockAnchorTexts anchors;
    if (!stored)
        return anchors;
    for (const auto& [key, value] : *stored) {
        const std::string* text = value.asString();
        if (!text)
            return {};
        anchors.emplace(key, *text);
    }
    return anchors;
}

foundation::PropertyDictionary encodeDockAnchors(const DockAnchorTexts& anchors) {
    foundation::PropertyDictionary stored;
    for (const auto& [key, text] : anchors)
        stored.emplace(key, text);
    return stored;
}

} // namespace pulsedeck
