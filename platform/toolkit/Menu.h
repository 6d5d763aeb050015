#pragma once

#include "platform/graphics/Appearance.h"
#include "platform/graphics/Color.h"
#include "platform/graphics/Geometry.h"
#include "platform/toolkit/Event.h"
#include "platform/toolkit/MenuItem.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ui {

class MenuTracker;
class View;

// A list of menu items. Popping one up blocks: it runs a nested event-tracking loop (timers in
// the common modes and main-queue work keep running) until an item is chosen or the menu is
// dismissed.
class Menu : public std::enable_shared_from_this<Menu> {
public:
    explicit Menu(std::string title = {});
    virtual ~Menu();

    const std::string& title() const { return title_; }
    void setTitle(std::string title) { title_ = std::move(title); }

    const std::vector<std::shared_ptr<MenuItem>>& items() const { return items_; }
    std::size_t numberOfItems() const { return items_.size(); }
    void addItem(std::shared_ptr<MenuItem> item);
    void insertItem(std::shared_ptr<MenuItem> item, std::size_t index);
    void removeItem(const std::shared_ptr<MenuItem>& item);
    void removeAllItems();
    std::shared_ptr<MenuItem> itemWithTag(int tag) const;
    std::shared_ptr<MenuItem> itemAt(std::size_t index) const;
    // The enabled item, here or in a submenu, whose key equivalent a key-down event presses:
    // its key, with exactly its modifiers (an upper-case key adds Shift); none when no item has it.
    std::shared_ptr<MenuItem> itemForKeyEquivalent(const Event& event) const;

    // The menu holding the item whose submenu this is, while one does.
    Menu* supermenu() const { return supermenu_; }
    // Items here are never enabled or disabled on the menu's own account; the flag is kept so a
    // copy of the menu says the same.
    bool autoenablesItems() const { return autoenablesItems_; }
    void setAutoenablesItems(bool flag) { autoenablesItems_ = flag; }

    // What a lit row is filled with and written in, for this menu and the submenus it opens;
    // none for the toolkit's blue and white. Menus whose item views light themselves in another
    // colour set it so every row lights alike.
    struct Highlight {
        gfx::Color fill;
        gfx::Color text;
        // The lit shape: the row inset by these, its corners rounded by the radius.
        double horizontalInset = 5;
        double verticalInset = 0;
        double cornerRadius = 4;
    };
    const std::optional<Highlight>& highlight() const { return highlight_; }
    void setHighlight(std::optional<Highlight> highlight) { highlight_ = highlight; }

    // The height of each plain item's row, for a menu whose item views are taller than the
    // toolkit's rows; none for the toolkit's.
    const std::optional<double>& itemHeight() const { return itemHeight_; }
    void setItemHeight(std::optional<double> height) { itemHeight_ = height; }

    double minimumWidth() const { return minimumWidth_; }
    void setMinimumWidth(double width);
    // The menu's width as shown: its items' widest need, at least the minimum width.
    double width() const;

    // Pops the menu up at the event's location over view (or at the pointer), runs the tracking
    // loop, runs the chosen item's action and answers that item; none when dismissed.
    static std::shared_ptr<MenuItem> popUpContextMenu(const std::shared_ptr<Menu>& menu,
                                                      const Event& event, View* view);
    // Pops the menu up with its top-left corner at a point of view's space and runs it as
    // popUpContextMenu does; none, and nothing shown, when the view is in no window.
    static std::shared_ptr<MenuItem> popUp(const std::shared_ptr<Menu>& menu, gfx::Point point,
                                           View& view);
    // Pops the menu up with its top-left corner at a screen point, drawn in the appearance, and
    // runs it as popUp does: for a menu reopened where an earlier one stood.
    static std::shared_ptr<MenuItem> popUpAtScreenPoint(const std::shared_ptr<Menu>& menu,
                                                        gfx::Point topLeft,
                                                        gfx::Appearance appearance);
    // Ends the tracking of this menu (and the menus it belongs to) as a dismissal.
    void cancelTracking();
    // The same without a closing fade; ours never fades, so the two differ only in name.
    void cancelTrackingWithoutAnimation() { cancelTracking(); }
    bool isTracking() const;
    // Where the menu's window stands on screen, while it is open.
    std::optional<gfx::Rect> frameOnScreen() const;

    // Called by items when they change, so an open menu redraws and resizes.
    void itemChanged();

private:
    friend class MenuTracker;
    friend class MenuItem;
    std::string title_;
    Menu* supermenu_ = nullptr;
    bool autoenablesItems_ = true;
    std::optional<Highlight> highlight_;
    std::optional<double> itemHeight_;
    std::vector<std::shared_ptr<MenuItem>> items_;
    double minimumWidth_ = 0;
    MenuTracker* tracker_ = nullptr;
};

} // namespace ui
