#include "platform/graphics/Color.h"

#include <gtest/gtest.h>
#include <limits>

namespace gfx {
namespace {

TEST(Color, GreyAndNamedColoursAreSrgb) {
    EXPECT_EQ(Color::grey(0.5, 0.2), Color::srgb(0.5, 0.5, 0.5, 0.2));
    EXPECT_EQ(Color::white(), Color::srgb(1, 1, 1));
    EXPECT_EQ(Color::black(), Color::srgb(0, 0, 0));
    EXPECT_EQ(Color::clear().alpha(), 0);
}

TEST(Color, SemanticColoursResolvePerAppearance) {
    for (Color semantic :
         {Color::label(), Color::secondaryLabel(), Color::tertiaryLabel(), Color::separator()}) {
        EXPECT_TRUE(semantic.isDynamic());
        EXPECT_LT(semantic.resolved(Appearance::light).red(), 0.1);
        EXPECT_GT(semantic.resolved(Appearance::dark).red(), 0.9);
        EXPECT_FALSE(semantic.resolved(Appearance::dark).isDynamic());
    }
    EXPECT_GT(Color::label().alpha(), Color::secondaryLabel().alpha());
    EXPECT_GT(Color::secondaryLabel().alpha(), Color::separator().alpha());
    EXPECT_GT(Color::systemRed().resolved(Appearance::dark).red(), 0.9);
    EXPECT_FALSE(Color::white().isDynamic());
}

TEST(Color, WithAlphaKeepsBothResolutions) {
    Color faint = Color::label().withAlpha(0.4);
    EXPECT_TRUE(faint.isDynamic());
    EXPECT_EQ(faint.resolved(Appearance::dark), Color::srgb(1, 1, 1, 0.4));
    EXPECT_EQ(faint.resolved(Appearance::light), Color::srgb(0, 0, 0, 0.4));
}

TEST(Color, ConversionToSrgbFailsOnlyWithoutANumber) {
    EXPECT_EQ(Color::srgb(0.1, 0.2, 0.3).usingSRGB(), Color::srgb(0.1, 0.2, 0.3));
    EXPECT_EQ(Color::label().usingSRGB(Appearance::dark), Color::grey(1, 0.85));
    double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_FALSE(Color::srgb(nan, 0, 0).usingSRGB());
    EXPECT_FALSE(Color::srgb(0, 0, 0, std::numeric_limits<double>::infinity()).usingSRGB());
}

TEST(Color, EqualityIsByValue) {
    EXPECT_EQ(Color::srgb(0.16, 0.58, 1.0), Color::srgb(0.16, 0.58, 1.0));
    EXPECT_NE(Color::srgb(0.16, 0.58, 1.0), Color::srgb(0.16, 0.58, 1.0, 0.99));
    EXPECT_NE(Color::label(), Color::label().resolved(Appearance::light));
}

TEST(Color, BlendMixesComponentsAndClampsTheFraction) {
    Color orange = Color::srgb(1, 0.5, 0);
    Color red = Color::srgb(1, 0, 0);
    EXPECT_EQ(orange.blended(0.5, red), Color::srgb(1, 0.25, 0));
    EXPECT_EQ(orange.blended(-1, red), orange);
    EXPECT_EQ(orange.blended(2, red), red);
}

} // namespace
} // namespace gfx
