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

bool DetailView::isModuleEnabled(ModuleKind module) const {
    switch (module) {
    case ModuleKind::memory:
        return memoryEnabled;
    case ModuleKind::fan:
        return fanEnabled;
    case ModuleKind::network:
        return networkEnabled;
    case ModuleKind::temperature:
        return temperatureEnabled;
    case ModuleKind::compute:
        return computeEnabled;
    case ModuleKind::devices:
        return devicesEnabled;
    }
    return false;
}

bool DetailView::isSectionExpanded(ModuleKind module) const {
    if (!isModuleEnabled(module))
        return false;
    if (presentation == DetailPresentation::overview)
        return true;
    return !collapsed.contains(module) && !temporarilyCollapsed.contains(module);
}

std::vector<bool> DetailView::devicesWithCapacity() const {
    std::vector<bool> capacities;
    capacities.reserve(devicesSnapshot_.size());
    for (const auto& device : devicesSnapshot_)
        capacities.push_back(device.capacity.has_value());
    return capacities;
}

double DetailView::sectionHeight(ModuleKind module) const {
    return detailSectionHeight(module, presentation,
                               module == ModuleKind::devices ? devicesWithCapacity()
                                                             : std::vector<bool>{});
}

std::vector<ModuleKind> DetailView::availableModules() const {
    std::vector<ModuleKind> modules;
    for (auto kind : order) {
        if (kind == ModuleKind::fan && !fanAvailable)
            continue;
        if (kind == ModuleKind::temperature && !temperatureAvailable)
            continue;
        modules.push_back(kind);
    }
    return modules;
}

int DetailView::visibleModuleCount() const {
    const auto modules = availableModules();
    return static_cast<int>(std::count_if(modules.begin(), modules.end(),
                                          [&](auto kind) { return isModuleEnabled(kind); }));
}

double DetailView::contentHeight() const {
    const auto modules = availableModules();
    if (presentation == DetailPresentation::details) {
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
    return detailFooterHeight(visibleModuleCount(), presentation, contentWidth());
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
    const bool overview = presentation == DetailPresentation::overview;
    double cap;
    if (auto area = screenVisibleFrame())
        cap = std::max(std::min(area->height() - 80, overview ? 860.0 : 760.0), 360.0);
    else
        cap = std::max(overview ? 820.0 : 760.0, 360.0);
    return std::min(contentHeight() + detailTopBandHeight + footerHeight(), cap);
}

double DetailView::contentWidth() const {
    if (presentation == DetailPresentation::details)
        return detailsColumnWidth;
    const auto area = screenVisibleFrame();
    const double available = area ? area->width() - 60 - 8 : screenlessAvailableWidth;
    return 8 + DetailLayout::contentWidth(2, available).width;
}

void DetailView::syncScroller() {
    const ui::ClipView& clip = scroll->contentView();
    const ui::View* document = clip.documentView();
    const ScrollerFigures figures = scrollerFigures(
        clip.bounds().height(), document ? document->frame().height() : 0, clip.bounds().minY());
    if (scroll->hasVerticalScroller() != figures.needed)
        scroll->setHasVerticalScroller(figures.needed);
    if (figures.needed && scroll->verticalScroller() != slimScroller.get())
        scroll->setVerticalScroller(slimScroller);
    slimScroller->setHidden(!figures.needed);
    if (slimScroller->knobProportion() != figures.knobProportion)
        slimScroller->setKnobProportion(figures.knobProportion);
    if (slimScroller->doubleValue() != figures.value)
        slimScroller->setDoubleValue(figures.value);
    slimScroller->setNeedsDisplay(true);
}

void DetailView::placeColorRows(ModuleKind kind, const SectionRegions& regions, double width) {
    ui::View& content = cards.at(kind)->content();
    for (ColorSlot slot : colorSlots(kind)) {
        const auto& button = colorButtons.at(slot);
        button->setHidden(false);
        moveInto(content, button);
        const gfx::Rect& row = region(regions, "color-" + std::string(toString(slot)));
        button->setFrame({colorButtonX, row.minY(), width - colorButtonX, row.height()});
    }
}

void DetailView::placeCardControls(ModuleKind kind, const SectionRegions& regions, double width) {
    const bool off = !isModuleEnabled(kind);
    ui::View& content = cards.at(kind)->content();
    auto rightChoice = [&](ThemeSegments& choice, std::string_view name, double segmentWidth) {
        choice.setFrame(
            {width - cardChoiceWidth, region(regions, name).minY(), cardChoiceWidth, 27});
        setSegmentWidths(choice, segmentWidth);
    };
    switch (kind) {
    case ModuleKind::memory: {
        const gfx::Rect& sync = region(regions, "sync");
        syncStatus->setFrame({0, sync.minY(), width - 28, 17});
        activityIcon->setFrame({width - 24, sync.minY() - 3, 24, 24});
        displayChoice->setFrame(region(regions, "display"));
        memoryChartChoice->setFrame(region(regions, "memoryChartChoice"));
        const std::array<ui::View*, 4> memoryControls = {
            syncStatus.get(), activityIcon.get(), displayChoice.get(), memoryChartChoice.get()};
        for (ui::View* view : memoryControls)
            view->setHidden(off);
        break;
    }
    case ModuleKind::fan:
        rightChoice(*fanChoice, "fanTitle", cardChoiceWidth / 2);
        animationChoice->setFrame(region(regions, "animation"));
        fanChoice->setHidden(off);
        animationChoice->setHidden(off);
        break;
    case ModuleKind::network: {
        networkColorChoice->setFrame(region(regions, "networkColorChoice"));
        const gfx::Rect& row = region(regions, "networkShowChart");
        const gfx::Size size = networkChartSwitch->frame().size;
        networkChartSwitch->setFrameOrigin({width - size.width, row.midY() - size.height / 2});
        networkColorChoice->setHidden(off);
        networkChartSwitch->setHidden(off);
        break;
    }
    case ModuleKind::temperature:
        rightChoice(*temperatureChoice, "temperatureDisplay", cardChoiceWidth / 2);
        temperatureChoice->setHidden(off);
        break;
    case ModuleKind::compute:
        rightChoice(*computeChoice, "computeDisplay", cardChoiceWidth / 3);
        computeChoice->setHidden(off);
        break;
    case ModuleKind::devices:
        break;
    }
    for (ThemeSegments* choice : {displayChoice.get(), memoryChartChoice.get(),
                                  animationChoice.get(), networkColorChoice.get()})
        if (choice->superview() == &content)
            setSegmentWidths(*choice, choice->frame().width() / choice->segmentCount());
}

void DetailView::layoutSection(ModuleKind kind, double width, bool animated) {
    ModuleSectionView& card = *cards.at(kind);
    const bool expanded = isSectionExpanded(kind);
    card.animateContent(expanded, animated);
    const double height = sectionHeight(kind);
    card.content().setFrame({cardContentX, cardHeaderHeight, width, height});
    card.content().setHidden(!expanded);
    SectionRegions regions = pulsedeck::sectionRegions(
        kind, presentation, width, height,
        kind == ModuleKind::devices ? devicesWithCapacity() : std::vector<bool>{});
    placeColorRows(kind, regions, width);
    placeCardControls(kind, regions, width);
    sectionRegions[kind] = std::move(regions);
}

void DetailView::layoutSections() {
    const double width = bounds().width();
    const double height = bounds().height();
    const double footer = footerHeight();
    const gfx::Rect scrollFrame{0, footer, width,
                                std::max(0.0, height - footer - detailTopBandHeight)};

    // The bands' fixed controls.
    scroll->setFrame(scrollFrame);
    settingsButton->setFrame({width - 44, 9, 26, 26});
    sortDone->setHidden(true);
    sortDone->setFrame({width - 74, height - 37, 56, 26});
    presentationChoice->setFrame({18, height - 72, width - 36, 25});
    setSegmentWidths(*presentationChoice, (width - 36) / 2);
    syncScroller();
    setNeedsDisplay(true);

    const bool animated = animatedLayout && initializedLayout_ && window() && !reduceMotionOn();
    lastLayoutRequestedAnimation_ = animatedLayout;
    animatedLayout = false;
    const double remembered = scroll->contentView().bounds().minY();

    // The cards.
    const double documentHeight = contentHeight();
    body->setFrame({body->frame().origin, {width - 8, documentHeight}});
    cards.at(ModuleKind::fan)->setHidden(!fanAvailable);
    cards.at(ModuleKind::temperature)->setHidden(!temperatureAvailable);
    const auto modules = availableModules();
    const bool overview = presentation == DetailPresentation::overview;
    std::map<ModuleKind, gfx::Rect> grid;
    if (overview)
        grid = DetailLayout::cardFrames(modules, DetailLayout::contentWidth(2, width - 8).columns,
                                        *this);
    double top = 8;
    for (ModuleKind kind : modules) {
        auto gridFrame = grid.find(kind);
        const gfx::Rect* frame = gridFrame == grid.end() ? nullptr : &gridFrame->second;
        layoutSection(kind, cardContentWidth(presentation, frame), animated);
        ModuleSectionView& card = *cards.at(kind);
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
    colorChoice->setHidden(false);

    // The bottom band.
    settingsButton->setFrame({width - 44, 9, 26, 26});
    opacitySlider->setFrame({132, 49, std::max(width - 192, 50.0), 22});
    const ui::ClipView& clip = scroll->contentView();
    const double offset = clampedScrollOffset(remembered, documentHeight, clip.bounds().height());
    if (clip.bounds().minY() != offset)
        scroll->scrollTo({clip.bounds().minX(), offset});
    syncScroller();
    moveInto(*this, chartLengthSlider);
    moveInto(*this, gapSlider);
    const int visible = visibleModuleCount();
    const StripSliderFrames sliders =
        stripSliderFrames(width, presentation, contentWidth(), visible);
    chartLengthSlider->setFrame(sliders.chartLength);
    gapSlider->setFrame(sliders.gap);
    chartLengthSlider->setHidden(sliders.chartLengthHidden);
    gapSlider->setHidden(sliders.gapHidden);

    // The theme colour row of the top band.
    moveInto(*this, themeColorLabel);
    moveInto(*this, colorChoice);
    colorChoice->setFrame({width - 180, height - 105, 162, 26});
    themeColorLabel->setFrame({18, colorChoice->frame().minY() + 5, themeLabelWidth, 17});
    const gfx::Font natural = gfx::Font::system(themeLabelFontSize, gfx::FontWeight::medium);
    const double labelWidth =
        gfx::textSize(themeColorLabel->stringValue(), {.font = natural}).width;
    const gfx::Font fitted = gfx::Font::system(
        fittedFontSize(labelWidth, themeLabelWidth, themeLabelFontSize), gfx::FontWeight::medium);
    if (!(themeColorLabel->font() == fitted))
        themeColorLabel->setFont(fitted);

    // The body holds the shown cards in order, then what passes over them: a drag ghost and
    // any fading snapshot still in its animation stay until their owner takes them away.
    std::vector<std::shared_ptr<ui::View>> held;
    for (ModuleKind kind : modules)
        held.push_back(cards.at(kind));
    for (const auto& subview : body->subviews()) {
        const bool isCard = std::any_of(cards.begin(), cards.end(),
                                        [&](const auto& entry) { return entry.second == subview; });
        if (!isCard && subview != dragGhost)
            held.push_back(subview);
    }
    if (dragGhost)
        held.push_back(dragGhost);
    if (held != body->subviews())
        body->setSubviews(std::move(held));

    initializedLayout_ = true;
    body->setNeedsDisplay(true);
}

} // namespace pulsedeck
