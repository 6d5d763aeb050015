#pragma once

#include "model/Localization.h"
#include "platform/graphics/Image.h"
#include "platform/toolkit/View.h"

#include <memory>
#include <optional>

namespace anim {
class AnimationFrameClock;
}

namespace pulsedeck {

// The first-run tip's looping picture of a miniature menu bar: a pointer holding Command drags
// an icon out of the bar, the icons to its left close the gap and the application's strip slides
// out from behind the menus (the story is in MenuBarTipTimeline.h). It is drawn in a space
// 300 units wide, scaled to the view's width.
//
// A frame clock redraws it while its window shows and Reduce Motion is off; otherwise it shows
// the still frame. Main thread only.
class MenuBarTipDemo final : public ui::View {
public:
    explicit MenuBarTipDemo(const gfx::Rect& frame = {});
    ~MenuBarTipDemo() override;

    // The language of the sample strip.
    AppLanguage language = AppLanguage::english;

    // The sample of the application's own strip: the memory module in its two-row style with a
    // short chart and the compact compute module, from fixed readings, 24 pt high and rendered
    // at scale 2.
    static gfx::Image demoStrip(bool dark, AppLanguage language);

    // (Re)starts the clock when the view is in a shown window and Reduce Motion is off, and
    // stops it otherwise; the loop then begins again from its start.
    void startClock();
    void stopClock();
    bool isAnimating() const { return clock_ != nullptr; }

    // How many times the sample strip has been built.
    int stripBuilds() const { return stripBuilds_; }

protected:
    void drawRect(gfx::Context& context, const gfx::Rect& dirtyRect) override;
    void viewDidMoveToWindow() override;
    void viewDidChangeWindowVisibility() override;

private:
    double animationTime() const;

    std::unique_ptr<anim::AnimationFrameClock> clock_;
    // Uptime at which the loop began.
    double started_;
    struct Strip {
        bool dark = false;
        gfx::Image image;
    };
    std::optional<Strip> strip_;
    int stripBuilds_ = 0;
};

} // namespace pulsedeck
