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
#include <iterator>
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
    : View(frame), deviceCardNow_(dispatch::RunLoop::main().clock().now()) {
    // Until the controller feeds it, the view speaks the desktop's language and describes an
    // empty reading of this machine taken now.
    state_.language = resolve("system", foundation::preferredLanguages());
    state_.readings.memory.sampledAt = std::chrono::system_clock::now();
    state_.readings.compute.cpuCores = foundation::processInfo::processorCount();
    // The controls, with empty texts until the first refresh gives them their words.
    networkChartSwitch_ = std::make_shared<CompactSwitch>(gfx::Point{});
    presentationChoice_ = makeSegments(2);
    memoryChartChoice_ = makeSegments(2);
    temperatureChoice_ = makeSegments(2);
    fanChoice_ = makeSegments(2);
    networkColorChoice_ = makeSegments(2);
    computeChoice_ = makeSegments(3);
    animationChoice_ = makeSegments(3);
    displayChoice_ = makeSegments(3);
    sortDone_ = makeSegments(1);
    sortDone_->setTrackingMode(ui::SegmentTracking::momentary);
    chartLengthSlider_ =
        makeSlider(LookBounds::standardChart, LookBounds::shortestChart, LookBounds::longestChart);
    gapSlider_ = makeSlider(LookBounds::standardGap, 0, LookBounds::widestGap);
    opacitySlider_ = makeSlider(LookBounds::maximumOpacity, LookBounds::minimumOpacity,
                                LookBounds::maximumOpacity);
    syncStatus_ = makeLabel();
    themeColorLabel_ = makeLabel();
    activityIcon_ = std::make_shared<ActivityIconButton>(gfx::Rect{0, 0, 24, 24});
    settingsButton_ = std::make_shared<SettingsIconButton>(gfx::Rect{0, 0, 26, 26});
    scroll_ = std::make_shared<ui::ScrollView>();
    slimScroller_ = std::make_shared<SlimScroller>();
    body_ = std::make_shared<DetailDocumentView>();
    const std::string bundleName = foundation::Bundle::main().displayName();
    appTitle_ = bundleName.empty() ? "Pulsedeck" : bundleName;

    // The scroll view: no background, no border, a slim scroller that never hides itself.
    scroll_->setDrawsBackground(false);
    scroll_->setHasVerticalScroller(true);
    scroll_->setAutohidesScrollers(false);
    scroll_->setScrollerStyle(ui::ScrollerStyle::legacy);
    scroll_->setVerticalScroller(slimScroller_);
    scroll_->setDocumentView(body_);
    addSubview(scroll_);
    scroll_->contentView().setPostsBoundsChangedNotifications(true);
    scroll_->contentView().boundsChangedAction = [this] { syncScroller(); };

    // One card per module, each with its switch.
    for (ModuleKind kind : allModuleKinds) {
        auto toggle = std::make_shared<CompactSwitch>(gfx::Point{});
        toggle->setAction([this, kind](ui::Control&) { doSwitch(kind); });
        auto card = std::make_shared<ModuleSectionView>(kind, std::move(toggle), this);
        cards_.emplace(kind, card);
        body_->addSubview(card);
    }

    // The memory card's status line and activity button.
    ui::View& memoryContent = cards_.at(ModuleKind::memory)->content();
    syncStatus_->setAlignment(ui::TextAlignment::right);
    syncStatus_->setFont(gfx::Font::system(10));
    syncStatus_->setTextColor(gfx::Color::secondaryLabel());
    memoryContent.addSubview(syncStatus_);
    activityIcon_->setImageScaling(ui::ImageScaling::proportionallyDown);
    activityIcon_->setBordered(false);
    memoryContent.addSubview(activityIcon_);

    // The devices card reads as one text.
    ui::View& devicesContent = cards_.at(ModuleKind::devices)->content();
    devicesContent.setAccessibilityElement(true);
    devicesContent.setAccessibilityRole(ui::AccessibilityRole::staticText);

    // The cards' choices.
    const std::pair<std::shared_ptr<ThemeSegments>, ModuleKind> choices[] = {
        {displayChoice_, ModuleKind::memory},
        {memoryChartChoice_, ModuleKind::memory},
        {fanChoice_, ModuleKind::fan},
        {animationChoice_, ModuleKind::fan},
        {networkColorChoice_, ModuleKind::network},
        {computeChoice_, ModuleKind::compute},
        {temperatureChoice_, ModuleKind::temperature}};
    for (const auto& [choice, kind] : choices) {
        cards_.at(kind)->content().addSubview(choice);
        choice->setFont(gfx::Font::system(cardChoiceFontSize));
        for (int segment = 0; segment < choice->segmentCount(); ++segment)
            choice->setWidth(fullChoiceWidth / choice->segmentCount(), segment);
    }

    // The theme colour button and its caption.
    colorChoice_ = std::make_shared<ModuleColorButton>(ColorSlot::theme, this);
    body_->addSubview(colorChoice_);
    themeColorLabel_->setTextColor(gfx::Color::secondaryLabel());
    body_->addSubview(themeColorLabel_);

    // Every control reports to its action method.
    const std::pair<std::shared_ptr<ui::Control>, void (DetailView::*)()> targets[] = {
        {displayChoice_, &DetailView::doDisplay},
        {fanChoice_, &DetailView::doFan},
        {animationChoice_, &DetailView::doAnimation},
        {networkColorChoice_, &DetailView::doNetworkColor},
        {memoryChartChoice_, &DetailView::doMemoryChart},
        {networkChartSwitch_, &DetailView::doNetworkChart},
        {temperatureChoice_, &DetailView::doTemperatureDisplay},
        {computeChoice_, &DetailView::doComputeDisplay},
        {chartLengthSlider_, &DetailView::doChartLength},
        {gapSlider_, &DetailView::doGap},
        {sortDone_, &DetailView::doFinishSorting},
        {opacitySlider_, &DetailView::doOpacity},
        {settingsButton_, &DetailView::doSettings},
        {presentationChoice_, &DetailView::doPresentation},
        {activityIcon_, &DetailView::doOpen}};
    for (const auto& [control, method] : targets)
        control->setAction([this, method = method](ui::Control&) { (this->*method)(); });

    // The network card's chart switch, the small neutral kind.
    networkChartSwitch_->setSecondary(true);
    networkChartSwitch_->setFrameSize({34, 15});
    cards_.at(ModuleKind::network)->content().addSubview(networkChartSwitch_);

    // The strip sliders live in the view (the layout places them).
    addSubview(chartLengthSlider_);
    addSubview(gapSlider_);

    // The finish-sorting button and the opacity slider.
    sortDone_->setFont(gfx::Font::system(cardChoiceFontSize));
    sortDone_->setWidth(56, 0);
    sortDone_->setSelectedSegment(0);
    addSubview(sortDone_);
    addSubview(opacitySlider_);

    // The gear and the presentation switch.
    settingsButton_->setImage(gfx::symbolImage("gearshape", {.pointSize = 14}));
    settingsButton_->setBordered(false);
    settingsButton_->setImagePosition(ui::ImagePosition::imageOnly);
    addSubview(settingsButton_);
    presentationChoice_->setFont(gfx::Font::system(10));
    addSubview(presentationChoice_);

    // One colour button per module slot, on its module's card.
    for (ModuleKind kind : allModuleKinds) {
        for (ColorSlot slot : colorSlots(kind)) {
            auto button = std::make_shared<ModuleColorButton>(slot, this);
            colorButtons_.emplace(slot, button);
            cards_.at(kind)->addSubview(button);
        }
    }

    refresh(DetailChanges::all(), false);
}

bool DetailView::reduceMotionOn() {
    ui::Application* app = ui::Application::current();
    return app && app->workspace().accessibilityDisplayShouldReduceMotion();
}

DetailView::~DetailView() {
    stopDeviceCardClock();
    scroll_->contentView().boundsChangedAction = nullptr;
    for (auto& control : allControls())
        control->setAction(nullptr);
    for (auto& [kind, card] : cards_) {
        card->toggle()->setAction(nullptr);
        card->owner = nullptr;
    }
    for (auto& [slot, button] : colorButtons_)
        button->owner = nullptr;
    colorChoice_->owner = nullptr;
}

std::vector<std::shared_ptr<ui::Control>> DetailView::allControls() const {
    return {networkChartSwitch_, presentationChoice_, displayChoice_,      memoryChartChoice_,
            fanChoice_,          animationChoice_,    networkColorChoice_, temperatureChoice_,
            computeChoice_,      sortDone_,           chartLengthSlider_,  gapSlider_,
            opacitySlider_,      activityIcon_,       settingsButton_};
}

void DetailView::noteDeviceArrivals(const std::vector<ExternalDevice>& previous) {
    std::set<std::string> previousIDs;
    for (const auto& device : previous)
        previousIDs.insert(device.id);
    std::set<std::string> currentIDs;
    for (const auto& device : state_.readings.devices)
        currentIDs.insert(device.id);
    std::erase_if(deviceArrivals_,
                  [&](const auto& entry) { return !currentIDs.contains(entry.first); });
    const double now = dispatch::RunLoop::main().clock().now();
    for (const auto& id : currentIDs)
        if (!previousIDs.contains(id))
            deviceArrivals_.try_emplace(id, now);
}

void DetailView::startDeviceCardClock() {
    if (!window() || !isSectionExpanded(ModuleKind::devices) || deviceArrivals_.empty() ||
        reduceMotionOn() || deviceCardClock_)
        return;
    if (!window()->screen() && !ui::Screen::mainScreen())
        return;
    // Ages are measured from the clock's frames: start from now, not from a frame long past.
    deviceCardNow_ = dispatch::RunLoop::main().clock().now();
    std::weak_ptr<View> weak = weak_from_this();
    deviceCardClock_ = std::make_unique<anim::AnimationFrameClock>([weak](double now) {
        if (auto view = std::static_pointer_cast<DetailView>(weak.lock()))
            view->tickDeviceCardClock(now);
    });
}

void DetailView::tickDeviceCardClock(double now) {
    deviceCardNow_ = now;
    std::erase_if(deviceArrivals_,
                  [now](const auto& entry) { return now - entry.second >= deviceArrivalDuration; });
    cards_.at(ModuleKind::devices)->content().setNeedsDisplay(true);
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
    if (isSorting_) {
        setSorting(false);
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
        layoutSections(false);
        if (focusAwaitsWidth_ && size.width == contentWidth()) {
            focusAwaitsWidth_ = false;
            scrollToPriority();
        }
        setNeedsDisplay(true);
    }
}

void DetailView::prioritize(std::optional<ModuleKind> module) {
    setSorting(false);
    priority_ = module;
    temporarilyCollapsed_.clear();
    if (module) {
        for (auto kind : allModuleKinds)
            if (kind != *module)
                temporarilyCollapsed_.insert(kind);
        if (state_.look.collapsed.contains(*module))
            openedByFocus_.insert(*module);
    }
    layoutSections(false);
    scrollToPriority();
    // A presentation change asks for a new width after this: the overview's grid places the
    // card anew at that width, and only then is its place known.
    focusAwaitsWidth_ = bounds().width() != contentWidth();
    startDeviceCardClock();
}

void DetailView::scrollToPriority() {
    double offset = 0;
    if (priority_ && cards_.contains(*priority_) && cards_.at(*priority_)->superview())
        offset = std::max(0.0, std::min(contentHeight() - scroll_->contentView().bounds().height(),
                                        cards_.at(*priority_)->frame().minY()));
    scroll_->scrollTo({0, offset});
    syncScroller();
}

std::set<ModuleKind> DetailView::shownCollapsed() const {
    std::set<ModuleKind> shown;
    std::set_difference(state_.look.collapsed.begin(), state_.look.collapsed.end(),
                        openedByFocus_.begin(), openedByFocus_.end(),
                        std::inserter(shown, shown.end()));
    return shown;
}

void DetailView::reportCollapsed(std::set<ModuleKind> collapsed) {
    state_.look.collapsed = std::move(collapsed);
    openedByFocus_.clear();
    editLook([collapsed = state_.look.collapsed](StripLook& look) { look.collapsed = collapsed; });
}

void DetailView::toggleSection(ModuleKind module) {
    if (!state_.module(module).on() || state_.look.presentation != DetailPresentation::details)
        return;
    std::set<ModuleKind> collapsed = shownCollapsed();
    if (isSectionExpanded(module)) {
        collapsed.insert(module);
    } else {
        temporarilyCollapsed_.erase(module);
        collapsed.erase(module);
    }
    reportCollapsed(std::move(collapsed));
    layoutSections(true);
    // A device that arrived while its card was closed still comes in when the card opens.
    startDeviceCardClock();
}

void DetailView::expandSection(ModuleKind module) {
    const bool wasTemporary = temporarilyCollapsed_.erase(module) > 0;
    std::set<ModuleKind> collapsed = shownCollapsed();
    const bool wasCollapsed = collapsed.erase(module) > 0;
    if (!wasTemporary && !wasCollapsed)
        return;
    reportCollapsed(std::move(collapsed));
    layoutSections(true);
}

void DetailView::adoptStatusOrder(const std::vector<ModuleKind>& newOrder) {
    if (!isSorting_)
        return;
    std::vector<std::string> names;
    for (auto kind : newOrder)
        names.emplace_back(toString(kind));
    state_.look.modules.order = parseOrder(names);
    editLook([order = state_.look.modules.order](StripLook& look) { look.modules.order = order; });
    layoutSections(true);
}

void DetailView::hideModuleWhileSorting(ModuleKind module) {
    if (isSorting_ && state_.module(module).on())
        editLook([module](StripLook& look) { look.modules.setShown(module, false); });
}

std::shared_ptr<LiveSettingsMenu> DetailView::makeSettingsMenu() {
    return pulsedeck::makeSettingsMenu(
        std::static_pointer_cast<DetailView>(weak_from_this().lock()),
        productPageURL("/privacy").has_value());
}

} // namespace pulsedeck
