#pragma once

#include "platform/graphics/Image.h"

#include <vector>

namespace ui::x11 {

// The sizes, in pixels, an application's picture is given to the desktop in: the small ones for
// task lists and title bars, the larger for window switchers.
inline constexpr int windowIconSides[] = {16, 24, 32, 48, 64, 128};

// An image as the value of _NET_WM_ICON: for each side, the width, the height and then its
// pixels row by row from the top, each one cardinal of non-premultiplied ARGB (alpha in the top
// byte). Cardinals travel as `long`, as Xlib's 32-bit properties do on every architecture.
std::vector<long> windowIconCardinals(const gfx::Image& image, const std::vector<int>& sides);

} // namespace ui::x11
