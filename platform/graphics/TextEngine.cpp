#include "platform/graphics/TextEngine.h"

#include "platform/graphics/ItemTemplates.h"
#include "platform/graphics/TextShaper.h"

#include <cmath>
#include <hb.h>
#include <pango/pangocairo.h>
#include <string>
#include <string_view>

namespace gfx {

namespace {

guint16 colourChannel(double value) {
    double clamped = value < 0 ? 0 : value > 1 ? 1 : value;
    return guint16(clamped * 65535 + 0.5);
}

void addAttribute(PangoAttrList* list, PangoAttribute* attribute, guint start, guint end) {
    attribute->start_index = start;
    attribute->end_index = end;
    pango_attr_list_insert(list, attribute);
}

// Two adjustments pango has no attribute for, made on the glyphs before anything measures the
// layout (which then sums the adjusted advances):
// - tabular figures in a font may still differ by a unit or two (Inter's static instances do),
//   so every digit of a monospaced-digit run gets exactly the font's digit advance, centred, and
//   changing numbers never shift;
// - our kerning attribute adds its amount after every character, the last one
//   included, where pango's letter spacing only goes between characters;
// - a baseline offset raises the glyphs and leaves the line box alone, where pango's rise
//   also reshapes the line's extents.
bool needsGlyphAdjustments(const std::vector<AttributedString::Run>& runs) {
    for (const AttributedString::Run& run : runs) {
        if (run.attributes.font.monospacedDigits() || run.attributes.kern != 0 ||
            run.attributes.baselineOffset != 0) {
            return true;
        }
    }
    return false;
}

void spaceGlyphs(PangoGlyphString* glyphs, int itemOffset, const std::string& text,
                 const std::vector<AttributedString::Run>& runs, const std::vector<guint>& starts) {
    auto runAt = [&](std::size_t byte) -> const AttributedString::Run& {
        std::size_t index = 0;
        while (index + 1 < starts.size() && starts[index + 1] <= byte) {
            ++index;
        }
        return runs[index];
    };
    for (int i = 0; i < glyphs->num_glyphs; ++i) {
        std::size_t byte = std::size_t(itemOffset + glyphs->log_clusters[i]);
        if (byte >= text.size()) {
            continue;
        }
        const TextAttributes& attributes = runAt(byte).attributes;
        PangoGlyphGeometry& geometry = glyphs->glyphs[i].geometry;
        if (attributes.font.monospacedDigits() && text[byte] >= '0' && text[byte] <= '9') {
            int target = int(std::lround(attributes.font.digitAdvance() * PANGO_SCALE));
            geometry.x_offset += (target - geometry.width) / 2;
            geometry.width = target;
        }
        bool endsCluster =
            i + 1 == glyphs->num_glyphs || glyphs->log_clusters[i + 1] != glyphs->log_clusters[i];
        if (attributes.kern != 0 && endsCluster) {
            geometry.width += int(std::lround(attributes.kern * PANGO_SCALE));
        }
        geometry.y_offset -= int(std::lround(attributes.baselineOffset * PANGO_SCALE));
    }
}

void applyGlyphAdjustments(PangoLayout* layout, const std::string& text,
                           const std::vector<AttributedString::Run>& runs,
                           const std::vector<guint>& starts) {
    if (!needsGlyphAdjustments(runs)) {
        return;
    }
    PangoLayoutIter* iter = pango_layout_get_iter(layout);
    do {
        if (PangoLayoutRun* run = pango_layout_iter_get_run_readonly(iter)) {
            spaceGlyphs(run->glyphs, run->item->offset, text, runs, starts);
        }
    } while (pango_layout_iter_next_run(iter));
    pango_layout_iter_free(iter);
}

// Controls and separators, which a layout may break lines at (tabs, newlines, next line, line
// and paragraph separators), are left to the layout. The text is valid UTF-8.
bool hasControls(const std::string& text) {
    for (const char* p = text.c_str(); *p; p = g_utf8_next_char(p)) {
        gunichar c = g_utf8_get_char(p);
        if (c < 0x20 || (c >= 0x7f && c <= 0x9f) || c == 0x2028 || c == 0x2029) {
            return true;
        }
    }
    return false;
}

// One run with no width to fit, in one font, left to right, into a glyph string; nothing when
// the text needs the layout (several items, fallback fonts, missing glyphs, controls).
std::shared_ptr<ShapedText> shapeGlyphs(PangoContext* context, const AttributedString::Run& run,
                                        ItemTemplates* templates) {
    const std::string& text = run.text;
    if (text.empty() || !g_utf8_validate(text.data(), gssize(text.size()), nullptr) ||
        hasControls(text)) {
        return nullptr;
    }
    Shaping shaping;
    if (templates) {
        shaping = templates->shapingFor(context, text, run.attributes.font);
    } else if (ItemPointer item = itemize(context, text, run.attributes.font)) {
        shaping.analysis = &item->analysis;
        shaping.item = std::move(item);
    }
    const PangoAnalysis* analysis = shaping.analysis;
    if (!analysis) {
        return nullptr;
    }
    if (!shaping.shaper) {
        hb_font_t* hbFont = pango_font_get_hb_font(analysis->font);
        for (const char* p = text.c_str(); *p; p = g_utf8_next_char(p)) {
            hb_codepoint_t glyph = 0;
            if (!hbFont || !hb_font_get_nominal_glyph(hbFont, g_utf8_get_char(p), &glyph)) {
                return nullptr;
            }
        }
    }
    auto shaped = std::make_shared<ShapedText>();
    shaped->glyphs = pango_glyph_string_new();
    shaped->font = PANGO_FONT(g_object_ref(analysis->font));
    if (!shaping.shaper || !shaping.shaper->shape(text, shaped->glyphs)) {
        pango_shape_with_flags(text.c_str(), int(text.size()), text.c_str(), int(text.size()),
                               analysis, shaped->glyphs, PANGO_SHAPE_NONE);
    }
    for (int i = 0; i < shaped->glyphs->num_glyphs; ++i) {
        if (shaped->glyphs->glyphs[i].glyph & PANGO_GLYPH_UNKNOWN_FLAG) {
            return nullptr;
        }
    }
    if (needsGlyphAdjustments({run})) {
        spaceGlyphs(shaped->glyphs, 0, text, {run}, {0});
    }
    PangoRectangle logical;
    pango_glyph_string_extents(shaped->glyphs, shaped->font, nullptr, &logical);
    shaped->logicalX = double(logical.x) / PANGO_SCALE;
    shaped->width = double(logical.width) / PANGO_SCALE;
    shaped->height = double(logical.height) / PANGO_SCALE;
    shaped->baseline = double(-logical.y) / PANGO_SCALE;
    shaped->runOffsets.push_back(0);
    // Glyphs stand on the baseline, below the origin drawing starts from. The layout adds the
    // two in pango units before converting; so must this form, or a glyph at a pixel's edge
    // may round the other way.
    for (int i = 0; i < shaped->glyphs->num_glyphs; ++i) {
        shaped->glyphs->glyphs[i].geometry.y_offset -= logical.y;
    }
    return shaped;
}

std::shared_ptr<ShapedText> shape(PangoContext* context,
                                  const std::vector<AttributedString::Run>& runs, bool coloured,
                                  std::optional<double> maxWidth) {
    auto shaped = std::make_shared<ShapedText>();
    shaped->coloured = coloured;
    shaped->layout = pango_layout_new(context);
    std::string text;
    PangoAttrList* list = pango_attr_list_new();
    std::vector<guint> starts;
    for (const AttributedString::Run& run : runs) {
        guint start = guint(text.size());
        text += run.text;
        guint end = guint(text.size());
        starts.push_back(start);
        const TextAttributes& a = run.attributes;
        addAttribute(list, pango_attr_font_desc_new(a.font.description()), start, end);
        if (a.font.monospacedDigits()) {
            addAttribute(list, pango_attr_font_features_new("tnum 1"), start, end);
        }
        if (coloured) {
            Color c = a.color;
            addAttribute(list,
                         pango_attr_foreground_new(colourChannel(c.red()), colourChannel(c.green()),
                                                   colourChannel(c.blue())),
                         start, end);
            addAttribute(list, pango_attr_foreground_alpha_new(colourChannel(c.alpha())), start,
                         end);
        }
    }
    if (!runs.empty()) {
        pango_layout_set_font_description(shaped->layout,
                                          runs.front().attributes.font.description());
    }
    pango_layout_set_text(shaped->layout, text.c_str(), int(text.size()));
    pango_layout_set_attributes(shaped->layout, list);
    pango_attr_list_unref(list);
    applyGlyphAdjustments(shaped->layout, text, runs, starts);
    if (maxWidth) {
        pango_layout_set_width(shaped->layout, int(*maxWidth * PANGO_SCALE));
        pango_layout_set_ellipsize(shaped->layout, PANGO_ELLIPSIZE_END);
    }
    PangoRectangle logical;
    pango_layout_get_extents(shaped->layout, nullptr, &logical);
    shaped->logicalX = double(logical.x) / PANGO_SCALE;
    shaped->width = double(logical.width) / PANGO_SCALE;
    shaped->height = double(logical.height) / PANGO_SCALE;
    for (guint start : starts) {
        PangoRectangle position;
        pango_layout_index_to_pos(shaped->layout, int(start), &position);
        shaped->runOffsets.push_back(double(position.x) / PANGO_SCALE - shaped->logicalX);
    }
    return shaped;
}

} // namespace

ShapedText::~ShapedText() {
    if (layout) {
        g_object_unref(layout);
    }
    if (glyphs) {
        pango_glyph_string_free(glyphs);
    }
    if (font) {
        g_object_unref(font);
    }
}

ShapingContext newShapingContext() {
    PangoFontMap* fontMap = pango_cairo_font_map_get_default();
    ShapingContext context(pango_font_map_create_context(fontMap));
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
    pango_cairo_context_set_font_options(context.get(), options);
    cairo_font_options_destroy(options);
    pango_cairo_context_set_resolution(context.get(), 72);
    pango_context_set_round_glyph_positions(context.get(), FALSE);
    return context;
}

ShapingContext shapingContext() {
    if (TextShaper* shaper = TextShaper::installed()) {
        return ShapingContext(PANGO_CONTEXT(g_object_ref(shaper->context())));
    }
    return newShapingContext();
}

bool hasSeveralColours(const std::vector<AttributedString::Run>& runs) {
    for (const AttributedString::Run& run : runs) {
        if (!(run.attributes.color == runs.front().attributes.color)) {
            return true;
        }
    }
    return false;
}

std::shared_ptr<const ShapedText> shapeText(const std::vector<AttributedString::Run>& runs,
                                            std::optional<double> maxWidth) {
    if (TextShaper* shaper = TextShaper::installed()) {
        return shaper->shape(runs, maxWidth);
    }
    return shapeTextIn(newShapingContext().get(), runs, maxWidth);
}

std::shared_ptr<const ShapedText> shapeText(std::string_view text,
                                            const TextAttributes& attributes) {
    if (TextShaper* shaper = TextShaper::installed()) {
        return shaper->shape(text, attributes);
    }
    return shapeTextIn(newShapingContext().get(), {{std::string(text), attributes}}, std::nullopt);
}

std::shared_ptr<const ShapedText> shapeTextIn(PangoContext* context,
                                              const std::vector<AttributedString::Run>& runs,
                                              std::optional<double> maxWidth,
                                              ItemTemplates* templates) {
    std::shared_ptr<const ShapedText> shaped;
    if (runs.size() == 1 && !maxWidth) {
        shaped = shapeGlyphs(context, runs.front(), templates);
    }
    return shaped ? shaped : shape(context, runs, hasSeveralColours(runs), maxWidth);
}

std::shared_ptr<const ShapedText> shapeTextInLayout(const std::vector<AttributedString::Run>& runs,
                                                    std::optional<double> maxWidth) {
    return shape(newShapingContext().get(), runs, hasSeveralColours(runs), maxWidth);
}

void showShapedText(cairo_t* cr, const ShapedText& shaped) {
    if (shaped.layout) {
        pango_cairo_show_layout(cr, shaped.layout);
        return;
    }
    if (!shaped.glyphs) {
        return;
    }
    // Straight to cairo, with cr's own source: pango's renderer is shared by the thread and keeps
    // the colour and alpha of the last run it drew from a layout, which its glyph-string entry
    // point would apply to these glyphs.
    cairo_scaled_font_t* scaledFont =
        pango_cairo_font_get_scaled_font(PANGO_CAIRO_FONT(shaped.font));
    if (!scaledFont) {
        return;
    }
    double originX = 0, originY = 0;
    cairo_get_current_point(cr, &originX, &originY);
    std::vector<cairo_glyph_t> placed;
    placed.reserve(std::size_t(shaped.glyphs->num_glyphs));
    int advance = 0;
    for (int i = 0; i < shaped.glyphs->num_glyphs; ++i) {
        const PangoGlyphInfo& glyph = shaped.glyphs->glyphs[i];
        if (glyph.glyph != PANGO_GLYPH_EMPTY) {
            // Positions as pango's renderer computes them, so the pixels do not move.
            double x = originX + double(advance + glyph.geometry.x_offset) / PANGO_SCALE;
            double y = glyph.geometry.y_offset == 0
                           ? originY
                           : originY + double(glyph.geometry.y_offset) / PANGO_SCALE;
            placed.push_back({glyph.glyph, x, y});
        }
        advance += glyph.geometry.width;
    }
    cairo_save(cr);
    cairo_set_scaled_font(cr, scaledFont);
    cairo_show_glyphs(cr, placed.data(), int(placed.size()));
    cairo_restore(cr);
}

PangoRectangle shapedInkExtents(const ShapedText& shaped) {
    PangoRectangle ink{};
    if (shaped.layout) {
        pango_layout_get_extents(shaped.layout, &ink, nullptr);
    } else if (shaped.glyphs) {
        pango_glyph_string_extents(shaped.glyphs, shaped.font, &ink, nullptr);
        // Blank lines have no ink to carry the glyphs' offsets; the layout puts theirs on the
        // baseline.
        if (ink.width == 0 && ink.height == 0) {
            ink.y = int(std::lround(shaped.baseline * PANGO_SCALE));
        }
    }
    return ink;
}

int unknownGlyphCount(const ShapedText& shaped) {
    return shaped.layout ? pango_layout_get_unknown_glyphs_count(shaped.layout) : 0;
}

} // namespace gfx
