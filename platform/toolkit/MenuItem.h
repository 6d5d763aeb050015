#pragma once

#include "platform/graphics/Image.h"
#include "platform/toolkit/ControlState.h"
#include "platform/toolkit/Event.h"
#include "platform/toolkit/View.h"

#include <any>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace ui {

class Menu;

// One entry of a menu: a titled command (with its action, check state and key equivalent), a
// separator, a submenu holder, or a custom view.
class MenuItem {
public:
    using Action = std::function<void(MenuItem& sender)>;

    explicit MenuItem(std::string title = {}, Action action = {}, std::string keyEquivalent = {});
    static std::shared_ptr<MenuItem> separator();

    const std::string& title() const { return title_; }
    void setTitle(std::string title);
    // The action runs when the item is chosen.
    const Action& action() const { return action_; }
    void setAction(Action action) { action_ = std::move(action); }
    const std::any& representedObject() const { return representedObject_; }
    void setRepresentedObject(std::any object) { representedObject_ = std::move(object); }
    int tag() const { return tag_; }
    void setTag(int tag) { tag_ = tag; }
    ControlState state() const { return state_; }
    void setState(ControlState state);
    bool isEnabled() const { return enabled_; }
    void setEnabled(bool enabled);
    bool isSeparatorItem() const { return separator_; }
    // Drawn before the title (a colour swatch, say).
    const std::optional<gfx::Image>& image() const { return image_; }
    void setImage(std::optional<gfx::Image> image);
    int indentationLevel() const { return indentationLevel_; }
    void setIndentationLevel(int level);
    const std::string& toolTip() const { return toolTip_; }
    void setToolTip(std::string toolTip) { toolTip_ = std::move(toolTip); }

    const std::string& keyEquivalent() const { return keyEquivalent_; }
    void setKeyEquivalent(std::string key);
    ModifierFlags keyEquivalentModifierMask() const { return keyModifiers_; }
    void setKeyEquivalentModifierMask(ModifierFlags mask);
    // How the key equivalent reads in the menu: this desktop's modifier names ("Ctrl+Q").
    std::string keyEquivalentLabel() const;

    const std::shared_ptr<Menu>& submenu() const { return submenu_; }
    void setSubmenu(std::shared_ptr<Menu> submenu);
    bool hasSubmenu() const { return submenu_ != nullptr; }

    // A custom view replaces the standard drawing; the menu sends it the pointer's events.
    const std::shared_ptr<View>& view() const { return view_; }
    void setView(std::shared_ptr<View> view);

    // The menu holding the item, while one does.
    Menu* menu() const { return menu_; }
    bool isHighlighted() const { return highlighted_; }

private:
    friend class Menu;
    friend class MenuTracker;
    void changed();

    std::string title_;
    Action action_;
    std::any representedObject_;
    int tag_ = 0;
    ControlState state_ = ControlState::off;
    bool enabled_ = true;
    bool separator_ = false;
    std::optional<gfx::Image> image_;
    int indentationLevel_ = 0;
    std::string toolTip_;
    std::string keyEquivalent_;
    ModifierFlags keyModifiers_ = Modifier::command;
    std::shared_ptr<Menu> submenu_;
    std::shared_ptr<View> view_;
    Menu* menu_ = nullptr;
    bool highlighted_ = false;
};

} // namespace ui
