#include "statusbar/StripInputs.h"

#include <functional>
#include <gtest/gtest.h>
#include <set>

namespace pulsedeck {
namespace {

ExternalDevice drive() {
    ExternalDevice device;
    device.id = "disk:1";
    device.name = "Backup";
    device.kind = ExternalDeviceKind::storage;
    return device;
}

// Shows those modules alone.
void showOnly(StripSettings& settings, const std::set<ModuleKind>& shown) {
    for (ModuleKind kind : allModuleKinds)
        settings.look.modules.setShown(kind, shown.contains(kind));
}

// One table over the builder: each case changes the settings, readings or surface of a strip
// that shows every module and checks what the strip is then given.
TEST(StripInputs, FollowSettingsReadingsAndSurface) {
    struct Case {
        const char* name;
        std::function<void(StripSettings&, StripReadings&, StripEnvironment&)> change;
        std::function<void(const StripInputs&)> check;
    };
    const std::vector<PressurePoint> memoryHistory(3);
    const std::vector<ComputeSnapshot> computeHistory(2);
    const Case cases[] = {
        {"every module", [](auto&, auto&, auto&) {},
         [&](const StripInputs& in) {
             EXPECT_FALSE(in.appMark);
             ASSERT_TRUE(in.memory && in.network && in.temperature && in.compute && in.devices);
             EXPECT_EQ(in.editable.size(), allModuleKinds.size());
             EXPECT_EQ(in.memory->history.size(), 3u) << "the memory chart reads the history";
             EXPECT_EQ(in.compute->history.size(), 2u);
             EXPECT_EQ(in.fanMode, FanDisplayMode::ring);
         }},
        {"nothing", [](StripSettings& s, auto&, auto&) { showOnly(s, {}); },
         [](const StripInputs& in) {
             EXPECT_TRUE(in.appMark);
             EXPECT_FALSE(in.memory || in.network || in.temperature || in.compute || in.devices);
             EXPECT_EQ(in.fanMode, FanDisplayMode::hidden);
             EXPECT_EQ(in.fan.snapshot, FanSnapshot{}) << "no fan figure for nobody";
             EXPECT_TRUE(in.fan.history.empty());
             EXPECT_TRUE(in.editable.empty());
         }},
        {"only devices, none attached",
         [](StripSettings& s, auto&, auto&) { showOnly(s, {ModuleKind::devices}); },
         [](const StripInputs& in) {
             EXPECT_TRUE(in.appMark);
             EXPECT_EQ(in.devices, std::vector<ExternalDevice>{});
         }},
        {"only devices, one attached",
         [](StripSettings& s, StripReadings& r, auto&) {
             showOnly(s, {ModuleKind::devices});
             r.devices = {drive()};
         },
         [](const StripInputs& in) { EXPECT_FALSE(in.appMark); }},
        {"no fans: no fan, whatever the look says",
         [](StripSettings& s, auto&, auto&) { s.fanAvailable = false; },
         [](const StripInputs& in) {
             EXPECT_EQ(in.fanMode, FanDisplayMode::hidden);
             EXPECT_FALSE(in.editable.contains(ModuleKind::fan));
             EXPECT_EQ(in.editable.size(), allModuleKinds.size() - 1);
         }},
        {"a hidden fan style shows as the ring",
         [](StripSettings& s, auto&, auto&) {
             s.look.modules.styles.fanMode = FanDisplayMode::hidden;
         },
         [](const StripInputs& in) { EXPECT_EQ(in.fanMode, FanDisplayMode::ring); }},
        {"slots without a colour take the theme, the GPU none",
         [](StripSettings& s, auto&, auto&) {
             s.look.modules.colors.values = {{"theme", rawValue(PaletteColor::teal)},
                                             {"fan", rawValue(PaletteColor::purple)}};
         },
         [](const StripInputs& in) {
             EXPECT_EQ(in.compute->colors.cpu, toColor(PaletteColor::teal));
             EXPECT_EQ(in.compute->colors.gpu, std::nullopt);
             EXPECT_EQ(in.memory->tint, toColor(PaletteColor::teal));
             EXPECT_EQ(in.fan.color, PaletteColor::purple);
             EXPECT_FALSE(in.compute->colors.blue);
         }},
        {"each module its own colour",
         [](StripSettings& s, auto&, auto&) {
             s.look.modules.colors.values = {{"memory", rawValue(PaletteColor::red)},
                                             {"network", rawValue(PaletteColor::orange)},
                                             {"temperature", rawValue(PaletteColor::yellow)},
                                             {"cpu", rawValue(PaletteColor::pink)},
                                             {"gpu", rawValue(PaletteColor::indigo)},
                                             {"devices", rawValue(PaletteColor::purple)}};
         },
         [](const StripInputs& in) {
             EXPECT_EQ(in.memory->tint, toColor(PaletteColor::red));
             EXPECT_EQ(in.network->colors.module, toColor(PaletteColor::orange));
             EXPECT_EQ(in.temperature->tint, toColor(PaletteColor::yellow));
             EXPECT_EQ(in.compute->colors.cpu, toColor(PaletteColor::pink));
             EXPECT_EQ(in.compute->colors.gpu, toColor(PaletteColor::indigo));
             EXPECT_EQ(in.devicesTint, toColor(PaletteColor::purple));
         }},
        {"blue by default", [](StripSettings& s, auto&, auto&) { s.normalBlue = true; },
         [](const StripInputs& in) {
             EXPECT_EQ(in.devicesTint, toColor(PaletteColor::blue));
             EXPECT_TRUE(in.memory->blue);
             EXPECT_TRUE(in.network->colors.blue);
             EXPECT_EQ(in.fan.color, PaletteColor::blue);
         }},
        {"the system's dark appearance",
         [](auto&, auto&, StripEnvironment& f) { f.systemDark = true; },
         [](const StripInputs& in) {
             EXPECT_TRUE(in.dark);
             EXPECT_TRUE(in.memory->dark && in.network->dark && in.compute->dark);
         }},
        {"light whatever the system says",
         [](StripSettings& s, auto&, StripEnvironment& f) {
             s.look.appearance = AppearanceMode::light;
             f.systemDark = true;
         },
         [](const StripInputs& in) { EXPECT_FALSE(in.dark); }},
        {"reduce motion, another language and history length",
         [](auto&, auto&, StripEnvironment& f) {
             f.reduceMotion = true;
             f.language = AppLanguage::german;
             f.historyCapacity = 30;
         },
         [](const StripInputs& in) {
             EXPECT_FALSE(in.animationsEnabled);
             EXPECT_TRUE(in.reduceMotion);
             EXPECT_EQ(in.fan.language, AppLanguage::german);
             EXPECT_EQ(in.memory->capacity, 30);
             EXPECT_EQ(in.fan.historyCapacity, 30);
         }},
        {"each module its own style",
         [](StripSettings& s, auto&, auto&) {
             s.look.modules.styles.memoryShowChart = false;
             s.look.modules.styles.fanAnimation = FanAnimationMode::off;
         },
         [](const StripInputs& in) {
             EXPECT_FALSE(in.memory->showChart);
             EXPECT_TRUE(in.network->showsGraph);
             EXPECT_EQ(in.temperature->mode, TemperatureDisplayMode::chart);
             EXPECT_EQ(in.fan.animation, FanAnimationMode::off);
         }},
        {"the layout settings",
         [](StripSettings& s, auto&, StripEnvironment& f) {
             s.look.modules.order = {ModuleKind::network, ModuleKind::memory};
             s.look.modules.chartLength = 40;
             s.look.modules.gap = 3;
             s.look.modules.styles.memoryMode = DisplayMode::pair;
             f.height = 29;
         },
         [](const StripInputs& in) {
             EXPECT_EQ(in.order, (std::vector{ModuleKind::network, ModuleKind::memory}));
             EXPECT_EQ(in.chartLength, 40);
             EXPECT_EQ(in.gap, 3);
             EXPECT_EQ(in.network->chartLength, 40);
             EXPECT_EQ(in.compute->chartLength, 40);
             EXPECT_EQ(in.memory->mode, DisplayMode::pair);
             EXPECT_EQ(in.presentationHeight, 29);
         }},
    };
    for (const auto& c : cases) {
        StripSettings settings;
        StripReadings readings;
        readings.memoryHistory = memoryHistory;
        readings.computeHistory = computeHistory;
        StripEnvironment environment;
        c.change(settings, readings, environment);
        SCOPED_TRACE(c.name);
        c.check(stripInputs(settings, readings, environment));
    }
}

} // namespace
} // namespace pulsedeck
