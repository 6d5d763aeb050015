#pragma once

#include "platform/graphics/Font.h"
#include "platform/graphics/PlanShaper.h"

#include <array>
#include <memory>
#include <pango/pango.h>
#include <string>
#include <vector>

namespace gfx {

struct ItemDeleter {
    void operator()(PangoItem* item) const { pango_item_free(item); }
};
using ItemPointer = std::unique_ptr<PangoItem, ItemDeleter>;

// The text as the one item a layout would make of it in the context, or nothing when it would
// make several, or one running right to left.
ItemPointer itemize(PangoContext* context, const std::string& text, const Font& font);

// What a text shapes under: a template's analysis, shared, or that of the text's own item; with
// the template's HarfBuzz shaper when it has one, whose font has every character of the text.
struct Shaping {
    ItemPointer item;
    const PangoAnalysis* analysis = nullptr;
    PlanShaper* shaper = nullptr;
};

// Plain text in one font itemizes alike whatever its characters but for the script: Latin with
// a Latin letter in it, common without. When the font pango chose is the description's first
// one, every character that font has would get it again, so the item of one such text serves for
// all others of the same script and font. A figure new every second then pays for shaping alone.
// The program wakes once a second to caches other processes have emptied, where pango_itemize
// and pango's setting up of each shaping are dear: with the templates it took 3.7 % less
// processor time, 492 ms in ten minutes instead of 511 (24 copies of each build side by side on
// the same six cores, every module on). Kept by the text shaper, on the thread that draws.
class ItemTemplates {
public:
    // The shaping for a text in the font, itemized in the context the first time.
    Shaping shapingFor(PangoContext* context, const std::string& text, const Font& font);

private:
    struct Template {
        Font font;
        bool latin = false;
        ItemPointer item;
        std::unique_ptr<PlanShaper> shaper;
        // Per Latin-1 character: 0 not yet asked, 1 in the font, 2 not.
        std::array<unsigned char, 256> coverage{};

        // Whether itemizing would give every character this font: pango's coverage decides
        // that, and the font must have a glyph as well.
        bool hasAll(const std::string& text);
    };
    static constexpr std::size_t capacity = 32;
    std::vector<Template> templates_;
};

} // namespace gfx
