#pragma once

#include "platform/graphics/Appearance.h"
#include "platform/graphics/Geometry.h"
#include "platform/toolkit/Application.h"
#include "platform/toolkit/Menu.h"

#include <memory>
#include <optional>
#include <vector>

namespace ui {

class MenuView;
class Window;

// Geometry of a shown menu, in the menu window's points (y up).
namespace MenuLayout {
inline constexpr double verticalPadding = 5;
inline constexpr double itemHeight = 22;
inline constexpr double separatorHeight = 11;
// Titles start here and check marks sit in (11, 13 wide) before them, where item views that draw
// their own options put theirs, so plain items and options line up in one menu.
inline constexpr double checkColumn = 29;
inline constexpr double checkMarkX = 11;
inline constexpr double checkMarkSide = 13;
// Between an item's image, drawn where titles start, and its title.
inline constexpr double imageGap = 6;
inline constexpr double trailingInset = 14;
inline constexpr double arrowColumn = 16;
inline constexpr double keyEquivalentGap = 24;
inline constexpr double fontSize = 13;

double width(const Menu& menu);
// Where an item's title starts: after its image, when it has one.
double titleX(const MenuItem& item);
double height(const Menu& menu);
// One rect per item, top to bottom, in a menu of the given width.
std::vector<gfx::Rect> itemRects(const Menu& menu, double width);
} // namespace MenuLayout

// Runs one pop-up menu: a window per open level (the menu and its open submenus), the pointer
// and keys while it is open, and the nested event-tracking loop.
class MenuTracker final : public EventTrackingSession {
public:
    explicit MenuTracker(Application& app);
    ~MenuTracker() override;
    MenuTracker(const MenuTracker&) = delete;
    MenuTracker& operator=(const MenuTracker&) = delete;

    // Shows the menu with its top-left corner at the screen point and tracks until an item is
    // chosen (answered) or the menu is dismissed (none).
    std::shared_ptr<MenuItem> run(const std::shared_ptr<Menu>& menu, gfx::Point topLeft,
                                  gfx::Appearance appearance);
    void cancel() override;
    void menuChanged(Menu& menu);
    // The screen frame of the open level showing the menu; none when it is not open.
    std::optional<gfx::Rect> frameOf(const Menu& menu) const;
    gfx::Appearance appearance() const { return appearance_; }

    bool handleTrackingEvent(const Event& event) override;

private:
    struct Level {
        std::shared_ptr<Menu> menu;
        std::shared_ptr<Window> window;
        std::shared_ptr<MenuView> view;
    };
    struct Hit {
        std::size_t level;
        std::size_t item;
        friend bool operator==(const Hit&, const Hit&) = default;
    };

    void openLevel(const std::shared_ptr<Menu>& menu, gfx::Point topLeft,
                   std::optional<gfx::Rect> parentFrame);
    void closeLevelsAbove(std::size_t level);
    void closeLevel(Level& level);
    std::optional<Hit> itemAt(gfx::Point screenPoint) const;
    bool insideAnyMenu(gfx::Point screenPoint) const;
    void highlight(std::size_t level, std::optional<std::size_t> item);
    void pointerMovedTo(gfx::Point screenPoint, const Event& event);
    void openSubmenu(std::size_t level, std::size_t item);
    void moveHighlight(int step);
    void choose(const std::shared_ptr<MenuItem>& item);
    void finish(std::shared_ptr<MenuItem> chosen);
    void forwardToLevel(std::size_t level, const Event& event);
    // What a button's release chooses, or presses when the item has a view: the item under it,
    // when its press was made in the open menu or the pointer moved onto an item since the menu
    // appeared.
    void buttonReleased(gfx::Point location, const Event& event);

    Application& app_;
    gfx::Appearance appearance_ = gfx::Appearance::light;
    std::vector<Level> levels_;
    bool finished_ = false;
    std::shared_ptr<MenuItem> chosen_;
    gfx::Point openedAt_;
    // The row under the pointer when the menu appeared, the pointer's place as last moved by the
    // user, and whether it has since been moved at all and off that row.
    std::optional<Hit> openingHit_;
    gfx::Point lastPointer_;
    bool pointerMoved_ = false;
    bool leftOpeningRow_ = false;
    // The buttons pressed while the menu was open (MouseButton bits): a press from before, the one
    // that opened the menu, chooses nothing by its release alone.
    unsigned pressedInMenu_ = 0;
    // The window of the item view a press went to: it sees the press's drags and release
    // wherever the pointer goes, until the release or until its level closes.
    std::shared_ptr<Window> pressedWindow_;
};

} // namespace ui
