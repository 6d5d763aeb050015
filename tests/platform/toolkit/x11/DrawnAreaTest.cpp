#include "platform/toolkit/x11/DrawnArea.h"

#include <gtest/gtest.h>

namespace {

using namespace ui::x11;
using Rect = RootGeometry::PixelRect;

// What another program did to a strip asked at 690,0 590×24, on a 1280×800 screen.
TEST(DrawnArea, AWindowDrawsItsOwnSizeWhereItBelongsInWhateverItIsGiven) {
    const Rect asked{690, 0, 590, 24};
    const Rect screen{0, 0, 1280, 800};
    const struct {
        const char* what;
        Rect shown;
        bool keepsSize;
        DrawnArea drawn;
    } cases[] = {
        {"as asked", asked, true, {asked, 0, 0}},
        {"stretched over the width below another bar",
         {0, 24, 1280, 24},
         true,
         {{690, 24, 590, 24}, 690, 0}},
        {"stretched past its right end", {600, 0, 900, 24}, true, {{690, 0, 590, 24}, 90, 0}},
        {"grown to 32767²", {690, 0, 32767, 32767}, true, {asked, 0, 0}},
        {"shrunk to one pixel", {690, 0, 1, 1}, true, {asked, 0, 0}},
        {"moved far off the screen",
         {-30000, -30000, 590, 24},
         true,
         {{-30000, -30000, 590, 24}, 0, 0}},
        {"given a size it takes", {0, 0, 800, 600}, false, {{0, 0, 800, 600}, 0, 0}},
        {"given more than the screen", {690, 0, 32767, 32767}, false, {{690, 0, 1280, 800}, 0, 0}},
    };
    for (const auto& one : cases)
        EXPECT_EQ(drawnArea(asked, one.shown, one.keepsSize, screen), one.drawn) << one.what;
}

} // namespace
