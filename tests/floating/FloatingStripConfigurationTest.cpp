#include "floating/FloatingStripConfiguration.h"

#include "../statusbar/StripFixture.h"
#include "platform/toolkit/Workspace.h"
#include "statusbar/NetworkStatusImage.h"

#include <cmath>

namespace pulsedeck {
namespace {

class FloatingStripConfiguration : public striptest::StripFixture {
protected:
    std::shared_ptr<MenuBarContentView> strip = makeStrip();
    FloatingPreferences preferences;
    FloatingReadings readings = FloatingReadings::placeholder();
    FloatingStripContext context;

    void configure() { configureFloating(*strip, preferences, readings, context); }

    void showOnly(std::set<ModuleKind> shown) {
        preferences.hidden.clear();
        for (ModuleKind kind : allModuleKinds)
            if (!shown.contains(kind))
                preferences.hidden.insert(kind);
    }

    static ExternalDevice drive() {
        ExternalDevice device;
        device.id = "disk:1";
        device.name = "Backup";
        device.connection = "USB";
        device.kind = ExternalDeviceKind::storage;
        return device;
    }
};

TEST_F(FloatingStripConfiguration, TheAppMarkStandsAloneWhenNothingOrOnlyAnEmptyDevicesShows) {
    struct Case {
        const char* name;
        std::set<ModuleKind> shown;
        bool deviceAttached;
        bool mark;
    };
    const Case cases[] = {
        {"nothing", {}, false, true},
        {"devices without a device", {ModuleKind::devices}, false, true},
        {"devices with a device", {ModuleKind::devices}, true, false},
        {"network", {ModuleKind::network}, false, false},
    };
    for (const auto& c : cases) {
        showOnly(c.shown);
        readings.devices = c.deviceAttached ? std::vector{drive()} : std::vector<ExternalDevice>{};
        configure();
        EXPECT_EQ(strip->displaysAppMark(), c.mark) << c.name;
        const auto& memory = strip->moduleImage(ModuleKind::memory);
        EXPECT_EQ(memory && memory->size() == (gfx::Size{24, 24}), c.mark) << c.name;
        EXPECT_EQ(strip->editableModules(), c.shown) << c.name;
    }
    showOnly({});
    configure();
    for (ModuleKind kind : {ModuleKind::network, ModuleKind::compute, ModuleKind::devices})
        EXPECT_FALSE(strip->moduleImage(kind)) << toString(kind);
    EXPECT_EQ(strip->fanMode(), FanDisplayMode::hidden);
}

TEST_F(FloatingStripConfiguration, AHiddenFanStyleShowsAsTheRing) {
    preferences.fanMode = FanDisplayMode::hidden;
    configure();
    EXPECT_EQ(strip->fanMode(), FanDisplayMode::ring);
    preferences.fanMode = FanDisplayMode::graph;
    configure();
    EXPECT_EQ(strip->fanMode(), FanDisplayMode::graph);
    preferences.hidden = {ModuleKind::fan};
    configure();
    EXPECT_EQ(strip->fanMode(), FanDisplayMode::hidden);
}

TEST_F(FloatingStripConfiguration, AComputeStyleChangeStartsOneMorph) {
    configure();
    EXPECT_FALSE(strip->metricPlan(ModuleKind::compute)) << "the first showing jumps";

    preferences.computeMode = ComputeDisplayMode::chart;
    configure();
    ASSERT_TRUE(strip->metricPlan(ModuleKind::compute));
    const FanMorph morph = strip->metricPlan(ModuleKind::compute)->morph;
    EXPECT_DOUBLE_EQ(morph.duration, 0.78);
    EXPECT_TRUE(strip->metricClockRuns());

    loop.advanceAndRunDue(0.3);
    configure();
    ASSERT_TRUE(strip->metricPlan(ModuleKind::compute));
    EXPECT_EQ(strip->metricPlan(ModuleKind::compute)->morph.started, morph.started)
        << "the same style again leaves the running morph alone";
    loop.advanceAndRunDue(0.6);
    EXPECT_EQ(strip->computePicture().progress, 1);

    app.workspace().setReduceMotion(true);
    preferences.computeMode = ComputeDisplayMode::compact;
    configure();
    EXPECT_FALSE(strip->metricPlan(ModuleKind::compute));
    EXPECT_EQ(strip->computePicture().progress, 0);
    EXPECT_EQ(strip->computePicture().compactProgress, 1);
}

TEST_F(FloatingStripConfiguration, SlotsWithoutAColourTakeTheMainThemeAndTheGPUNone) {
    preferences.colors.values = {{"network", 5}};
    context.theme = PaletteColor::blue;
    configure();
    EXPECT_EQ(strip->computePicture().colors.cpu, toColor(PaletteColor::blue));
    EXPECT_EQ(strip->computePicture().colors.gpu, std::nullopt);
    EXPECT_EQ(strip->fanInputs().color, PaletteColor::blue);
    EXPECT_TRUE(strip->computePicture().colors.blue);

    preferences.colors.values = {{"gpu", 6}, {"fan", 3}};
    context.theme = PaletteColor::teal;
    configure();
    EXPECT_EQ(strip->computePicture().colors.cpu, toColor(PaletteColor::teal));
    EXPECT_EQ(strip->computePicture().colors.gpu, toColor(PaletteColor::red));
    EXPECT_EQ(strip->fanInputs().color, PaletteColor::purple);
    EXPECT_FALSE(strip->computePicture().colors.blue);
}

TEST_F(FloatingStripConfiguration, TheNetworkSegmentIsItsRateTextPlusTheChart) {
    const double text = networkRateBudget();
    preferences.networkShowChart = false;
    configure();
    EXPECT_EQ(strip->moduleImage(ModuleKind::network)->size().width, text + 28);
    preferences.networkShowChart = true;
    preferences.chartLength = 40;
    configure();
    EXPECT_EQ(strip->moduleImage(ModuleKind::network)->size().width, text + 34 + 40);
}

TEST_F(FloatingStripConfiguration, TheStripIsTallerPaddedAndFollowsTheBarsLook) {
    preferences.opacity = 0.4;
    preferences.appearance = AppearanceMode::dark;
    preferences.order = {ModuleKind::network,     ModuleKind::memory,  ModuleKind::fan,
                         ModuleKind::temperature, ModuleKind::compute, ModuleKind::devices};
    preferences.gap = 3;
    context.height = 24;
    configure();
    EXPECT_EQ(strip->presentationHeight(), 29);
    EXPECT_EQ(strip->edgePadding(), 2.5);
    EXPECT_EQ(strip->stripOpacity(), 0.4);
    EXPECT_EQ(strip->effectiveAppearance(), gfx::Appearance::dark);
    EXPECT_EQ(strip->order(), preferences.order);
    EXPECT_EQ(strip->fanGap(), 3);
    EXPECT_EQ(strip->fanInputs().historyCapacity, 60);

    preferences.appearance = AppearanceMode::system;
    context.systemDark = false;
    configure();
    EXPECT_EQ(strip->effectiveAppearance(), gfx::Appearance::light);
}

} // namespace
} // namespace pulsedeck
