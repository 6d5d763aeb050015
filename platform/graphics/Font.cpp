#include "platform/graphics/Font.h"

#include "platform/graphics/TextEngine.h"

#include <mutex>
#include <pango/pango.h>

namespace gfx {

struct Font::Shared {
    std::string families;
    double pointSize = 0;
    FontWeight weight = FontWeight::regular;
    bool monospacedDigits = false;
    PangoFontDescription* description = nullptr;
    std::once_flag metricsOnce;
    FontMetrics metrics;
    std::once_flag digitOnce;
    double digitAdvance = 0;

    ~Shared() { pango_font_description_free(description); }
};

namespace {

PangoWeight pangoWeight(FontWeight weight) {
    switch (weight) {
    case FontWeight::medium:
        return PANGO_WEIGHT_MEDIUM;
    case FontWeight::semibold:
        return PANGO_WEIGHT_SEMIBOLD;
    case FontWeight::bold:
        return PANGO_WEIGHT_BOLD;
    case FontWeight::regular:
        break;
    }
    return PANGO_WEIGHT_NORMAL;
}

struct LayoutDeleter {
    void operator()(PangoLayout* layout) const { g_object_unref(layout); }
};

} // namespace

Font::Font(std::string families, double pointSize, FontWeight weight, bool monospacedDigits)
    : shared_(std::make_shared<Shared>()) {
    shared_->families = std::move(families);
    shared_->pointSize = pointSize > 0 ? pointSize : 0;
    shared_->weight = weight;
    shared_->monospacedDigits = monospacedDigits;
    PangoFontDescription* description = pango_font_description_new();
    pango_font_description_set_family(description, shared_->families.c_str());
    pango_font_description_set_absolute_size(description, shared_->pointSize * PANGO_SCALE);
    pango_font_description_set_weight(description, pangoWeight(weight));
    shared_->description = description;
}

Font Font::system(double pointSize, FontWeight weight) {
    return Font(systemFontFamilies, pointSize, weight, false);
}

Font Font::monospacedDigitSystem(double pointSize, FontWeight weight) {
    return Font(systemFontFamilies, pointSize, weight, true);
}

std::optional<Font> Font::roundedSystem(double, FontWeight) {
    return std::nullopt;
}

const std::string& Font::families() const {
    return shared_->families;
}

double Font::pointSize() const {
    return shared_->pointSize;
}

FontWeight Font::weight() const {
    return shared_->weight;
}

bool Font::monospacedDigits() const {
    return shared_->monospacedDigits;
}

Font Font::withPointSize(double pointSize) const {
    return Font(shared_->families, pointSize, shared_->weight, shared_->monospacedDigits);
}

const PangoFontDescription* Font::description() const {
    return shared_->description;
}

FontMetrics Font::metrics() const {
    std::call_once(shared_->metricsOnce, [this] {
        std::unique_ptr<PangoLayout, LayoutDeleter> layout(
            pango_layout_new(shapingContext().get()));
        pango_layout_set_font_description(layout.get(), shared_->description);
        pango_layout_set_text(layout.get(), "H", -1);
        PangoRectangle ink, logical;
        pango_layout_get_extents(layout.get(), &ink, &logical);
        double baseline = double(pango_layout_get_baseline(layout.get())) / PANGO_SCALE;
        double height = double(logical.height) / PANGO_SCALE;
        shared_->metrics.ascender = baseline;
        shared_->metrics.descender = baseline - height;
        shared_->metrics.lineHeight = height;
        shared_->metrics.capHeight = double(ink.height) / PANGO_SCALE;
    });
    return shared_->metrics;
}

double Font::digitAdvance() const {
    std::call_once(shared_->digitOnce, [this] {
        std::unique_ptr<PangoLayout, LayoutDeleter> layout(
            pango_layout_new(shapingContext().get()));
        pango_layout_set_font_description(layout.get(), shared_->description);
        PangoAttrList* list = pango_attr_list_new();
        pango_attr_list_insert(list, pango_attr_font_features_new("tnum 1"));
        pango_layout_set_attributes(layout.get(), list);
        pango_attr_list_unref(list);
        pango_layout_set_text(layout.get(), "0", -1);
        PangoRectangle logical;
        pango_layout_get_extents(layout.get(), nullptr, &logical);
        shared_->digitAdvance = double(logical.width) / PANGO_SCALE;
    });
    return shared_->digitAdvance;
}

std::string Font::resolvedFamily() const {
    PangoFont* font = pango_context_load_font(shapingContext().get(), shared_->description);
    if (!font) {
        return {};
    }
    PangoFontDescription* described = pango_font_describe(font);
    std::string family = pango_font_description_get_family(described)
                             ? pango_font_description_get_family(described)
                             : "";
    pango_font_description_free(described);
    g_object_unref(font);
    return family;
}

bool operator==(const Font& a, const Font& b) {
    return a.shared_ == b.shared_ ||
           (a.families() == b.families() && a.pointSize() == b.pointSize() &&
            a.weight() == b.weight() && a.monospacedDigits() == b.monospacedDigits());
}

std::string toString(FontWeight weight) {
    switch (weight) {
    case FontWeight::medium:
        return "medium";
    case FontWeight::semibold:
        return "semibold";
    case FontWeight::bold:
        return "bold";
    case FontWeight::regular:
        break;
    }
    return "regular";
}

} // namespace gfx
