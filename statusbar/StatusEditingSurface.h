#pragma once

#include "model/Modules.h"
#include "platform/dispatch/Timer.h"
#include "platform/toolkit/TrackingArea.h"
#include "platform/toolkit/View.h"
#include "statusbar/KeptLayer.h"

#include <memory>
#include <optional>

namespace pulsedeck {

class MenuBarContentView;
class PassiveStripMaterial;
class StripForeground;

// The content of an overlay that draws a strip a second time: a rounded frosted background,
// the owner's modules on it, every mouse action forwarded to the owner (so presses, drags and
// sorting behave as on the status item), hover over a module reported after a short delay, and
// the cursors of sorting mode. The floating bar's surface derives from it and overrides some of
// the virtual operations below.
//
// Make it with std::make_shared (its hover timer holds it weakly). Until the owner is set it
// draws nothing, forwards nothing and refuses the accessibility press. Main thread only.
class StatusEditingSurface : public ui::View {
public:
    // The hover delay.
    static constexpr double hoverDelay = 0.09;

    explicit StatusEditingSurface(const gfx::Rect& frame);
    ~StatusEditingSurface() override;

    const std::shared_ptr<PassiveStripMaterial>& glass() const { return glass_; }
    const std::shared_ptr<StripForeground>& foreground() const { return foreground_; }
    // The background kept as device pixels between repaints.
    const KeptLayer& keptBackground() const { return keptBackground_; }
    // The strip the surface draws and forwards to; none once it is gone. A new owner redraws
    // the surface.
    std::shared_ptr<MenuBarContentView> owner() const { return owner_.lock(); }
    void setOwner(std::weak_ptr<MenuBarContentView> owner);
    // The strip's own tool tip: the pointer rests on the surface drawn over it.
    const std::string& toolTip() const override;
    const std::optional<ModuleKind>& hoveredModule() const { return hoveredModule_; }
    bool hoverPending() const { return hoverTimer_ != nullptr; }

    // Where the owner's strip sits inside the surface.
    virtual gfx::Point stripOrigin() const;
    // Whether hover may be reported now.
    virtual bool showsHoverDetails() const;
    // Passes a hovered module and the screen point to report it at to the owner.
    virtual void reportHover(ModuleKind kind, gfx::Point screenPoint);
    // The background's opacity, as the surface's settings give it (drawn clamped to 0…1); a new
    // value applies the material again.
    double opacity() const { return opacity_; }
    void setOpacity(double opacity);
    // Material and opacity, with the owner's appearance and corner radius; marks the surface
    // only when one of them changed, so applying it after every rebuild repaints nothing.
    virtual void applyMaterial();
    // What the rounded strip background is drawn from; two equal looks draw the same pixels.
    // A surface that draws another background overrides both.
    struct BackgroundLook {
        bool dark = false;
        double alpha = 1;
        double radius = 0;
        gfx::Rect bounds;
        bool operator==(const BackgroundLook&) const = default;
    };
    virtual BackgroundLook backgroundLook() const;
    // The rounded strip background.
    virtual void drawBackground(gfx::Context& context, const gfx::Rect& rect);
    // Asks the foreground to repaint what changed in the strip since it was last drawn; the
    // window draws it on its next display.
    virtual void redraw();
    // Marks the column of the foreground under a rect of the strip (4 pt either side).
    virtual void redraw(const gfx::Rect& rect);
    // The background, then the owner's strip.
    virtual void drawContent(gfx::Context& context, const gfx::Rect& rect);
    // Hover tracking for a point in the surface, with whether a mouse button is held.
    virtual void updateHover(gfx::Point point, bool held);

    // 0.23 with the app mark, else 0.5 (fully round ends); the radius is the height times it.
    double cornerFactor() const;

    void setFrameSize(gfx::Size size) override;
    void setNeedsDisplay(bool flag) override;
    bool accessibilityPerformPress() override;
    void updateTrackingAreas() override;

protected:
    void mouseDown(const ui::Event& event) override;
    void mouseDragged(const ui::Event& event) override;
    void mouseUp(const ui::Event& event) override;
    void rightMouseDown(const ui::Event& event) override;
    void mouseEntered(const ui::Event& event) override;
    void mouseMoved(const ui::Event& event) override;
    void mouseExited(const ui::Event& event) override;
    void resetCursorRects() override;
    // Ends any hover: the delay stops and no module counts as hovered.
    void stopHover();

private:
    void hoverDelayExpired(ModuleKind kind);

    std::weak_ptr<MenuBarContentView> owner_;
    double opacity_ = 1;
    std::shared_ptr<PassiveStripMaterial> glass_;
    std::shared_ptr<StripForeground> foreground_;
    std::shared_ptr<ui::TrackingArea> tracking_;
    std::unique_ptr<dispatch::Timer> hoverTimer_;
    std::optional<ModuleKind> hoveredModule_;
    // What the surface's own area depends on, as last marked for display: asking for a display
    // with nothing of it changed repaints only what changed in the strip.
    struct OwnLook {
        const ui::Window* window = nullptr;
        gfx::Rect frame;
        gfx::Rect bounds;
        double cornerRadius = 0;
        double alpha = 1;
        bool hidden = false;
        gfx::Appearance appearance = gfx::Appearance::light;
        bool operator==(const OwnLook&) const = default;
    };
    std::optional<OwnLook> markedLook_;
    // What applyMaterial last applied.
    struct Material {
        double opacity = 1;
        std::optional<gfx::Appearance> appearance;
        double cornerRadius = 0;
        bool reduceTransparency = false;
        bool operator==(const Material&) const = default;
    };
    std::optional<Material> appliedMaterial_;
    // The background as device pixels, and the look they were painted from.
    KeptLayer keptBackground_;
    std::optional<BackgroundLook> keptLook_;
};

} // namespace pulsedeck
