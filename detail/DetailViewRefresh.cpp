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

void DetailView::refreshControls() {
    const AppLanguage lang = language;
    auto say = [lang](Copy key) { return text(key, lang); };

    // The theme colour is every custom control's accent; windows redraw only on a change.
    applyAccentColor(toColor(moduleColors.color(ColorSlot::theme, normalBlue)));

    // The top and bottom bands.
    opacitySlider->setDoubleValue(stripOpacity);
    opacitySlider->setAccessibilityLabel(say(Copy::opacity));
    themeColorLabel->setStringValue(say(Copy::themeColor));
    presentationChoice->setSelectedSegment(presentation == DetailPresentation::overview ? 1 : 0);
    setLabels(*presentationChoice, {Copy::detailView, Copy::overview}, lang);
    presentationChoice->setAccessibilityLabel(say(Copy::viewLayout));

    // The colour buttons name their colour in the language just set.
    for (auto& [slot, button] : colorButtons)
        button->updateTitle();

    // The cards' choices.
    memoryChartChoice->setSelectedSegment(memoryShowChart ? 0 : 1);
    setSwitch(*networkChartSwitch, networkShowChart);
    setLabels(*memoryChartChoice, {Copy::chartAndValues, Copy::valuesOnly}, lang);
    memoryChartChoice->setAccessibilityLabel(say(Copy::showChart));
    networkChartSwitch->setAccessibilityLabel(say(Copy::showChart));

    setLabels(*temperatureChoice, {Copy::thermometer, Copy::fanGraph}, lang);
    temperatureChoice->setSelectedSegment(
        temperatureMode == TemperatureDisplayMode::thermometer ? 0 : 1);
    temperatureChoice->setAccessibilityLabel(say(Copy::computeDisplay));

    setLabels(*computeChoice, {Copy::bars, Copy::fanGraph, Copy::compact}, lang);
    computeChoice->setSelectedSegment(rawValue(computeMode));
    computeChoice->setAccessibilityLabel(say(Copy::computeDisplay));

    setLabels(*animationChoice, {Copy::fanAnimationOff, Copy::efficient, Copy::smooth}, lang);
    animationChoice->setSelectedSegment(rawValue(fanAnimation));
    animationChoice->setAccessibilityLabel(say(Copy::fanAnimation));
    animationChoice->setHidden(!fanEnabled);

    setLabels(*fanChoice, {Copy::fanRing, Copy::fanGraph}, lang);
    fanChoice->setAccessibilityLabel(say(Copy::fanDisplay));
    fanChoice->setSelectedSegment(fanMode == FanDisplayMode::graph ? 1 : 0);

    // The devices card reads as one text.
    ui::View& devicesContent = cards.at(ModuleKind::devices)->content();
    devicesContent.setAccessibilityElement(true);
    devicesContent.setAccessibilityRole(ui::AccessibilityRole::staticText);
    devicesContent.setAccessibilityLabel(devicesAccessibilityLabel(devicesSnapshot_, lang));

    // Each card's switch follows its module.
    const std::pair<ModuleKind, Copy> switchNames[] = {
        {ModuleKind::memory, Copy::memoryEnabled},
        {ModuleKind::fan, Copy::fanEnabled},
        {ModuleKind::network, Copy::networkEnabled},
        {ModuleKind::temperature, Copy::temperatureEnabled},
        {ModuleKind::compute, Copy::computeEnabled},
        {ModuleKind::devices, Copy::devicesEnabled}};
    for (const auto& [kind, name] : switchNames) {
        ModuleSectionView& card = *cards.at(kind);
        setSwitch(*card.toggle(), isModuleEnabled(kind));
        card.toggle()->setAccessibilityLabel(say(name));
        card.updateDisclosure();
        card.setNeedsDisplay(true);
    }

    // The shared controls: their values, labels and spoken names in the current language.
    networkColorChoice->setSelectedSegment(networkColored ? 1 : 0);
    setLabels(*networkColorChoice, {Copy::followTheme, Copy::colorfulMode}, lang);
    networkColorChoice->setAccessibilityLabel(say(Copy::networkColors));
    chartLengthSlider->setAccessibilityLabel(say(Copy::chartLength));
    chartLengthSlider->setDoubleValue(chartLength);
    gapSlider->setAccessibilityLabel(say(Copy::blockSpacing));
    gapSlider->setDoubleValue(fanGap);
    setLabels(*displayChoice, {Copy::allFour, Copy::automatic, Copy::twoValues}, lang);
    displayChoice->setAccessibilityLabel(say(Copy::display));
    colorChoice->updateTitle();
    const Copy sortKey = isSorting ? Copy::finishSorting : Copy::sortShort;
    sortDone->setLabel(say(sortKey), 0);
    sortDone->setAccessibilityLabel(say(sortKey));
    sortDone->setSelectedSegment(0);
    settingsButton->setToolTip(say(Copy::settings));
    settingsButton->setAccessibilityLabel(say(Copy::settings));
    activityIcon->setToolTip(say(Copy::open));
    activityIcon->setAccessibilityLabel(say(Copy::open));

    // The memory card's status line.
    const gfx::Font statusFont = gfx::Font::system(10);
    if (!(syncStatus->font() == statusFont))
        syncStatus->setFont(statusFont);
    if (!(syncStatus->textColor() == gfx::Color::secondaryLabel()))
        syncStatus->setTextColor(gfx::Color::secondaryLabel());
    syncStatus->setStringValue(say(snapshot.explanation));

    // Lay out, start the device cards' entrance, and redraw everything that shows a
    // reading or a control.
    layoutSections();
    startDeviceCardClock();
    setNeedsDisplay(true);
    for (auto& [kind, card] : cards)
        card->content().setNeedsDisplay(true);
    for (auto& control : allControls())
        control->setNeedsDisplay(true);
}

} // namespace pulsedeck
