#include "drawing/RenderedBitmapImage.h"
#include "platform/dispatch/Timer.h"
#include "statusbar/FanModeMorph.h"
#include "statusbar/FanStatusImage.h"
#include "statusbar/MenuBarContentView.h"

namespace pulsedeck {

namespace {

// The rotor turns through 60 pre-rendered frames 2° apart: the blades' 120° symmetry.
constexpr int rotorFrameCount = 60;
constexpr double rotorTimerTolerance = 0.002;

std::vector<gfx::Image> renderRotorFrames(bool dark, RotorLoad load) {
    std::vector<gfx::Image> frames;
    frames.reserve(rotorFrameCount);
    for (int index = 0; index < rotorFrameCount; ++index) {
        const gfx::Image frame = gfx::Image::withDrawingHandler(
            {fanRingSide, fanRingSide}, false,
            [index, dark, load](gfx::Context& context, const gfx::Rect&) {
                MenuBarContentView::renderRotorFrame(context, index, dark, load.loaded, load.peak);
                return true;
            });
        frames.push_back(renderedBitmapImage(frame, 2, dark));
    }
    return frames;
}

FanPicture fanPicture(const MenuBarContentView& view, bool dark) {
    return {view.fanSnapshot,     view.fanHistory,   dark, view.language, view.fanColor,
            view.historyCapacity, view.chartLength()};
}

// One frame of the ring ↔ graph morph: the progress of that moment, the picture of it from the
// figures captured when the morph began (at the current chart length), the strip laid out anew.
void stepFanMorphFrame(MenuBarContentView& view, const FanMorph& morph, FanPicture picture,
                       double time) {
    view.graphProgress = morph.value(time);
    picture.chartLength = view.chartLength();
    view.transitionBackdrop = fanTransitionImage(picture, view.graphProgress);
    if (!view.isGliding())
        view.displayedRects = view.layoutModuleRects();
    if (view.widthChangedAction)
        view.widthChangedAction();
    view.setNeedsDisplay(true);
    if (morph.isFinished(time) && view.morphTimer) {
        view.morphTimer->stop();
        view.morphTimer.reset();
    }
}

} // namespace

void MenuBarContentView::renderFanImage() {
    const bool dark = drawsDark();
    darkAppearance = dark;
    const FanPicture picture = fanPicture(*this, dark);
    // Only the backdrops the strip can draw before the next rebuild: the one of the shown mode
    // (where a morph or snap ends) and the one the current progress selects (shown until the
    // morph's first frame). A hidden fan takes no room and draws nothing.
    const bool shown = fanMode_ != FanDisplayMode::hidden;
    const bool needsRing = shown && (fanMode_ == FanDisplayMode::ring || graphProgress <= 0);
    const bool needsGraph = shown && (fanMode_ == FanDisplayMode::graph || graphProgress >= 1);
    // Only what changed is repainted: the whole strip when the morph's progress or the layout
    // moved, the fan module alone for a backdrop or rotor frames rendered anew or a new rotor
    // speed, and nothing otherwise.
    bool changed = false;
    if (needsRing) {
        std::string key = fanRingKey(picture);
        if (key != ringBackdropKey) {
            ringBackdropKey = std::move(key);
            ringBackdrop = fanRingImage(picture);
            changed = true;
        }
    }
    if (needsGraph) {
        std::string key = fanGraphKey(picture);
        if (key != graphBackdropKey) {
            graphBackdropKey = std::move(key);
            graphBackdrop = fanGraphImage(picture);
            changed = true;
        }
    }

    const RotorLoad load = rotorLoad(fanSnapshot.fans);
    const std::string key = rotorFramesKey(dark, load);
    if (key != rotorKey) {
        rotorKey = key;
        rotorFrames = renderRotorFrames(dark, load);
        changed = true;
    }

    const double progressBefore = graphProgress;
    const ModuleRects rectsBefore = displayedRects;
    updateFanMorph();
    updateDisplayedRects();
    const bool moved = graphProgress != progressBefore || displayedRects != rectsBefore;

    const double speed = rotorSpeed(fanMode_, fanAnimation, animationsEnabled, fanSnapshot.fans);
    changed = changed || speed != phase.speed;
    rebasePhase(phase, now(), speed);

    const int rate = rotorFrameRate(fanAnimation);
    if (timerFrameRate != rate) {
        animationTimer.reset();
        timerFrameRate = rate;
    }
    if (speed > 0 && !animationTimer) {
        std::weak_ptr<ui::View> weak = weak_from_this();
        animationTimer = std::make_unique<dispatch::Timer>(
            rotorTimerInterval(rate), true,
            [weak] {
                if (auto strong = weak.lock())
                    static_cast<MenuBarContentView&>(*strong).redrawFanModule();
            },
            dispatch::commonModes);
        animationTimer->setTolerance(rotorTimerTolerance);
    } else if (!(speed > 0)) {
        animationTimer.reset();
    }
    if (moved)
        setNeedsDisplay(true);
    else if (changed)
        setNeedsDisplayInRect(rect(ModuleKind::fan));
}

void MenuBarContentView::updateFanMorph() {
    const FanMorphDecision decision = decideFanMorph(previousMode, fanMode_, animationsEnabled);
    if (decision.action == FanMorphDecision::Action::keep)
        return;
    if (previousMode != fanMode_) {
        previousMode = fanMode_;
    }
    if (morphTimer) {
        morphTimer->stop();
        morphTimer.reset();
    }
    auto settle = [&] {
        graphProgress = decision.target;
        if (widthChangedAction)
            widthChangedAction();
    };
    if (decision.action == FanMorphDecision::Action::snap || !animationScreen()) {
        settle();
        return;
    }

    const FanPicture picture = fanPicture(*this, darkAppearance.value_or(true));
    const FanMorph morph{graphProgress, decision.target, now(), modeMorphDuration,
                         fanMotionProfile(picture)};
    std::weak_ptr<ui::View> weak = weak_from_this();
    morphTimer = std::make_unique<AnimationFrameClock>([weak, morph, picture](double time) {
        if (auto strong = weak.lock())
            stepFanMorphFrame(static_cast<MenuBarContentView&>(*strong), morph, picture, time);
    });
}

} // namespace pulsedeck
