#pragma once

#include "model/Modules.h"
#include "platform/graphics/Color.h"
#include "platform/graphics/Context.h"
#include "platform/graphics/Geometry.h"
#include "sources/ExternalDevice.h"

#include <optional>
#include <string>
#include <vector>

namespace pulsedeck {

// Drawing and comparison helpers shared by the views that show devices. Each draws into the
// context it is given and keeps no state. Main thread (drawing code).

// The device's capacity bar in rect: a track, and on it the used share in `fill`, or a hatch
// when the capacity or the free space is unknown.
void drawCapacityBar(gfx::Context& context, const ExternalDevice& device, const gfx::Color& fill,
                     const gfx::Rect& rect);

// How far a device card has come in: its scale, opacity and vertical offset `elapsed` seconds
// after it appeared (the caller clamps elapsed at 0). A spring that settles at rest by 0.72 s.
struct RevealState {
    double scale = 1;
    double opacity = 1;
    double offset = 0;

    bool operator==(const RevealState&) const = default;
};
RevealState revealCurve(bool reduceMotion, double elapsed);

// The count badge of the devices module: its text ("99+" above 99), its rounded rectangle in the
// module image's space, and the point size of its text.
struct DeviceCountBadge {
    std::string text;
    gfx::Rect rect;
    double fontSize = 0;

    bool operator==(const DeviceCountBadge&) const = default;
};
DeviceCountBadge deviceCountBadge(std::size_t count);

// The devices module's content in the module image's fixed space (34 × 24 points, y up): the
// drive symbol in the symbol colour (the accent when none is given) and the count badge.
void drawDevicesIcon(gfx::Context& context, const gfx::Color& foreground,
                     std::optional<gfx::Color> symbolColor,
                     const std::vector<ExternalDevice>& devices, bool dark);

// The USB trident in a 14 × 14 point box at the origin (y up), stroked and filled in color.
void drawUSBSymbol(gfx::Context& context, const gfx::Color& color);

// Two lists are the same when they have the same elements in the same order; a list is always the
// same as itself. Devices compare every field; module orders their kinds; view lists their views'
// identity (a list of view pointers).
template <typename Element>
bool sameList(const std::vector<Element>& a, const std::vector<Element>& b) {
    return &a == &b || a == b;
}

} // namespace pulsedeck
