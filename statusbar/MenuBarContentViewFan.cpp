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
    const MenuBarContentView::FanInputs& fan = view.fanInputs();
    return {fan.snapshot,        fan.history,       dark, fan.language, fan.color,
            fan.historyCapacity, view.chartLength()};
}

} // namespace

void MenuBarContentView::setFanInputs(FanInputs inputs) {
    if (inputs == fan_)
        return;
    fan_ = std::move(inputs);
    renderFanImage();
}

// One frame of the ring ↔ graph morph: the progress of that moment, the picture of it from the
// figures captured when the morph began (at the current chart length), the strip laid out anew.
void MenuBarContentView::stepFanMorph(const FanMorph& morph, FanPicture picture, double time) {
    graphProgress_ = morph.value(time);
    picture.chartLength = chartLength_;
    transitionBackdrop_ = fanTransitionImage(picture, graphProgress_);
    if (!isGliding())
        displayedRects_ = layoutModuleRects();
    if (widthChangedAction)
        widthChangedAction();
    setNeedsDisplay(true);
    if (morph.isFinished(time) && morphTimer_) {
        morphTimer_->stop();
        morphTimer_.reset();
    }
}

void MenuBarContentView::renderFanImage() {
    const bool dark = drawsDark();
    darkAppearance_ = dark;
    const FanPicture picture = fanPicture(*this, dark);
    // Only the backdrops the strip can draw before the next rebuild: the one of the shown mode
    // (where a morph or snap ends) and the one the current progress selects (shown until the
    // morph's first frame). A hidden fan takes no room and draws nothing.
    const bool shown = fanMode_ != FanDisplayMode::hidden;
    const bool needsRing = shown && (fanMode_ == FanDisplayMode::ring || graphProgress_ <= 0);
    const bool needsGraph = shown && (fanMode_ == FanDisplayMode::graph || graphProgress_ >= 1);
    // Only what changed is repainted: the whole strip when the morph's progress or the layout
    // moved, the fan module alone for a backdrop or rotor frames rendered anew or a new rotor
    // speed, and nothing otherwise.
    bool changed = false;
    if (needsRing) {
        std::string key = fanRingKey(picture);
        if (key != ringBackdropKey_) {
            ringBackdropKey_ = std::move(key);
            ringBackdrop_ = fanRingImage(picture);
            changed = true;
        }
    }
    if (needsGraph) {
        std::string key = fanGraphKey(picture);
        if (key != graphBackdropKey_) {
            graphBackdropKey_ = std::move(key);
            graphBackdrop_ = fanGraphImage(picture);
            changed = true;
        }
    }

    const RotorLoad load = rotorLoad(fan_.snapshot.fans);
    const std::string key = rotorFramesKey(dark, load);
    if (key != rotorKey_) {
        rotorKey_ = key;
        rotorFrames_ = renderRotorFrames(dark, load);
        changed = true;
    }

    const double progressBefore = graphProgress_;
    const ModuleRects rectsBefore = displayedRects_;
    updateFanMorph();
    updateDisplayedRects();
    const bool moved = graphProgress_ != progressBefore || displayedRects_ != rectsBefore;

    const double speed =
        rotorSpeed(fanMode_, fan_.animation, animationsEnabled_, fan_.snapshot.fans);
    changed = changed || speed != phase_.speed;
    rebasePhase(phase_, now(), speed);

    const int rate = rotorFrameRate(fan_.animation);
    if (timerFrameRate_ != rate) {
        animationTimer_.reset();
        timerFrameRate_ = rate;
    }
    if (speed > 0 && !animationTimer_) {
        std::weak_ptr<ui::View> weak = weak_from_this();
        animationTimer_ = std::make_unique<dispatch::Timer>(
            rotorTimerInterval(rate), true,
            [weak] {
                if (auto strong = weak.lock())
                    static_cast<MenuBarContentView&>(*strong).redrawFanModule();
            },
            dispatch::commonModes);
        animationTimer_->setTolerance(rotorTimerTolerance);
    } else if (!(speed > 0)) {
        animationTimer_.reset();
    }
    if (moved)
        setNeedsDisplay(true);
    else if (changed)
        setNeedsDisplayInRect(rect(ModuleKind::fan));
}

void MenuBarContentView::updateFanMorph() {
    const FanMorphDecision decision = decideFanMorph(previousMode_, fanMode_, animationsEnabled_);
    if (decision.action == FanMorphDecision::Action::keep)
        return;
    if (previousMode_ != fanMode_) {
        previousMode_ = fanMode_;
    }
    if (morphTimer_) {
        morphTimer_->stop();
        morphTimer_.reset();
    }
    auto settle = [&] {
        graphProgress_ = decision.target;
        if (widthChangedAction)
            widthChangedAction();
    };
    if (decision.action == FanMorphDecision::Action::snap || !animationScreen()) {
        settle();
        return;
    }

    const FanPicture picture = fanPicture(*this, darkAppearance_.value_or(true));
    const FanMorph morph{graphProgress_, decision.target, now(), modeMorphDuration,
                         fanMotionProfile(picture)};
    std::weak_ptr<ui::View> weak = weak_from_this();
    morphTimer_ = std::make_unique<anim::AnimationFrameClock>([weak, morph, picture](double time) {
        if (auto strong = weak.lock())
            static_cast<MenuBarContentView&>(*strong).stepFanMorph(morph, picture, time);
    });
}

} // namespace pulsedeck
