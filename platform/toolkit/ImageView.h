#pragma once

#include "platform/graphics/Image.h"
#include "platform/toolkit/ImageScaling.h"
#include "platform/toolkit/View.h"

#include <optional>

namespace ui {

// Shows an image centred in its bounds, scaled as imageScaling says (proportionally down by
// default). An image view that ignores mouse events is never the target of a hit test, so the
// pointer reaches whatever lies beneath it.
class ImageView : public View {
public:
    explicit ImageView(const gfx::Rect& frame = {});

    const std::optional<gfx::Image>& image() const { return image_; }
    void setImage(std::optional<gfx::Image> image);
    ImageScaling imageScaling() const { return scaling_; }
    void setImageScaling(ImageScaling scaling);
    bool ignoresMouseEvents() const { return ignoresMouseEvents_; }
    void setIgnoresMouseEvents(bool ignores) { ignoresMouseEvents_ = ignores; }

    View* hitTest(gfx::Point pointInSuperview) override;

protected:
    void drawRect(gfx::Context& context, const gfx::Rect& dirtyRect) override;

private:
    std::optional<gfx::Image> image_;
    ImageScaling scaling_ = ImageScaling::proportionallyDown;
    bool ignoresMouseEvents_ = false;
};

} // namespace ui
