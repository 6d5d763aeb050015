#include "platform/graphics/Image.h"

#include "platform/graphics/DrawingRecorder.h"
#include "platform/graphics/Path.h"

#include <algorithm>
#include <cmath>
#include <mutex>
#include <vector>

namespace gfx {

namespace {

// How far a draw shrinks the bitmap: device pixels per bitmap pixel, the smaller of the two axes.
double shrinkFactor(cairo_t* cr, const Rect& rect, const Rect& source, const Bitmap& bitmap,
                    Size imageSize) {
    cairo_matrix_t userToDevice;
    cairo_get_matrix(cr, &userToDevice);
    double deviceWidth = std::hypot(userToDevice.xx, userToDevice.yx) * rect.width();
    double deviceHeight = std::hypot(userToDevice.xy, userToDevice.yy) * rect.height();
    double sourceWidth = source.width() * bitmap.pixelsWide() / imageSize.width;
    double sourceHeight = source.height() * bitmap.pixelsHigh() / imageSize.height;
    return std::min(deviceWidth / sourceWidth, deviceHeight / sourceHeight);
}

} // namespace

struct Image::Content {
    Size size;
    bool flipped = false;
    DrawingHandler handler;
    std::shared_ptr<const Bitmap> bitmap;
    // The bitmap halved once, twice, …, each made on the first draw that needs it and kept;
    // shared by copies.
    struct Reductions {
        std::mutex mutex;
        std::vector<std::shared_ptr<const Bitmap>> levels;
    };
    std::shared_ptr<Reductions> reductions = std::make_shared<Reductions>();

    // The bitmap halved `level` times (at least once), or null when it cannot shrink that far.
    const Bitmap* reduced(int level) const {
        std::lock_guard lock(reductions->mutex);
        auto& levels = reductions->levels;
        while (int(levels.size()) < level) {
            const Bitmap& larger = levels.empty() ? *bitmap : *levels.back();
            if (larger.pixelsWide() < 2 || larger.pixelsHigh() < 2) {
                return nullptr;
            }
            levels.push_back(std::make_shared<const Bitmap>(larger.halved()));
        }
        const Bitmap* chosen = levels[std::size_t(level - 1)].get();
        return chosen->isEmpty() ? nullptr : chosen;
    }
};

Image Image::withDrawingHandler(Size size, bool flipped, DrawingHandler handler) {
    auto content = std::make_shared<Content>();
    content->size = size;
    content->flipped = flipped;
    content->handler = std::move(handler);
    return Image(std::move(content));
}

Image Image::withBitmap(Bitmap bitmap) {
    auto content = std::make_shared<Content>();
    content->size = bitmap.size();
    // Not a const object, so that its last holder may take it back (takeBitmap).
    content->bitmap = std::make_shared<Bitmap>(std::move(bitmap));
    return Image(std::move(content));
}

std::optional<Image> Image::fromPngFile(const std::string& path, std::optional<Size> pointSize) {
    std::optional<Bitmap> bitmap = Bitmap::readPng(path);
    if (!bitmap) {
        return std::nullopt;
    }
    if (pointSize) {
        bitmap->setSize(*pointSize);
    }
    return withBitmap(std::move(*bitmap));
}

Size Image::size() const {
    return content_->size;
}

Image Image::withSize(Size size) const {
    auto content = std::make_shared<Content>(*content_);
    content->size = size;
    Image image(std::move(content));
    image.isTemplate_ = isTemplate_;
    return image;
}

bool Image::isFlipped() const {
    return content_->flipped;
}

const Bitmap* Image::bitmap() const {
    return content_->bitmap.get();
}

bool Image::sharesBitmap() const {
    return content_.use_count() > 1 || content_->bitmap.use_count() > 1;
}

Bitmap Image::takeBitmap() && {
    std::shared_ptr<const Content> content = std::move(content_);
    if (!content->bitmap) {
        return Bitmap(0, 0, content->size);
    }
    if (content.use_count() > 1 || content->bitmap.use_count() > 1) {
        return content->bitmap->copy();
    }
    // Sole holder of both, through a value we own: no other thread can reach them.
    return std::move(const_cast<Bitmap&>(*content->bitmap));
}

void Image::draw(Context& context, Point point, const ImageDrawOptions& options) const {
    draw(context, Rect{point, size()}, options);
}

void Image::draw(Context& context, const Rect& rect, const ImageDrawOptions& options) const {
    Rect source = options.source.value_or(Rect{Point{}, size()}).standardized();
    if (rect.isEmpty() || source.isEmpty() || !(options.fraction > 0) ||
        !Path::rect(rect).isFinite() || !Path::rect(source).isFinite() || context.drawsNothing()) {
        return;
    }
    if (DrawingRecorder* recorder = context.recorder()) {
        recorder->record(ImageRecord{context.currentTransform().apply(rect.standardized()),
                                     options.fraction, options.operation});
    }
    Context::SavedState outer(context);
    if (options.respectFlipped && context.isFlipped()) {
        context.translate(0, rect.minY() + rect.maxY());
        context.scale(1, -1);
    }
    bool direct = content_->bitmap && options.fraction >= 1 && context.alpha() >= 1 &&
                  !context.shadow() && options.operation == CompositingOperation::sourceOver;
    if (direct) {
        drawContent(context, rect, source, options.interpolation);
        return;
    }
    // The image is drawn into a group first and the group composited once: a fraction, an
    // operation or a shadow applies to the image as a whole, and a handler's own operations
    // stay inside the image.
    cairo_t* cr = context.cairo();
    context.save();
    context.clipToRect(rect);
    context.setAlpha(1);
    context.setShadow(std::nullopt);
    context.setCompositingOperation(CompositingOperation::sourceOver);
    cairo_push_group(cr);
    drawContent(context, rect, source, options.interpolation);
    cairo_pattern_t* group = cairo_pop_group(cr);
    context.restore();

    double alpha = options.fraction * context.alpha();
    context.setCompositingOperation(options.operation);
    context.drawWithShadow(rect, [&](cairo_t* target) {
        cairo_set_source(target, group);
        cairo_new_path(target);
        cairo_rectangle(target, rect.x(), rect.y(), rect.width(), rect.height());
        cairo_clip(target);
        cairo_paint_with_alpha(target, alpha);
    });
    cairo_pattern_destroy(group);
}

void Image::drawContent(Context& context, const Rect& rect, const Rect& source,
                        ImageInterpolation interpolation) const {
    const Content& content = *content_;
    Size imageSize = content.size;
    if (content.bitmap) {
        if (content.bitmap->isEmpty() || imageSize.width <= 0 || imageSize.height <= 0) {
            return;
        }
        cairo_t* cr = context.cairo();
        // Bilinear sampling serves enlarging and shrinking to no less than half size; cairo's
        // convolution filter, which any smaller size needs, costs ten times more. So the bitmap
        // is halved exactly (2 × 2 averages, made once and kept) as often as it takes to bring
        // the shrink to between half and whole, and that level drawn bilinearly. Between half
        // and whole it is halved once and enlarged, which does not alias. The strip draws its
        // scale-2 images at 0.43 of their pixels on a scale-1 screen, several times a second.
        const Bitmap* chosen = content.bitmap.get();
        cairo_filter_t filter = CAIRO_FILTER_BILINEAR;
        if (interpolation == ImageInterpolation::none) {
            filter = CAIRO_FILTER_NEAREST;
        } else if (interpolation == ImageInterpolation::high) {
            double shrink = shrinkFactor(cr, rect, source, *chosen, imageSize);
            constexpr double tolerance = 1e-9;
            constexpr int deepestLevel = 8;
            if (shrink < 1 - tolerance) {
                int level = 1;
                while (level < deepestLevel && shrink * double(1 << (level + 1)) <= 1 + tolerance) {
                    ++level;
                }
                if (const Bitmap* smaller = content.reduced(level)) {
                    chosen = smaller;
                } else {
                    filter = CAIRO_FILTER_GOOD;
                }
            }
        }
        const Bitmap& bitmap = *chosen;
        // User space → image points → bitmap pixels (rows counted from the top).
        AffineTransform toPattern =
            AffineTransform::translation(-rect.x(), -rect.y())
                .concatenating(AffineTransform::scaling(source.width() / rect.width(),
                                                        source.height() / rect.height()))
                .concatenating(AffineTransform::translation(source.x(), source.y()))
                .concatenating(AffineTransform{1, 0, 0, -1, 0, imageSize.height})
                .concatenating(AffineTransform::scaling(bitmap.pixelsWide() / imageSize.width,
                                                        bitmap.pixelsHigh() / imageSize.height));
        cairo_pattern_t* pattern = cairo_pattern_create_for_surface(bitmap.surface());
        cairo_matrix_t matrix{toPattern.a, toPattern.b,  toPattern.c,
                              toPattern.d, toPattern.tx, toPattern.ty};
        cairo_pattern_set_matrix(pattern, &matrix);
        cairo_pattern_set_extend(pattern, CAIRO_EXTEND_PAD);
        cairo_pattern_set_filter(pattern, filter);
        cairo_save(cr);
        cairo_set_source(cr, pattern);
        cairo_new_path(cr);
        cairo_rectangle(cr, rect.x(), rect.y(), rect.width(), rect.height());
        cairo_fill(cr);
        cairo_restore(cr);
        cairo_pattern_destroy(pattern);
        return;
    }
    if (!content.handler) {
        return;
    }
    Context::SavedState saved(context);
    context.clipToRect(rect);
    context.translate(rect.x(), rect.y());
    context.scale(rect.width() / source.width(), rect.height() / source.height());
    context.translate(-source.x(), -source.y());
    if (content.flipped) {
        context.translate(0, imageSize.height);
        context.scale(1, -1);
    }
    content.handler(context, Rect{Point{}, imageSize});
}

bool Image::writePng(const std::string& path, double scale) const {
    if (const Bitmap* rep = bitmap()) {
        return rep->writePng(path);
    }
    Image rendered = renderedBitmapImage(*this, scale);
    return rendered.bitmap()->writePng(path);
}

Image renderedBitmapImage(const Image& image, double scale, Appearance appearance,
                          ShapeMaskCache* masks) {
    Bitmap bitmap = Bitmap::forPointSize(image.size(), scale);
    if (!bitmap.isEmpty()) {
        // Into a fresh transparent bitmap the handler needs no isolating group: what it draws
        // there is already the image alone.
        Context context(bitmap, appearance);
        context.setShapeMasks(masks);
        Rect bounds{Point{}, image.size()};
        image.drawContent(context, bounds, bounds, ImageInterpolation::high);
    }
    return Image::withBitmap(std::move(bitmap));
}

Image renderedBitmapImage(const Image& image, const Bitmap& backdrop, Appearance appearance,
                          ShapeMaskCache* masks) {
    Bitmap bitmap = backdrop.copy();
    if (!bitmap.isEmpty()) {
        Context context(bitmap, appearance);
        context.setShapeMasks(masks);
        Rect bounds{Point{}, image.size()};
        image.drawContent(context, bounds, bounds, ImageInterpolation::high);
    }
    return Image::withBitmap(std::move(bitmap));
}

} // namespace gfx
