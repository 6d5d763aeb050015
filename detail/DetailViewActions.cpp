#include "controls/ThemeSlider.h"
#include "detail/CompactSwitch.h"
#include "detail/DetailView.h"
#include "detail/ModuleSectionView.h"
#include "detail/SettingsIconButton.h"
#include "detail/ThemeSegments.h"
#include "model/LinkOpening.h"
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

void DetailView::editLook(LookEdit edit) const {
    if (lookAction)
        lookAction(edit);
}

void DetailView::doSwitch(ModuleKind module) {
    editLook([module, on = isOn(*cards_.at(module)->toggle())](StripLook& look) {
        look.modules.setShown(module, on);
    });
}

void DetailView::doNetworkChart() {
    editLook([on = isOn(*networkChartSwitch_)](StripLook& look) {
        look.modules.styles.networkShowChart = on;
    });
}

void DetailView::doDisplay() {
    if (auto mode = threeWay(*displayChoice_, allDisplayModes))
        editLook([mode = *mode](StripLook& look) { look.modules.styles.memoryMode = mode; });
}

void DetailView::doComputeDisplay() {
    if (auto mode = threeWay(*computeChoice_, allComputeDisplayModes))
        editLook([mode = *mode](StripLook& look) { look.modules.styles.computeMode = mode; });
}

void DetailView::doAnimation() {
    static constexpr std::array<FanAnimationMode, 3> modes = {
        FanAnimationMode::off, FanAnimationMode::efficient, FanAnimationMode::smooth};
    if (auto mode = threeWay(*animationChoice_, modes))
        editLook([mode = *mode](StripLook& look) { look.modules.styles.fanAnimation = mode; });
}

void DetailView::doMemoryChart() {
    editLook([on = memoryChartChoice_->selectedSegment() == 0](StripLook& look) {
        look.modules.styles.memoryShowChart = on;
    });
}

void DetailView::doTemperatureDisplay() {
    const auto mode = temperatureChoice_->selectedSegment() == 0
                          ? TemperatureDisplayMode::thermometer
                          : TemperatureDisplayMode::chart;
    editLook([mode](StripLook& look) { look.modules.styles.temperatureMode = mode; });
}

void DetailView::doFan() {
    const auto mode =
        fanChoice_->selectedSegment() == 1 ? FanDisplayMode::graph : FanDisplayMode::ring;
    editLook([mode](StripLook& look) { look.modules.styles.fanMode = mode; });
}

void DetailView::doNetworkColor() {
    editLook([on = networkColorChoice_->selectedSegment() == 1](StripLook& look) {
        look.modules.styles.networkColored = on;
    });
}

void DetailView::doChartLength() {
    editLook([length = chartLengthSlider_->doubleValue()](StripLook& look) {
        look.modules.chartLength = clampedChartLength(length);
    });
}

void DetailView::doGap() {
    editLook([gap = std::round(gapSlider_->doubleValue())](StripLook& look) {
        look.modules.gap = clampedGap(gap);
    });
}

void DetailView::doOpacity() {
    editLook([opacity = opacitySlider_->doubleValue()](StripLook& look) {
        look.opacity = clampedOpacity(opacity);
    });
}

void DetailView::doPresentation() {
    const auto presentation = presentationChoice_->selectedSegment() == 1
                                  ? DetailPresentation::overview
                                  : DetailPresentation::details;
    // The cards as they are fade out over the presentation the owner hands back.
    fadeFromSnapshot();
    editLook([presentation](StripLook& look) { look.presentation = presentation; });
}

void DetailView::doOpen() {
    if (openAction)
        openAction();
}

void DetailView::doFinishSorting() {
    setSorting(!isSorting_);
    sortDone_->setSelectedSegment(0);
    if (sortingAction)
        sortingAction();
}

void DetailView::doCheckUpdates() {
    if (checkUpdatesAction) {
        checkUpdatesAction();
        return;
    }
    ui::Alert alert;
    alert.setMessageText(text(Copy::checkUpdates, state_.language));
    alert.setInformativeText(text(Copy::updatesUnavailable, state_.language) + "\n" +
                             text(Copy::currentVersion, state_.language) + ": " + versionText());
    alert.addButton(text(Copy::okay, state_.language));
    alert.runModal();
}

void DetailView::doApproval() {
    // The login item is an autostart entry: its folder is where the user approves or removes it.
    ui::Application* app = ui::Application::current();
    if (const auto entry = liveLoginItemEntry(); app && entry)
        openLinkTellingOfFailure("file://" + entry->parent_path().string(), state_.language);
}

void DetailView::doFeedback() {
    SupportFeedback::shared().show(state_.language);
}

void DetailView::doPrivacy() {
    openPrivacyPolicy(state_.language);
}

void DetailView::doSettings() {
    std::shared_ptr<ui::Menu> menu =
        settingsMenuProvider ? settingsMenuProvider() : makeSettingsMenu();
    std::weak_ptr<View> weak = weak_from_this();
    dispatch::RunLoop::main().queue().async([weak, menu] {
        auto view = std::static_pointer_cast<DetailView>(weak.lock());
        if (!view || !view->window() || !menu)
            return;
        const gfx::Rect gear = view->settingsButton_->bounds();
        ui::Menu::popUp(menu, {gear.maxX(), gear.maxY()}, *view->settingsButton_);
    });
}

void DetailView::menuLogin() {
    report(loginAction, !startsAtLogin(state_.loginStatus));
}

void DetailView::menuFullscreen() {
    editLook([on = !state_.look.hideInFullscreen](StripLook& look) { look.hideInFullscreen = on; });
}

void DetailView::menuLanguage(const std::any& representedObject) {
    if (const std::string* code = representedText(representedObject); code && languageAction)
        languageAction(*code);
}

void DetailView::menuAppearance(const std::any& representedObject) {
    if (const std::string* name = representedText(representedObject))
        if (auto mode = parseAppearanceMode(*name))
            editLook([mode = *mode](StripLook& look) { look.appearance = mode; });
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

    const gfx::Rect opacityRow = opacitySlider_->frame();
    drawCaption(context, text(Copy::opacity, state_.language),
                {bandInset, opacityRow.minY(), captionWidth, 22}, captionFontSize,
                gfx::FontWeight::medium, secondary);
    drawValueEndingAt(context, percentText(state_.look.opacity), view.maxX() - bandInset,
                      opacityRow.minY() + valueRaise);

    const std::tuple<Copy, const ThemeSlider*, double> rows[] = {
        {Copy::chartLength, chartLengthSlider_.get(), state_.look.modules.chartLength},
        {Copy::blockSpacing, gapSlider_.get(), state_.look.modules.gap}};
    for (const auto& [key, slider, value] : rows) {
        if (slider->isHidden())
            continue;
        const gfx::Rect row = slider->frame();
        drawCaption(context, text(key, state_.language),
                    {row.minX() - captionOffset, row.minY(), captionWidth, 22}, captionFontSize,
                    gfx::FontWeight::medium, secondary);
        drawValueEndingAt(context, pointsText(value), row.maxX() + valueReach,
                          row.minY() + valueRaise);
    }

    drawCaption(context, appTitle_, {bandInset, view.height() - 38, 96, 28}, titleFontSize,
                gfx::FontWeight::semibold, gfx::Color::label());

    context.setColor(gfx::Color::separator());
    context.fillRect({bandInset, footerHeight(), view.width() - 2 * bandInset, 0.5},
                     context.compositingOperation());
}

} // namespace pulsedeck
