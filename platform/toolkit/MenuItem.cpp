#include "platform/toolkit/MenuItem.h"

#include "platform/toolkit/Menu.h"

#include <algorithm>
#include <cctype>

namespace ui {

MenuItem::MenuItem(std::string title, Action action, std::string keyEquivalent)
    : title_(std::move(title)), action_(std::move(action)),
      keyEquivalent_(std::move(keyEquivalent)) {}

std::shared_ptr<MenuItem> MenuItem::separator() {
    auto item = std::make_shared<MenuItem>();
    item->separator_ = true;
    item->enabled_ = false;
    return item;
}

void MenuItem::changed() {
    if (menu_)
        menu_->itemChanged();
}

void MenuItem::setTitle(std::string title) {
    title_ = std::move(title);
    changed();
}

void MenuItem::setState(ControlState state) {
    state_ = state;
    changed();
}

void MenuItem::setEnabled(bool enabled) {
    enabled_ = enabled;
    changed();
}

void MenuItem::setKeyEquivalent(std::string key) {
    keyEquivalent_ = std::move(key);
    changed();
}

void MenuItem::setKeyEquivalentModifierMask(ModifierFlags mask) {
    keyModifiers_ = mask;
    changed();
}

void MenuItem::setImage(std::optional<gfx::Image> image) {
    image_ = std::move(image);
    changed();
}

void MenuItem::setIndentationLevel(int level) {
    indentationLevel_ = std::clamp(level, 0, 15);
    changed();
}

void MenuItem::setSubmenu(std::shared_ptr<Menu> submenu) {
    if (submenu_ && menu_ && submenu_->supermenu_ == menu_)
        submenu_->supermenu_ = nullptr;
    submenu_ = std::move(submenu);
    if (submenu_ && menu_)
        submenu_->supermenu_ = menu_;
    changed();
}

void MenuItem::setView(std::shared_ptr<View> view) {
    view_ = std::move(view);
    changed();
}

// The toolkit's command modifier is the Control key, its control modifier Super and its option
// modifier Alt, so the labels name the keys the user presses.
std::string MenuItem::keyEquivalentLabel() const {
    if (keyEquivalent_.empty())
        return {};
    std::string label;
    if (keyModifiers_ & Modifier::control)
        label += "Super+";
    if (keyModifiers_ & Modifier::command)
        label += "Ctrl+";
    if (keyModifiers_ & Modifier::option)
        label += "Alt+";
    if (keyModifiers_ & Modifier::shift)
        label += "Shift+";
    std::string key = keyEquivalent_;
    if (key.size() == 1)
        key[0] = char(std::toupper(static_cast<unsigned char>(key[0])));
    return label + key;
}

} // namespace ui
