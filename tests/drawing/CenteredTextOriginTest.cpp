#include "drawing/CenteredTextOrigin.h"

#include "platform/graphics/AttributedString.h"
#include "platform/graphics/RecordingContext.h"

#include <gtest/gtest.h>

namespace pulsedeck {
namespace {

TEST(CenteredTextOrigin, LineBoxIsCentredOnTheRect) {
    gfx::Font font = gfx::Font::monospacedDigitSystem(7.4, gfx::FontWeight::semibold);
    gfx::Rect rect{3, 3, 20, 18};
    double y = centeredTextOriginY("100", font, rect);
    double height = gfx::textSize("100", {.font = font}).height;
    ASSERT_GT(height, 7);
    EXPECT_NEAR(y, 12 - height / 2, 1e-12);

    gfx::RecordingContext context({26, 24});
    gfx::drawText(context, "100", {5, y}, {.font = font});
    const gfx::TextRecord* drawn = context.log().text("100");
    ASSERT_TRUE(drawn);
    EXPECT_NEAR(drawn->bounds.midY(), rect.midY(), 1e-9);
}

TEST(CenteredTextOrigin, LargerFontsStartLowerAndEmptyTextAtTheMiddle) {
    gfx::Rect rect{0, 10, 100, 30};
    double small = centeredTextOriginY("Swap", gfx::Font::system(8), rect);
    double large = centeredTextOriginY("Swap", gfx::Font::system(16), rect);
    EXPECT_LT(large, small);
    EXPECT_DOUBLE_EQ(centeredTextOriginY("", gfx::Font::system(16), rect), 25);
}

} // namespace
} // namespace pulsedeck
