#include "floating/FloatingLiquidAnimator.h"

#include "floating/FloatingLiquidView.h"
#include "floating/FloatingPanel.h"
#include "floating/FloatingSurface.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/graphics/Bitmap.h"
#include "platform/graphics/Context.h"
#include "statusbar/MenuBarContentView.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace pulsedeck {
namespace {

// Above the editing panels (26) that draw the strip over the menu bar.
constexpr int overlayLevel = 27;
constexpr ui::CollectionBehavior overlayCollection = ui::Collection::canJoinAllSpaces |
                                                     ui::Collection::ignoresCycle |
                                                     ui::Collection::fullScreenAuxiliary;
constexpr double snapshotScale = 2;

constexpr double minimumStep = 1.0 / 240;
constexpr double maximumStep = 1.0 / 30;
constexpr double settleDistance = 0.4;
constexpr double settleSpeed = 12;

// The rubber band's reach: the strip never strays further from the anchor while attached.
constexpr double bandReach = 82;
// The band's stretch at the tearing distance.
const double tearStretch =
    bandReach * (1 - std::exp(-FloatingLiquidAnimator::tearDistance / bandReach));

constexpr double bubbleLifetime = 0.48;
constexpr double tearSettleTime = 0.5;
constexpr double tearWobbleTime = 0.9;
constexpr double handoffLimit = 0.9;
constexpr double dipTime = 0.16;
constexpr double flyTime = 0.42;
constexpr double settleTime = 0.34;
// One unit in the last place below the sum of the three stages.
const double dockingDuration = std::nextafter(dipTime + flyTime + settleTime, 0.0);

struct SpringConstants {
    double stiffness;
    double damping;
};
constexpr SpringConstants attachedSpring{900, 58};
constexpr SpringConstants freeSpring{260, 15};
constexpr SpringConstants returningSpring{520, 34};
constexpr SpringConstants handoffSpring{520, 40};

double length(gfx::Point v) {
    return std::hypot(v.x, v.y);
}

// Semi-implicit Euler: the velocity first, then the position with the new velocity. Answers
// whether the spring has settled on the target.
bool stepSpring(LiquidSpring& spring, gfx::Point target, SpringConstants constants, double dt) {
    auto axis = [&](double& p, double& v, double t) {
        v += (constants.stiffness * (t - p) - constants.damping * v) * dt;
        p += v * dt;
    };
    axis(spring.position.x, spring.velocity.x, target.x);
    axis(spring.position.y, spring.velocity.y, target.y);
    return spring.position.distanceTo(target) < settleDistance &&
           length(spring.velocity) < settleSpeed;
}

gfx::Rect centred(gfx::Point centre, gfx::Size size) {
    return {centre.x - size.width / 2, centre.y - size.height / 2, size.width, size.height};
}

double neckAtDistance(double distance) {
    return std::max(1 - 0.92 * std::min(distance / tearStretch, 1.0), 0.0);
}

} // namespace

FloatingLiquidAnimator::~FloatingLiquidAnimator() {
    stop();
}

double FloatingLiquidAnimator::now() const {
    return dispatch::RunLoop::main().clock().now();
}

bool FloatingLiquidAnimator::begin(const std::shared_ptr<ui::Window>& panel) {
    auto surface =
        panel ? std::dynamic_pointer_cast<FloatingSurface>(panel->contentView()) : nullptr;
    if (!surface)
        return false;

    const gfx::Appearance appearance = surface->effectiveAppearance();
    const std::shared_ptr<MenuBarContentView> owner = surface->owner();
    gfx::Bitmap snapshot = gfx::Bitmap::forPointSize(panel->frame().size, snapshotScale);
    if (owner) {
        gfx::Context context(snapshot, appearance);
        owner->drawStrip(context, true, surface->bounds());
    }

    if (!overlay_) {
        overlay_ = std::make_shared<FloatingPanel>(gfx::Rect{}, ui::Style::nonactivatingPanel,
                                                   ui::BackingStoreType::buffered, false);
        overlay_->setOpaque(false);
        overlay_->setBackgroundColor(gfx::Color::clear());
        overlay_->setHasShadow(false);
        overlay_->setHidesOnDeactivate(false);
        overlay_->setIgnoresMouseEvents(true);
        overlay_->setReleasedWhenClosed(false);
        overlay_->setLevel(overlayLevel);
        overlay_->setCollectionBehavior(overlayCollection);
        overlay_->setExcludedFromWindowsMenu(true);
        overlay_->setAccessibilityElement(false);
        view_ = std::make_shared<FloatingLiquidView>(gfx::Rect{});
        ink_ = std::make_shared<FloatingLiquidInkView>(gfx::Rect{});
        ink_->setAutoresizingMask(ui::Autoresizing::widthSizable | ui::Autoresizing::heightSizable);
        view_->addSubview(ink_);
        overlay_->setContentView(view_);
    }

    image_ = gfx::Image::withBitmap(std::move(snapshot));
    view_->setAppearance(appearance);
    view_->opacity = surface->opacity();

    hiddenPanel_ = panel;
    overlay_->orderFrontRegardless();
    return true;
}

void FloatingLiquidAnimator::update(const std::shared_ptr<ui::Window>& panel,
                                    const gfx::Rect& anchor, double grab, bool animated) {
    if (!animated) {
        hasBrokenFree_ = true;
        if (isRunning() || overlay_)
            stop();
        return;
    }
    pointerFrame_ = panel->frame();
    anchor_ = anchor;
    size_ = pointerFrame_.size;
    grab_ = std::clamp(grab, 0.05, 0.95);
    const double distance = pointerFrame_.center().distanceTo(anchor_.center());

    switch (phase_) {
    case Phase::attached:
        if (distance >= tearDistance)
            breakFree();
        break;
    case Phase::breaking:
        break;
    case Phase::free:
        if (hasBrokenFree_) {
            if (distance >= reattachDistance)
                break;
            if (!begin(panel))
                return;
            phase_ = Phase::attached;
            hasBrokenFree_ = false;
            spring_ = {pointerFrame_.origin, {}};
        } else {
            if (!begin(panel))
                return;
            phase_ = Phase::attached;
            bubble_.reset();
            breakTime_ = -10;
            spring_ = {anchor_.origin, {}};
        }
        startTimer();
        break;
    case Phase::returning:
    case Phase::handoff:
    case Phase::docking:
        return;
    }
    if (isRunning())
        render();
}

bool FloatingLiquidAnimator::cancel() {
    if (!hasBrokenFree_ && isRunning()) {
        phase_ = Phase::returning;
        completion_ = nullptr;
        startTimer();
        hasBrokenFree_ = false;
        return false;
    }
    stop();
    hasBrokenFree_ = false;
    return true;
}

void FloatingLiquidAnimator::startHandoff(const gfx::Rect& from, const gfx::Rect& to,
                                          std::function<void()> completion) {
    anchor_ = from;
    size_ = from.size;
    target_ = centred(to.center(), size_);
    pointerFrame_ = target_;
    grab_ = 0.5;
    spring_ = {from.origin, {0, -120}};
    completion_ = std::move(completion);
    phase_ = Phase::handoff;
    phaseStart_ = now();
    startTimer();
    render();
}

void FloatingLiquidAnimator::startDocking(const gfx::Rect& from, const gfx::Rect& to,
                                          std::function<void()> completion) {
    dockFrom_ = from;
    anchor_ = to;
    size_ = from.size;
    grab_ = 0.5;
    pointerFrame_ = from;
    bubble_.reset();
    breakTime_ = -10;
    completion_ = std::move(completion);
    phase_ = Phase::docking;
    phaseStart_ = now();
    startTimer();
    render();
}

void FloatingLiquidAnimator::stopTimer() {
    // Moved out first: stopping from inside a frame must not destroy the clock under itself.
    if (auto clock = std::move(clock_))
        clock->stop();
}

void FloatingLiquidAnimator::stop() {
    stopTimer();
    if (auto panel = hiddenPanel_.lock())
        panel->setAlphaValue(1);
    hiddenPanel_.reset();
    if (overlay_)
        overlay_->orderOut();
    overlay_.reset();
    view_.reset();
    ink_.reset();
    bubble_.reset();
    phase_ = Phase::free;
    completion_ = nullptr;
}

void FloatingLiquidAnimator::hideOverlay() {
    // The panel shows before the overlay goes: the other way round, a frame between the two
    // would show no strip at all.
    if (auto panel = hiddenPanel_.lock())
        panel->setAlphaValue(1);
    if (overlay_)
        overlay_->orderOut();
}

bool FloatingLiquidAnimator::isSettlingIntoDock() const {
    return phase_ == Phase::docking && now() - phaseStart_ >= dipTime + flyTime;
}

void FloatingLiquidAnimator::startTimer() {
    if (clock_)
        return;
    lastTick_ = now();
    clock_ = std::make_unique<anim::AnimationFrameClock>([this](double) { tick(); },
                                                         anim::AnimationFrameClock::Source::timer);
}

void FloatingLiquidAnimator::finish() {
    std::function<void()> completion = std::move(completion_);
    stop();
    if (completion)
        completion();
}

void FloatingLiquidAnimator::tick() {
    const double t = now();
    const double step = t - lastTick_;
    lastTick_ = t;
    const double dt = step < minimumStep ? minimumStep : std::min(step, maximumStep);

    switch (phase_) {
    case Phase::attached:
        stepSpring(spring_, attachedTarget(), attachedSpring, dt);
        break;
    case Phase::breaking:
    case Phase::free: {
        const bool settled = stepSpring(spring_, pointerFrame_.origin, freeSpring, dt);
        const bool bubbleDone = !bubble_ || t - bubbleStart_ > bubbleLifetime;
        if (settled && bubbleDone && t - breakTime_ > tearSettleTime) {
            bubble_.reset();
            phase_ = Phase::free;
            stopTimer();
            hideOverlay();
            return;
        }
        break;
    }
    case Phase::returning:
        if (stepSpring(spring_, anchor_.origin, returningSpring, dt)) {
            stop();
            return;
        }
        break;
    case Phase::handoff:
        if (stepSpring(spring_, target_.origin, handoffSpring, dt) ||
            t - phaseStart_ > handoffLimit) {
            finish();
            return;
        }
        break;
    case Phase::docking:
        if (t - phaseStart_ >= dockingDuration) {
            stop();
            return;
        }
        // The strip is back in place as it reaches the anchor: it comes in under the overlay,
        // which goes only after its wobble there. Shown as the overlay went, it left the screen
        // without either while a window manager mapped it.
        if (completion_ && isSettlingIntoDock()) {
            std::function<void()> completion = std::move(completion_);
            completion_ = nullptr;
            completion();
            if (!isRunning())
                return;
        }
        break;
    }
    render();
}

gfx::Point FloatingLiquidAnimator::attachedTarget() const {
    const gfx::Point pointer = pointerFrame_.center();
    const gfx::Point anchor = anchor_.center();
    const gfx::Point d{pointer.x - anchor.x, pointer.y - anchor.y};
    const double r = length(d);
    if (r <= 0.01)
        return anchor_.origin;
    const double scale = bandReach * (1 - std::exp(-r / bandReach)) / r;
    return anchor_.origin.offsetBy(d.x * scale, d.y * scale);
}

void FloatingLiquidAnimator::breakFree() {
    const double t = now();
    const LiquidScene current = scene(t);
    const bool below = current.strip.midY() < current.anchor.midY();
    const gfx::Point anchorPoint{anchor_.minX() + anchor_.width() * grab_,
                                 below ? anchor_.minY() + 0.75 : anchor_.maxY() - 0.75};
    const gfx::Point stripPoint{current.stripAttachmentX(), current.stripAttachmentY()};
    bubble_ = LiquidBubble{{(anchorPoint.x + stripPoint.x) / 2, (anchorPoint.y + stripPoint.y) / 2},
                           std::max(anchor_.height() * 0.13, 2.4),
                           0};
    bubbleStart_ = t;
    breakTime_ = t;
    phase_ = Phase::breaking;
    hasBrokenFree_ = true;
}

LiquidScene FloatingLiquidAnimator::scene(double t) const {
    if (phase_ == Phase::docking)
        return dockingScene(t);

    LiquidScene scene;
    scene.anchor = anchor_;
    scene.strip = {spring_.position, size_};
    scene.grab = grab_;
    scene.showsShadow = true;

    const double distance = scene.strip.center().distanceTo(anchor_.center());
    if (phase_ == Phase::attached || phase_ == Phase::returning) {
        const double n = std::min(distance / tearStretch, 1.0);
        scene.neck = neckAtDistance(distance);
        scene.jelly = 0.09 * n;
    }
    const double sinceTear = t - breakTime_;
    if (sinceTear < tearWobbleTime) {
        scene.jelly =
            0.1 * std::cos(2 * std::numbers::pi * 3.1 * sinceTear) * std::exp(-5.2 * sinceTear);
        scene.anchorBump = std::pow(std::max(1 - sinceTear / 0.26, 0.0), 2);
        scene.stripBump = 0.85 * scene.anchorBump;
    }
    if (phase_ == Phase::handoff) {
        const double h = t - phaseStart_;
        scene.jelly = -0.07 * std::cos(2 * std::numbers::pi * 3 * h) * std::exp(-6 * h);
    }
    if (bubble_) {
        const double q = (t - bubbleStart_) / bubbleLifetime;
        if (q < 1) {
            const double rise = scene.hangsBelow() ? 4 * q : -4 * q;
            scene.bubble = LiquidBubble{bubble_->center.offsetBy(0, rise), bubble_->radius, q};
        }
    }
    return scene;
}

LiquidScene FloatingLiquidAnimator::dockingScene(double t) const {
    const gfx::Rect& a = anchor_;
    const gfx::Rect& f = dockFrom_;
    const double e = t - phaseStart_;
    const bool below = f.midY() < a.midY();
    const double clearance =
        below ? std::max(f.maxY() - a.minY() + 10, 0.0) : std::max(a.maxY() - f.minY() + 10, 0.0);
    const double dipY = below ? f.midY() - clearance : f.midY() + clearance;

    LiquidScene scene;
    scene.anchor = a;
    scene.grab = grab_;
    if (e < dipTime) {
        const double p = 1 - std::pow(1 - e / dipTime, 3);
        scene.strip = centred({f.midX(), f.midY() + (dipY - f.midY()) * p}, size_);
        scene.jelly = -0.05 * p;
        scene.anchorBump = p;
        scene.stripBump = 0.85 * p;
        scene.showsShadow = true;
    } else if (e < dipTime + flyTime) {
        const double u = (e - dipTime) / flyTime;
        const double p = u < 0.5 ? 4 * u * u * u : 1 - std::pow(2 - 2 * u, 3) / 2;
        const double m = std::min((e - dipTime) / 0.08, 1.0);
        scene.strip = centred({f.midX() + (a.midX() - f.midX()) * p, dipY + (a.midY() - dipY) * p},
                              {size_.width + (a.width() - size_.width) * p,
                               size_.height + (a.height() - size_.height) * p});
        const double gap = below ? a.minY() - scene.strip.maxY() : scene.strip.minY() - a.maxY();
        if (gap > 0.6) {
            const double dist = scene.strip.center().distanceTo(a.center());
            scene.neck = m * std::max(1 - 0.92 * std::min(dist / tearStretch, 1.0), 0.25);
        }
        scene.jelly = 0.08 * std::sin(std::numbers::pi * u);
        scene.anchorBump = 1 - m;
        scene.stripBump = 0.85 * (1 - m);
        scene.showsShadow = true;
    } else {
        const double w = e - dipTime - flyTime;
        scene.strip = a;
        scene.jelly = -0.1 * std::sin(2 * std::numbers::pi * 3.1 * w) * std::exp(-5.2 * w);
        scene.showsShadow = false;
    }
    return scene;
}

void FloatingLiquidAnimator::render() {
    if (!overlay_ || !view_)
        return;
    LiquidScene scene = this->scene(now());
    // No larger than what it paints: a compositor casts a shadow of the overlay's whole window,
    // and every pixel of it is sent again at each frame.
    const gfx::Rect frame = scene.drawnBounds().integral();
    overlay_->setFrame(frame, false);

    scene.anchor = scene.anchor.offsetBy(-frame.x(), -frame.y());
    scene.strip = scene.strip.offsetBy(-frame.x(), -frame.y());
    if (scene.bubble)
        scene.bubble->center = scene.bubble->center.offsetBy(-frame.x(), -frame.y());

    view_->scene = scene;
    view_->applyScene();
    if (ink_) {
        ink_->scene = scene;
        ink_->image = image_;
        ink_->opacity = view_->opacity;
        ink_->setNeedsDisplay(true);
    }
    // The panel hides once the overlay shows its first frame: the other way round, the screen
    // showed neither between the two (a press on the bar blanked it).
    if (auto panel = hiddenPanel_.lock(); panel && panel->alphaValue() != 0) {
        overlay_->displayIfNeeded();
        panel->setAlphaValue(0);
    }
}

} // namespace pulsedeck
