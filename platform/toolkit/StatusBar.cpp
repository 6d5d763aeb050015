#include "platform/toolkit/StatusBar.h"

#include "platform/toolkit/Application.h"
#include "platform/toolkit/Screen.h"

#include <algorithm>

namespace ui {

namespace {

class StatusBarWindow final : public Panel {
public:
    using Panel::Panel;
    bool canBecomeKeyWindow() const override { return false; }

protected:
    WindowRole role() const override { return WindowRole::statusBar; }
};

} // namespace

StatusBar& StatusBar::system() {
    return Application::shared().statusBar();
}

StatusBar::StatusBar()
    : window_(std::make_shared<StatusBarWindow>(gfx::Rect{0, 0, 0, barThickness},
                                                Style::borderless | Style::nonactivatingPanel)) {
    window_->setLevel(WindowLevel::status);
    window_->setOpaque(false);
    window_->setBackgroundColor(gfx::Color::clear());
    window_->setHasShadow(false);
    window_->setCollectionBehavior(Collection::canJoinAllSpaces | Collection::stationary |
                                   Collection::ignoresCycle);
    window_->setReleasedWhenClosed(false);
    // A window manager may stretch the bar (a tiling one gives docks the screen's whole width):
    // the items keep to its right end, the rest shows the bar's clear background.
    window_->frameChangedAction = [this] { layoutItems(); };
}

StatusBar::~StatusBar() {
    window_->frameChangedAction = nullptr;
}

std::shared_ptr<StatusItem> StatusBar::statusItem(double length) {
    auto item = std::make_shared<StatusItem>(*this, length);
    items_.push_back(item);
    window_->contentView()->addSubview(item->slot());
    relayout();
    return item;
}

void StatusBar::removeStatusItem(const std::shared_ptr<StatusItem>& item) {
    if (std::erase(items_, item) == 0)
        return;
    item->slot()->removeFromSuperview();
    relayout();
}

void StatusBar::relayout() {
    double total = 0;
    for (auto& item : items_) {
        if (item->isVisible())
            total += item->width();
    }
    const auto screens = Screen::screens();
    if (screens.empty() || total <= 0) {
        window_->orderOut();
        return;
    }
    const gfx::Rect primary = screens.front().frame();
    // Items wider than the screen keep their right end at its edge and lose what lies beyond
    // its left one: the bar is never wider than the screen.
    const double width = std::min(total, primary.width());
    window_->setFrame({primary.maxX() - width, primary.maxY() - barThickness, width, barThickness},
                      false);
    layoutItems();
    window_->orderFrontRegardless();
}

void StatusBar::layoutItems() {
    double right = window_->frame().width();
    for (auto& item : items_) {
        item->slot()->setHidden(!item->isVisible());
        if (!item->isVisible())
            continue;
        right -= item->width();
        item->slot()->setFrame({right, 0, item->width(), barThickness});
    }
}

StatusItem::StatusItem(StatusBar& bar, double length)
    : bar_(bar), length_(length),
      button_(std::make_shared<StatusBarButton>(gfx::Rect{0, 0, 0, StatusBar::barThickness})),
      slot_(std::make_shared<View>()) {
    slot_->addSubview(button_);
}

double StatusItem::width() const {
    if (length_ >= 0)
        return length_;
    if (length_ == StatusItemLength::variable && view_)
        return view_->frame().width();
    return StatusBar::barThickness;
}

void StatusItem::setLength(double length) {
    if (length_ == length)
        return;
    length_ = length;
    button_->setFrameSize({width(), StatusBar::barThickness});
    bar_.relayout();
}

void StatusItem::setVisible(bool visible) {
    if (visible_ == visible)
        return;
    visible_ = visible;
    bar_.relayout();
}

void StatusItem::setView(std::shared_ptr<View> view) {
    if (view_)
        view_->removeFromSuperview();
    view_ = std::move(view);
    button_->setHidden(view_ != nullptr);
    if (view_) {
        view_->setFrameOrigin({0, 0});
        slot_->addSubview(view_);
    }
    bar_.relayout();
}

} // namespace ui
