#include "controls/ThemeSlider.h"
#include "detail/ActivityIconButton.h"
#include "detail/CompactSwitch.h"
#include "detail/DetailView.h"
#include "detail/ModuleColorButton.h"
#include "detail/ModuleSectionView.h"
#include "detail/SettingsIconButton.h"
#include "detail/ThemeSegments.h"
#include "model/AccentColor.h"

#include <initializer_list>

namespace pulsedeck {

namespace {

void setLabels(ThemeSegments& choice, std::initializer_list<Copy> keys, AppLanguage language) {
    int segment = 0;
    for (Copy key : keys)
        choice.setLabel(text(key, language), segment++);
}

void setSwitch(CompactSwitch& toggle, bool on) {
    toggle.setState(on ? ui::ControlState::on : ui::ControlState::off);
    toggle.syncToState();
}

} // namespace

std::string devicesAccessibilityLabel(const std::vector<ExternalDevice>& devices,
                                      AppLanguage language) {
    if (devices.empty())
        return text(Copy::noDevices, language);
    std::string label;
    for (const auto& device : devices) {
        if (!label.empty())
            label += "; ";
        label += device.name + ", " + device.connection + ", " + device.rateText(language) + ", " +
                 device.capacityText(language).value_or("");
    }
    return label;
}

void DetailView::setState(DetailState state, bool animated) {
    const DetailChanges changes = detailChanges(state_, state);
    std::vector<ExternalDevice> previousDevices = std::move(state_.readings.devices);
    state_ = std::move(state);
    if (changes == DetailChanges{})
        return;
    if (changes.readings[ModuleKind::devices])
        noteDeviceArrivals(previousDevices);
    refresh(changes, animated);
}

void DetailView::setSorting(bool sorting) {
    if (sorting == isSorting_)
        return;
    isSorting_ = sorting;
    const Copy key = isSorting_ ? Copy::finishSorting : Copy::sortShort;
    sortDone_->setLabel(text(key, state_.language), 0);
    sortDone_->setAccessibilityLabel(text(key, state_.language));
}

void DetailView::refresh(const DetailChanges& changes, bool animated) {
    // The theme colour is every custom control's accent; windows redraw only on a change.
    if (changes.colors)
        applyAccentColor(
            toColor(state_.look.modules.colors.color(ColorSlot::theme, state_.normalBlue)));
    if (changes.language)
        relabel();
    if (changes.language || changes.colors || changes.layout) {
        // The colour buttons name their colour in the current language.
        for (auto& [slot, button] : colorButtons_)
            button->updateTitle();
        colorChoice_->updateTitle();
        for (auto& control : allControls())
            control->setNeedsDisplay(true);
    }
    showValues(changes);
    if (changes.readings[ModuleKind::devices] || changes.language)
        cards_.at(ModuleKind::devices)
            ->content()
            .setAccessibilityLabel(
                devicesAccessibilityLabel(state_.readings.devices, state_.language));
    if (changes.readings[ModuleKind::memory] || changes.language)
        syncStatus_->setStringValue(text(state_.readings.memory.explanation, state_.language));

    if (changes.layout)
        layoutSections(animated);
    startDeviceCardClock();
    // The band's captions and values, and the cards that show a changed reading or look.
    if (changes.layout || changes.sliders || changes.colors)
        setNeedsDisplay(true);
    for (auto& [kind, card] : cards_) {
        if (changes.cardLook || changes.readings[kind])
            card->content().setNeedsDisplay(true);
        if (changes.cardLook)
            card->setNeedsDisplay(true);
    }
}

void DetailView::relabel() {
    const AppLanguage lang = state_.language;
    auto say = [lang](Copy key) { return text(key, lang); };
    opacitySlider_->setAccessibilityLabel(say(Copy::opacity));
    themeColorLabel_->setStringValue(say(Copy::themeColor));
    setLabels(*presentationChoice_, {Copy::detailView, Copy::overview}, lang);
    presentationChoice_->setAccessibilityLabel(say(Copy::viewLayout));
    setLabels(*memoryChartChoice_, {Copy::chartAndValues, Copy::valuesOnly}, lang);
    memoryChartChoice_->setAccessibilityLabel(say(Copy::showChart));
    networkChartSwitch_->setAccessibilityLabel(say(Copy::showChart));
    setLabels(*temperatureChoice_, {Copy::thermometer, Copy::fanGraph}, lang);
    temperatureChoice_->setAccessibilityLabel(say(Copy::computeDisplay));
    setLabels(*computeChoice_, {Copy::bars, Copy::fanGraph, Copy::compact}, lang);
    computeChoice_->setAccessibilityLabel(say(Copy::computeDisplay));
    setLabels(*animationChoice_, {Copy::fanAnimationOff, Copy::efficient, Copy::smooth}, lang);
    animationChoice_->setAccessibilityLabel(say(Copy::fanAnimation));
    setLabels(*fanChoice_, {Copy::fanRing, Copy::fanGraph}, lang);
    fanChoice_->setAccessibilityLabel(say(Copy::fanDisplay));
    setLabels(*networkColorChoice_, {Copy::followTheme, Copy::colorfulMode}, lang);
    networkColorChoice_->setAccessibilityLabel(say(Copy::networkColors));
    chartLengthSlider_->setAccessibilityLabel(say(Copy::chartLength));
    gapSlider_->setAccessibilityLabel(say(Copy::blockSpacing));
    setLabels(*displayChoice_, {Copy::allFour, Copy::automatic, Copy::twoValues}, lang);
    displayChoice_->setAccessibilityLabel(say(Copy::display));
    const Copy sortKey = isSorting_ ? Copy::finishSorting : Copy::sortShort;
    sortDone_->setLabel(say(sortKey), 0);
    sortDone_->setAccessibilityLabel(say(sortKey));
    settingsButton_->setToolTip(say(Copy::settings));
    settingsButton_->setAccessibilityLabel(say(Copy::settings));
    activityIcon_->setToolTip(say(Copy::open));
    activityIcon_->setAccessibilityLabel(say(Copy::open));

    const std::pair<ModuleKind, Copy> switchNames[] = {
        {ModuleKind::memory, Copy::memoryEnabled},
        {ModuleKind::fan, Copy::fanEnabled},
        {ModuleKind::network, Copy::networkEnabled},
        {ModuleKind::temperature, Copy::temperatureEnabled},
        {ModuleKind::compute, Copy::computeEnabled},
        {ModuleKind::devices, Copy::devicesEnabled}};
    for (const auto& [kind, name] : switchNames)
        cards_.at(kind)->toggle()->setAccessibilityLabel(say(name));
}

void DetailView::showValues(const DetailChanges& changes) {
    const ModuleStyles& styles = state_.look.modules.styles;
    if (changes.sliders) {
        // A slider under the pointer is the authority on its value until it is let go.
        const std::pair<ThemeSlider*, double> sliders[] = {
            {opacitySlider_.get(), state_.look.opacity},
            {chartLengthSlider_.get(), state_.look.modules.chartLength},
            {gapSlider_.get(), state_.look.modules.gap}};
        for (const auto& [slider, value] : sliders)
            if (!slider->isDragging() && slider->doubleValue() != value)
                slider->setDoubleValue(value);
    }
    if (changes.layout)
        presentationChoice_->setSelectedSegment(
            state_.look.presentation == DetailPresentation::overview ? 1 : 0);
    if (changes.styles) {
        displayChoice_->setSelectedSegment(rawValue(styles.memoryMode));
        memoryChartChoice_->setSelectedSegment(styles.memoryShowChart ? 0 : 1);
        setSwitch(*networkChartSwitch_, styles.networkShowChart);
        temperatureChoice_->setSelectedSegment(
            styles.temperatureMode == TemperatureDisplayMode::thermometer ? 0 : 1);
        computeChoice_->setSelectedSegment(rawValue(styles.computeMode));
        animationChoice_->setSelectedSegment(rawValue(styles.fanAnimation));
        fanChoice_->setSelectedSegment(styles.fanMode == FanDisplayMode::graph ? 1 : 0);
        networkColorChoice_->setSelectedSegment(styles.networkColored ? 1 : 0);
    }
    if (changes.switches)
        for (auto& [kind, card] : cards_)
            setSwitch(*card->toggle(), state_.module(kind).on());
}

} // namespace pulsedeck
