#pragma once

#include "model/Modules.h"
#include "platform/graphics/Appearance.h"
#include "platform/graphics/Geometry.h"
#include "platform/toolkit/Screen.h"
#include "statusbar/StatusEditingPanel.h"

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace pulsedeck {

class MenuBarContentView;
class StatusEditingSurface;

// The editing panels: one transparent panel per display that shows a menu bar, laid exactly
// over the strip's place there, whose surface draws the status strip and forwards the pointer
// to it. While they are shown the strip itself draws nothing (setEditingSurfacePresented).
// The application controller owns one for the status strip. Main thread only.
class EditingPanels {
public:
    // Window level 26, just above the menu bar.
    static constexpr int panelLevel = 26;
    // Every space, outside window cycling, beside full-screen windows.
    static constexpr ui::CollectionBehavior panelCollection = ui::Collection::canJoinAllSpaces |
                                                              ui::Collection::ignoresCycle |
                                                              ui::Collection::fullScreenAuxiliary;

    // What a refresh follows, from the controller's state.
    struct Conditions {
        // Nothing is shown before the status item has settled after launch.
        bool surfacesReady = false;
        // The floating bar stands in for the status item, or the item is not visible.
        bool statusHidden = false;
        bool hideInFullscreen = false;
        // The surfaces' background opacity.
        double opacity = 1;
        // Display numbers that show a full-screen window.
        std::set<int> fullscreenDisplays;

        bool operator==(const Conditions&) const = default;
    };

    explicit EditingPanels(const std::shared_ptr<MenuBarContentView>& strip);
    ~EditingPanels();
    EditingPanels(const EditingPanels&) = delete;
    EditingPanels& operator=(const EditingPanels&) = delete;

    // Keeps one panel over the strip on every menu-bar display and tells the strip whether the
    // panels draw it.
    void refresh(const Conditions& conditions);
    // Repaints every panel's strip, or only the column under a rect of the strip.
    void redrawSurfaces();
    void redrawSurfaces(const gfx::Rect& rect);

    // Told, on each refresh, where the strip sits on each menu-bar display (the floating bar
    // keeps its dock anchors from it).
    std::function<void(const ui::Screen&, const gfx::Rect& strip)> stripPlacedAction;

    // Panels by the text form of their display's frame.
    const std::map<std::string, std::shared_ptr<StatusEditingPanel>>& panels() const {
        return panels_;
    }
    static StatusEditingSurface* surfaceOf(const StatusEditingPanel& panel);

    // The stored text form of a rectangle, "{{x, y}, {w, h}}", that keys the panels.
    static std::string frameKey(const gfx::Rect& frame);

private:
    // Everything one refresh acts on: when it equals the last refresh's, the panels already stand
    // where they must, with the right material and cursors, and nothing is touched again.
    struct Placement {
        Conditions conditions;
        std::optional<gfx::Rect> itemFrame;
        std::vector<ui::Screen> screens;
        std::vector<gfx::Rect> menuBars;
        std::vector<std::optional<gfx::Rect>> stripFrames;
        gfx::Appearance appearance = gfx::Appearance::light;
        bool appMark = false;
        bool sorting = false;
        std::map<ModuleKind, gfx::Rect> moduleRects;

        bool operator==(const Placement&) const = default;
    };
    Placement placement(const Conditions& conditions, const MenuBarContentView& strip) const;

    std::shared_ptr<StatusEditingPanel> makePanel(const gfx::Rect& frame) const;

    std::weak_ptr<MenuBarContentView> strip_;
    std::optional<Placement> applied_;
    std::map<std::string, std::shared_ptr<StatusEditingPanel>> panels_;
};

} // namespace pulsedeck
