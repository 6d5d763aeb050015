#include "detail/DetailState.h"

#include <functional>
#include <gtest/gtest.h>

namespace pulsedeck {
namespace {

ExternalDevice listedDevice(std::string id, std::string name = "") {
    ExternalDevice listed;
    listed.id = std::move(id);
    listed.name = std::move(name);
    return listed;
}

// Each change marks only the parts whose refresh it needs.
TEST(DetailState, ChangesNameWhatEachDifferenceRefreshes) {
    using Edit = std::function<void(DetailState&)>;
    const auto readingOf = [](ModuleKind kind) {
        DetailChanges changes;
        changes.readings[kind] = true;
        return changes;
    };
    const DetailChanges layout{.layout = true, .cardLook = true};
    // A new row or capacity bar moves the cards below it.
    DetailChanges deviceRows = readingOf(ModuleKind::devices);
    deviceRows.layout = deviceRows.cardLook = true;
    const struct {
        const char* name;
        Edit edit;
        DetailChanges expected;
    } rows[] = {
        {"nothing", [](DetailState&) {}, {}},
        {"presentation", [](DetailState& s) { s.look.presentation = DetailPresentation::overview; },
         layout},
        {"order", [](DetailState& s) { s.look.modules.order = {ModuleKind::devices}; }, layout},
        {"collapsed", [](DetailState& s) { s.look.collapsed = {ModuleKind::fan}; }, layout},
        {"module off",
         [](DetailState& s) { s.look.modules.setShown(ModuleKind::network, false); },
         {.layout = true, .switches = true, .cardLook = true}},
        {"fans gone",
         [](DetailState& s) { s.fanAvailable = false; },
         {.layout = true, .switches = true, .cardLook = true}},
        {"language",
         [](DetailState& s) { s.language = AppLanguage::german; },
         {.layout = true, .language = true, .cardLook = true}},
        {"style",
         [](DetailState& s) { s.look.modules.styles.fanMode = FanDisplayMode::graph; },
         {.styles = true, .cardLook = true}},
        {"theme", [](DetailState& s) { s.normalBlue = true; }, {.colors = true, .cardLook = true}},
        {"colour",
         [](DetailState& s) { s.look.modules.colors.setColor(PaletteColor::red, ColorSlot::fan); },
         {.colors = true, .cardLook = true}},
        {"history length", [](DetailState& s) { s.historyCapacity = 30; }, {.cardLook = true}},
        {"slider", [](DetailState& s) { s.look.opacity = 0.5; }, {.sliders = true}},
        {"gap", [](DetailState& s) { s.look.modules.gap = 4; }, {.sliders = true}},
        {"menu only",
         [](DetailState& s) {
             s.loginStatus = LoginItemStatus::requiresApproval;
             s.look.appearance = AppearanceMode::dark;
             s.look.hideInFullscreen = true;
         },
         {}},
        {"memory reading", [](DetailState& s) { s.readings.memory.used = "2 GB"; },
         readingOf(ModuleKind::memory)},
        {"fan history", [](DetailState& s) { s.readings.fanHistory = {0.5}; },
         readingOf(ModuleKind::fan)},
        {"network history", [](DetailState& s) { s.readings.networkHistory.resize(1); },
         readingOf(ModuleKind::network)},
        {"temperature reading", [](DetailState& s) { s.readings.temperature.celsius = 40; },
         readingOf(ModuleKind::temperature)},
        {"compute history", [](DetailState& s) { s.readings.computeHistory.resize(1); },
         readingOf(ModuleKind::compute)},
        {"device added", [](DetailState& s) { s.readings.devices = {listedDevice("a", "b")}; },
         deviceRows},
    };
    for (const auto& row : rows) {
        DetailState after;
        row.edit(after);
        EXPECT_EQ(detailChanges(DetailState{}, after), row.expected) << row.name;
    }

    DetailState oneDevice;
    oneDevice.readings.devices = {listedDevice("a")};
    DetailState renamed = oneDevice;
    renamed.readings.devices[0].name = "Disk";
    EXPECT_EQ(detailChanges(oneDevice, renamed), readingOf(ModuleKind::devices))
        << "the same rows need no relayout";
    DetailState measured = oneDevice;
    measured.readings.devices[0].capacity = 1;
    EXPECT_EQ(detailChanges(oneDevice, measured), deviceRows);
}

} // namespace
} // namespace pulsedeck
