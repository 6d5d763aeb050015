#include "detail/DetailView.h"

#include "platform/dispatch/RunLoop.h"
#include "platform/toolkit/Screen.h"
#include "platform/toolkit/Window.h"

#include <algorithm>
#include <utility>

namespace pulsedeck {

namespace {

// The top band (presentation switch, theme colour) above the cards.
constexpr double topBandHeight = 112;
constexpr double cardHeaderHeight = 40;
constexpr double cardBodySpacing = 12;
constexpr double colorRowsHeight = 36;
constexpr double detailsWidth = 318;
// The available width when there is no screen at all.
constexpr double screenlessWidth = 1132;

// Details-column section heights without their colour rows; the overview's whole heights.
double fixedSectionHeight(ModuleKind module, DetailPresentation presentation) {
    const bool overview = presentation == DetailPresentation::overview;
    switch (module) {
    case ModuleKind::memory:
        return overview ? 264 : 343 + colorRowsHeight;
    case ModuleKind::fan:
        return overview ? 224 : 154 + colorRowsHeight;
    case ModuleKind::network:
        return overview ? 234 : 231 + colorRowsHeight;
    case ModuleKind::temperature:
        return overview ? 204 : 201 + colorRowsHeight;
    case ModuleKind::compute:
        return overview ? 208 : 177 + 2 * colorRowsHeight;
    case ModuleKind::devices:
        return 0;
    }
    return 0;
}

double deviceCardHeight(const ExternalDevice& device) {
    return device.capacity ? 68 : 56;
}

} // namespace

DetailView::DetailView(const gfx::Rect& frame) : View(frame) {}

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
    setNeedsDisplay(true);
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
    setNeedsDisplay(true);
}

void DetailView::hideModuleWhileSorting(ModuleKind module) {
    if (!isSorting || !isEnabled(module))
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

void DetailView::refreshControls() {
    setNeedsDisplay(true);
}

bool DetailView::isEnabled(ModuleKind module) const {
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
    if (!isEnabled(module))
        return false;
    if (presentation == DetailPresentation::overview)
        return true;
    return !collapsed.contains(module) && !temporarilyCollapsed.contains(module);
}

double DetailView::sectionHeight(ModuleKind module) const {
    if (module != ModuleKind::devices)
        return fixedSectionHeight(module, presentation);
    const bool overview = presentation == DetailPresentation::overview;
    if (devicesSnapshot_.empty())
        return overview ? 120 : 88 + colorRowsHeight;
    double height = overview ? 8 + 32 : 24 + colorRowsHeight;
    for (const auto& device : devicesSnapshot_)
        height += overview ? deviceCardHeight(device) - 12 + 8 : deviceCardHeight(device) + 8;
    return height;
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
    return static_cast<int>(
        std::count_if(modules.begin(), modules.end(), [&](auto kind) { return isEnabled(kind); }));
}

double DetailView::contentHeight() const {
    const auto modules = availableModules();
    if (presentation == DetailPresentation::details) {
        if (modules.empty())
            return 28;
        double height = 16;
        for (auto kind : modules)
            height += isSectionExpanded(kind)
                          ? sectionHeight(kind) + cardBodySpacing + cardHeaderHeight
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
    const int visible = visibleModuleCount();
    int rows = 0;
    if (visible >= 1)
        ++rows;
    if (visible >= 2 && (presentation == DetailPresentation::details || contentWidth() < 480))
        ++rows;
    return 80 + 36 * rows;
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
    return std::min(contentHeight() + topBandHeight + footerHeight(), cap);
}

double DetailView::contentWidth() const {
    if (presentation == DetailPresentation::details)
        return detailsWidth;
    const auto area = screenVisibleFrame();
    const double available = area ? area->width() - 60 - 8 : screenlessWidth;
    return 8 + DetailLayout::contentWidth(2, available).width;
}

std::shared_ptr<LiveSettingsMenu> DetailView::makeSettingsMenu() {
    auto menu = LiveSettingsMenu::make(language);
    menu->rebuild = [weakView =
                         std::weak_ptr<View>(weak_from_this())]() -> std::shared_ptr<ui::Menu> {
        if (auto view = std::static_pointer_cast<DetailView>(weakView.lock()))
            return view->makeSettingsMenu();
        return std::make_shared<LiveSettingsMenu>();
    };
    return menu;
}

} // namespace pulsedeck
