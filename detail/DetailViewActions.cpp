#include "controls/ThemeSlider.h"
#include "detail/CompactSwitch.h"
#include "detail/DetailView.h"
#include "detail/SettingsIconButton.h"
#include "detail/ThemeSegments.h"
#include "model/LoginItemEntry.h"
#include "model/PrivacyPolicy.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/foundation/Bundle.h"
#include "platform/graphics/AttributedString.h"
#include "platform/graphics/Context.h"
#include "platform/toolkit/Alert.h"
#include "platform/toolkit/Application.h"
#include "platform/toolkit/Menu.h"
#include "platform/toolkit/Workspace.h"
#include "updates/SupportFeedback.h"

#include <cmath>

namespace pulsedeck {

namespace {

constexpr double captionWidth = 108;
constexpr double captionOffset = 114;
constexpr double captionFontSize = 11;
constexpr double titleFontSize = 16;
constexpr double valueFontSize = 10;
constexpr double valueRaise = 4;
constexpr double valueReach = 42;
constexpr double bandInset = 18;

bool isOn(const CompactSwitch& toggle) {
    return toggle.state() == ui::ControlState::on;
}

template <typename Value> void report(const std::function<void(Value)>& action, Value value) {
    if (action)
        action(value);
}

// A three-way choice's case by its segment number; none for no selection or any other number.
template <typename Mode>
std::optional<Mode> threeWay(const ThemeSegments& choice, const std::array<Mode, 3>& modes) {
    const int segment = choice.selectedSegment();
    if (segment < 0 || segment > 2)
        return std::nullopt;
    return modes[std::size_t(segment)];
}

const std::string* representedText(const std::any& object) {
    return std::any_cast<std::string>(&object);
}

std::string versionText() {
    const std::string version = foundation::Bundle::main().shortVersion();
    return version.empty() ? "—" : version;
}

// A text fitted to a rectangle: shrunk (never below 8 points), cut at the tail, centred on the
// rectangle's middle.
void drawCaption(gfx::Context& context, const std::string& text, const gfx::Rect& rect, double size,
                 gfx::FontWeight weight, const gfx::Color& color) {
    const double natural = gfx::textSize(text, {.font = gfx::Font::system(size, weight)}).width;
    const gfx::TextAttributes attributes{
        .font = gfx::Font::system(fittedFontSize(natural, rect.width(), size), weight),
        .color = color};
    const double height = std::min(gfx::textSize(text, attributes).height, rect.height());
    gfx::drawText(context, text,
                  gfx::Rect(rect.minX(), rect.midY() - height / 2, rect.width(), height),
                  attributes);
}

void drawValueEndingAt(gfx::Context& context, const std::string& text, double right, double y) {
    const gfx::TextAttributes attributes{
        .font = gfx::Font::monospacedDigitSystem(valueFontSize, gfx::FontWeight::medium),
        .color = gfx::Color::secondaryLabel()};
    gfx::drawText(context, text, {right - gfx::textSize(text, attributes).width, y}, attributes);
}

} // namespace

std::string percentText(double fraction) {
    const double percent = std::round(fraction * 100);
    if (!std::isfinite(percent))
        return "—";
    return std::to_string(static_cast<long long>(percent)) + "%";
}

std::string pointsText(double value) {
    if (!std::isfinite(value))
        return "— pt";
    return std::to_string(static_cast<long long>(std::trunc(value))) + " pt";
}

void DetailView::doMemory() {
    report(memoryAction, isOn(*memorySwitch));
}

void DetailView::doEnabled() {
    report(enabledAction, isOn(*fanSwitch));
}

void DetailView::doNetwork() {
    report(networkAction, isOn(*networkSwitch));
}

void DetailView::doTemperature() {
    report(temperatureAction, isOn(*temperatureSwitch));
}

void DetailView::doCompute() {
    report(computeAction, isOn(*computeSwitch));
}

void DetailView::doDevices() {
    report(devicesAction, isOn(*devicesSwitch));
}

void DetailView::doNetworkChart() {
    report(networkChartAction, isOn(*networkChartSwitch));
}

void DetailView::doDisplay() {
    if (auto mode = threeWay(*displayChoice, allDisplayModes))
        report(displayAction, *mode);
}

void DetailView::doComputeDisplay() {
    if (auto mode = threeWay(*computeChoice, allComputeDisplayModes))
        report(computeDisplayAction, *mode);
}

void DetailView::doAnimation() {
    static constexpr std::array<FanAnimationMode, 3> modes = {
        FanAnimationMode::off, FanAnimationMode::efficient, FanAnimationMode::smooth};
    if (auto mode = threeWay(*animationChoice, modes))
        report(fanAnimationAction, *mode);
}

void DetailView::doMemoryChart() {
    report(memoryChartAction, memoryChartChoice->selectedSegment() == 0);
}

void DetailView::doTemperatureDisplay() {
    report(temperatureDisplayAction, temperatureChoice->selectedSegment() == 0
                                         ? TemperatureDisplayMode::thermometer
                                         : TemperatureDisplayMode::chart);
}

void DetailView::doFan() {
    report(fanAction,
           fanChoice->selectedSegment() == 1 ? FanDisplayMode::graph : FanDisplayMode::ring);
}

void DetailView::doNetworkColor() {
    report(networkColorAction, networkColorChoice->selectedSegment() == 1);
}

void DetailView::doChartLength() {
    report(chartLengthAction, std::round(chartLengthSlider->doubleValue()));
}

void DetailView::doGap() {
    report(gapAction, std::round(gapSlider->doubleValue()));
}

void DetailView::doOpacity() {
    report(opacityAction, opacitySlider->doubleValue());
}

void DetailView::doPresentation() {
    report(presentationAction, presentationChoice->selectedSegment() == 1
                                   ? DetailPresentation::overview
                                   : DetailPresentation::details);
}

void DetailView::doSensors() {
    if (sensorAction)
        sensorAction();
}

void DetailView::doOpen() {
    if (openAction)
        openAction();
}

void DetailView::doFinishSorting() {
    isSorting = !isSorting;
    refreshControls();
    if (sortingAction)
        sortingAction();
}

void DetailView::doCheckUpdates() {
    if (checkUpdatesAction) {
        checkUpdatesAction();
        return;
    }
    ui::Alert alert;
    alert.setMessageText(text(Copy::checkUpdates, language));
    alert.setInformativeText(text(Copy::updatesUnavailable, language) + "\n" +
                             text(Copy::currentVersion, language) + ": " + versionText());
    alert.addButton(text(Copy::okay, language));
    alert.runModal();
}

void DetailView::doApproval() {
    // The login item is an autostart entry: its folder is where the user approves or removes it.
    ui::Application* app = ui::Application::current();
    if (const auto entry = liveLoginItemEntry(); app && entry)
        app->workspace().openURL("file://" + entry->parent_path().string());
}

std::function<void(bool)>& DetailView::switchAction(ModuleKind module) {
    switch (module) {
    case ModuleKind::memory:
        return memoryAction;
    case ModuleKind::fan:
        return enabledAction;
    case ModuleKind::network:
        return networkAction;
    case ModuleKind::temperature:
        return temperatureAction;
    case ModuleKind::compute:
        return computeAction;
    case ModuleKind::devices:
        return devicesAction;
    }
    return memoryAction;
}

void DetailView::doFeedback() {
    SupportFeedback::shared().show(language);
}

void DetailView::doPrivacy() {
    openPrivacyPolicy();
}

void DetailView::doSettings() {
    std::shared_ptr<ui::Menu> menu =
        settingsMenuProvider ? settingsMenuProvider() : makeSettingsMenu();
    std::weak_ptr<View> weak = weak_from_this();
    dispatch::RunLoop::main().queue().async([weak, menu] {
        auto view = std::static_pointer_cast<DetailView>(weak.lock());
        if (!view || !view->window() || !menu)
            return;
        const gfx::Rect gear = view->settingsButton->bounds();
        ui::Menu::popUp(menu, {gear.maxX(), gear.maxY()}, *view->settingsButton);
    });
}

void DetailView::menuLogin() {
    report(loginAction, !(loginState == 1 || loginState == 2));
}

void DetailView::menuFullscreen() {
    report(hideInFullscreenAction, !hideInFullscreen);
}

void DetailView::menuLanguage(const std::any& representedObject) {
    if (const std::string* code = representedText(representedObject); code && languageAction)
        languageAction(*code);
}

void DetailView::menuAppearance(const std::any& representedObject) {
    if (const std::string* name = representedText(representedObject))
        if (auto mode = parseAppearanceMode(*name))
            report(appearanceAction, *mode);
}

void DetailView::doFloating(const std::any& representedObject) {
    if (const std::string* name = representedText(representedObject))
        if (auto mode = parseFloatingMode(*name))
            report(floatingAction, *mode);
}

void DetailView::menuUpdateFrequency(const std::any& representedObject) {
    if (const std::string* name = representedText(representedObject))
        if (auto frequency = parseUpdateFrequency(*name))
            report(updateFrequencyAction, *frequency);
}

void DetailView::drawRect(gfx::Context& context, const gfx::Rect&) {
    const gfx::Rect view = bounds();
    const gfx::Color secondary = gfx::Color::secondaryLabel();

    const std::string version = versionText();
    const gfx::TextAttributes versionAttributes{.font = gfx::Font::system(9), .color = secondary};
    gfx::drawText(context, version,
                  {bandInset, 22 - gfx::textSize(version, versionAttributes).height / 2},
                  versionAttributes);

    const gfx::Rect opacityRow = opacitySlider->frame();
    drawCaption(context, text(Copy::opacity, language),
                {bandInset, opacityRow.minY(), captionWidth, 22}, captionFontSize,
                gfx::FontWeight::medium, secondary);
    drawValueEndingAt(context, percentText(stripOpacity), view.maxX() - bandInset,
                      opacityRow.minY() + valueRaise);

    const std::tuple<Copy, const ThemeSlider*, double> rows[] = {
        {Copy::chartLength, chartLengthSlider.get(), chartLength},
        {Copy::blockSpacing, gapSlider.get(), fanGap}};
    for (const auto& [key, slider, value] : rows) {
        if (slider->isHidden())
            continue;
        const gfx::Rect row = slider->frame();
        drawCaption(context, text(key, language),
                    {row.minX() - captionOffset, row.minY(), captionWidth, 22}, captionFontSize,
                    gfx::FontWeight::medium, secondary);
        drawValueEndingAt(context, pointsText(value), row.maxX() + valueReach,
                          row.minY() + valueRaise);
    }

    drawCaption(context, appTitle, {bandInset, view.height() - 38, 96, 28}, titleFontSize,
                gfx::FontWeight::semibold, gfx::Color::label());

    context.setColor(gfx::Color::separator());
    context.fillRect({bandInset, footerHeight(), view.width() - 2 * bandInset, 0.5},
                     context.compositingOperation());
}

} // namespace pulsedeck
