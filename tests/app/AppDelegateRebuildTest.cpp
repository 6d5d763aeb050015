#include "app/ControllerHarness.h"
#include "app/DetailStateBuilder.h"
#include "detail/ThemeSegments.h"
#include "model/AccentColor.h"
#include "platform/toolkit/Workspace.h"
#include "statusbar/EditingPanels.h"
#include "statusbar/StatusEditingSurface.h"
#include "statusbar/StripForeground.h"
#include "support/AppDelegateProbe.h"
#include "support/DetailViewProbe.h"
#include "support/MenuBarContentViewProbe.h"

namespace pulsedeck {
namespace {

using Probe = MenuBarContentViewProbe;

// The rebuild driven from the controller's own state, without samples unless a test takes one.
class AppDelegateRebuildTest : public testing::ControllerHarness {
protected:
    void SetUp() override { launch(); }

    // Every module off but the given ones.
    void only(std::initializer_list<ModuleKind> kinds) {
        change([&](Preferences& p) {
            for (auto kind : allModuleKinds)
                p.look.modules.setShown(kind,
                                        std::find(kinds.begin(), kinds.end(), kind) != kinds.end());
        });
        delegate->refresh();
    }

    void change(const std::function<void(Preferences&)>& edit) {
        delegate->settings().change(edit);
    }

    SamplingState& sampled() { return inside(*delegate).sampling; }

    std::string tip() const { return delegate->statusStrip().view()->toolTip(); }
    static std::string words(Copy key) { return text(key, AppLanguage::english); }
};

TEST_F(AppDelegateRebuildTest, TooltipEdgeCases) {
    only({});
    EXPECT_EQ(tip(), "Pulsedeck. ");
    EXPECT_EQ(delegate->statusStrip().view()->accessibility().label, "Pulsedeck. ");
    EXPECT_TRUE(delegate->statusStrip().view()->displaysAppMark());

    sampled().devicesSnapshot.devices.clear();
    only({ModuleKind::devices});
    EXPECT_EQ(tip(), "Pulsedeck.  ") << "devices on with none attached leave one blank";
    EXPECT_TRUE(delegate->statusStrip().view()->displaysAppMark());

    ExternalDevice stick;
    stick.id = "usb:1";
    stick.name = "Stick";
    stick.connection = "USB";
    stick.bitsPerSecond = 4.8e8;
    sampled().devicesSnapshot.devices = {stick};
    only({ModuleKind::devices});
    EXPECT_EQ(tip(), "Pulsedeck.  Stick: USB, 480 Mbps");
    EXPECT_FALSE(delegate->statusStrip().view()->displaysAppMark());

    sampled().temperatureSnapshot = TemperatureSnapshot{};
    only({ModuleKind::temperature});
    EXPECT_EQ(tip(), "Pulsedeck.  " + words(Copy::cpuTemperature) + ": \u2014 \u00b0C.");
    sampled().temperatureSnapshot.celsius = 61.6;
    only({ModuleKind::temperature});
    EXPECT_EQ(tip(), "Pulsedeck.  " + words(Copy::cpuTemperature) + ": 62 \u00b0C.");

    sampled().networkSnapshot = NetworkSnapshot{};
    only({ModuleKind::network});
    EXPECT_EQ(tip(), "Pulsedeck.  " + words(Copy::download) + ": \u2014, " + words(Copy::upload) +
                         ": \u2014.");

    sampled().computeSnapshot.cpu = 12.4;
    sampled().computeSnapshot.gpu.reset();
    only({ModuleKind::compute});
    EXPECT_EQ(tip(), "Pulsedeck.  CPU: 12%, GPU: \u2014.");

    sampled().fanSnapshot =
        FanSnapshot{.model = "Board", .fans = {FanReading{0, 1200.4, {}}}, .detectedCount = 1};
    only({ModuleKind::fan});
    EXPECT_EQ(tip(), "Pulsedeck.  Board. " + words(Copy::fanShort) + " 1: 1200 RPM, " +
                         words(Copy::fanMaximum) + ": \u2014");

    only({ModuleKind::memory});
    EXPECT_EQ(tip(), "Pulsedeck. " + delegate->sampling().latest.summaryText(AppLanguage::english));
}

TEST_F(AppDelegateRebuildTest, WithoutFansTheFanIsHiddenEverywhereButTheDetailOrder) {
    sampled().fanAvailable = false;
    sampled().fanSnapshot =
        FanSnapshot{.model = "Board", .fans = {FanReading{0, 1200, 3000}}, .detectedCount = 1};
    delegate->refresh();
    const auto& strip = delegate->statusStrip().view()->order();
    EXPECT_EQ(std::count(strip.begin(), strip.end(), ModuleKind::fan), 0);
    EXPECT_FALSE(delegate->statusStrip().view()->editableModules().contains(ModuleKind::fan));
    EXPECT_EQ(delegate->statusStrip().view()->fanMode(), FanDisplayMode::hidden);
    EXPECT_EQ(tip().find("Board"), std::string::npos);
    EXPECT_FALSE(details()->state().module(ModuleKind::fan).on());
    const auto& order = details()->state().look.modules.order;
    EXPECT_EQ(std::count(order.begin(), order.end(), ModuleKind::fan), 1);
}

TEST_F(AppDelegateRebuildTest, ComputeJumpsOnFirstShowingAndUnderReduceMotionElseAnimates) {
    MenuBarContentView& strip = *delegate->statusStrip().view();
    change([](Preferences& p) { p.look.modules.styles.computeMode = ComputeDisplayMode::chart; });
    EXPECT_EQ(Probe::computePicture(strip).progress, 0) << "the module showed from launch in bars";
    EXPECT_TRUE(Probe::metricPlan(strip, ModuleKind::compute)) << "a change animates";

    change([](Preferences& p) { p.look.modules.setShown(ModuleKind::compute, false); });
    EXPECT_FALSE(Probe::metricPlan(strip, ModuleKind::compute));
    EXPECT_FALSE(strip.moduleImage(ModuleKind::compute));
    change([](Preferences& p) { p.look.modules.setShown(ModuleKind::compute, true); });
    EXPECT_FALSE(Probe::metricPlan(strip, ModuleKind::compute)) << "shown again: it jumps";
    EXPECT_EQ(Probe::computePicture(strip).progress, 1);
    EXPECT_TRUE(strip.moduleImage(ModuleKind::compute));

    app.workspace().setReduceMotion(true);
    change([](Preferences& p) { p.look.modules.styles.computeMode = ComputeDisplayMode::compact; });
    EXPECT_FALSE(Probe::metricPlan(strip, ModuleKind::compute));
    EXPECT_EQ(Probe::computePicture(strip).compactProgress, 1);
    EXPECT_FALSE(strip.animationsEnabled());
}

TEST_F(AppDelegateRebuildTest, AppearanceAndIconFollowOnlyAFlipOfTheDarkFlag) {
    EXPECT_EQ(iconRequests, std::vector<bool>{false}) << "the first run applies the icon";
    EXPECT_TRUE(delegate->appearance().icon());
    delegate->refresh();
    EXPECT_EQ(iconRequests.size(), 1u);

    details()->editLook([=](StripLook& l) { l.appearance = AppearanceMode::dark; });
    EXPECT_EQ(iconRequests, (std::vector<bool>{false, true}));
    EXPECT_EQ(delegate->statusStrip().view()->appearance(), gfx::Appearance::dark);
    EXPECT_EQ(popover()->appearance(), gfx::Appearance::dark);

    details()->editLook([=](StripLook& l) { l.appearance = AppearanceMode::light; });
    app.setSystemAppearance(gfx::Appearance::dark);
    loop.runUntilIdle();
    delegate->refresh();
    EXPECT_EQ(iconRequests, (std::vector<bool>{false, true, false}))
        << "a light setting ignores the desktop's dark";
    EXPECT_FALSE(delegate->appearance().isDark());
    EXPECT_EQ(popover()->appearance(), gfx::Appearance::light);
}

TEST_F(AppDelegateRebuildTest, AMissingIconLeavesTheIconAndStillAppliesTheAppearance) {
    app.statusBar().removeStatusItem(delegate->statusStrip().item());
    delegate->applicationWillTerminate();
    delegate.reset();
    auto lacking = environment();
    lacking.appIcon = [this](bool dark) -> std::optional<gfx::Image> {
        iconRequests.push_back(dark);
        return dark ? std::nullopt : std::optional(appIconImage(false, 32));
    };
    launch(std::move(lacking));
    const auto light = delegate->appearance().icon();
    ASSERT_TRUE(light);
    details()->editLook([=](StripLook& l) { l.appearance = AppearanceMode::dark; });
    EXPECT_EQ(iconRequests.back(), true);
    ASSERT_TRUE(delegate->appearance().icon());
    EXPECT_EQ(delegate->appearance().icon()->size(), light->size()) << "the light icon stays";
    EXPECT_TRUE(delegate->appearance().isDark());
    EXPECT_EQ(popover()->appearance(), gfx::Appearance::dark);
}

TEST_F(AppDelegateRebuildTest, TheAccentAndTheStripFollowTheTheme) {
    details()->editLook(
        [=](StripLook& l) { l.modules.colors.setColor(PaletteColor::purple, ColorSlot::theme); });
    EXPECT_EQ(accentColor(), toColor(PaletteColor::purple));
    EXPECT_EQ(Probe::computePicture(*delegate->statusStrip().view()).colors.cpu,
              toColor(PaletteColor::purple));
}

TEST_F(AppDelegateRebuildTest, TheItemsLengthFollowsTheStripAndTheNetworkGraph) {
    only({ModuleKind::network});
    MenuBarContentView& strip = *delegate->statusStrip().view();
    const double withGraph = strip.moduleImage(ModuleKind::network)->size().width;
    EXPECT_EQ(delegate->statusStrip().item()->length(), strip.requiredWidth());
    details()->editLook([=](StripLook& l) { l.modules.styles.networkShowChart = false; });
    const double withoutGraph = strip.moduleImage(ModuleKind::network)->size().width;
    EXPECT_EQ(withGraph - withoutGraph, 85 + 6) << "graph width plus its margins";
    EXPECT_EQ(delegate->statusStrip().item()->length(), strip.requiredWidth());
}

TEST_F(AppDelegateRebuildTest, TheDetailsGetPlaceholdersForHiddenModulesAndTheLoginState) {
    advance(1);
    ASSERT_FALSE(delegate->sampling().history.empty());
    delegate->details().show(std::nullopt);
    ASSERT_TRUE(popover()->isShown());
    change([](Preferences& p) {
        p.look.modules.setShown(ModuleKind::memory, false);
        p.look.modules.setShown(ModuleKind::network, false);
    });
    const DetailView& view = *details();
    EXPECT_EQ(view.state().readings.memory.used, "\u2014");
    EXPECT_TRUE(view.state().readings.memoryHistory.empty());
    EXPECT_FALSE(view.state().readings.network.download);
    EXPECT_TRUE(view.state().module(ModuleKind::temperature).available);
    EXPECT_EQ(view.state().historyCapacity, 60);
    EXPECT_EQ(view.state().loginStatus, LoginItemStatus::notRegistered);
    EXPECT_EQ(popover()->contentSize().height, view.preferredHeight());
}

// Closed, the details take the settings but no reading; the rebuild that opens them brings the
// readings before the popover is sized.
TEST_F(AppDelegateRebuildTest, ClosedDetailsCatchUpWhenOpened) {
    advance(1);
    DetailView& view = *details();
    const DetailViewProbe probe(view);
    change([](Preferences& p) { p.look.modules.setShown(ModuleKind::fan, false); });
    advance(1);
    EXPECT_FALSE(view.state().module(ModuleKind::fan).on());
    EXPECT_NE(view.state().readings.memoryHistory, delegate->sampling().history)
        << "no reading handed to nobody";

    // Whatever a closed view takes still reaches it with the rebuild after it changed.
    const struct {
        const char* what;
        std::function<void()> alter;
        std::function<bool()> shown;
    } takes[] = {
        {"a setting",
         [&] {
             change([](Preferences& p) { p.look.modules.setShown(ModuleKind::network, false); });
         },
         [&] { return !view.state().module(ModuleKind::network).on(); }},
        {"the fan going", [&] { sampled().fanAvailable = false; },
         [&] { return !view.state().module(ModuleKind::fan).available; }},
        {"a device renamed", [&] { sampled().devicesSnapshot.devices.front().name = "Renamed"; },
         [&] {
             const auto& devices = view.state().readings.devices;
             return !devices.empty() && devices.front().name == "Renamed";
         }},
    };
    for (const auto& take : takes) {
        ASSERT_FALSE(take.shown()) << take.what;
        take.alter();
        delegate->refresh();
        EXPECT_TRUE(take.shown()) << take.what;
    }

    delegate->details().show(std::nullopt);
    ASSERT_TRUE(popover()->isShown());
    EXPECT_TRUE(probe.animationChoice().isHidden());
    EXPECT_EQ(view.state().readings.memoryHistory, delegate->sampling().history);
    EXPECT_EQ(popover()->contentSize().height, view.preferredHeight());
}

// The pixels behind a module image: the same address while the image object is kept.
const gfx::Bitmap* pixels(const std::optional<gfx::Image>& image) {
    return image ? image->bitmap() : nullptr;
}

TEST_F(AppDelegateRebuildTest, AnUnchangedModuleKeepsItsImageAndAChangedOneIsDrawnAgain) {
    advance(1);
    MenuBarContentView& strip = *delegate->statusStrip().view();
    // Held so that no new image can take a released one's address.
    std::vector<std::optional<gfx::Image>> held;
    auto images = [&] {
        held.insert(held.end(),
                    {strip.moduleImage(ModuleKind::memory), strip.moduleImage(ModuleKind::network),
                     strip.moduleImage(ModuleKind::temperature),
                     strip.moduleImage(ModuleKind::compute), strip.moduleImage(ModuleKind::devices),
                     Probe::fanRingBackdrop(strip)});
        return std::vector{pixels(strip.moduleImage(ModuleKind::memory)),
                           pixels(strip.moduleImage(ModuleKind::network)),
                           pixels(strip.moduleImage(ModuleKind::temperature)),
                           pixels(strip.moduleImage(ModuleKind::compute)),
                           pixels(strip.moduleImage(ModuleKind::devices)),
                           pixels(Probe::fanRingBackdrop(strip))};
    };
    const auto first = images();
    for (const gfx::Bitmap* image : first)
        ASSERT_NE(image, nullptr);

    delegate->refresh();
    EXPECT_EQ(images(), first) << "nothing changed: every image is kept";

    // One module's content at a time; only its image is drawn again.
    const std::vector<std::function<void()>> changes = {
        [&] { sampled().latest.used = "9.99 GB"; },
        [&] { sampled().networkSnapshot.download = 123456.0; },
        [&] { sampled().temperatureSnapshot.celsius = 77.0; },
        [&] { sampled().computeSnapshot.cpu = 55.0; },
        [&] { sampled().devicesSnapshot.devices.front().name = "Renamed"; },
    };
    auto previous = first;
    for (std::size_t changed = 0; changed < changes.size(); ++changed) {
        changes[changed]();
        delegate->refresh();
        const auto now = images();
        for (std::size_t module = 0; module < now.size(); ++module) {
            if (module == changed)
                EXPECT_NE(now[module], previous[module]) << "module " << module << " changed";
            else
                EXPECT_EQ(now[module], previous[module])
                    << "module " << module << " after " << changed;
        }
        previous = now;
    }

    details()->editLook([=](StripLook& l) { l.appearance = AppearanceMode::dark; });
    const auto dark = images();
    for (std::size_t module = 0; module < dark.size(); ++module)
        EXPECT_NE(dark[module], previous[module]) << "module " << module << " in the dark";
}

TEST_F(AppDelegateRebuildTest, ARebuildThatChangedNothingLeavesTheStripUnmarked) {
    advance(1);
    loop.runUntilIdle();
    MenuBarContentView& strip = *delegate->statusStrip().view();
    // The surfaces laid over the strip draw it; the strip under them shows nothing of its own.
    ASSERT_TRUE(strip.editingSurfacePresented());
    ASSERT_FALSE(delegate->statusStrip().editingPanels()->panels().empty());
    const auto* surface = EditingPanels::surfaceOf(
        *delegate->statusStrip().editingPanels()->panels().begin()->second);
    ASSERT_TRUE(surface);
    const ui::View& painted = *surface->foreground();
    ASSERT_FALSE(strip.needsDisplay() || painted.needsDisplay()) << "the windows drew the strip";

    delegate->refresh();
    EXPECT_FALSE(strip.needsDisplay() || painted.needsDisplay());

    sampled().networkSnapshot.download = 654321.0;
    delegate->refresh();
    EXPECT_TRUE(painted.needsDisplay()) << "a new network image is painted";
    EXPECT_FALSE(strip.needsDisplay()) << "by the surfaces alone";
    const gfx::Rect network = strip.rect(ModuleKind::network);
    // The surfaces widen a column by a few pixels for antialiased edges, no more.
    EXPECT_LE(painted.dirtyRect().minX(), network.minX()) << "the column and little around it";
    EXPECT_GE(painted.dirtyRect().minX(), network.minX() - 6);
    EXPECT_GE(painted.dirtyRect().maxX(), network.maxX());
    EXPECT_LE(painted.dirtyRect().maxX(), network.maxX() + 6);
    loop.runUntilIdle();

    change([](Preferences& p) { p.look.modules.chartLength = 60; });
    EXPECT_TRUE(strip.dirtyRect().contains(strip.bounds()))
        << "a new layout repaints the whole strip";
}

TEST_F(AppDelegateRebuildTest, ThePopoverOpenedAfterClosedSecondsShowsTheLatestFigures) {
    advance(1);
    delegate->details().show(std::nullopt);
    ASSERT_TRUE(popover()->isShown());
    popover()->performClose();
    ASSERT_FALSE(popover()->isShown());

    for (int second = 0; second < 3; ++second)
        advance(1);
    const double sampled = clock.now();
    const std::string device = delegate->sampling().devicesSnapshot.devices.front().id;
    // The login item is switched on behind the program's back, then time passes unsampled.
    LoginItem(config.path() / "autostart" / LoginItem::entryName, "/opt/pulsedeck/bin/pulsedeck")
        .registerItem();
    clock.advance(30);

    delegate->details().show(std::nullopt);
    ASSERT_TRUE(popover()->isShown());
    DetailView& view = *details();
    const DetailViewProbe probe(view);
    EXPECT_EQ(view.state().readings, detailReadings(delegate->sampling()));
    EXPECT_EQ(view.state().readings.fanHistory, delegate->sampling().fanHistory);
    EXPECT_EQ(view.state().readings.temperatureHistory, delegate->sampling().temperatureHistory);
    EXPECT_EQ(probe.deviceArrivals().at(device), sampled)
        << "the device arrived with its sample, not when the popover opened";
    EXPECT_EQ(view.state().loginStatus, LoginItemStatus::enabled);

    advance(1);
    EXPECT_EQ(view.state().readings.memory, delegate->sampling().latest)
        << "the open popover follows every second";
    EXPECT_EQ(view.state().readings.memoryHistory.size(), delegate->sampling().history.size());
}

TEST_F(AppDelegateRebuildTest, NothingIsTouchedBeforeTheItemExists) {
    auto unlaunched = AppDelegate::create(environment());
    unlaunched->refresh();
    EXPECT_FALSE(unlaunched->statusStrip().view()->moduleImage(ModuleKind::memory));
    EXPECT_TRUE(unlaunched->statusStrip().view()->toolTip().empty());
    EXPECT_FALSE(DetailViewProbe(*unlaunched->details().view()).lastLayoutRequestedAnimation());
    EXPECT_FALSE(unlaunched->appearance().icon()) << "no appearance is applied before launch";
}

} // namespace
} // namespace pulsedeck
