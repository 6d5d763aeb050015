#pragma once

#include <pango/pango.h>

namespace gfx {

// The pango context text is shaped in: the default cairo font map of this thread, 72 dpi (so a
// pango point is one user unit), metrics unhinted so that positions do not depend on the scale
// a layout is later drawn at. One per thread, made on first use; pango's font map is itself per
// thread, so this adds no sharing.
PangoContext* shapingContext();

} // namespace gfx
