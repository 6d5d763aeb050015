#pragma once

#include "platform/graphics/Geometry.h"

namespace ui {

// How an image fits the box a control or image view gives it.
enum class ImageScaling { proportionallyDown, axesIndependently, none, proportionallyUpOrDown };

// Where an image of that size is drawn in the box: centred, and scaled as the mode says
// (proportionally down shrinks a larger image to fit, keeping its aspect, and never enlarges).
// An image with no area gives an empty rect.
gfx::Rect scaledImageRect(gfx::Size image, const gfx::Rect& box, ImageScaling scaling);

} // namespace ui
