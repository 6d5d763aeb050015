#pragma once

#include "platform/graphics/Image.h"
#include "platform/toolkit/ImageView.h"

#include <memory>

namespace pulsedeck {

// A picture of views as they were, laid over them for a transition (a card's closing content, a
// dragged card, the old presentation): layer-backed so it can fade, filling its frame, and never
// taking a click or an assistive client's attention from what lies below.
std::shared_ptr<ui::ImageView> makeTransitionImageView(const gfx::Rect& frame, gfx::Image image);

} // namespace pulsedeck
