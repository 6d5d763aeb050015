#pragma once

#include "floating/LiquidScene.h"
#include "platform/animation/AnimationFrameClock.h"
#include "platform/graphics/Geometry.h"
#include "platform/graphics/Image.h"

#include <functional>
#include <memory>
#include <optional>

namespace ui {
class Window;
}

namespace pulsedeck {

class FloatingLiquidInkView;
class FloatingLiquidView;
class FloatingPanel;

// The strip's position (its lower-left corner on screen) and velocity in points per second.
struct LiquidSpring {
    gfx::Point position;
    gfx::Point velocity;
};

// Animates the floating bar as a drop of liquid hanging from the menu bar: the pull-out of the
// strip (stretch, tear-off, spring-back), the handoff into a new bar and the docking into an
// anchor. While it runs, the real panel is transparent and a click-through overlay of our own
// draws the shape with a snapshot of the strip. Frames come from a frame clock on the run loop's
// uptime clock; every step reads that clock, so tests drive it with a virtual one.
//
// Main thread only.
class FloatingLiquidAnimator {
public:
    enum class Phase { attached, breaking, free, returning, handoff, docking };

    // The centre distance from the anchor at which the strip tears off, and below which a torn
    // strip re-attaches.
    static constexpr double tearDistance = 124;
    static constexpr double reattachDistance = 34;

    FloatingLiquidAnimator() = default;
    ~FloatingLiquidAnimator();
    FloatingLiquidAnimator(const FloatingLiquidAnimator&) = delete;
    FloatingLiquidAnimator& operator=(const FloatingLiquidAnimator&) = delete;

    // Takes a snapshot of the panel's strip and puts the overlay up; the panel hides once the
    // overlay has drawn its first frame. False, with nothing changed, when the panel's content is
    // not a floating surface.
    bool begin(const std::shared_ptr<ui::Window>& panel);
    // One pointer step of a drag out of the status item: the preview panel (already following
    // the pointer), the strip's frame in the menu bar and where along it the press was.
    void update(const std::shared_ptr<ui::Window>& panel, const gfx::Rect& anchor, double grab,
                bool animated);
    // The drag ended. True when the strip tore off (or never animated); false when it springs
    // back into the menu bar.
    bool cancel();
    // After a successful begin: the strip drops from `from` into `to` with a spring.
    void startHandoff(const gfx::Rect& from, const gfx::Rect& to, std::function<void()> completion);
    // After a successful begin: the panel at `from` dips away and flies into the anchor `to`.
    // The completion runs as the strip reaches the anchor; the overlay wobbles there until the
    // docking's end, over whatever the completion brought back.
    void startDocking(const gfx::Rect& from, const gfx::Rect& to, std::function<void()> completion);
    // Ends any animation at once without running the completion; safe at any time.
    void stop();

    bool isRunning() const { return clock_ != nullptr; }
    // A docking whose strip has reached the anchor: only its wobble there is left.
    bool isSettlingIntoDock() const;
    Phase phase() const { return phase_; }
    const LiquidSpring& spring() const { return spring_; }
    bool hasBrokenFree() const { return hasBrokenFree_; }
    void setHasBrokenFree(bool flag) { hasBrokenFree_ = flag; }
    const std::optional<LiquidBubble>& bubble() const { return bubble_; }
    const std::shared_ptr<FloatingPanel>& overlay() const { return overlay_; }
    const std::shared_ptr<FloatingLiquidInkView>& ink() const { return ink_; }

    // One frame: a spring step of 1/240 … 1/30 s (the time since the last frame, bounded), then
    // the end checks of the phase and a redraw. The frame clock calls it.
    void tick();

    // What the frame at uptime t looks like, in screen points.
    LiquidScene scene(double t) const;
    // The spring's target while attached: the anchor's origin pulled towards the pointer with a
    // rubber band that never lets it stray more than 82 points.
    gfx::Point attachedTarget() const;

private:
    void startTimer();
    void render();
    void hideOverlay();
    void breakFree();
    void finish();
    void stopTimer();
    LiquidScene dockingScene(double t) const;
    double now() const;

    std::shared_ptr<FloatingPanel> overlay_;
    std::shared_ptr<FloatingLiquidView> view_;
    std::shared_ptr<FloatingLiquidInkView> ink_;
    std::unique_ptr<anim::AnimationFrameClock> clock_;
    std::weak_ptr<ui::Window> hiddenPanel_;
    Phase phase_ = Phase::free;
    LiquidSpring spring_;
    gfx::Rect anchor_;
    gfx::Size size_;
    double grab_ = 0.5;
    gfx::Rect pointerFrame_;
    double lastTick_ = 0;
    double phaseStart_ = 0;
    std::optional<LiquidBubble> bubble_;
    double bubbleStart_ = 0;
    double breakTime_ = -10;
    gfx::Rect target_;
    gfx::Rect dockFrom_;
    std::function<void()> completion_;
    std::optional<gfx::Image> image_;
    bool hasBrokenFree_ = false;
};

} // namespace pulsedeck
