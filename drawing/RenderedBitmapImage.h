#pragma once

#include "platform/graphics/Image.h"

namespace pulsedeck {

// An image drawn once into a new bitmap at the scale (every module image passes 2): a bitmap of
// ceil(width × scale) by ceil(height × scale) pixels, RGBA 8 bits per sample, whose point size
// is the image's, drawn with the graphics state saved and restored around it; the result is not
// a template. The strip and the floating bar then only composite bitmaps, never redraw handlers.
//
// Dynamic colours (the secondary label colour, say) resolve against the dark flag the image was
// made for, not against whatever appearance later draws the bitmap.
//
// A size or scale that is not a finite positive number, or a bitmap wider or taller than a
// drawing surface can be, gives an image of the point size with an empty bitmap: nothing is
// drawn and nothing fails.
gfx::Image renderedBitmapImage(const gfx::Image& image, double scale, bool dark);

} // namespace pulsedeck
