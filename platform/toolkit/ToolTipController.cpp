#include "platform/toolkit/ToolTipController.h"

#include "platform/graphics/AttributedString.h"
#include "platform/graphics/Context.h"
#include "platform/toolkit/Application.h"
#include "platform/toolkit/Window.h"

#include <algorithm>

namespace ui {

namespace {

constexpr double tipFontSize = 11;
constexpr double tipPadding = 5;
// How far below the pointer the tip's top edge sits, clear of the arrow cursor.
constexpr double tipOffsetBelowPointer = 20;

gfx::TextAttributes tipAttributes() {
    return {gfx::Font::system(tipFontSize), gfx::Color::label()};
}

class ToolTipView final : public View {
public:
    ToolTipView(const gfx::Rect& frame, std::string text) : View(frame), text_(std::move(text)) {}

protected:
    void drawRect(gfx::Context& context, const gfx::Rect&) override {
        const gfx::Rect panel = bounds();
        const bool dark = context.appearance() == gfx::Appearance::dark;
        context.setFillColor(dark ? gfx::Color::grey(0.2) : gfx::Color::grey(0.97));
        context.fillRect(panel);
        context.setStrokeColor(gfx::Color::grey(dark ? 1 : 0, 0.2));
        context.setLineWidth(1);
        context.strokeRect(panel.insetBy(0.5, 0.5));
        gfx::drawText(context, text_, {tipPadding, tipPadding / 2}, tipAttributes());
    }

private:
    std::string text_;
};

class ToolTipWindow final : public Panel {
public:
    using Panel::Panel;

protected:
    WindowRole role() const override { return WindowRole::toolTip; }
};

} // namespace

ToolTipController::ToolTipController(Application& app) : app_(app) {}

ToolTipController::~ToolTipController() = default;

void ToolTipController::pointerOver(std::shared_ptr<View> view, gfx::Point screenLocation) {
    if (view && view == view_.lock() && (timer_ || window_))
        return;
    hide();
    if (!view || view->toolTip().empty())
        return;
    view_ = view;
    location_ = screenLocation;
    timer_ = std::make_unique<dispatch::Timer>(
        delay, false, [this] { show(); }, dispatch::commonModes, app_.runLoop());
}

void ToolTipController::hide() {
    timer_.reset();
    view_.reset();
    if (window_)
        window_->orderOut();
    window_.reset();
    shownText_.clear();
}

void ToolTipController::show() {
    timer_.reset();
    auto view = view_.lock();
    if (!view || !view->window() || view->toolTip().empty())
        return;
    shownText_ = view->toolTip();
    const gfx::Size text = gfx::textSize(shownText_, tipAttributes());
    gfx::Rect frame(location_.x, location_.y - tipOffsetBelowPointer - text.height - tipPadding,
                    std::ceil(text.width + 2 * tipPadding), std::ceil(text.height + tipPadding));
    if (auto screen = view->window()->screen()) {
        const gfx::Rect area = screen->visibleFrame();
        frame.origin.x =
            std::clamp(frame.x(), area.minX(), std::max(area.minX(), area.maxX() - frame.width()));
        frame.origin.y = std::max(frame.y(), area.minY());
    }
    window_ = std::make_shared<ToolTipWindow>(frame, Style::borderless);
    window_->setLevel(WindowLevel::popUpMenu);
    window_->setIgnoresMouseEvents(true);
    window_->setAppearance(view->effectiveAppearance());
    window_->setContentView(
        std::make_shared<ToolTipView>(gfx::Rect{{0, 0}, frame.size}, shownText_));
    window_->orderFront();
}

} // namespace ui
