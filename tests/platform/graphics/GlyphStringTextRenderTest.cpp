#include "platform/graphics/AttributedString.h"
#include "platform/graphics/TextEngine.h"
#include "platform/graphics/TextShaper.h"
#include "tests/support/TestPaths.h"

#include <cairo.h>
#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace gfx {
namespace {

// The fonts the status images show figures and labels in, and two that are not theirs.
std::vector<Font> fonts() {
    return {Font::monospacedDigitSystem(9.3, FontWeight::medium),
            Font::system(8.6, FontWeight::medium),
            Font::monospacedDigitSystem(7.12, FontWeight::semibold),
            Font::monospacedDigitSystem(10.2, FontWeight::medium),
            Font::system(8.3, FontWeight::medium),
            Font::system(13, FontWeight::bold),
            Font("DejaVu Sans", 11)};
}

const std::vector<std::string>& figures() {
    static const std::vector<std::string> texts = {
        "0",    "7",     "42",        "1234567890", "6.61 GB",    "6.63 GB", "12 %",
        "100%", "0 B/s", "12.4 KB/s", "↓",          "↑ 3.2 MB/s", "—",       "48 °C",
        "°C",   "%",     "Memory",    "CPU Usage",  "AV",         "To",      "WAVE",
        "Ty.",  "Wg|jy", "a b  c",    " lead",      "trail ",     "fi fl",   "x"};
    return texts;
}

std::vector<AttributedString::Run> oneRun(const std::string& text, TextAttributes attributes) {
    return {{text, std::move(attributes)}};
}

std::vector<TextAttributes> styles() {
    std::vector<TextAttributes> all;
    for (const Font& font : fonts()) {
        all.push_back({.font = font});
    }
    all.push_back({.font = Font::system(9), .kern = 0.6});
    all.push_back({.font = Font::monospacedDigitSystem(9.3), .baselineOffset = 1.5});
    return all;
}

// Both through the program's shaper, whose item templates serve every text after the first of a
// font and script.
TEST(GlyphStringText, MeasuresAsTheLayoutDoesToTheUnit) {
    const TextShaper shaper;
    int quick = 0;
    for (const TextAttributes& style : styles()) {
        for (const std::string& text : figures()) {
            auto runs = oneRun(text, style);
            auto shaped = shapeText(runs);
            auto reference = shapeTextInLayout(runs);
            std::string name = text + " in " + style.font.families() + " " +
                               std::to_string(style.font.pointSize());
            quick += shaped->glyphs != nullptr;
            EXPECT_EQ(shaped->width, reference->width) << name;
            EXPECT_EQ(shaped->height, reference->height) << name;
            EXPECT_EQ(shaped->logicalX, reference->logicalX) << name;
            EXPECT_EQ(shaped->runOffsets, reference->runOffsets) << name;
            EXPECT_EQ(shaped->coloured, reference->coloured) << name;
            PangoRectangle ink = shapedInkExtents(*shaped),
                           referenceInk = shapedInkExtents(*reference);
            EXPECT_EQ(ink.x, referenceInk.x) << name;
            EXPECT_EQ(ink.y, referenceInk.y) << name;
            EXPECT_EQ(ink.width, referenceInk.width) << name;
            EXPECT_EQ(ink.height, referenceInk.height) << name;
            EXPECT_EQ(shaped->baseline,
                      double(pango_layout_get_baseline(reference->layout)) / PANGO_SCALE)
                << name;
        }
    }
    // Every figure of the status fonts takes the quick form; the test above compares them.
    EXPECT_GE(quick, int(figures().size() * 7));
}

// Every character of printable ASCII and Latin-1, the dashes, the ellipsis and a few neighbours
// (the soft hyphen, other punctuation, arrows): alone, among digits and after a letter, in turns
// of the Latin and common scripts, in a font that has them and in one found only after a missing
// family.
TEST(GlyphStringText, EveryPlainCharacterMeasuresAsInTheLayout) {
    const TextShaper shaper;
    std::vector<gunichar> characters;
    for (gunichar c = ' '; c <= 0x17f; ++c) {
        if (c < 0x7f || c >= 0xa0) {
            characters.push_back(c);
        }
    }
    for (gunichar c : {0x2012, 0x2013, 0x2014, 0x2015, 0x2026, 0x2191, 0x2212}) {
        characters.push_back(c);
    }
    for (const Font& font : {Font::monospacedDigitSystem(9.3, FontWeight::medium),
                             Font("No Such Face Anywhere, DejaVu Sans", 10)}) {
        for (gunichar c : characters) {
            char bytes[8] = {};
            std::string character(bytes, std::size_t(g_unichar_to_utf8(c, bytes)));
            for (const std::string& text : {character, "12" + character + "3", "x" + character}) {
                auto runs = oneRun(text, {.font = font});
                auto shaped = shapeText(runs);
                auto reference = shapeTextInLayout(runs);
                EXPECT_EQ(shaped->width, reference->width) << text;
                EXPECT_EQ(shaped->height, reference->height) << text;
                EXPECT_EQ(shaped->logicalX, reference->logicalX) << text;
                PangoRectangle ink = shapedInkExtents(*shaped);
                PangoRectangle referenceInk = shapedInkExtents(*reference);
                EXPECT_EQ(ink.x, referenceInk.x) << text;
                EXPECT_EQ(ink.y, referenceInk.y) << text;
                EXPECT_EQ(ink.width, referenceInk.width) << text;
                EXPECT_EQ(ink.height, referenceInk.height) << text;
            }
        }
    }
}

TEST(GlyphStringText, LeavesWhatNeedsALayoutToTheLayout) {
    TextAttributes style{.font = Font::system(10)};
    for (const char* text : {"two\nlines", "tab\there", "line\u2028separator",
                             "paragraph\u2029separator", "next\u0085line", "שלום", "abc שלום",
                             "日本語 text", "\x01", "12 \U0001F642", "5 \u0378"}) {
        auto shaped = shapeText(oneRun(text, style));
        EXPECT_NE(shaped->layout, nullptr) << text;
        EXPECT_EQ(shaped->glyphs, nullptr) << text;
    }
    auto truncated = shapeText(oneRun("6.61 GB", style), 10.0);
    EXPECT_NE(truncated->layout, nullptr);
    std::vector<AttributedString::Run> two = {{"12", style}, {" %", {.font = Font::system(8)}}};
    EXPECT_NE(shapeText(two)->layout, nullptr);
    auto plain = shapeText(oneRun("6.61 GB", style));
    EXPECT_EQ(plain->layout, nullptr);
    ASSERT_NE(plain->glyphs, nullptr);
    EXPECT_EQ(unknownGlyphCount(*plain), 0);
}

using SurfacePointer = std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)>;

// Draws every figure as the text drawing does: the layout origin at the line box's corner, less
// logicalX, upright in y-up space by a local flip.
SurfacePointer drawAll(double scale, bool flipped, bool inLayout) {
    Size size{330, 140};
    SurfacePointer surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, int(size.width * scale),
                                                      int(size.height * scale)),
                           cairo_surface_destroy);
    cairo_t* cr = cairo_create(surface.get());
    cairo_scale(cr, scale, scale);
    if (!flipped) {
        cairo_translate(cr, 0, size.height);
        cairo_scale(cr, 1, -1);
    }
    int step = 0;
    for (const TextAttributes& style : styles()) {
        for (const std::string& text : figures()) {
            auto runs = oneRun(text, style);
            auto shaped = inLayout ? shapeTextInLayout(runs) : shapeText(runs);
            Point origin{2 + std::fmod(step * 9.173, 290), 1 + std::fmod(step * 3.37, 120)};
            ++step;
            cairo_save(cr);
            if (flipped) {
                cairo_translate(cr, origin.x - shaped->logicalX, origin.y);
            } else {
                cairo_translate(cr, origin.x - shaped->logicalX, origin.y + shaped->height);
                cairo_scale(cr, 1, -1);
            }
            cairo_set_source_rgba(cr, 0.1, 0.2, 0.3, 0.9);
            cairo_move_to(cr, 0, 0);
            showShapedText(cr, *shaped);
            cairo_restore(cr);
        }
    }
    cairo_destroy(cr);
    cairo_surface_flush(surface.get());
    return surface;
}

int differingPixels(cairo_surface_t* a, cairo_surface_t* b) {
    int height = cairo_image_surface_get_height(a), stride = cairo_image_surface_get_stride(a);
    int differing = 0;
    for (int row = 0; row < height; ++row) {
        differing += std::memcmp(cairo_image_surface_get_data(a) + std::size_t(row) * stride,
                                 cairo_image_surface_get_data(b) + std::size_t(row) * stride,
                                 std::size_t(stride)) != 0;
    }
    return differing;
}

TEST(GlyphStringTextRender, DrawsTheLayoutsPixelsAtEveryScaleAndOrientation) {
    for (double scale : {1.0, 2.0}) {
        for (bool flipped : {false, true}) {
            SurfacePointer quick = drawAll(scale, flipped, false);
            SurfacePointer layout = drawAll(scale, flipped, true);
            std::string name = std::to_string(scale) + (flipped ? " flipped" : " y-up");
            EXPECT_EQ(differingPixels(quick.get(), layout.get()), 0) << name;
            if (scale == 2 && !flipped) {
                cairo_surface_write_to_png(
                    quick.get(), testsupport::artifactPath("GlyphStringText-quick.png").c_str());
            }
        }
    }
}

} // namespace
} // namespace gfx
