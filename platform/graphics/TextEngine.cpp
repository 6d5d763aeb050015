#include "platform/graphics/TextEngine.h"

#include "platform/graphics/PlanShaper.h"

#include <array>
#include <cmath>
#include <cstring>
#include <hb.h>
#include <list>
#include <pango/pangocairo.h>
#include <string>
#include <string_view>
#include <unordered_map>

namespace gfx {

namespace {

struct ContextDeleter {
    void operator()(PangoContext* context) const { g_object_unref(context); }
};

std::unique_ptr<PangoContext, ContextDeleter> makeShapingContext() {
    PangoFontMap* fontMap = pango_cairo_font_map_get_default();
    std::unique_ptr<PangoContext, ContextDeleter> context(pango_font_map_create_context(fontMap));
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

template <typename Runs> bool hasSeveralColours(const Runs& runs) {
    for (const auto& run : runs) {
        if (!(run.attributes.color == std::begin(runs)->attributes.color)) {
            return true;
        }
    }
    return false;
}

// One run as measuring sees it: the text and attributes of the caller, not yet copied.
struct RunView {
    std::string_view text;
    const TextAttributes& attributes;
};

std::size_t mixed(std::size_t seed, std::size_t value) {
    return seed ^ (value + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2));
}

// What the shaping depends on: texts, fonts, spacing, width, and the colours when they differ.
template <typename Runs>
std::size_t shapingHash(const Runs& runs, bool coloured, std::optional<double> maxWidth) {
    std::hash<double> number;
    std::size_t hash = maxWidth ? number(*maxWidth) : 0;
    for (const auto& run : runs) {
        const TextAttributes& a = run.attributes;
        hash = mixed(hash, std::hash<std::string_view>{}(run.text));
        hash = mixed(hash, number(a.font.pointSize()));
        hash = mixed(hash, a.font.families().size() * 8 + std::size_t(a.font.weight()) * 2 +
                               std::size_t(a.font.monospacedDigits()));
        hash = mixed(hash, number(a.kern) ^ (number(a.baselineOffset) << 1));
        if (coloured) {
            const Color& c = a.color;
            hash = mixed(hash, number(c.red()) ^ (number(c.green()) << 1) ^
                                   (number(c.blue()) << 2) ^ (number(c.alpha()) << 3));
        }
    }
    return hash;
}

template <typename Runs>
bool shapeAlike(const Runs& runs, const std::vector<AttributedString::Run>& kept, bool coloured) {
    if (std::size(runs) != kept.size()) {
        return false;
    }
    auto other = kept.begin();
    for (const auto& run : runs) {
        const TextAttributes& a = run.attributes;
        const TextAttributes& b = other->attributes;
        if (std::string_view(run.text) != other->text || !(a.font == b.font) || a.kern != b.kern ||
            a.baselineOffset != b.baselineOffset || (coloured && !(a.color == b.color))) {
            return false;
        }
        ++other;
    }
    return true;
}

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
// - the platform's kerning attribute adds its amount after every character, the last one
//   included, where pango's letter spacing only goes between characters;
// - a baseline offset raises the glyphs and leaves the line box alone, where pango's rise
//   also reshapes the line's extents.
bool needsPlatformSpacing(const std::vector<AttributedString::Run>& runs) {
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

void applyPlatformSpacing(PangoLayout* layout, const std::string& text,
                          const std::vector<AttributedString::Run>& runs,
                          const std::vector<guint>& starts) {
    if (!needsPlatformSpacing(runs)) {
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

struct AttrListDeleter {
    void operator()(PangoAttrList* list) const { pango_attr_list_unref(list); }
};

struct ItemsDeleter {
    void operator()(GList* items) const {
        g_list_free_full(items,
                         [](gpointer item) { pango_item_free(static_cast<PangoItem*>(item)); });
    }
};

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

struct ItemDeleter {
    void operator()(PangoItem* item) const { pango_item_free(item); }
};
using ItemPointer = std::unique_ptr<PangoItem, ItemDeleter>;

// What a text shapes under: a template's analysis, shared, or that of the text's own item; with
// the template's HarfBuzz shaper when it has one, whose font has every character of the text.
struct Shaping {
    ItemPointer item;
    const PangoAnalysis* analysis = nullptr;
    PlanShaper* shaper = nullptr;
};

Shaping ownShaping(ItemPointer item) {
    const PangoAnalysis* analysis = item ? &item->analysis : nullptr;
    return {std::move(item), analysis};
}

// The text as the one item a layout would make of it, or nothing when it would make several, or
// one running right to left.
ItemPointer itemize(const std::string& text, const Font& font) {
    std::unique_ptr<PangoAttrList, AttrListDeleter> list(pango_attr_list_new());
    pango_attr_list_insert(list.get(), pango_attr_font_desc_new(font.description()));
    if (font.monospacedDigits()) {
        pango_attr_list_insert(list.get(), pango_attr_font_features_new("tnum 1"));
    }
    std::unique_ptr<GList, ItemsDeleter> items(
        pango_itemize(shapingContext(), text.c_str(), 0, int(text.size()), list.get(), nullptr));
    if (!items || items->next) {
        return nullptr;
    }
    ItemPointer item(static_cast<PangoItem*>(items->data));
    items->data = nullptr;
    if (item->length != int(text.size()) || item->analysis.level % 2 != 0 || !item->analysis.font) {
        return nullptr;
    }
    return item;
}

// Whether c itemizes as every other such character in a font that has it: left to right, no
// emoji presentation, no break or format character, of the Latin script or none (common). A
// figure, a unit and a Latin label are made of these.
bool plainCharacter(gunichar c) {
    return (c >= 0x20 && c < 0x7f) || (c >= 0xa0 && c <= 0xff && c != 0xad) || c == 0x2013 ||
           c == 0x2014 || c == 0x2026;
}

// Plain text in one font itemizes alike whatever its characters but for the script: Latin with
// a Latin letter in it, common without. When the font pango chose is the description's first
// one, every character that font has would get it again, so the item of one such text serves for
// all others of the same script and font. A new figure every second then pays for shaping alone:
// 3.1 µs instead of 4.1 with warm caches (bench/GraphicsBench), and far more in the real program,
// which wakes once a second to caches others have emptied: on an X server with a memory figure
// that changed every second, pango_itemize took 4.1 % of the program's processor time and a new
// text's shaping 12.1 %; with the templates 0 % and 8.0 % (perf, two minutes each). The
// whole-program benchmark's steady figures repeat and run warm, so it cannot tell.
class ItemTemplates {
public:
    // Whether the item's font is the description's first, asked of the fontset itemizing just
    // loaded: its description is the context's with the font's fields over it, as itemizing
    // builds it, so pango's fontset cache answers. Loading the font alone builds another fontset,
    // a fontconfig sort each time.
    static bool isFirstFont(const Font& font, const PangoAnalysis& analysis) {
        PangoContext* context = shapingContext();
        PangoFontDescription* description =
            pango_font_description_copy(pango_context_get_font_description(context));
        pango_font_description_merge(description, font.description(), TRUE);
        PangoFontset* fontset = pango_context_load_fontset(context, description, analysis.language);
        pango_font_description_free(description);
        if (!fontset) {
            return false;
        }
        PangoFont* first = nullptr;
        pango_fontset_foreach(
            fontset,
            [](PangoFontset*, PangoFont* candidate, gpointer data) -> gboolean {
                *static_cast<PangoFont**>(data) = candidate;
                return TRUE;
            },
            &first);
        bool isFirst = first == analysis.font;
        g_object_unref(fontset);
        return isFirst;
    }

    // A template's analysis serves as it is: shaping a whole text reads nothing of the item but
    // its analysis, and copying the item (its attributes, its font reference) for every new
    // figure took 1.0-1.6 % of the real program's processor time (perf).
    Shaping shapingFor(const std::string& text, const Font& font) {
        bool latin = false;
        bool visible = false;
        for (const char* p = text.c_str(); *p; p = g_utf8_next_char(p)) {
            gunichar c = g_utf8_get_char(p);
            if (!plainCharacter(c)) {
                return ownShaping(itemize(text, font));
            }
            latin = latin || g_unichar_get_script(c) == G_UNICODE_SCRIPT_LATIN;
            // Spaces take their neighbours' font, and a text of spaces alone another's.
            visible = visible || (c != ' ' && c != 0xa0);
        }
        if (!visible) {
            return ownShaping(itemize(text, font));
        }
        for (Template& entry : templates_) {
            if (entry.latin == latin && entry.font == font) {
                if (!entry.item || !entry.hasAll(text)) {
                    return ownShaping(itemize(text, font));
                }
                return {nullptr, &entry.item->analysis, entry.shaper.get()};
            }
        }
        ItemPointer item = itemize(text, font);
        if (templates_.size() < capacity) {
            templates_.push_back(Template{font, latin, nullptr, nullptr, {}});
            if (item && isFirstFont(font, item->analysis)) {
                templates_.back().item.reset(pango_item_copy(item.get()));
                templates_.back().shaper = PlanShaper::make(templates_.back().item->analysis);
            }
        }
        return ownShaping(std::move(item));
    }

private:
    struct Template {
        Font font;
        bool latin = false;
        ItemPointer item;
        std::unique_ptr<PlanShaper> shaper;
        // Per Latin-1 character: 0 not yet asked, 1 in the font, 2 not.
        std::array<unsigned char, 256> coverage;

        // Whether itemizing would give every character this font: pango's coverage decides
        // that, and the font must have a glyph as well.
        bool hasAll(const std::string& text) {
            for (const char* p = text.c_str(); *p; p = g_utf8_next_char(p)) {
                gunichar c = g_utf8_get_char(p);
                unsigned char known = c < coverage.size() ? coverage[c] : 0;
                if (known == 0) {
                    hb_codepoint_t glyph = 0;
                    hb_font_t* hbFont = pango_font_get_hb_font(item->analysis.font);
                    bool has = pango_font_has_char(item->analysis.font, c) && hbFont &&
                               hb_font_get_nominal_glyph(hbFont, c, &glyph);
                    known = has ? 1 : 2;
                    if (c < coverage.size()) {
                        coverage[c] = known;
                    }
                }
                if (known != 1) {
                    return false;
                }
            }
            return true;
        }
    };
    static constexpr std::size_t capacity = 32;
    std::vector<Template> templates_;
};

// One run with no width to fit, in one font, left to right, into a glyph string; nothing when
// the text needs the layout (several items, fallback fonts, missing glyphs, controls).
std::shared_ptr<ShapedText> shapeGlyphs(const AttributedString::Run& run) {
    const std::string& text = run.text;
    if (text.empty() || !g_utf8_validate(text.data(), gssize(text.size()), nullptr) ||
        hasControls(text)) {
        return nullptr;
    }
    thread_local ItemTemplates templates;
    Shaping shaping = templates.shapingFor(text, run.attributes.font);
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
    if (needsPlatformSpacing({run})) {
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

std::shared_ptr<ShapedText> shape(const std::vector<AttributedString::Run>& runs, bool coloured,
                                  std::optional<double> maxWidth) {
    auto shaped = std::make_shared<ShapedText>();
    shaped->coloured = coloured;
    shaped->layout = pango_layout_new(shapingContext());
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
    applyPlatformSpacing(shaped->layout, text, runs, starts);
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

// Least recently used layouts of one thread. The strip draws a few dozen texts a second, most
// of them unchanged from the second before: shaping them all again costs 1,170–1,260 µs a second
// of the whole program instead of 900–940 (bench/WholeProgramBench). Entries are found by a hash
// of the runs and compared run by run, so a lookup builds no key string and copies no text: a hit
// costs 29 ns instead of 88 (bench/GraphicsBench), a steady second of the program 13.30 M
// instructions instead of 13.35 M (bench/WholeProgramBench under callgrind), and the real
// program's text measuring and shaping 0.6 % of its instructions less.
class ShapedTextCache {
public:
    template <typename Runs>
    std::shared_ptr<const ShapedText> find(const Runs& runs, std::optional<double> maxWidth) {
        bool coloured = hasSeveralColours(runs);
        std::size_t hash = shapingHash(runs, coloured, maxWidth);
        auto [first, last] = index_.equal_range(hash);
        for (auto found = first; found != last; ++found) {
            Entry& entry = *found->second;
            if (entry.coloured == coloured && entry.maxWidth == maxWidth &&
                shapeAlike(runs, entry.runs, coloured)) {
                order_.splice(order_.begin(), order_, found->second);
                return entry.shaped;
            }
        }
        std::vector<AttributedString::Run> kept;
        kept.reserve(std::size(runs));
        for (const auto& run : runs) {
            kept.push_back({std::string(run.text), run.attributes});
        }
        std::shared_ptr<const ShapedText> shaped;
        if (kept.size() == 1 && !maxWidth) {
            shaped = shapeGlyphs(kept.front());
        }
        if (!shaped) {
            shaped = shape(kept, coloured, maxWidth);
        }
        order_.push_front({std::move(kept), coloured, maxWidth, hash, shaped});
        index_.emplace(hash, order_.begin());
        if (order_.size() > capacity) {
            auto [oldest, end] = index_.equal_range(order_.back().hash);
            while (oldest->second != std::prev(order_.end())) {
                ++oldest;
            }
            index_.erase(oldest);
            order_.pop_back();
        }
        return shaped;
    }

private:
    static constexpr std::size_t capacity = 128;
    struct Entry {
        std::vector<AttributedString::Run> runs;
        bool coloured = false;
        std::optional<double> maxWidth;
        std::size_t hash = 0;
        std::shared_ptr<const ShapedText> shaped;
    };
    std::list<Entry> order_;
    std::unordered_multimap<std::size_t, std::list<Entry>::iterator> index_;
};

ShapedTextCache& shapedTextCache() {
    thread_local ShapedTextCache cache;
    return cache;
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

PangoContext* shapingContext() {
    thread_local std::unique_ptr<PangoContext, ContextDeleter> context = makeShapingContext();
    return context.get();
}

std::shared_ptr<const ShapedText> shapeText(const std::vector<AttributedString::Run>& runs,
                                            std::optional<double> maxWidth) {
    return shapedTextCache().find(runs, maxWidth);
}

std::shared_ptr<const ShapedText> shapeText(std::string_view text,
                                            const TextAttributes& attributes) {
    return shapedTextCache().find(std::array<RunView, 1>{RunView{text, attributes}}, std::nullopt);
}

std::shared_ptr<const ShapedText> shapeTextInLayout(const std::vector<AttributedString::Run>& runs,
                                                    std::optional<double> maxWidth) {
    bool coloured = hasSeveralColours(runs);
    return shape(runs, coloured, maxWidth);
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
