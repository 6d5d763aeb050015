#include "detail/DetailView.h"

#include "controls/ThemeSlider.h"
#include "detail/ActivityIconButton.h"
#include "detail/CompactSwitch.h"
#include "detail/DetailDocumentView.h"
#include "detail/ModuleColorButton.h"
#include "detail/ModuleSectionView.h"
#include "detail/SettingsIconButton.h"
#include "detail/SettingsMenu.h"
#include "detail/SlimScroller.h"
#include "detail/ThemeSegments.h"
#include "model/SafeWebURL.h"
#include "platform/animation/AnimationFrameClock.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/PreferredLanguages.h"
#include "platform/foundation/ProcessInfo.h"
#include "platform/graphics/SymbolImage.h"
#include "platform/toolkit/Application.h"
#include "platform/toolkit/Screen.h"
#include "platform/toolkit/Window.h"
#include "platform/toolkit/Workspace.h"

#include <algorithm>
#include <utility>

namespace pulsedeck {

namespace {

constexpr double cardChoiceFontSize = 11;
// The details column's content width, which a card's choice segments share at first.
constexpr double fullChoiceWidth = 282;

std::shared_ptr<ThemeSegments> makeSegments(int count) {
    auto segments = std::make_shared<ThemeSegments>();
    segments->setSegmentCount(count);
    segments->setTrackingMode(ui::SegmentTracking::selectOne);
    return segments;
}

std::shared_ptr<ThemeSlider> makeSlider(double value, double minimum, double maximum) {
    auto slider = std::make_shared<ThemeSlider>();
    slider->setMinValue(minimum);
    slider->setMaxValue(maximum);
    slider->setDoubleValue(value);
    slider->setContinuous(true);
    return slider;
}

std::shared_ptr<ui::TextField> makeLabel() {
    auto label = std::make_shared<ui::TextField>();
    label->setLineBreakMode(ui::LineBreakMode::truncatingTail);
    return label;
}

} // namespace

DetailView::DetailView(const gfx::Rect& frame)
    : View(frame), deviceCardNow(dispatch::RunLoop::main().clock().now()) {
    // Until the controller feeds it, the view speaks the desktop's language and describes an
    // empty reading of this machine taken now.
    language = resolve("system", foundation::preferredLanguages());
    snapshot.sampledAt = std::chrono::system_clock::now();
    computeSnapshot.cpuCores = foundation::processInfo::processorCount();
    // The controls, with empty texts; refreshControls gives them their words.
    memorySwitch = std::make_shared<CompactSwitch>(gfx::Point{});
    fanSwitch = std::make_shared<CompactSwitch>(gfx::Point{});
    networkSwitch = std::make_shared<CompactSwitch>(gfx::Point{});
    temperatureSwitch = std::make_shared<CompactSwitch>(gfx::Point{});
    computeSwitch = std::make_shared<CompactSwitch>(gfx::Point{});
    devicesSwitch = std::make_shared<CompactSwitch>(gfx::Point{});
    networkChartSwitch = std::make_shared<CompactSwitch>(gfx::Point{});
    presentationChoice = makeSegments(2);
    memoryChartChoice = makeSegments(2);
    temperatureChoice = makeSegments(2);
    fanChoice = makeSegments(2);
    networkColorChoice = makeSegments(2);
    computeChoice = makeSegments(3);
    animationChoice = makeSegments(3);
    displayChoice = makeSegments(3);
    sortDone = makeSegments(1);
    sortDone->setTrackingMode(ui::SegmentTracking::momentary);
    chartLengthSlider = makeSlider(85, 16, 160);
    gapSlider = makeSlider(8, 0, 32);
    opacitySlider = makeSlider(1, 0.2, 1);
    syncStatus = makeLabel();
    themeColorLabel = makeLabel();
    activityIcon = std::make_shared<ActivityIconButton>(gfx::Rect{0, 0, 24, 24});
    settingsButton = std::make_shared<SettingsIconButton>(gfx::Rect{0, 0, 26, 26});
    scroll = std::make_shared<ui::ScrollView>();
    slimScroller = std::make_shared<SlimScroller>();
    body = std::make_shared<DetailDocumentView>();
    const std::string bundleName = foundation::Bundle::main().displayName();
    appTitle = bundleName.empty() ? "Pulsedeck" : bundleName;

    // The scroll view: no background, no border, a slim scroller that never hides itself.
    scroll->setDrawsBackground(false);
    scroll->setHasVerticalScroller(true);
    scroll->setAutohidesScrollers(false);
    scroll->setScrollerStyle(ui::ScrollerStyle::legacy);
    scroll->setVerticalScroller(slimScroller);
    scroll->setDocumentView(body);
    addSubview(scroll);
    scroll->contentView().setPostsBoundsChangedNotifications(true);
    scroll->contentView().boundsChangedAction = [this] { syncScroller(); };

    // One card per module, each with its switch.
    const std::pair<ModuleKind, std::shared_ptr<CompactSwitch>> toggles[] = {
        {ModuleKind::memory, memorySwitch},   {ModuleKind::fan, fanSwitch},
        {ModuleKind::network, networkSwitch}, {ModuleKind::temperature, temperatureSwitch},
        {ModuleKind::compute, computeSwitch}, {ModuleKind::devices, devicesSwitch}};
    for (const auto& [kind, toggle] : toggles) {
        auto card = std::make_shared<ModuleSectionView>(kind, toggle, this);
        cards.emplace(kind, card);
        body->addSubview(card);
    }

    // The memory card's status line and activity button.
    ui::View& memoryContent = cards.at(ModuleKind::memory)->content();
    syncStatus->setAlignment(ui::TextAlignment::right);
    memoryContent.addSubview(syncStatus);
    activityIcon->setImageScaling(ui::ImageScaling::proportionallyDown);
    activityIcon->setBordered(false);
    memoryContent.addSubview(activityIcon);

    // The cards' choices.
    const std::pair<std::shared_ptr<ThemeSegments>, ModuleKind> choices[] = {
        {displayChoice, ModuleKind::memory},
        {memoryChartChoice, ModuleKind::memory},
        {fanChoice, ModuleKind::fan},
        {animationChoice, ModuleKind::fan},
        {networkColorChoice, ModuleKind::network},
        {computeChoice, ModuleKind::compute},
        {temperatureChoice, ModuleKind::temperature}};
    for (const auto& [choice, kind] : choices) {
        cards.at(kind)->content().addSubview(choice);
        choice->setFont(gfx::Font::system(cardChoiceFontSize));
        for (int segment = 0; segment < choice->segmentCount(); ++segment)
            choice->setWidth(fullChoiceWidth / choice->segmentCount(), segment);
    }

    // The theme colour button and its caption.
    colorChoice = std::make_shared<ModuleColorButton>(ColorSlot::theme, this);
    body->addSubview(colorChoice);
    themeColorLabel->setTextColor(gfx::Color::secondaryLabel());
    body->addSubview(themeColorLabel);

    // Every control reports to its action method.
    const std::pair<std::shared_ptr<ui::Control>, void (DetailView::*)()> targets[] = {
        {memorySwitch, &DetailView::doMemory},
        {fanSwitch, &DetailView::doEnabled},
        {networkSwitch, &DetailView::doNetwork},
        {temperatureSwitch, &DetailView::doTemperature},
        {computeSwitch, &DetailView::doCompute},
        {devicesSwitch, &DetailView::doDevices},
        {displayChoice, &DetailView::doDisplay},
        {fanChoice, &DetailView::doFan},
        {animationChoice, &DetailView::doAnimation},
        {networkColorChoice, &DetailView::doNetworkColor},
        {memoryChartChoice, &DetailView::doMemoryChart},
        {networkChartSwitch, &DetailView::doNetworkChart},
        {temperatureChoice, &DetailView::doTemperatureDisplay},
        {computeChoice, &DetailView::doComputeDisplay},
        {chartLengthSlider, &DetailView::doChartLength},
        {gapSlider, &DetailView::doGap},
        {sortDone, &DetailView::doFinishSorting},
        {opacitySlider, &DetailView::doOpacity},
        {settingsButton, &DetailView::doSettings},
        {presentationChoice, &DetailView::doPresentation},
        {activityIcon, &DetailView::doOpen}};
    for (const auto& [control, method] : targets)
        control->setAction([this, method = method](ui::Control&) { (this->*method)(); });

    // The network card's chart switch, the small neutral kind.
    networkChartSwitch->setSecondary(true);
    networkChartSwitch->setFrameSize({34, 15});
    cards.at(ModuleKind::network)->content().addSubview(networkChartSwitch);

    // The strip sliders live in the view (the layout places them).
    addSubview(chartLengthSlider);
    addSubview(gapSlider);

    // The finish-sorting button and the opacity slider.
    sortDone->setFont(gfx::Font::system(cardChoiceFontSize));
    sortDone->setWidth(56, 0);
    addSubview(sortDone);
    addSubview(opacitySlider);

    // The gear and the presentation switch.
    settingsButton->setImage(gfx::symbolImage("gearshape", {.pointSize = 14}));
    settingsButton->setBordered(false);
    settingsButton->setImagePosition(ui::ImagePosition::imageOnly);
    addSubview(settingsButton);
    presentationChoice->setFont(gfx::Font::system(10));
    addSubview(presentationChoice);

    // One colour button per module slot, on its module's card.
    for (ModuleKind kind : allModuleKinds) {
        for (ColorSlot slot : colorSlots(kind)) {
            auto button = std::make_shared<ModuleColorButton>(slot, this);
            colorButtons.emplace(slot, button);
            cards.at(kind)->addSubview(button);
        }
    }

    layoutSections();
}

bool DetailView::reduceMotionOn() {
    ui::Application* app = ui::Application::current();
    return app && app->workspace().accessibilityDisplayShouldReduceMotion();
}

DetailView::~DetailView() {
    stopDeviceCardClock();
    scroll->contentView().boundsChangedAction = nullptr;
    for (auto& control : allControls())
        control->setAction(nullptr);
    for (auto& [kind, card] : cards)
        card->owner = nullptr;
    for (auto& [slot, button] : colorButtons)
        button->owner = nullptr;
    colorChoice->owner = nullptr;
}

std::vector<std::shared_ptr<ui::Control>> DetailView::allControls() const {
    return {memorySwitch,       fanSwitch,         networkSwitch,      temperatureSwitch,
            computeSwitch,      devicesSwitch,     networkChartSwitch, presentationChoice,
            displayChoice,      memoryChartChoice, fanChoice,          animationChoice,
            networkColorChoice, temperatureChoice, computeChoice,      sortDone,
            chartLengthSlider,  gapSlider,         opacitySlider,      activityIcon,
            settingsButton};
}

void DetailView::setDevicesSnapshot(std::vector<ExternalDevice> devices) {
    const auto previous = std::exchange(devicesSnapshot_, std::move(devices));
    std::set<std::string> previousIDs;
    for (const auto& device : previous)
        previousIDs.insert(device.id);
    std::set<std::string> currentIDs;
    for (const auto& device : devicesSnapshot_)
        currentIDs.insert(device.id);
    std::erase_if(deviceArrivals_,
                  [&](const auto& entry) { return !currentIDs.contains(entry.first); });
    const double now = dispatch::RunLoop::main().clock().now();
    for (const auto& id : currentIDs)
        if (!previousIDs.contains(id))
            deviceArrivals_.try_emplace(id, now);
    startDeviceCardClock();
}

void DetailView::startDeviceCardClock() {
    if (!window() || !isSectionExpanded(ModuleKind::devices) || deviceArrivals_.empty() ||
        reduceMotionOn() || deviceCardClock_)
        return;
    if (!window()->screen() && !ui::Screen::mainScreen())
        return;
    // Ages are measured from the clock's frames: start from now, not from a frame long past.
    deviceCardNow = dispatch::RunLoop::main().clock().now();
    std::weak_ptr<View> weak = weak_from_this();
    deviceCardClock_ = std::make_unique<anim::AnimationFrameClock>([weak](double now) {
        if (auto view = std::static_pointer_cast<DetailView>(weak.lock()))
            view->tickDeviceCardClock(now);
    });
}

void DetailView::tickDeviceCardClock(double now) {
    deviceCardNow = now;
    std::erase_if(deviceArrivals_,
                  [now](const auto& entry) { return now - entry.second >= deviceArrivalDuration; });
    cards.at(ModuleKind::devices)->content().setNeedsDisplay(true);
    if (deviceArrivals_.empty() || !window() || !isSectionExpanded(ModuleKind::devices))
        stopDeviceCardClock();
}

void DetailView::stopDeviceCardClock() {
    if (!deviceCardClock_)
        return;
    deviceCardClock_->stop();
    // Dropped on the next turn: this may run inside the clock's own handler.
    dispatch::RunLoop::main().queue().async(
        [clock = std::shared_ptr<anim::AnimationFrameClock>(std::move(deviceCardClock_))] {});
}

void DetailView::viewDidMoveToWindow() {
    if (window()) {
        startDeviceCardClock();
        return;
    }
    stopDeviceCardClock();
    // The release of a drag cut short by the popover closing never comes.
    endCardDrag();
}

void DetailView::cancelOperation(const ui::Event&) {
    if (isSorting) {
        isSorting = false;
        refreshControls();
        if (sortingAction)
            sortingAction();
        return;
    }
    if (dismissAction)
        dismissAction();
}

void DetailView::setFrameSize(gfx::Size size) {
    const bool changed = size != frame().size;
    View::setFrameSize(size);
    if (changed) {
        layoutSections();
        if (focusAwaitsWidth_ && size.width == contentWidth()) {
            focusAwaitsWidth_ = false;
            scrollToPriority();
        }
        setNeedsDisplay(true);
    }
}

void DetailView::prioritize(std::optional<ModuleKind> module) {
    if (isSorting) {
        isSorting = false;
        refreshControls();
    }
    priority = module;
    if (module) {
        temporarilyCollapsed.clear();
        for (auto kind : allModuleKinds)
            if (kind != *module)
                temporarilyCollapsed.insert(kind);
        collapsed.erase(*module);
    } else {
        temporarilyCollapsed.clear();
    }
    animatedLayout = false;
    layoutSections();
    scrollToPriority();
    // A presentation change asks for a new width after this: the overview's grid places the
    // card anew at that width, and only then is its place known.
    focusAwaitsWidth_ = bounds().width() != contentWidth();
    startDeviceCardClock();
}

void DetailView::scrollToPriority() {
    double offset = 0;
    if (priority && cards.contains(*priority) && cards.at(*priority)->superview())
        offset = std::max(0.0, std::min(contentHeight() - scroll->contentView().bounds().height(),
                                        cards.at(*priority)->frame().minY()));
    scroll->scrollTo({0, offset});
    syncScroller();
}

void DetailView::toggleSection(ModuleKind module) {
    if (!isModuleEnabled(module) || presentation != DetailPresentation::details)
        return;
    if (isSectionExpanded(module)) {
        collapsed.insert(module);
    } else {
        temporarilyCollapsed.erase(module);
        collapsed.erase(module);
    }
    if (disclosureAction)
        disclosureAction(collapsed);
    animatedLayout = true;
    layoutSections();
    // A device that arrived while its card was closed still comes in when the card opens.
    startDeviceCardClock();
}

void DetailView::expandSection(ModuleKind module) {
    const bool wasTemporary = temporarilyCollapsed.erase(module) > 0;
    const bool wasCollapsed = collapsed.erase(module) > 0;
    if ((wasTemporary || wasCollapsed) && disclosureAction)
        disclosureAction(collapsed);
}

void DetailView::adoptStatusOrder(const std::vector<ModuleKind>& newOrder) {
    if (!isSorting)
        return;
    std::vector<std::string> names;
    for (auto kind : newOrder)
        names.emplace_back(toString(kind));
    order = parseOrder(names);
    if (orderAction)
        orderAction(order);
    animatedLayout = true;
    layoutSections();
}

void DetailView::hideModuleWhileSorting(ModuleKind module) {
    if (!isSorting || !isModuleEnabled(module))
        return;
    const std::function<void(bool)>* action = nullptr;
    switch (module) {
    case ModuleKind::memory:
        action = &memoryAction;
        break;
    case ModuleKind::fan:
        action = &enabledAction;
        break;
    case ModuleKind::network:
        action = &networkAction;
        break;
    case ModuleKind::temperature:
        action = &temperatureAction;
        break;
    case ModuleKind::compute:
        action = &computeAction;
        break;
    case ModuleKind::devices:
        action = &devicesAction;
        break;
    }
    if (action && *action)
        (*action)(false);
}

std::shared_ptr<LiveSettingsMenu> DetailView::makeSettingsMenu() {
    return pulsedeck::makeSettingsMenu(
        std::static_pointer_cast<DetailView>(weak_from_this().lock()),
        productPageURL("/privacy").has_value());
}

} // namespace pulsedeck
