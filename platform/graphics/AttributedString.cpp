#include "platform/graphics/AttributedString.h"

#include "platform/graphics/Context.h"
#include "platform/graphics/DrawingRecorder.h"
#include "platform/graphics/TextEngine.h"

#include <algorithm>
#include <cmath>
#include <pango/pangocairo.h>

namespace gfx {

namespace {

// Glyphs this many device pixels high and more are not drawn: FreeType fails on them somewhere
// past 60000, and the failed font stays cached, so every later text on the thread would come out
// blank.
constexpr double largestDevicePointSize = 32768;

bool drawableSize(const Context& context, const std::vector<AttributedString::Run>& runs) {
    AffineTransform t = context.currentTransform();
    double stretch = std::max({std::abs(t.a), std::abs(t.b), std::abs(t.c), std::abs(t.d)}) *
                     context.backingScale();
    for (const AttributedString::Run& run : runs) {
        if (!(run.attributes.font.pointSize() * stretch < largestDevicePointSize)) {
            return false;
        }
    }
    return true;
}

// Draws a shaped line with its line box's origin corner at origin: the bottom-left in y-up
// space, the top-left in a flipped context (the min-y corner either way).
void drawShaped(Context& context, const std::vector<AttributedString::Run>& runs,
                const ShapedText& shaped, Point origin, std::optional<Rect> clip) {
    if (runs.empty() || !std::isfinite(origin.x) || !std::isfinite(origin.y) ||
        context.drawsNothing()) {
        return;
    }
    if (DrawingRecorder* recorder = context.recorder()) {
        AffineTransform toBase = context.currentTransform();
        for (std::size_t i = 0; i < runs.size(); ++i) {
            const AttributedString::Run& run = runs[i];
            double runWidth = (i + 1 < runs.size() ? shaped.runOffsets[i + 1] : shaped.width) -
                              shaped.runOffsets[i];
            Point runOrigin{origin.x + shaped.runOffsets[i], origin.y};
            Rect box{runOrigin, Size{runWidth, shaped.height}};
            recorder->record(TextRecord{
                run.text, run.attributes.font, run.attributes.color.resolved(context.appearance()),
                toBase.apply(runOrigin), toBase.apply(box), context.alpha()});
        }
    }
    if (!drawableSize(context, runs)) {
        return;
    }
    Color colour = runs.front().attributes.color.resolved(context.appearance());
    double alpha = context.alpha();
    bool flipped = context.isFlipped();
    Rect box{origin, Size{shaped.width, shaped.height}};
    context.drawWithShadow(box, [&](cairo_t* cr) {
        cairo_save(cr);
        if (clip) {
            cairo_rectangle(cr, clip->x(), clip->y(), clip->width(), clip->height());
            cairo_clip(cr);
        }
        // Pango lays out downwards from the top-left. In y-up space flip locally so glyphs
        // stand upright; in a flipped context the point is already the line box's top-left.
        if (flipped) {
            cairo_translate(cr, origin.x - shaped.logicalX, origin.y);
        } else {
            cairo_translate(cr, origin.x - shaped.logicalX, origin.y + shaped.height);
            cairo_scale(cr, 1, -1);
        }
        cairo_move_to(cr, 0, 0);
        if (shaped.coloured && alpha < 1) {
            cairo_push_group(cr);
            showShapedText(cr, shaped);
            cairo_pop_group_to_source(cr);
            cairo_paint_with_alpha(cr, alpha);
        } else {
            cairo_set_source_rgba(cr, colour.red(), colour.green(), colour.blue(),
                                  colour.alpha() * alpha);
            showShapedText(cr, shaped);
        }
        cairo_restore(cr);
    });
}

} // namespace

AttributedString::AttributedString(std::string text, TextAttributes attributes) {
    append(std::move(text), std::move(attributes));
}

void AttributedString::append(std::string text, TextAttributes attributes) {
    if (text.empty()) {
        return;
    }
    runs_.push_back({std::move(text), std::move(attributes)});
}

std::string AttributedString::string() const {
    std::string text;
    for (const Run& run : runs_) {
        text += run.text;
    }
    return text;
}

bool AttributedString::isEmpty() const {
    return runs_.empty();
}

Size AttributedString::size() const {
    if (runs_.empty()) {
        return {};
    }
    std::shared_ptr<const ShapedText> shaped = shapeText(runs_);
    return {shaped->width, shaped->height};
}

void AttributedString::draw(Context& context, Point point) const {
    if (runs_.empty()) {
        return;
    }
    drawShaped(context, runs_, *shapeText(runs_), point, std::nullopt);
}

void AttributedString::draw(Context& context, const Rect& rect) const {
    if (runs_.empty() || rect.isEmpty() || !std::isfinite(rect.width()) ||
        !std::isfinite(rect.height())) {
        return;
    }
    Rect r = rect.standardized();
    std::shared_ptr<const ShapedText> shaped = shapeText(runs_, r.width());
    double top = context.isFlipped() ? r.minY() : r.maxY() - shaped->height;
    drawShaped(context, runs_, *shaped, Point{r.minX(), top}, r);
}

Size textSize(std::string_view text, const TextAttributes& attributes) {
    if (text.empty()) {
        return {};
    }
    std::shared_ptr<const ShapedText> shaped = shapeText(text, attributes);
    return {shaped->width, shaped->height};
}

void drawText(Context& context, std::string_view text, Point point,
              const TextAttributes& attributes) {
    AttributedString(std::string(text), attributes).draw(context, point);
}

void drawText(Context& context, std::string_view text, const Rect& rect,
              const TextAttributes& attributes) {
    AttributedString(std::string(text), attributes).draw(context, rect);
}

} // namespace gfx
