#include "floating/FloatingOpacityRow.h"

#include "platform/graphics/Geometry.h"
#include "platform/toolkit/MenuTracker.h"

#include <cmath>

namespace pulsedeck {

namespace {

constexpr gfx::Rect rowFrame{0, 0, 260, 52};
constexpr gfx::Rect titleFrame{29, 28, 150, 18};
// From the row's right edge: the percentage's x, and the slider's width short of the row's.
constexpr double percentageInset = 62;
constexpr double percentageWidth = 48;
constexpr double sliderWidthInset = 43;
constexpr double percentageFontSize = 12;

} // namespace

std::string FloatingOpacityRow::percentText(double opacity) {
    return std::to_string(static_cast<long long>(gfx::roundHalfAwayFromZero(opacity * 100))) + "%";
}

FloatingOpacityRow::FloatingOpacityRow(AppLanguage language, double opacity)
    : ui::View(rowFrame), slider_(std::make_shared<ThemeSlider>()),
      percentage_(std::make_shared<ui::TextField>()) {
    setAutoresizingMask(ui::Autoresizing::widthSizable);
    const double width = rowFrame.width();
    const std::string title = text(Copy::opacity, language);

    slider_->setMinValue(LookBounds::minimumOpacity);
    slider_->setMaxValue(LookBounds::maximumOpacity);
    slider_->setDoubleValue(LookBounds::maximumOpacity);

    auto titleLabel = std::make_shared<ui::TextField>(titleFrame);
    titleLabel->setStringValue(title);
    titleLabel->setFont(gfx::Font::system(ui::MenuLayout::fontSize));
    addSubview(titleLabel);

    percentage_->setFrame(
        {width - percentageInset, titleFrame.y(), percentageWidth, titleFrame.height()});
    percentage_->setAlignment(ui::TextAlignment::right);
    percentage_->setFont(gfx::Font::monospacedDigitSystem(percentageFontSize));
    percentage_->setTextColor(gfx::Color::secondaryLabel());
    percentage_->setAutoresizingMask(ui::Autoresizing::minXMargin);
    addSubview(percentage_);

    slider_->setFrame({titleFrame.x(), 7, width - sliderWidthInset, titleFrame.height()});
    slider_->setAutoresizingMask(ui::Autoresizing::widthSizable);
    slider_->setDoubleValue(opacity);
    slider_->setContinuous(true);
    slider_->setAccessibilityLabel(title);
    // The row is found through the slider, so a slider kept by someone else never reaches a
    // row that is gone.
    slider_->setAction([](ui::Control& sender) {
        if (auto* row = dynamic_cast<FloatingOpacityRow*>(sender.superview()))
            row->updateValue();
    });
    addSubview(slider_);

    percentage_->setStringValue(percentText(slider_->doubleValue()));
}

void FloatingOpacityRow::updateValue() {
    percentage_->setStringValue(percentText(slider_->doubleValue()));
    if (changed)
        changed(slider_->doubleValue());
}

} // namespace pulsedeck
