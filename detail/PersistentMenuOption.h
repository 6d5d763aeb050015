#pragma once

#include "platform/dispatch/Timer.h"
#include "platform/graphics/Color.h"
#include "platform/toolkit/Button.h"
#include "platform/toolkit/Menu.h"
#include "platform/toolkit/MenuItem.h"

#include <functional>
#include <memory>
#include <optional>

namespace pulsedeck {

// The view of a menu item that changes a setting without closing the menu: a click runs the
// item's action, moves the check marks of the menu's options to the live state and leaves the
// menu open. An option that returns to its parent closes the open menus instead and, a moment
// later, shows a freshly built parent menu where the old one stood (a language choice relabels
// the whole menu that way).
class PersistentMenuOption : public ui::Button {
public:
    static constexpr double height = 25;
    static constexpr double minimumWidth = 180;
    // How long a returning option waits before it shows the rebuilt parent, in seconds.
    static constexpr double reopenDelay = 0.08;
    static constexpr double hoverInterval = 1.0 / 30;

    // The option does not keep the item alive; the item owns the option as its view.
    PersistentMenuOption(const std::shared_ptr<ui::MenuItem>& item,
                         std::optional<gfx::Color> swatch, bool returnsToParent,
                         std::function<bool()> checked);
    // Makes the option and sets it as the item's view.
    static std::shared_ptr<PersistentMenuOption> attach(const std::shared_ptr<ui::MenuItem>& item,
                                                        std::optional<gfx::Color> swatch,
                                                        bool returnsToParent,
                                                        std::function<bool()> checked);

    std::shared_ptr<ui::MenuItem> menuItem() const { return menuItem_.lock(); }
    const std::function<bool()>& checked() const { return checked_; }
    const std::optional<gfx::Color>& swatch() const { return swatch_; }
    bool returnsToParent() const { return returnsToParent_; }
    bool isHovering() const { return hovering_; }
    // Whether the pointer poll is scheduled.
    bool isPollingHover() const { return hoverTimer_ != nullptr; }

    // Brings the item's state, the spoken value and the drawing in line with checked().
    void syncCheckState();
    // What a click does: runs the item's action, re-syncs the menu's options and, for a
    // returning option, reopens the rebuilt parent.
    void activateOption();
    // Lights the option when the screen point is over its visible part.
    void updateHover(gfx::Point screenPoint);

protected:
    void drawRect(gfx::Context& context, const gfx::Rect& dirtyRect) override;
    void viewDidMoveToWindow() override;
    void updateTrackingAreas() override;
    void mouseEntered(const ui::Event& event) override;
    void mouseExited(const ui::Event& event) override;
    void mouseDown(const ui::Event& event) override;
    void mouseDragged(const ui::Event& event) override;
    void mouseUp(const ui::Event& event) override;

private:
    void startHoverTimer();
    void hoverTimerFired();
    void setHovering(bool hovering);
    bool containsEvent(const ui::Event& event) const;

    std::weak_ptr<ui::MenuItem> menuItem_;
    std::function<bool()> checked_;
    std::optional<gfx::Color> swatch_;
    bool returnsToParent_ = false;
    bool hovering_ = false;
    bool pressed_ = false;
    std::unique_ptr<dispatch::Timer> hoverTimer_;
};

// Lit rows as options light themselves: the accent, written in its contrasting colour.
ui::Menu::Highlight accentHighlight();

// Gives a menu, and each of its submenus on its own, one width: the widest of 180 points, its
// minimum width, its item views and its titles (plus 56, or 76 beside a swatch), rounded up;
// every option gets that width.
void fitMenuWidth(ui::Menu& menu);

// A fresh menu built item by item from another: options are rebuilt with their swatch, return
// and check, other item views are left out, submenus are copied in turn; then fitted.
std::shared_ptr<ui::Menu> copyMenu(const ui::Menu& menu);

} // namespace pulsedeck
