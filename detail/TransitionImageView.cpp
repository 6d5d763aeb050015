#include "detail/TransitionImageView.h"

#include <utility>

namespace pulsedeck {

std::shared_ptr<ui::ImageView> makeTransitionImageView(const gfx::Rect& frame, gfx::Image image) {
    auto view = std::make_shared<ui::ImageView>(frame);
    view->setImage(std::move(image));
    view->setImageScaling(ui::ImageScaling::axesIndependently);
    view->setIgnoresMouseEvents(true);
    view->setAccessibilityElement(false);
    view->setWantsLayer(true);
    return view;
}

} // namespace pulsedeck
