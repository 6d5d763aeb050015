#include "platform/graphics/ItemTemplates.h"

#include "platform/graphics/TextEngine.h"

#include <gtest/gtest.h>

namespace gfx {
namespace {

// A figure after the first of its font and script shapes under that first one's analysis. A
// font's template never lends it a character it lacks, nor a fallback font: this one has no
// superscript two, which the layout then finds in another font.
TEST(ItemTemplates, LaterTextsOfAFontAndScriptShareTheFirstsItemWhereTheFontHasThem) {
    const ShapingContext context = newShapingContext();
    ItemTemplates templates;
    const Font digits = Font::monospacedDigitSystem(9.3, FontWeight::medium);
    ASSERT_NE(templates.shapingFor(context.get(), "12", digits).item, nullptr);
    const Shaping second = templates.shapingFor(context.get(), "3.4 %", digits);
    EXPECT_EQ(second.item, nullptr);
    EXPECT_NE(second.shaper, nullptr);
    EXPECT_EQ(templates.shapingFor(context.get(), "56", digits).analysis, second.analysis);
    EXPECT_NE(templates.shapingFor(context.get(), "GB", digits).analysis, second.analysis)
        << "another script";

    const Font math("DejaVu Math TeX Gyre", 10);
    ASSERT_NE(templates.shapingFor(context.get(), "\u00b2", math).item, nullptr);
    EXPECT_NE(templates.shapingFor(context.get(), "12", math).item, nullptr)
        << "the first text's font was a fallback";
    ASSERT_NE(templates.shapingFor(context.get(), "x", math).item, nullptr);
    EXPECT_EQ(templates.shapingFor(context.get(), "y", math).item, nullptr);
    EXPECT_EQ(templates.shapingFor(context.get(), "x\u00b2", math).analysis, nullptr);
}

} // namespace
} // namespace gfx
