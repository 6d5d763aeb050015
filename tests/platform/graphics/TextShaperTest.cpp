#include "platform/graphics/TextShaper.h"

#include "platform/graphics/AttributedString.h"
#include "platform/graphics/TextEngine.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace gfx {
namespace {

using Runs = std::vector<AttributedString::Run>;

const TextAttributes plain{.font = Font::monospacedDigitSystem(9.3)};

TEST(TextShaper, KeepsATextUntilSomethingItsShapingDependsOnChanges) {
    struct Case {
        const char* name;
        Runs runs;
        std::optional<double> maxWidth;
        bool shapedAgain;
    };
    const Runs figure = {{"6.61 GB", plain}};
    TextAttributes recoloured = plain;
    recoloured.color = Color::systemRed();
    TextAttributes kerned = plain;
    kerned.kern = 0.5;
    TextAttributes raised = plain;
    raised.baselineOffset = 1;
    const Runs twoColours = {{"12", plain}, {" %", recoloured}};
    TextAttributes blue = plain;
    blue.color = Color::srgb(0, 0, 1);
    const Case cases[] = {
        {"the same runs", figure, std::nullopt, false},
        {"another figure", {{"6.62 GB", plain}}, std::nullopt, true},
        {"another size",
         {{"6.61 GB", {.font = Font::monospacedDigitSystem(9.4)}}},
         std::nullopt,
         true},
        {"another weight",
         {{"6.61 GB", {.font = Font::monospacedDigitSystem(9.3, FontWeight::bold)}}},
         std::nullopt,
         true},
        {"proportional digits", {{"6.61 GB", {.font = Font::system(9.3)}}}, std::nullopt, true},
        {"kerned", {{"6.61 GB", kerned}}, std::nullopt, true},
        {"raised", {{"6.61 GB", raised}}, std::nullopt, true},
        {"cut at no width at all", figure, 0.0, true},
        {"cut at a width", figure, 20.0, true},
        {"cut at another width", figure, 21.0, true},
        // One run draws in the context's colour, so its own colour shapes nothing.
        {"one run in another colour", {{"6.61 GB", recoloured}}, std::nullopt, false},
        {"split into runs", {{"6.61", plain}, {" GB", plain}}, std::nullopt, true},
        // Runs that differ in colour carry their colours.
        {"runs of two colours", twoColours, std::nullopt, true},
        {"runs of two other colours", {{"12", plain}, {" %", blue}}, std::nullopt, true},
    };
    TextShaper shaper;
    std::shared_ptr<const ShapedText> first = shaper.shape(figure);
    ASSERT_EQ(shaper.shapedCount(), 1u);
    for (const Case& c : cases) {
        const std::size_t before = shaper.shapedCount();
        std::shared_ptr<const ShapedText> shaped = shaper.shape(c.runs, c.maxWidth);
        EXPECT_EQ(shaper.shapedCount() - before, c.shapedAgain ? 1u : 0u) << c.name;
        EXPECT_EQ(shaped == first, !c.shapedAgain) << c.name;
        // Asked again, it is kept.
        EXPECT_EQ(shaper.shape(c.runs, c.maxWidth), shaped) << c.name;
    }
    // A plain text and the one run of it are one text.
    EXPECT_EQ(shaper.shape("6.61 GB", plain), first);
}

TEST(TextShaper, DropsTheLeastRecentlyUsedBeyondItsCapacity) {
    TextShaper shaper;
    auto text = [](std::size_t i) { return std::to_string(i) + " %"; };
    for (std::size_t i = 0; i < TextShaper::capacity; ++i) {
        shaper.shape(text(i), plain);
    }
    // The first is used again, so the second is the oldest when one more comes.
    shaper.shape(text(0), plain);
    shaper.shape(text(TextShaper::capacity), plain);
    EXPECT_EQ(shaper.keptCount(), TextShaper::capacity);
    const std::size_t shaped = shaper.shapedCount();
    shaper.shape(text(0), plain);
    EXPECT_EQ(shaper.shapedCount(), shaped);
    shaper.shape(text(1), plain);
    EXPECT_EQ(shaper.shapedCount(), shaped + 1);
}

TEST(TextShaper, TextIsShapedByTheInstalledShaperAndWithoutOneKeptNowhere) {
    EXPECT_EQ(TextShaper::installed(), nullptr);
    // Without a shaper, text still measures, each time anew, as a shaper would measure it.
    const Size alone = textSize("12.4 KB/s", plain);
    EXPECT_NE(shapeText("12.4 KB/s", plain), shapeText("12.4 KB/s", plain));
    EXPECT_NE(shapingContext(), nullptr);
    {
        TextShaper outer;
        EXPECT_EQ(TextShaper::installed(), &outer);
        EXPECT_EQ(textSize("12.4 KB/s", plain), alone);
        EXPECT_EQ(shapeText("12.4 KB/s", plain), shapeText("12.4 KB/s", plain));
        EXPECT_EQ(outer.shapedCount(), 1u);
        EXPECT_EQ(shapingContext().get(), outer.context());
        {
            TextShaper inner;
            EXPECT_EQ(TextShaper::installed(), &inner);
            AttributedString("12.4 KB/s", plain).size();
            EXPECT_EQ(inner.shapedCount(), 1u);
        }
        EXPECT_EQ(TextShaper::installed(), &outer);
        EXPECT_EQ(outer.shapedCount(), 1u);
    }
    EXPECT_EQ(TextShaper::installed(), nullptr);
}

} // namespace
} // namespace gfx
