#pragma once

#include "platform/graphics/Bitmap.h"
#include "platform/graphics/Context.h"
#include "platform/graphics/Geometry.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace gfx {

// Draws an image's content into rect (the image's bounds, in its own point space) and answers
// whether it drew; drawn lazily, each time the image is drawn.
using DrawingHandler = std::function<bool(Context& context, const Rect& rect)>;

enum class ImageInterpolation { none, low, high };

struct ImageDrawOptions {
    // The part of the image to draw, in its point space (y up); the whole image when absent.
    std::optional<Rect> source = std::nullopt;
    CompositingOperation operation = CompositingOperation::sourceOver;
    // Multiplies the image's alpha.
    double fraction = 1;
    ImageInterpolation interpolation = ImageInterpolation::high;
    // Keep the image upright in a flipped context; otherwise it is mirrored with the context,
    // as a plain draw in a rect is.
    bool respectFlipped = false;
};

// An image of a point size, backed by a drawing handler (called each time the image is drawn,
// in y-up space unless made flipped) or by one bitmap representation. Copies share the content;
// the template flag belongs to each copy. A handler draws in isolation, as into the image's own
// representation: its compositing operations (a source-atop tint, a clear) act on the image
// only, never on what lies under it.
class Image {
public:
    static Image withDrawingHandler(Size size, bool flipped, DrawingHandler handler);
    static Image withBitmap(Bitmap bitmap);
    // A PNG file as an image of its pixel size in points, or of pointSize when given; nothing
    // when the file is missing or not a PNG.
    static std::optional<Image> fromPngFile(const std::string& path,
                                            std::optional<Size> pointSize = std::nullopt);

    Size size() const;
    // A copy shown at another point size; the content is scaled to fit it.
    Image withSize(Size size) const;
    bool isTemplate() const { return isTemplate_; }
    void setTemplate(bool isTemplate) { isTemplate_ = isTemplate; }
    bool isFlipped() const;
    // The bitmap representation, when the image has one.
    const Bitmap* bitmap() const;
    // Whether another copy, or a copy at another size, shows this image's bitmap.
    bool sharesBitmap() const;
    // The bitmap to draw a changed picture over: the pixels themselves when no other copy shows
    // them, so nobody sees them change, else a copy. Empty when the image has no bitmap. The
    // image is spent.
    Bitmap takeBitmap() &&;
    // Whether both are copies of one image (and so draw the same pixels, whatever their
    // template flags).
    bool sharesContent(const Image& other) const { return content_ == other.content_; }

    // Draws the image (or its source part) into rect, stretched to fill it, through the
    // context's clip, transform, alpha and shadow.
    void draw(Context& context, const Rect& rect, const ImageDrawOptions& options = {}) const;
    // Draws at its own size with its bottom-left corner at point.
    void draw(Context& context, Point point, const ImageDrawOptions& options = {}) const;

    // Writes a PNG: the bitmap as it is, or the drawing rendered at the given scale.
    bool writePng(const std::string& path, double scale = 2) const;

private:
    friend Image renderedBitmapImage(const Image& image, double scale, Appearance appearance,
                                     ShapeMaskCache* masks);
    friend Image renderedBitmapImage(const Image& image, const Bitmap& backdrop,
                                     Appearance appearance, ShapeMaskCache* masks);
    struct Content;
    explicit Image(std::shared_ptr<const Content> content) : content_(std::move(content)) {}

    void drawContent(Context& context, const Rect& rect, const Rect& source,
                     ImageInterpolation interpolation) const;

    std::shared_ptr<const Content> content_;
    bool isTemplate_ = false;
};

// The image drawn once into a new bitmap at the scale: (width × scale) by (height × scale)
// pixels rounded up, RGBA 8-bit premultiplied, representation size = the point size, not a
// template. An image too small for one pixel gives an empty bitmap. Dynamic colours drawn by a
// handler resolve against the given appearance. A handler painting through shapes keeps their
// masks in `masks` when given (Context::setShapeMasks).
Image renderedBitmapImage(const Image& image, double scale,
                          Appearance appearance = Appearance::light,
                          ShapeMaskCache* masks = nullptr);
// The same, drawn over a copy of backdrop's pixels at backdrop's scale instead of into a cleared
// bitmap: an image that always begins with the same picture (a module's capsule) copies it rather
// than drawing it again. Backdrop's point size is the image's.
Image renderedBitmapImage(const Image& image, const Bitmap& backdrop, Appearance appearance,
                          ShapeMaskCache* masks = nullptr);

} // namespace gfx
