#include "platform/graphics/ItemTemplates.h"

#include <hb.h>

namespace gfx {

namespace {

struct AttrListDeleter {
    void operator()(PangoAttrList* list) const { pango_attr_list_unref(list); }
};

struct ItemsDeleter {
    void operator()(GList* items) const {
        g_list_free_full(items,
                         [](gpointer item) { pango_item_free(static_cast<PangoItem*>(item)); });
    }
};

Shaping ownShaping(ItemPointer item) {
    const PangoAnalysis* analysis = item ? &item->analysis : nullptr;
    return {std::move(item), analysis};
}

// Whether c itemizes as every other such character in a font that has it: left to right, no
// emoji presentation, no break or format character, of the Latin script or none (common). A
// figure, a unit and a Latin label are made of these.
bool plainCharacter(gunichar c) {
    return (c >= 0x20 && c < 0x7f) || (c >= 0xa0 && c <= 0xff && c != 0xad) || c == 0x2013 ||
           c == 0x2014 || c == 0x2026;
}

// Whether the item's font is the description's first, asked of the fontset itemizing just
// loaded: its description is the context's with the font's fields over it, as itemizing builds
// it, so pango's fontset cache answers. Loading the font alone builds another fontset, a
// fontconfig sort each time.
bool isFirstFont(PangoContext* context, const Font& font, const PangoAnalysis& analysis) {
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

} // namespace

ItemPointer itemize(PangoContext* context, const std::string& text, const Font& font) {
    std::unique_ptr<PangoAttrList, AttrListDeleter> list(pango_attr_list_new());
    pango_attr_list_insert(list.get(), pango_attr_font_desc_new(font.description()));
    if (font.monospacedDigits()) {
        pango_attr_list_insert(list.get(), pango_attr_font_features_new("tnum 1"));
    }
    std::unique_ptr<GList, ItemsDeleter> items(
        pango_itemize(context, text.c_str(), 0, int(text.size()), list.get(), nullptr));
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

// A template's analysis serves as it is: shaping a whole text reads nothing of the item but its
// analysis, and copying the item (its attributes, its font reference) for every new figure
// costs more than the look-up.
Shaping ItemTemplates::shapingFor(PangoContext* context, const std::string& text,
                                  const Font& font) {
    bool latin = false;
    bool visible = false;
    for (const char* p = text.c_str(); *p; p = g_utf8_next_char(p)) {
        gunichar c = g_utf8_get_char(p);
        if (!plainCharacter(c)) {
            return ownShaping(itemize(context, text, font));
        }
        latin = latin || g_unichar_get_script(c) == G_UNICODE_SCRIPT_LATIN;
        // Spaces take their neighbours' font, and a text of spaces alone another's.
        visible = visible || (c != ' ' && c != 0xa0);
    }
    if (!visible) {
        return ownShaping(itemize(context, text, font));
    }
    for (Template& entry : templates_) {
        if (entry.latin == latin && entry.font == font) {
            if (!entry.item || !entry.hasAll(text)) {
                return ownShaping(itemize(context, text, font));
            }
            return {nullptr, &entry.item->analysis, entry.shaper.get()};
        }
    }
    ItemPointer item = itemize(context, text, font);
    if (templates_.size() < capacity) {
        templates_.push_back(Template{font, latin, nullptr, nullptr, {}});
        if (item && isFirstFont(context, font, item->analysis)) {
            templates_.back().item.reset(pango_item_copy(item.get()));
            templates_.back().shaper = PlanShaper::make(templates_.back().item->analysis);
        }
    }
    return ownShaping(std::move(item));
}

bool ItemTemplates::Template::hasAll(const std::string& text) {
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

} // namespace gfx
