#include "platform/graphics/AttributedString.h"
#include "platform/graphics/PlanShaper.h"
#include "platform/graphics/TextEngine.h"
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

TEST(GlyphStringText, MeasuresAsTheLayoutDoesToTheUnit) {
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

// Plain characters (printable ASCII and Latin-1, dashes, the ellipsis) reuse one itemization per
// font and script; their neighbours (the soft hyphen, other punctuation, arrows) do not. Every
// one alone, among digits and after a letter, in turns of the two scripts, in a font that has
// them and in one found only after a missing family.
TEST(GlyphStringText, EveryPlainCharacterMeasuresAsInTheLayout) {
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

struct GlyphStringDeleter {
    void operator()(PangoGlyphString* glyphs) const { pango_glyph_string_free(glyphs); }
};
using GlyphStringPointer = std::unique_ptr<PangoGlyphString, GlyphStringDeleter>;

struct ItemsDeleter {
    void operator()(GList* items) const {
        g_list_free_full(items,
                         [](gpointer item) { pango_item_free(static_cast<PangoItem*>(item)); });
    }
};
using Items = std::unique_ptr<GList, ItemsDeleter>;

// The items pango makes of text in font, with tabular figures and letter spacing as asked.
Items itemize(const std::string& text, const Font& font, bool letterSpacing = false) {
    PangoAttrList* list = pango_attr_list_new();
    pango_attr_list_insert(list, pango_attr_font_desc_new(font.description()));
    if (font.monospacedDigits()) {
        pango_attr_list_insert(list, pango_attr_font_features_new("tnum 1"));
    }
    if (letterSpacing) {
        pango_attr_list_insert(list, pango_attr_letter_spacing_new(PANGO_SCALE));
    }
    Items items(pango_itemize(shapingContext(), text.c_str(), 0, int(text.size()), list, nullptr));
    pango_attr_list_unref(list);
    return items;
}

bool fontHasAll(const PangoAnalysis& analysis, const std::string& text) {
    hb_font_t* font = pango_font_get_hb_font(analysis.font);
    for (const char* p = text.c_str(); *p; p = g_utf8_next_char(p)) {
        hb_codepoint_t glyph = 0;
        if (!hb_font_get_nominal_glyph(font, g_utf8_get_char(p), &glyph)) {
            return false;
        }
    }
    return true;
}

// Shapes text under analysis both ways and compares every glyph.
void expectShapedAlike(PlanShaper& shaper, const PangoAnalysis& analysis, const std::string& text,
                       const std::string& name) {
    GlyphStringPointer ours(pango_glyph_string_new());
    GlyphStringPointer pangos(pango_glyph_string_new());
    ASSERT_TRUE(shaper.shape(text, ours.get())) << name;
    pango_shape_with_flags(text.c_str(), int(text.size()), text.c_str(), int(text.size()),
                           &analysis, pangos.get(), PANGO_SHAPE_NONE);
    ASSERT_EQ(ours->num_glyphs, pangos->num_glyphs) << name;
    for (int i = 0; i < ours->num_glyphs; ++i) {
        const PangoGlyphInfo& a = ours->glyphs[i];
        const PangoGlyphInfo& b = pangos->glyphs[i];
        std::string where = name + " glyph " + std::to_string(i);
        EXPECT_EQ(a.glyph, b.glyph) << where;
        EXPECT_EQ(a.geometry.width, b.geometry.width) << where;
        EXPECT_EQ(a.geometry.x_offset, b.geometry.x_offset) << where;
        EXPECT_EQ(a.geometry.y_offset, b.geometry.y_offset) << where;
        EXPECT_EQ(a.attr.is_cluster_start, b.attr.is_cluster_start) << where;
        EXPECT_EQ(a.attr.is_color, b.attr.is_color) << where;
        EXPECT_EQ(ours->log_clusters[i], pangos->log_clusters[i]) << where;
    }
}

// For every font, the analysis of each text (as the glyph form keeps one of a figure and one of
// a Latin word) shapes every text that font has, in every script, and the plan's glyphs are
// pango's own.
TEST(GlyphStringText, PlanShaperShapesAsPangoDoesUnderEveryAnalysis) {
    int compared = 0;
    std::vector<Font> all = fonts();
    all.push_back(Font("DejaVu Sans Mono", 9, FontWeight::regular, true));
    all.push_back(Font("Noto Sans CJK SC", 10));
    std::vector<std::string> texts = figures();
    texts.insert(texts.end(), {"88.88 GB", "— °C", "Used:", "Cache:", "fi ffi", "Straße", "1.0 ¾ ½",
                               "Mémoire", "Größe", "Память", "Ωμέγα", "内存 8.0 GB", "メモリ",
                               "메모리", "नमस्ते", "ภาษาไทย", "e\u0301", "x\u0327\u0301"});
    for (const Font& font : all) {
        for (const std::string& source : texts) {
            Items items = itemize(source, font);
            for (GList* l = items.get(); l; l = l->next) {
                const PangoAnalysis& analysis = static_cast<PangoItem*>(l->data)->analysis;
                std::unique_ptr<PlanShaper> shaper = PlanShaper::make(analysis);
                if (analysis.level % 2 != 0) {
                    EXPECT_EQ(shaper, nullptr) << source;
                    continue;
                }
                ASSERT_NE(shaper, nullptr) << source;
                for (const std::string& text : texts) {
                    if (fontHasAll(analysis, text)) {
                        expectShapedAlike(*shaper, analysis, text,
                                          text + " under " + source + " in " + font.families() +
                                              " " + std::to_string(font.pointSize()));
                        ++compared;
                    }
                }
            }
        }
    }
    // The comparisons cover far more than the Latin figures alone.
    EXPECT_GT(compared, 5000);
}

TEST(GlyphStringText, PlanShaperLeavesToPangoWhatItShapesOtherwise) {
    Font font = Font::system(10);
    for (const char* text : {"שלום", "مرحبا"}) {
        Items items = itemize(text, font);
        ASSERT_NE(items, nullptr);
        EXPECT_EQ(PlanShaper::make(static_cast<PangoItem*>(items->data)->analysis), nullptr)
            << text;
    }
    Items spaced = itemize("6.61 GB", font, true);
    ASSERT_NE(spaced, nullptr);
    EXPECT_EQ(PlanShaper::make(static_cast<PangoItem*>(spaced->data)->analysis), nullptr);
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
