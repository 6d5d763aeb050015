#pragma once

#include "platform/graphics/Image.h"
#include "statusbar/KeptStatusImage.h"

#include <cairo.h>
#include <gtest/gtest.h>
#include <optional>
#include <span>
#include <vector>

namespace testsupport {

// Pixels that differ between two images of one pixel size.
inline int differingPixels(const gfx::Image& one, const gfx::Image& other) {
    int count = 0;
    for (int row = 0; row < other.bitmap()->pixelsHigh(); ++row)
        for (int column = 0; column < other.bitmap()->pixelsWide(); ++column)
            count += one.bitmap()->pixel(column, row) != other.bitmap()->pixel(column, row);
    return count;
}

// Draws a module's contents second by second through the kept images, as the strip does, twice:
// once letting each image go when the next arrives, so that the one before the latest is drawn
// over where it lies, and once holding every image. Each image must show what a fresh drawing
// does, pixel for pixel, and a held image must never change afterwards. Gives the pixel storage
// of each image of the first pass.
template <typename Content, typename Draw, typename Redraw>
std::vector<const void*> expectKeptImagesDrawnFresh(std::span<const Content> seconds, Draw draw,
                                                    Redraw redraw) {
    std::vector<const void*> storage;
    for (bool holdsEvery : {false, true}) {
        pulsedeck::KeptStatusImage<Content> kept;
        std::vector<gfx::Image> fresh;
        std::vector<gfx::Image> held;
        std::optional<gfx::Image> shown;
        for (std::size_t second = 0; second < seconds.size(); ++second) {
            SCOPED_TRACE(testing::Message()
                         << "second " << second << ", holding every image " << holdsEvery);
            fresh.push_back(draw(seconds[second]));
            shown = kept.image(seconds[second], draw, redraw);
            if (!shown->bitmap() || shown->size() != fresh.back().size()) {
                ADD_FAILURE() << "no bitmap, or not the fresh image's size";
                return storage;
            }
            EXPECT_EQ(differingPixels(*shown, fresh.back()), 0);
            if (holdsEvery) {
                held.push_back(*shown);
            } else {
                storage.push_back(cairo_image_surface_get_data(shown->bitmap()->surface()));
            }
        }
        for (std::size_t second = 0; second < held.size(); ++second) {
            EXPECT_EQ(differingPixels(held[second], fresh[second]), 0) << "held " << second;
        }
    }
    return storage;
}

} // namespace testsupport
