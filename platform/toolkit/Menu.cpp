#include "platform/toolkit/Menu.h"

#include "platform/toolkit/Application.h"
#include "platform/toolkit/MenuTracker.h"
#include "platform/toolkit/Window.h"

#include <algorithm>
#include <cctype>

namespace ui {

Menu::Menu(std::string title) : title_(std::move(title)) {}

Menu::~Menu() {
    for (auto& item : items_) {
        item->menu_ = nullptr;
        if (item->submenu_ && item->submenu_->supermenu_ == this)
            item->submenu_->supermenu_ = nullptr;
    }
}

void Menu::addItem(std::shared_ptr<MenuItem> item) {
    insertItem(std::move(item), items_.size());
}

void Menu::insertItem(std::shared_ptr<MenuItem> item, std::size_t index) {
    if (!item)
        return;
    if (item->menu_ && item->menu_ != this)
        return;
    item->menu_ = this;
    if (item->submenu_)
        item->submenu_->supermenu_ = this;
    index = std::min(index, items_.size());
    items_.insert(items_.begin() + std::ptrdiff_t(index), std::move(item));
    itemChanged();
}

void Menu::removeItem(const std::shared_ptr<MenuItem>& item) {
    if (std::erase(items_, item) > 0) {
        item->menu_ = nullptr;
        if (item->submenu_ && item->submenu_->supermenu_ == this)
            item->submenu_->supermenu_ = nullptr;
        itemChanged();
    }
}

void Menu::removeAllItems() {
    for (auto& item : items_) {
        item->menu_ = nullptr;
        if (item->submenu_ && item->submenu_->supermenu_ == this)
            item->submenu_->supermenu_ = nullptr;
    }
    items_.clear();
    itemChanged();
}

std::shared_ptr<MenuItem> Menu::itemForKeyEquivalent(const Event& event) const {
    if (event.type() != EventType::keyDown)
        return nullptr;
    const std::string pressed = event.charactersIgnoringModifiers();
    if (pressed.empty())
        return nullptr;
    constexpr ModifierFlags considered =
        Modifier::shift | Modifier::control | Modifier::option | Modifier::command;
    const ModifierFlags held = event.modifierFlags() & considered;
    auto lower = [](std::string text) {
        std::transform(text.begin(), text.end(), text.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        return text;
    };
    for (const auto& item : items_) {
        if (!item->isEnabled() || item->isSeparatorItem())
            continue;
        if (item->hasSubmenu()) {
            if (auto found = item->submenu()->itemForKeyEquivalent(event))
                return found;
            continue;
        }
        const std::string& key = item->keyEquivalent();
        if (key.empty() || item->view())
            continue;
        ModifierFlags wanted = item->keyEquivalentModifierMask() & considered;
        if (lower(key) != key)
            wanted |= Modifier::shift;
        if (lower(key) == lower(pressed) && held == wanted)
            return item;
    }
    return nullptr;
}

std::shared_ptr<MenuItem> Menu::itemWithTag(int tag) const {
    for (const auto& item : items_) {
        if (item->tag() == tag)
            return item;
    }
    return nullptr;
}

std::shared_ptr<MenuItem> Menu::itemAt(std::size_t index) const {
    return index < items_.size() ? items_[index] : nullptr;
}

void Menu::setMinimumWidth(double width) {
    minimumWidth_ = width;
    itemChanged();
}

double Menu::width() const {
    return MenuLayout::width(*this);
}

void Menu::itemChanged() {
    if (tracker_)
        tracker_->menuChanged(*this);
}

bool Menu::isTracking() const {
    return tracker_ != nullptr;
}

std::optional<gfx::Rect> Menu::frameOnScreen() const {
    return tracker_ ? tracker_->frameOf(*this) : std::nullopt;
}

void Menu::cancelTracking() {
    if (tracker_)
        tracker_->cancel();
}

std::shared_ptr<MenuItem> Menu::popUpContextMenu(const std::shared_ptr<Menu>& menu,
                                                 const Event& event, View* view) {
    if (!menu)
        return nullptr;
    Application& app = Application::shared();
    gfx::Point location = event.screenLocation();
    if (!event.isMouseEvent() && view && view->window())
        location = view->window()->convertPointToScreen(
            view->convertPointToView({view->bounds().minX(), view->bounds().minY()}, nullptr));
    MenuTracker tracker(app);
    auto chosen =
        tracker.run(menu, location, view ? view->effectiveAppearance() : app.effectiveAppearance());
    if (chosen && chosen->action())
        chosen->action()(*chosen);
    return chosen;
}

std::shared_ptr<MenuItem> Menu::popUp(const std::shared_ptr<Menu>& menu, gfx::Point point,
                                      View& view) {
    Window* window = view.window();
    if (!menu || !window)
        return nullptr;
    MenuTracker tracker(Application::shared());
    auto chosen =
        tracker.run(menu, window->convertPointToScreen(view.convertPointToView(point, nullptr)),
                    view.effectiveAppearance());
    if (chosen && chosen->action())
        chosen->action()(*chosen);
    return chosen;
}

std::shared_ptr<MenuItem> Menu::popUpAtScreenPoint(const std::shared_ptr<Menu>& menu,
                                                   gfx::Point topLeft, gfx::Appearance appearance) {
    if (!menu)
        return nullptr;
    MenuTracker tracker(Application::shared());
    auto chosen = tracker.run(menu, topLeft, appearance);
    if (chosen && chosen->action())
        chosen->action()(*chosen);
    return chosen;
}

} // namespace ui
