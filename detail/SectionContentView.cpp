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
    const DetailState& state = view.state_;
    const DetailReadings& readings = state.readings;
    SectionContent content;
    if (const auto found = view.sectionRegions_.find(kind); found != view.sectionRegions_.end())
        content.regions = found->second;
    content.width = width;
    content.presentation = state.look.presentation;
    content.language = state.language;
    content.moduleColors = state.look.modules.colors;
    content.normalBlue = state.normalBlue;
    content.memory = readings.memory;
    content.memoryHistory = readings.memoryHistory;
    content.historyCapacity = state.historyCapacity;
    content.fan = readings.fan;
    content.fanHistory = readings.fanHistory;
    content.fanEnabled = state.module(ModuleKind::fan).on();
    content.network = readings.network;
    content.networkHistory = readings.networkHistory;
    content.networkColored = state.look.modules.styles.networkColored;
    content.compute = readings.compute;
    content.computeHistory = readings.computeHistory;
    content.temperature = readings.temperature;
    content.temperatureHistory = readings.temperatureHistory;
    content.devices = readings.devices;
    content.deviceArrivals = view.deviceArrivals_;
    content.deviceCardNow = view.deviceCardClock_ ? view.deviceCardNow_ : now;
    return content;
}

} // namespace pulsedeck
