#pragma once

#include "platform/toolkit/View.h"
#include "platform/toolkit/Window.h"

#include <memory>
#include <vector>

namespace ui {

class StatusItem;

// The system status bar: one panel along the top edge of the primary screen, at its right end,
// as wide as its items, holding the items side by side — the first made at the right, later
// ones to its left.
class StatusBar {
public:
    // The bar's thickness in points.
    static constexpr double barThickness = 24;

    // The bar of the shared application.
    static StatusBar& system();

    StatusBar();
    ~StatusBar();
    StatusBar(const StatusBar&) = delete;
    StatusBar& operator=(const StatusBar&) = delete;

    double thickness() const { return barThickness; }
    std::shared_ptr<StatusItem> statusItem(double length);
    void removeStatusItem(const std::shared_ptr<StatusItem>& item);

    // Places the bar and its items again (after a screen change, or an item's change).
    void relayout();
    const std::shared_ptr<Window>& window() const { return window_; }

private:
    // The items side by side from the right end of the bar's window, wherever it is.
    void layoutItems();

    std::shared_ptr<Window> window_;
    std::vector<std::shared_ptr<StatusItem>> items_;
};

// The parts of a button's cell the callers set.
class ButtonCell {
public:
    // The highlight mask; 0 is no highlight.
    int highlightsBy() const { return highlightsBy_; }
    void setHighlightsBy(int mask) { highlightsBy_ = mask; }

private:
    int highlightsBy_ = 1;
};

// The button every status item has; a view-based item shows its view instead.
class StatusBarButton : public View {
public:
    using View::View;
    bool isBordered() const { return bordered_; }
    void setBordered(bool bordered) { bordered_ = bordered; }
    ButtonCell* cell() { return &cell_; }

private:
    bool bordered_ = true;
    ButtonCell cell_;
};

// Status item lengths: the special values that are no length.
namespace StatusItemLength {
inline constexpr double variable = -1;
inline constexpr double square = -2;
} // namespace StatusItemLength

class StatusItem {
public:
    StatusItem(StatusBar& bar, double length);

    double length() const { return length_; }
    void setLength(double length);
    // The width the item takes in the bar.
    double width() const;
    bool isVisible() const { return visible_; }
    void setVisible(bool visible);

    // A view-based item shows its view at the item's origin, clipped to the item's width.
    const std::shared_ptr<View>& view() const { return view_; }
    void setView(std::shared_ptr<View> view);
    StatusBarButton* button() { return button_.get(); }

    // The slot the item occupies in the bar window.
    const std::shared_ptr<View>& slot() const { return slot_; }

private:
    StatusBar& bar_;
    double length_;
    bool visible_ = true;
    std::shared_ptr<View> view_;
    std::shared_ptr<StatusBarButton> button_;
    std::shared_ptr<View> slot_;
};

} // namespace ui
