#pragma once

#include "platform/foundation/Bundle.h"
#include "platform/graphics/Context.h"
#include "platform/graphics/Image.h"

#include <optional>
#include <string>

namespace pulsedeck {

// The application's mark: a rounded tile holding three level bars of the palette's blue, teal
// and green under a pulse line, on a light or a dark tile.
void drawAppIcon(gfx::Context& context, const gfx::Rect& rect, bool dark);

// The mark as an image of `size` points.
gfx::Image appIconImage(bool dark, double size = 256);

// The bundle's "AppIcon" (light) or "AppIconDark" (dark) picture; none when the resource is
// missing or cannot be read.
std::optional<gfx::Image> loadAppIcon(const foundation::Bundle& bundle, bool dark);

// The bundle's light "AppIcon" picture as a file:// URI, each path segment percent-encoded, as
// notification services take an icon; empty when the resource is missing.
std::string appIconURI(const foundation::Bundle& bundle);

} // namespace pulsedeck
