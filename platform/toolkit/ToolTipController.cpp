#include "platform/toolkit/ToolTipController.h"

#include "platform/graphics/AttributedString.h"
#include "platform/graphics/Context.h"
#include "platform/toolkit/Alert.h"
#include "platform/toolkit/Application.h"
#include "platform/toolkit/Window.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <vector>

namespace ui {

namespace {

constexpr double tipFontSize = 11;
constexpr double tipPadding = 5;
// Lines wrap at about fifty characters of the tip's font, as toolkits wrap their tips.
constexpr double tipWrapWidth = 300;
// How far below the pointer the tip's top edge sits, clear of the arrow cursor, and how far
// above it the tip ends where there is no room below.
constexpr double tipOffsetBelowPointer = 20;
constexpr double tipOffsetAbovePointer = 4;

gfx::TextAttributes tipAttributes() {
    return {gfx::Font::system(tipFontSize), gfx::Color::label()};
}

double lineHeight(const std::string& line) {
    return gfx::textSize(line.empty() ? " " : line, tipAttributes()).height;
}

class ToolTipView final : public View {
public:
    ToolTipView(const gfx::Rect& frame, std::vector<std::string> lines)
        : View(frame), lines_(std::move(lines)) {}

protected:
    void drawRect(gfx::Context& context, const gfx::Rect&) override {
        const gfx::Rect panel = bounds();
        const bool dark = context.appearance() == gfx::Appearance::dark;
        context.setFillColor(dark ? gfx::Color::grey(0.2) : gfx::Color::grey(0.97));
        context.fillRect(panel);
        context.setStrokeColor(gfx::Color::grey(dark ? 1 : 0, 0.2));
        context.setLineWidth(1);
        context.strokeRect(panel.insetBy(0.5, 0.5));
        double top = panel.maxY() - tipPadding / 2;
        for (const auto& line : lines_) {
            top -= lineHeight(line);
            gfx::drawText(context, line, {tipPadding, top}, tipAttributes());
        }
    }

private:
    std::vector<std::string> lines_;
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

void ToolTipController::pointerOver(std::shared_ptr<View> view) {
    if (view && view == view_.lock() && (timer_ || window_)) {
        if (window_)
            lingerFor(untoldLinger);
        return;
    }
    hide();
    if (!view || view->toolTip().empty())
        return;
    view_ = view;
    timer_ = std::make_unique<dispatch::Timer>(
        delay, false, [this] { show(); }, dispatch::commonModes, app_.runLoop());
}

void ToolTipController::hide() {
    timer_.reset();
    linger_.reset();
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
    const auto screen = view->window()->screen();
    const std::optional<gfx::Rect> area =
        screen ? std::optional(screen->visibleFrame()) : std::nullopt;
    const double wrapWidth =
        std::min(tipWrapWidth, area ? area->width() - 2 * tipPadding : tipWrapWidth);
    const auto lines = wrapText(shownText_, wrapWidth, [](const std::string& line) {
        return gfx::textSize(line, tipAttributes()).width;
    });
    gfx::Size text;
    for (const auto& line : lines)
        text = {std::max(text.width, gfx::textSize(line, tipAttributes()).width),
                text.height + lineHeight(line)};
    const gfx::Size size{std::ceil(std::min(text.width, wrapWidth) + 2 * tipPadding),
                         std::ceil(text.height + tipPadding)};
    // Where the pointer rests now, not where the event that brought it over the view said: one
    // measured in a window that a change of the screens was moving put the tip that far away.
    const gfx::Point pointer = app_.mouseLocation();
    gfx::Rect frame({pointer.x, pointer.y - tipOffsetBelowPointer - size.height}, size);
    // Wholly on the screen of the view it tells of: above the pointer where there is no room
    // below, and as far left as the screen's right edge asks.
    if (area) {
        if (frame.minY() < area->minY())
            frame.origin.y = pointer.y + tipOffsetAbovePointer;
        frame.origin.x = std::clamp(frame.x(), area->minX(),
                                    std::max(area->minX(), area->maxX() - frame.width()));
        frame.origin.y = std::clamp(frame.y(), area->minY(),
                                    std::max(area->minY(), area->maxY() - frame.height()));
    }
    window_ = std::make_shared<ToolTipWindow>(frame, Style::borderless);
    window_->setLevel(WindowLevel::toolTip);
    window_->setIgnoresMouseEvents(true);
    window_->setAppearance(view->effectiveAppearance());
    window_->setContentView(std::make_shared<ToolTipView>(gfx::Rect{{0, 0}, frame.size}, lines));
    window_->orderFront();
    lingerFor(untoldLinger - delay);
}

void ToolTipController::lingerFor(double seconds) {
    if (app_.reportsPointerLeaving())
        return;
    linger_ = std::make_unique<dispatch::Timer>(
        seconds, false, [this] { hide(); }, dispatch::commonModes, app_.runLoop());
}

} // namespace ui
