#include "statusbar/MenuBarContentView.h"
#include "statusbar/MetricStatusDrawing.h"
#include "statusbar/StripInputs.h"

namespace pulsedeck {

void MenuBarContentView::setInputs(StripInputs inputs) {
    // The layout's inputs first, so a picture that changes next is marked where it now sits.
    setEdgePadding(inputs.edgePadding);
    setPresentationHeight(inputs.presentationHeight);
    const auto appearance = inputs.dark ? gfx::Appearance::dark : gfx::Appearance::light;
    if (this->appearance() != appearance)
        setAppearance(appearance);
    setOrder(std::move(inputs.order));
    setEditableModules(std::move(inputs.editable));
    setAnimationsEnabled(inputs.animationsEnabled);
    setChartLength(inputs.chartLength);
    setFanGap(inputs.gap);

    std::optional<gfx::Image> memoryPicture;
    if (inputs.memory) {
        MemoryStatusContent& content = *inputs.memory;
        content.layout = keptMemoryLayout_.measure(content.mode, content.language, content.snapshot,
                                                   content.showChart, content.chartLength);
        memoryPicture = keptMemoryImage_.image(
            content,
            [this](const MemoryStatusContent& drawn) {
                return memoryStatusImage(capsules_, drawn);
            },
            [this](const MemoryStatusContent& drawn, const MemoryStatusContent& before,
                   gfx::Image image) {
                return memoryStatusImage(capsules_, drawn, before, std::move(image));
            });
    }

    std::optional<gfx::Image> networkPicture;
    if (inputs.network)
        networkPicture = keptNetworkImage_.image(
            *inputs.network,
            [this](const NetworkStatusContent& drawn) {
                return networkStatusImage(capsules_, drawn);
            },
            [this](const NetworkStatusContent& drawn, const NetworkStatusContent& before,
                   gfx::Image image) {
                return networkStatusImage(capsules_, drawn, before, std::move(image));
            });
    setModuleImage(ModuleKind::network, std::move(networkPicture));

    if (inputs.temperature)
        updateTemperature(inputs.temperature->snapshot, inputs.temperature->history,
                          inputs.temperature->mode, inputs.dark, inputs.language,
                          inputs.temperature->tint, inputs.chartLength);
    else
        updateTemperature(std::nullopt, {}, TemperatureDisplayMode::thermometer, inputs.dark,
                          inputs.language, std::nullopt, inputs.chartLength);

    if (inputs.compute)
        showCompute(std::move(*inputs.compute), inputs.computeMode, inputs.reduceMotion);
    else
        hideCompute();

    updateDevices(inputs.devices, inputs.dark, inputs.devicesTint);

    setFanMode(inputs.fanMode);
    setFanInputs(std::move(inputs.fan));

    setDisplaysAppMark(inputs.appMark);
    if (inputs.appMark) {
        if (!appMark_ || appMark_->first != inputs.dark)
            appMark_.emplace(inputs.dark, appMarkImage(inputs.dark));
        memoryPicture = appMark_->second;
    }
    setModuleImage(ModuleKind::memory, std::move(memoryPicture));

    renderFanImage();
    updateDisplayedRects();
}

} // namespace pulsedeck
