#include "platform/graphics/RectText.h"

#include <gtest/gtest.h>
#include <limits>

namespace gfx {
namespace {

TEST(RectText, WritesThePlatformFormAndReadsItBack) {
    EXPECT_EQ(stringFromRect({12, -40.5, 300, 29}), "{{12, -40.5}, {300, 29}}");
    for (const Rect& rect :
         {Rect{0, 0, 0, 0}, Rect{1440, 0, 1920, 1080}, Rect{0.1, -1e-7, 123456789.25, 1.0 / 3}})
        EXPECT_EQ(rectFromString(stringFromRect(rect)), rect);
    EXPECT_EQ(rectFromString("  {{ 1,2 } ,{3, 4}} "), (Rect{1, 2, 3, 4}));
}

TEST(RectText, RefusesOtherTextAndNumbersThatAreNotFinite) {
    for (const char* text :
         {"", "{{1, 2}, {3}}", "{{1, 2}, {3, 4}}x", "{1, 2, 3, 4}", "{{1, 2}, {3, 4}",
          "{{nan, 2}, {3, 4}}", "{{1, inf}, {3, 4}}", "{{1, 2}, {1e400, 4}}",
          "{{1, 2}, {3, -infinity}}", "{{+1, 2}, {3, 4}}", "{{1,, 2}, {3, 4}}", "{{1 2}, {3, 4}}"})
        EXPECT_FALSE(rectFromString(text)) << text;
}

} // namespace
} // namespace gfx
