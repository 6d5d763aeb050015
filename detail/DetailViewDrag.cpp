#include "detail/DetailDocumentView.h"
#include "detail/DetailView.h"
#include "detail/ModuleSectionView.h"
#include "detail/TransitionImageView.h"
#include "platform/animation/Layer.h"
#include "platform/toolkit/AnimationContext.h"
#include "platform/toolkit/Cursor.h"
#include "platform/toolkit/ViewAnimator.h"

#include <algorithm>
#include <utility>

namespace pulsedeck {

namespace {

constexpr double ghostAlpha = 0.92;
constexpr double draggedCardAlpha = 0.2;
constexpr double dropDuration = 0.2;

} // namespace

bool DetailView::beginCardDrag(ModuleKind module, gfx::Point point) {
    if (draggedModule_)
        return false;
    const std::vector<ModuleKind> available = availableModules();
    if (std::find(available.begin(), available.end(), module) == available.end() ||
        !cards_.contains(module))
        return false;
    ModuleSectionView& card = *cards_.at(module);
    draggedModule_ = module;
    dragOffset_ = {point.x - card.frame().minX(), point.y - card.frame().minY()};
    // Without a picture of the card the drag still reorders; only the ghost is missing.
    if (std::optional<gfx::Image> picture = ui::snapshotImage(card)) {
        auto ghost = makeTransitionImageView(card.frame(), std::move(*picture));
        ghost->setAlphaValue(ghostAlpha);
        ghost->layer()->setShadow({.opacity = 0.24, .radius = 10});
        body_->addSubview(ghost);
        dragGhost_ = std::move(ghost);
    }
    card.setAlphaValue(draggedCardAlpha);
    ui::Cursor::closedHand().push();
    return true;
}

void DetailView::moveCardDrag(gfx::Point point) {
    if (!draggedModule_ || !cards_.contains(*draggedModule_))
        return;
    const ModuleSectionView& dragged = *cards_.at(*draggedModule_);
    if (dragGhost_)
        dragGhost_->setFrameOrigin({point.x - dragOffset_.x, point.y - dragOffset_.y});
    // In one column only the height counts, so a pointer beside the cards still sorts them.
    const gfx::Point probe = state_.look.presentation == DetailPresentation::overview
                                 ? point
                                 : gfx::Point{dragged.frame().midX(), point.y};
    std::optional<ModuleKind> target;
    for (ModuleKind kind : availableModules())
        if (kind != *draggedModule_ && cards_.contains(kind) &&
            cards_.at(kind)->frame().contains(probe)) {
            target = kind;
            break;
        }
    if (!target)
        return;
    std::vector<ModuleKind>& order = state_.look.modules.order;
    const auto from = std::find(order.begin(), order.end(), *draggedModule_);
    const auto to = std::find(order.begin(), order.end(), *target);
    if (from == order.end() || to == order.end() || from == to)
        return;
    const auto toIndex = to - order.begin();
    order.erase(from);
    order.insert(order.begin() + toIndex, *draggedModule_);
    layoutSections(true);
    editLook([order](StripLook& look) { look.modules.order = completeOrder(order); });
}

void DetailView::endCardDrag() {
    if (!draggedModule_)
        return;
    const ModuleKind module = *std::exchange(draggedModule_, std::nullopt);
    const std::shared_ptr<ModuleSectionView> card =
        cards_.contains(module) ? cards_.at(module) : nullptr;
    if (card)
        card->setAlphaValue(1);
    ui::Cursor::pop();
    const std::shared_ptr<ui::View> ghost = std::exchange(dragGhost_, nullptr);
    if (!ghost)
        return;
    if (!card || reduceMotionOn()) {
        ghost->removeFromSuperview();
        return;
    }
    const gfx::Rect home = card->frame();
    std::weak_ptr<ui::View> weakGhost = ghost;
    ui::AnimationContext::runAnimationGroup(
        [&](ui::AnimationContext& group) {
            group.setDuration(dropDuration);
            group.setTimingFunction(ui::TimingFunction::easeOut);
            ui::animator(*ghost).setFrame(home);
            ui::animator(*ghost).setAlphaValue(0);
        },
        [weakGhost] {
            if (auto shown = weakGhost.lock())
                shown->removeFromSuperview();
        });
}

} // namespace pulsedeck
