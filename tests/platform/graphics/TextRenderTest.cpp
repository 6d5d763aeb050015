#include "platform/graphics/AttributedString.h"
#include "platform/graphics/Bitmap.h"
#include "platform/graphics/RecordingContext.h"
#include "platform/graphics/TextEngine.h"

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>

namespace gfx {
namespace {

// The bounding box of painted pixels in y-up points, or the zero rect.
Rect inkBounds(const Bitmap& bitmap) {
    int left = bitmap.pixelsWide(), right = -1, top = bitmap.pixelsHigh(), bottom = -1;
    for (int row = 0; row < bitmap.pixelsHigh(); ++row) {
        for (int column = 0; column < bitmap.pixelsWide(); ++column) {
            if (bitmap.pixel(column, row).alpha > 60) {
                left = std::min(left, column);
                right = std::max(right, column);
                top = std::min(top, row);
                bottom = std::max(bottom, row);
            }
        }
    }
    if (right < 0) {
        return {};
    }
    double scale = bitmap.pixelsHigh() / bitmap.size().height;
    return {left / scale, bitmap.size().height - (bottom + 1) / scale, (right + 1 - left) / scale,
            (bottom + 1 - top) / scale};
}

TEST(TextRender, SystemFontResolvesToInterAndFallsBackCleanly) {
    EXPECT_EQ(Font::system(12).resolvedFamily(), "Inter");
    EXPECT_EQ(Font::monospacedDigitSystem(10, FontWeight::medium).resolvedFamily(), "Inter");
    Font fallback("No Such Face Anywhere, DejaVu Sans", 12);
    EXPECT_EQ(fallback.resolvedFamily(), "DejaVu Sans");
    EXPECT_GT(textSize("Memory", {.font = fallback}).width, 0);
    EXPECT_FALSE(Font::roundedSystem(12));
}

TEST(TextRender, MonospacedDigitsShareOneAdvance) {
    Font tabular = Font::monospacedDigitSystem(10.2, FontWeight::medium);
    double first = textSize("0", {.font = tabular}).width;
    for (char digit = '1'; digit <= '9'; ++digit) {
        EXPECT_NEAR(textSize(std::string(1, digit), {.font = tabular}).width, first, 1e-6) << digit;
    }
    EXPECT_NEAR(textSize("1111", {.font = tabular}).width,
                textSize("8888", {.font = tabular}).width, 1e-6);
    // Without the feature Inter's digits differ, so the test above means something.
    Font proportional = Font::system(10.2, FontWeight::medium);
    EXPECT_NE(textSize("1111", {.font = proportional}).width,
              textSize("8888", {.font = proportional}).width);
}

TEST(TextRender, TheDescenderIsNegativeAndTheLineSpansBoth) {
    Font font = Font::system(10);
    EXPECT_GT(font.ascender(), 0);
    EXPECT_LT(font.descender(), 0);
    EXPECT_NEAR(font.lineHeight(), font.ascender() - font.descender(), 1e-9);
    // Inter's capitals stand about 0.73 em.
    EXPECT_NEAR(font.capHeight(), 7.3, 0.4);
    EXPECT_NEAR(textSize("Hg", {.font = font}).height, font.lineHeight(), 1e-6);
    EXPECT_GT(Font::system(10, FontWeight::bold).capHeight(), 0);
}

TEST(TextRender, HeavierWeightsAreWider) {
    double regular = textSize("Memory 42", {.font = Font::system(12)}).width;
    double bold = textSize("Memory 42", {.font = Font::system(12, FontWeight::bold)}).width;
    EXPECT_GT(bold, regular);
}

TEST(TextRender, DrawnInkSitsInTheMeasuredLineBoxOnTheBaseline) {
    Bitmap bitmap = Bitmap::forPointSize({120, 40}, 2);
    Context context(bitmap);
    TextAttributes attributes{.font = Font::system(12), .color = Color::black()};
    Point origin{10, 10};
    drawText(context, "HHHH", origin, attributes);
    Size size = textSize("HHHH", attributes);
    Rect ink = inkBounds(bitmap);
    ASSERT_FALSE(ink.isEmpty());
    Rect box{origin, size};
    EXPECT_GE(ink.minX(), box.minX() - 0.5);
    EXPECT_LE(ink.maxX(), box.maxX() + 0.5);
    EXPECT_GT(ink.width(), size.width * 0.8);
    // Upright in y-up: capitals stand on the baseline, which is at y − descender.
    double baseline = origin.y - attributes.font.descender();
    EXPECT_NEAR(ink.minY(), baseline, 0.5);
    EXPECT_NEAR(ink.maxY(), baseline + attributes.font.capHeight(), 0.5);
}

TEST(TextRender, RecordingContextSeesTheLineBoxOrigin) {
    RecordingContext context({200, 24}, 2);
    TextAttributes title{.font = Font::system(8.3, FontWeight::medium),
                         .color = Color::black().withAlpha(0.4)};
    context.save();
    context.translate(20, 3);
    drawText(context, "Used", Point{12, 10}, title);
    context.restore();
    AttributedString pair("12.3", {.font = Font::monospacedDigitSystem(10.2, FontWeight::medium),
                                   .color = Color::label()});
    pair.append(" GB", title);
    pair.draw(context, Point{100, 2});

    const TextRecord* used = context.log().text("Used");
    ASSERT_NE(used, nullptr);
    EXPECT_EQ(used->origin, (Point{32, 13}));
    EXPECT_EQ(used->font, title.font);
    EXPECT_EQ(used->color, Color::black().withAlpha(0.4));
    EXPECT_NEAR(used->bounds.height(), title.font.lineHeight(), 1e-6);

    const TextRecord* value = context.log().text("12.3");
    const TextRecord* unit = context.log().text(" GB");
    ASSERT_TRUE(value && unit);
    EXPECT_EQ(value->origin, (Point{100, 2}));
    EXPECT_EQ(value->color, Color::label().resolved(Appearance::light));
    EXPECT_TRUE(value->font.monospacedDigits());
    // The second run starts where the first one's advance ends.
    EXPECT_NEAR(unit->origin.x, 100 + textSize("12.3", pair.runs()[0].attributes).width, 0.01);
    EXPECT_NEAR(pair.size().width,
                textSize("12.3", pair.runs()[0].attributes).width + textSize(" GB", title).width,
                0.05);
}

TEST(TextRender, FlippedContextsDrawFromTheTopLeftAndUpright) {
    constexpr double height = 40;
    RecordingContext context({120, height}, 2);
    context.translate(0, height);
    context.scale(1, -1);
    TextAttributes attributes{.font = Font::system(12), .color = Color::black()};
    drawText(context, "Hy", Point{10, 5}, attributes);
    const Font& font = attributes.font;
    // Base space (y up): the line box hangs down from 5 pt below the top.
    const TextRecord* record = context.log().text("Hy");
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->origin, (Point{10, height - 5}));
    EXPECT_NEAR(record->bounds.maxY(), height - 5, 1e-9);
    EXPECT_NEAR(record->bounds.height(), font.lineHeight(), 1e-9);
    double baseline = height - 5 - font.ascender();
    Rect ink = inkBounds(context.bitmap());
    EXPECT_NEAR(ink.maxY(), baseline + font.capHeight(), 0.5) << "H stands on the baseline";
    EXPECT_LT(ink.minY(), baseline - 1) << "y's tail hangs below it";
}

TEST(TextRender, RectDrawingTruncatesAtTheTail) {
    Bitmap bitmap = Bitmap::forPointSize({100, 30}, 2);
    Context context(bitmap);
    TextAttributes attributes{.font = Font::system(12), .color = Color::black()};
    Rect rect{10, 5, 60, 20};
    drawText(context, "A rather long label that will not fit", rect, attributes);
    Rect ink = inkBounds(bitmap);
    ASSERT_FALSE(ink.isEmpty());
    EXPECT_GE(ink.minX(), rect.minX() - 0.5);
    EXPECT_LE(ink.maxX(), rect.maxX() + 0.5);
    // First line at the top of the rect.
    EXPECT_NEAR(ink.maxY(), rect.maxY() - attributes.font.ascender() + attributes.font.capHeight(),
                1);
}

TEST(TextRender, FallbackCoversSymbolsAndTheEightLanguages) {
    // Symbols the strip draws as text, and each language's own name and a word of it.
    const char* samples[] = {"↓ ↑ — – − ° ? 99+",       "English Memory",   "简体中文 内存",
                             "繁體中文 記憶體",         "日本語 メモリ",    "한국어 메모리",
                             "Deutsch Arbeitsspeicher", "Français Mémoire", "Español Memoria"};
    for (const char* sample : samples) {
        auto shaped = shapeText({{sample, TextAttributes{.font = Font::system(10)}}});
        EXPECT_EQ(unknownGlyphCount(*shaped), 0) << sample;
        EXPECT_GT(shaped->width, 0) << sample;
    }
}

TEST(TextRender, KerningAddsAfterEveryCharacter) {
    TextAttributes plain{.font = Font::system(10)};
    TextAttributes kerned = plain;
    kerned.kern = 1.5;
    EXPECT_NEAR(textSize("abcd", kerned).width, textSize("abcd", plain).width + 4 * 1.5, 0.01);
    // A multi-byte character counts once.
    EXPECT_NEAR(textSize("°C", kerned).width, textSize("°C", plain).width + 2 * 1.5, 0.01);
}

TEST(TextRender, BaselineOffsetRaisesTheGlyphs) {
    auto inkBottom = [](double offset) {
        Bitmap bitmap = Bitmap::forPointSize({40, 40}, 2);
        Context context(bitmap);
        drawText(context, "H", Point{5, 10},
                 {.font = Font::system(12), .color = Color::black(), .baselineOffset = offset});
        return inkBounds(bitmap).minY();
    };
    EXPECT_NEAR(inkBottom(3) - inkBottom(0), 3, 0.5);
    EXPECT_EQ(textSize("H", {.font = Font::system(12), .baselineOffset = 3}),
              textSize("H", {.font = Font::system(12)}));
}

int strongestAlpha(const Bitmap& bitmap) {
    int strongest = 0;
    for (int row = 0; row < bitmap.pixelsHigh(); ++row) {
        for (int column = 0; column < bitmap.pixelsWide(); ++column) {
            strongest = std::max(strongest, int(bitmap.pixel(column, row).alpha));
        }
    }
    return strongest;
}

// A figure and its unit at two alphas (as the thermometer draws them) leave nothing behind: each
// later single-colour text shows at its own alpha times the context's (a fade), drawn directly
// and from the raster cache, in the colour asked.
TEST(TextRender, TextsAfterATwoAlphaTextKeepTheirOwnAlphaUnderTheContexts) {
    AttributedString twoAlphas("61", {.font = Font::system(11), .color = Color(0, 0, 0, 1)});
    twoAlphas.append(" °C", {.font = Font::system(11), .color = Color(0, 0, 0, 0.35)});
    struct Case {
        const char* text;
        double alpha;
        double contextAlpha;
        int expected;
    };
    for (Case c : {Case{"Temp", 0, 1, 0}, Case{"43%", 1, 1, 255}, Case{"GPU", 0.5, 1, 128},
                   Case{"43%", 1, 0.25, 64}, Case{"GPU", 0.5, 0.5, 64}}) {
        for (int sighting = 0; sighting < 3; ++sighting) {
            Bitmap before = Bitmap::forPointSize({40, 20}, 2);
            Context beforeContext(before);
            twoAlphas.draw(beforeContext, Point{2, 2});
            ASSERT_GT(strongestAlpha(before), 200);

            Bitmap bitmap = Bitmap::forPointSize({40, 20}, 2);
            Context context(bitmap);
            context.setAlpha(c.contextAlpha);
            drawText(context, c.text, Point{2, 2},
                     {.font = Font::monospacedDigitSystem(11, FontWeight::medium),
                      .color = Color(0, 0, 1, c.alpha)});
            EXPECT_NEAR(strongestAlpha(bitmap), c.expected, 1) << c.text << " #" << sighting;
            for (int row = 0; row < bitmap.pixelsHigh(); ++row) {
                for (int column = 0; column < bitmap.pixelsWide(); ++column) {
                    ASSERT_EQ(bitmap.pixel(column, row).red, 0) << c.text;
                }
            }
        }
    }
}

TEST(TextRender, EmptyTextOrBadPlacesDrawNothing) {
    RecordingContext context({10, 10});
    EXPECT_EQ(textSize("", {}), (Size{0, 0}));
    drawText(context, "", Point{1, 1}, {});
    drawText(context, "x", Point{std::nan(""), 1}, {});
    drawText(context, "x", Rect{0, 0, std::numeric_limits<double>::infinity(), 10}, {});
    EXPECT_EQ(cairo_status(context.cairo()), CAIRO_STATUS_SUCCESS);
    EXPECT_TRUE(context.log().records().empty());
}

} // namespace
} // namespace gfx
