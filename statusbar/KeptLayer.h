#pragma once

#include "platform/graphics/Bitmap.h"
#include "platform/graphics/Context.h"

#include <cairo.h>
#include <functional>
#include <optional>

namespace pulsedeck {

// A drawing kept as device pixels, for a large shape that is drawn again over and over while it
// does not change (the strip's rounded background under every partial repaint): cairo rebuilds
// and rasterises a whole path for each draw, where copying the pixels under the clip costs a
// blit. Without it a second of the whole program costs 1,190 µs of CPU instead of 990, 580–645
// instead of 475 quiet (bench/WholeProgramBench, where the editing surface draws the strip as it
// does over the status bar). Only where the copy is exact is it used: an axis-aligned transform,
// drawn source-over at full alpha with no shadow and no recorder; elsewhere draw() declines and the
// caller draws.
class KeptLayer {
public:
    // Draws what paint draws within bounds (user space) from the kept pixels, painting them anew
    // first when changed is true, the transform moved or no pixels are kept. False, with nothing
    // drawn, when the copy would not be exact.
    bool draw(gfx::Context& context, const gfx::Rect& bounds, bool changed,
              const std::function<void(gfx::Context&)>& paint);

    // Whether pixels are kept (tests).
    bool holdsPixels() const { return bitmap_.has_value(); }

private:
    struct Placement {
        cairo_matrix_t toDevice{};
        gfx::Appearance appearance = gfx::Appearance::light;
        gfx::Size baseSize;
        double scale = 1;
        int x = 0;
        int y = 0;
        int width = 0;
        int height = 0;
        bool operator==(const Placement&) const;
    };

    static std::optional<Placement> placementFor(const gfx::Context& context,
                                                 const gfx::Rect& bounds);
    void render(const gfx::Context& context, const Placement& placement,
                const std::function<void(gfx::Context&)>& paint);

    std::optional<Placement> placement_;
    std::optional<gfx::Bitmap> bitmap_;
};

} // namespace pulsedeck
