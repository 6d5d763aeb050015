#include "detail/SectionContentView.h"

#include "detail/DetailView.h"
#include "detail/ModuleSectionView.h"
#include "detail/SectionContentDrawing.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/toolkit/Workspace.h"

namespace pulsedeck {

SectionContentView::SectionContentView(ModuleKind kind, const ModuleSectionView* card)
    : card(card), kind_(kind) {}

void SectionContentView::drawRect(gfx::Context& context, const gfx::Rect&) {
    if (!card || !card->owner)
        return;
    SectionContent content = sectionContent(*card->owner, kind_, bounds().width(),
                                            dispatch::RunLoop::main().clock().now());
    content.reduceMotion = ui::Workspace::shared().accessibilityDisplayShouldReduceMotion();
    drawSectionContent(context, kind_, content);
}

SectionContent sectionContent(const DetailView& view, ModuleKind kind, double width, double now) {
    SectionContent content;
    if (const auto found = view.sectionRegions.find(kind); found != view.sectionRegions.end())
        content.regions = found->second;
    content.width = width;
    content.presentation = view.presentation;
    content.language = view.language;
    content.moduleColors = view.moduleColors;
    content.normalBlue = view.normalBlue;
    content.memory = view.snapshot;
    content.memoryHistory = view.history;
    content.historyCapacity = view.historyCapacity;
    content.fan = view.fanSnapshot;
    content.fanHistory = view.fanHistory;
    content.fanEnabled = view.fanEnabled;
    content.network = view.networkSnapshot;
    content.networkHistory = view.networkHistory;
    content.networkColored = view.networkColored;
    content.compute = view.computeSnapshot;
    content.computeHistory = view.computeHistory;
    content.temperature = view.temperatureSnapshot;
    content.temperatureHistory = view.temperatureHistory;
    content.devices = view.devicesSnapshot();
    content.deviceArrivals = view.deviceArrivals();
    content.deviceCardNow = view.deviceCardClockRunning() ? view.deviceCardNow : now;
    return content;
}

} // namespace pulsedeck
