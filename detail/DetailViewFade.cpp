#include "detail/DetailView.h"
#include "detail/TransitionImageView.h"
#include "platform/animation/BasicAnimation.h"
#include "platform/animation/Layer.h"
#include "platform/dispatch/RunLoop.h"

namespace pulsedeck {

namespace {

constexpr double fadeDuration = 0.24;
// The picture goes a little after it has faded out.
constexpr double fadeRemoval = 0.3;

} // namespace

void DetailView::fadeFromSnapshot() {
    if (!window() || reduceMotionOn())
        return;
    std::optional<gfx::Image> picture = ui::snapshotImage(*scroll_);
    if (!picture)
        return;
    auto image = makeTransitionImageView(scroll_->frame(), std::move(*picture));
    image->setAutoresizingMask(ui::Autoresizing::widthSizable | ui::Autoresizing::heightSizable);
    addSubview(image, ui::Ordering::above, scroll_.get());
    anim::BasicAnimation fade;
    fade.keyPath = anim::KeyPath::opacity;
    fade.fromValue = 1.0;
    fade.toValue = 0.0;
    fade.duration = fadeDuration;
    fade.timingFunction = anim::TimingFunction::easeInEaseOut();
    image->layer()->addAnimation(fade, "presentationFade");
    image->layer()->setOpacity(0);
    std::weak_ptr<ui::ImageView> weak = image;
    dispatch::mainQueue().asyncAfter(fadeRemoval, [weak] {
        if (auto shown = weak.lock())
            shown->removeFromSuperview();
    });
}

} // namespace pulsedeck
