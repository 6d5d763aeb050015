#include "platform/graphics/PlanShaper.h"

#include <array>
#include <cstring>
#include <hb-ot.h>

namespace gfx {

namespace {

bool hasColourGlyphs(hb_font_t* font) {
    hb_face_t* face = hb_font_get_face(font);
    return hb_ot_color_has_layers(face) || hb_ot_color_has_png(face) || hb_ot_color_has_svg(face);
}

// The features pango asks HarfBuzz for under the analysis: the font's own, then those of the
// analysis's font-feature attributes over the attributes' ranges; false for attributes that
// change shaping in other ways.
bool collectFeatures(const PangoAnalysis& analysis, std::vector<hb_feature_t>& features) {
    // Pango collects into as many as this and drops the rest.
    constexpr guint most = 32;
    std::array<hb_feature_t, most> collected{};
    guint count = 0;
    pango_font_get_features(analysis.font, collected.data(), most, &count);
    for (GSList* l = analysis.extra_attrs; l; l = l->next) {
        const PangoAttribute* attribute = static_cast<const PangoAttribute*>(l->data);
        switch (attribute->klass->type) {
        case PANGO_ATTR_FONT_FEATURES: {
            const char* feature =
                reinterpret_cast<const PangoAttrFontFeatures*>(attribute)->features;
            while (feature && count < most) {
                const char* end = std::strchr(feature, ',');
                if (hb_feature_from_string(feature, end ? int(end - feature) : -1,
                                           &collected[count])) {
                    collected[count].start = attribute->start_index;
                    collected[count].end = attribute->end_index;
                    ++count;
                }
                feature = end ? end + 1 : nullptr;
            }
            break;
        }
        case PANGO_ATTR_LETTER_SPACING:
        case PANGO_ATTR_SHOW:
        case PANGO_ATTR_TEXT_TRANSFORM:
            return false;
        default:
            break;
        }
    }
    features.assign(collected.begin(), collected.begin() + count);
    return true;
}

} // namespace

std::unique_ptr<PlanShaper> PlanShaper::make(const PangoAnalysis& analysis) {
    if (!analysis.font || analysis.level % 2 != 0 || analysis.gravity != PANGO_GRAVITY_SOUTH ||
        (analysis.flags & PANGO_ANALYSIS_FLAG_NEED_HYPHEN) != 0) {
        return nullptr;
    }
    hb_font_t* font = pango_font_get_hb_font(analysis.font);
    if (!font || hasColourGlyphs(font)) {
        return nullptr;
    }
    std::unique_ptr<PlanShaper> shaper(new PlanShaper);
    if (!collectFeatures(analysis, shaper->features_)) {
        return nullptr;
    }
    shaper->font_ = hb_font_reference(font);
    shaper->properties_.direction = HB_DIRECTION_LTR;
    shaper->properties_.script =
        hb_script_t(g_unicode_script_to_iso15924(GUnicodeScript(analysis.script)));
    shaper->properties_.language =
        hb_language_from_string(pango_language_to_string(analysis.language), -1);
    unsigned coordinates = 0;
    const int* coords = hb_font_get_var_coords_normalized(font, &coordinates);
    shaper->plan_ = hb_shape_plan_create_cached2(
        hb_font_get_face(font), &shaper->properties_, shaper->features_.data(),
        unsigned(shaper->features_.size()), coords, coordinates, nullptr);
    shaper->buffer_ = hb_buffer_create();
    if (!hb_buffer_allocation_successful(shaper->buffer_)) {
        return nullptr;
    }
    return shaper;
}

PlanShaper::~PlanShaper() {
    hb_buffer_destroy(buffer_);
    hb_shape_plan_destroy(plan_);
    hb_font_destroy(font_);
}

bool PlanShaper::shape(std::string_view text, PangoGlyphString* glyphs) {
    hb_buffer_clear_contents(buffer_);
    hb_buffer_set_segment_properties(buffer_, &properties_);
    hb_buffer_set_cluster_level(buffer_, HB_BUFFER_CLUSTER_LEVEL_MONOTONE_CHARACTERS);
    hb_buffer_set_flags(buffer_, hb_buffer_flags_t(HB_BUFFER_FLAG_BOT | HB_BUFFER_FLAG_EOT));
    hb_buffer_set_invisible_glyph(buffer_, PANGO_GLYPH_EMPTY);
    hb_buffer_add_utf8(buffer_, text.data(), int(text.size()), 0, int(text.size()));
    if (hb_buffer_get_length(buffer_) == 0 ||
        !hb_shape_plan_execute(plan_, font_, buffer_, features_.data(),
                               unsigned(features_.size()))) {
        return false;
    }
    unsigned count = 0;
    const hb_glyph_info_t* infos = hb_buffer_get_glyph_infos(buffer_, &count);
    const hb_glyph_position_t* positions = hb_buffer_get_glyph_positions(buffer_, nullptr);
    if (count == 0 || !positions) {
        return false;
    }
    pango_glyph_string_set_size(glyphs, int(count));
    int lastCluster = -1;
    for (unsigned i = 0; i < count; ++i) {
        PangoGlyphInfo& glyph = glyphs->glyphs[i];
        glyph.glyph = infos[i].codepoint;
        glyphs->log_clusters[i] = int(infos[i].cluster);
        glyph.attr.is_cluster_start = glyphs->log_clusters[i] != lastCluster;
        glyph.attr.is_color = false;
        lastCluster = glyphs->log_clusters[i];
        glyph.geometry.width = positions[i].x_advance;
        glyph.geometry.x_offset = positions[i].x_offset;
        glyph.geometry.y_offset = -positions[i].y_offset;
        // Pango turns a backward advance (a mirrored font matrix) into a shifted forward one.
        if (glyph.geometry.width < 0) {
            glyph.geometry.width = -glyph.geometry.width;
            glyph.geometry.x_offset += glyph.geometry.width;
        }
    }
    return true;
}

} // namespace gfx
