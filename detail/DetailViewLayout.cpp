#include "controls/ThemeSlider.h"
#include "detail/ActivityIconButton.h"
#include "detail/CompactSwitch.h"
#include "detail/DetailDocumentView.h"
#include "detail/DetailView.h"
#include "detail/ModuleColorButton.h"
#include "detail/ModuleSectionView.h"
#include "detail/SettingsIconButton.h"
#include "detail/SlimScroller.h"
#include "detail/ThemeSegments.h"
#include "platform/graphics/AttributedString.h"
#include "platform/toolkit/Screen.h"
#include "platform/toolkit/Window.h"

#include <algorithm>
#include <array>

namespace pulsedeck {

namespace {

constexpr double colorButtonX = 96;
constexpr double themeLabelWidth = 108;
constexpr double themeLabelFontSize = 11;

// Setters that leave a control alone when it already shows the value, so a steady relayout
// touches nothing.
void setSegmentWidths(ThemeSegments& choice, double width) {
    for (int segment = 0; segment < choice.segmentCount(); ++segment)
        if (choice.width(segment) != width)
            choice.setWidth(width, segment);
}

void moveInto(ui::View& parent, const std::shared_ptr<ui::View>& view) {
    if (view->superview() != &parent)
        parent.addSubview(view);
}

const gfx::Rect& region(const SectionRegions& regions, std::string_view name) {
    static const gfx::Rect none;
    auto found = regions.find(name);
    return found == regions.end() ? none : found->second;
}

} // namespace

bool DetailView::isSectionExpanded(ModuleKind module) const {
    if (!state_.module(module).on())
        return false;
    if (state_.look.presentation == DetailPresentation::overview)
        return true;
    return (!state_.look.collapsed.contains(module) || openedByFocus_.contains(module)) &&
           !temporarilyCollapsed_.contains(module);
}

std::vector<bool> DetailView::devicesWithCapacity() const {
    std::vector<bool> capacities;
    capacities.reserve(state_.readings.devices.size());
    for (const auto& device : state_.readings.devices)
        capacities.push_back(device.capacity.has_value());
    return capacities;
}

double DetailView::sectionHeight(ModuleKind module) const {
    return detailSectionHeight(module, state_.look.presentation,
                               module == ModuleKind::devices ? devicesWithCapacity()
                                                             : std::vector<bool>{});
}

std::vector<ModuleKind> DetailView::availableModules() const {
    std::vector<ModuleKind> modules;
    for (auto kind : state_.look.modules.order)
        if (state_.module(kind).available)
            modules.push_back(kind);
    return modules;
}

int DetailView::visibleModuleCount() const {
    const auto modules = availableModules();
    return static_cast<int>(std::count_if(modules.begin(), modules.end(),
                                          [&](auto kind) { return state_.module(kind).on(); }));
}

double DetailView::contentHeight() const {
    const auto modules = availableModules();
    if (state_.look.presentation == DetailPresentation::details) {
        if (modules.empty())
            return 28;
        double height = 16;
        for (auto kind : modules)
            height += isSectionExpanded(kind)
                          ? sectionHeight(kind) + cardBottomSpacing + cardHeaderHeight
                          : cardHeaderHeight;
        return height + 12;
    }
    if (modules.empty())
        return 24;
    const int columns = DetailLayout::contentWidth(2, bounds().width() - 8).columns;
    double bottom = 0;
    for (const auto& [kind, frame] : DetailLayout::cardFrames(modules, columns, *this))
        bottom = std::max(bottom, frame.maxY());
    return bottom + 12;
}

double DetailView::footerHeight() const {
    return detailFooterHeight(visibleModuleCount(), state_.look.presentation, contentWidth());
}

std::optional<gfx::Rect> DetailView::screenVisibleFrame() const {
    if (auto* owner = window())
        if (auto screen = owner->screen())
            return screen->visibleFrame();
    if (auto screen = ui::Screen::mainScreen())
        return screen->visibleFrame();
    return std::nullopt;
}

double DetailView::preferredHeight() const {
    const bool overview = state_.look.presentation == DetailPresentation::overview;
    double cap;
    if (auto area = screenVisibleFrame())
        cap = std::max(std::min(area->height() - 80, overview ? 860.0 : 760.0), 360.0);
    else
        cap = std::max(overview ? 820.0 : 760.0, 360.0);
    return std::min(contentHeight() + detailTopBandHeight + footerHeight(), cap);
}

double DetailView::contentWidth() const {
    if (state_.look.presentation == DetailPresentation::details)
        return detailsColumnWidth;
    const auto area = screenVisibleFrame();
    const double available = area ? area->width() - 60 - 8 : screenlessAvailableWidth;
    return 8 + DetailLayout::contentWidth(2, available).width;
}

void DetailView::syncScroller() {
    const ui::ClipView& clip = scroll_->contentView();
    const ui::View* document = clip.documentView();
    const ScrollerFigures figures = scrollerFigures(
        clip.bounds().height(), document ? document->frame().height() : 0, clip.bounds().minY());
    if (scroll_->hasVerticalScroller() != figures.needed)
        scroll_->setHasVerticalScroller(figures.needed);
    if (figures.needed && scroll_->verticalScroller() != slimScroller_.get())
        scroll_->setVerticalScroller(slimScroller_);
    slimScroller_->setHidden(!figures.needed);
    if (slimScroller_->knobProportion() != figures.knobProportion)
        slimScroller_->setKnobProportion(figures.knobProportion);
    if (slimScroller_->doubleValue() != figures.value)
        slimScroller_->setDoubleValue(figures.value);
    slimScroller_->setNeedsDisplay(true);
}

void DetailView::placeColorRows(ModuleKind kind, const SectionRegions& regions, double width) {
    ui::View& content = cards_.at(kind)->content();
    for (ColorSlot slot : colorSlots(kind)) {
        const auto& button = colorButtons_.at(slot);
        button->setHidden(false);
        moveInto(content, button);
        const gfx::Rect& row = region(regions, "color-" + std::string(toString(slot)));
        button->setFrame({colorButtonX, row.minY(), width - colorButtonX, row.height()});
    }
}

void DetailView::placeCardControls(ModuleKind kind, const SectionRegions& regions, double width) {
    const bool off = !state_.module(kind).on();
    ui::View& content = cards_.at(kind)->content();
    auto rightChoice = [&](ThemeSegments& choice, std::string_view name, double segmentWidth) {
        choice.setFrame(
            {width - cardChoiceWidth, region(regions, name).minY(), cardChoiceWidth, 27});
        setSegmentWidths(choice, segmentWidth);
    };
    switch (kind) {
    case ModuleKind::memory: {
        const gfx::Rect& sync = region(regions, "sync");
        syncStatus_->setFrame({0, sync.minY(), width - 28, 17});
        activityIcon_->setFrame({width - 24, sync.minY() - 3, 24, 24});
        displayChoice_->setFrame(region(regions, "display"));
        memoryChartChoice_->setFrame(region(regions, "memoryChartChoice"));
        const std::array<ui::View*, 4> memoryControls = {
            syncStatus_.get(), activityIcon_.get(), displayChoice_.get(), memoryChartChoice_.get()};
        for (ui::View* view : memoryControls)
            view->setHidden(off);
        break;
    }
    case ModuleKind::fan:
        rightChoice(*fanChoice_, "fanTitle", cardChoiceWidth / 2);
        animationChoice_->setFrame(region(regions, "animation"));
        fanChoice_->setHidden(off);
        animationChoice_->setHidden(off);
        break;
    case ModuleKind::network: {
        networkColorChoice_->setFrame(region(regions, "networkColorChoice"));
        const gfx::Rect& row = region(regions, "networkShowChart");
        const gfx::Size size = networkChartSwitch_->frame().size;
        networkChartSwitch_->setFrameOrigin({width - size.width, row.midY() - size.height / 2});
        networkColorChoice_->setHidden(off);
        networkChartSwitch_->setHidden(off);
        break;
    }
    case ModuleKind::temperature:
        rightChoice(*temperatureChoice_, "temperatureDisplay", cardChoiceWidth / 2);
        temperatureChoice_->setHidden(off);
        break;
    case ModuleKind::compute:
        rightChoice(*computeChoice_, "computeDisplay", cardChoiceWidth / 3);
        computeChoice_->setHidden(off);
        break;
    case ModuleKind::devices:
        break;
    }
    for (ThemeSegments* choice : {displayChoice_.get(), memoryChartChoice_.get(),
                                  animationChoice_.get(), networkColorChoice_.get()})
        if (choice->superview() == &content)
            setSegmentWidths(*choice, choice->frame().width() / choice->segmentCount());
}

void DetailView::layoutSection(ModuleKind kind, double width, bool animated) {
    ModuleSectionView& card = *cards_.at(kind);
    const bool expanded = isSectionExpanded(kind);
    card.animateContent(expanded, animated);
    const double height = sectionHeight(kind);
    card.content().setFrame({cardContentX, cardHeaderHeight, width, height});
    card.content().setHidden(!expanded);
    SectionRegions regions = pulsedeck::sectionRegions(
        kind, state_.look.presentation, width, height,
        kind == ModuleKind::devices ? devicesWithCapacity() : std::vector<bool>{});
    placeColorRows(kind, regions, width);
    placeCardControls(kind, regions, width);
    sectionRegions_[kind] = std::move(regions);
}

void DetailView::layoutSections(bool animated) {
    const double width = bounds().width();
    const double height = bounds().height();
    const double footer = footerHeight();
    const gfx::Rect scrollFrame{0, footer, width,
                                std::max(0.0, height - footer - detailTopBandHeight)};

    // The bands' fixed controls.
    scroll_->setFrame(scrollFrame);
    settingsButton_->setFrame({width - 44, 9, 26, 26});
    sortDone_->setHidden(true);
    sortDone_->setFrame({width - 74, height - 37, 56, 26});
    presentationChoice_->setFrame({18, height - 72, width - 36, 25});
    setSegmentWidths(*presentationChoice_, (width - 36) / 2);
    syncScroller();
    setNeedsDisplay(true);

    lastLayoutRequestedAnimation_ = animated;
    animated = animated && initializedLayout_ && window() && !reduceMotionOn();
    const double remembered = scroll_->contentView().bounds().minY();

    // The cards.
    const double documentHeight = contentHeight();
    body_->setFrame({body_->frame().origin, {width - 8, documentHeight}});
    for (auto& [kind, card] : cards_)
        card->setHidden(!state_.module(kind).available);
    const auto modules = availableModules();
    const bool overview = state_.look.presentation == DetailPresentation::overview;
    std::map<ModuleKind, gfx::Rect> grid;
    if (overview)
        grid = DetailLayout::cardFrames(modules, DetailLayout::contentWidth(2, width - 8).columns,
                                        *this);
    double top = 8;
    for (ModuleKind kind : modules) {
        auto gridFrame = grid.find(kind);
        const gfx::Rect* frame = gridFrame == grid.end() ? nullptr : &gridFrame->second;
        layoutSection(kind, cardContentWidth(state_.look.presentation, frame), animated);
        ModuleSectionView& card = *cards_.at(kind);
        if (overview) {
            if (frame)
                card.animateCard(*frame, animated);
        } else {
            const double cardHeight =
                isSectionExpanded(kind) ? cardHeaderHeight + sectionHeight(kind) + cardBottomSpacing
                                        : cardHeaderHeight;
            card.animateCard({0, top, detailsColumnWidth, cardHeight}, animated);
            top += cardHeight;
        }
        card.updateDisclosure();
    }
    colorChoice_->setHidden(false);

    // The bottom band.
    settingsButton_->setFrame({width - 44, 9, 26, 26});
    opacitySlider_->setFrame({132, 49, std::max(width - 192, 50.0), 22});
    const ui::ClipView& clip = scroll_->contentView();
    const double offset = clampedScrollOffset(remembered, documentHeight, clip.bounds().height());
    if (clip.bounds().minY() != offset)
        scroll_->scrollTo({clip.bounds().minX(), offset});
    syncScroller();
    moveInto(*this, chartLengthSlider_);
    moveInto(*this, gapSlider_);
    const int visible = visibleModuleCount();
    const StripSliderFrames sliders =
        stripSliderFrames(width, state_.look.presentation, contentWidth(), visible);
    chartLengthSlider_->setFrame(sliders.chartLength);
    gapSlider_->setFrame(sliders.gap);
    chartLengthSlider_->setHidden(sliders.chartLengthHidden);
    gapSlider_->setHidden(sliders.gapHidden);

    // The theme colour row of the top band.
    moveInto(*this, themeColorLabel_);
    moveInto(*this, colorChoice_);
    colorChoice_->setFrame({width - 180, height - 105, 162, 26});
    themeColorLabel_->setFrame({18, colorChoice_->frame().minY() + 5, themeLabelWidth, 17});
    const gfx::Font natural = gfx::Font::system(themeLabelFontSize, gfx::FontWeight::medium);
    const double labelWidth =
        gfx::textSize(themeColorLabel_->stringValue(), {.font = natural}).width;
    const gfx::Font fitted = gfx::Font::system(
        fittedFontSize(labelWidth, themeLabelWidth, themeLabelFontSize), gfx::FontWeight::medium);
    if (!(themeColorLabel_->font() == fitted))
        themeColorLabel_->setFont(fitted);

    // The body holds the shown cards in order, then what passes over them: a drag ghost and
    // any fading snapshot still in its animation stay until their owner takes them away.
    std::vector<std::shared_ptr<ui::View>> held;
    for (ModuleKind kind : modules)
        held.push_back(cards_.at(kind));
    for (const auto& subview : body_->subviews()) {
        const bool isCard = std::any_of(cards_.begin(), cards_.end(),
                                        [&](const auto& entry) { return entry.second == subview; });
        if (!isCard && subview != dragGhost_)
            held.push_back(subview);
    }
    if (dragGhost_)
        held.push_back(dragGhost_);
    if (held != body_->subviews())
        body_->setSubviews(std::move(held));

    initializedLayout_ = true;
    body_->setNeedsDisplay(true);
}

} // namespace pulsedeck
