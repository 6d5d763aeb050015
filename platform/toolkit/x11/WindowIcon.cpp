#include "platform/toolkit/x11/WindowIcon.h"

#include "platform/graphics/Bitmap.h"
#include "platform/graphics/Context.h"

namespace ui::x11 {

namespace {

// Cairo keeps colour premultiplied by alpha; the property wants it plain.
unsigned long straightArgb(const gfx::Rgba8& pixel) {
    auto plain = [&](int channel) {
        return pixel.alpha == 0
                   ? 0ul
                   : static_cast<unsigned long>((channel * 255 + pixel.alpha / 2) / pixel.alpha);
    };
    return static_cast<unsigned long>(pixel.alpha) << 24 | plain(pixel.red) << 16 |
           plain(pixel.green) << 8 | plain(pixel.blue);
}

} // namespace

std::vector<long> windowIconCardinals(const gfx::Image& image, const std::vector<int>& sides) {
    std::vector<long> cardinals;
    for (int side : sides) {
        const double points = side;
        gfx::Bitmap bitmap(side, side, {points, points});
        {
            gfx::Context context(bitmap);
            image.draw(context, gfx::Rect{0, 0, points, points});
        }
        cardinals.push_back(side);
        cardinals.push_back(side);
        for (int row = 0; row < side; ++row)
            for (int column = 0; column < side; ++column)
                cardinals.push_back(static_cast<long>(straightArgb(bitmap.pixel(column, row))));
    }
    return cardinals;
}

} // namespace ui::x11
