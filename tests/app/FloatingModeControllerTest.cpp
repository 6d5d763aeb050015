#include "app/ControllerHarness.h"
#include "floating/FloatingGeometry.h"
#include "floating/FloatingSurface.h"
#include "platform/graphics/RectText.h"
#include "statusbar/PassiveStripMaterial.h"
#include "support/DetailViewProbe.h"

#include <any>

namespace pulsedeck {
namespace {

constexpr gfx::Rect leftScreen{0, 0, 1440, 900};
constexpr gfx::Rect rightScreen{1440, 0, 1280, 800};

class FloatingModeControllerTest : public testing::ControllerHarness {
protected:
    std::optional<gfx::Rect> storedFrame() {
        const auto text = defaults->stringForKey("floatingFrame");
        return text ? gfx::rectFromString(*text) : std::nullopt;
    }
    void useTwoScreens() {
        server.setScreens({ui::HeadlessWindowServer::makeScreen(leftScreen, 1),
                           ui::HeadlessWindowServer::makeScreen(rightScreen, 2)});
    }
    // Other applications' windows covering these screens, seen at the monitor's next scan.
    void fullscreenOn(const std::vector<gfx::Rect>& screens) {
        std::vector<ui::WindowListEntry> entries;
        for (const auto& frame : screens)
            entries.push_back({.bounds = frame, .ownerPID = 1});
        windows->setWindows(entries);
        loop.advanceAndRunDue(FullscreenMonitor::scanInterval + FullscreenMonitor::scanTolerance);
    }
    bool barShown() const { return floatingBar().panel() && floatingBar().panel()->isVisible(); }
};

// copy → detached seeds the bar from the strip, detached → copy leaves both alone, and
// detached → none hands the bar's settings back, rebuilds the strip and samples.
TEST_F(FloatingModeControllerTest, TheTransitionTable) {
    defaults->setBool(false, PreferenceKey::fanEnabled);
    launch();
    advance(1);

    delegate->floatingMode().set(FloatingMode::copy, std::nullopt);
    ASSERT_TRUE(barShown());
    const auto panel = floatingBar().panel();
    EXPECT_TRUE(delegate->statusStrip().item()->isVisible());
    EXPECT_EQ(delegate->settings().floating()->look.modules.hidden,
              std::set<ModuleKind>{ModuleKind::fan});
    delegate->settings().changeFloating([](FloatingPreferences& p) { p.look.modules.gap = 3; });
    details()->editLook([=](StripLook& l) { l.modules.chartLength = clampedChartLength(40); });

    delegate->floatingMode().set(FloatingMode::detached, std::nullopt);
    EXPECT_EQ(floatingBar().panel(), panel) << "the panel survives the switch";
    EXPECT_FALSE(delegate->statusStrip().item()->isVisible());
    EXPECT_EQ(delegate->settings().floating()->look.modules.chartLength, 40) << "seeded";
    EXPECT_EQ(delegate->settings().floating()->look.modules.gap, 8) << "seeded";

    delegate->settings().changeFloating(
        [](FloatingPreferences& p) { p.look.modules.hidden.erase(ModuleKind::fan); });
    delegate->settings().changeFloating([](FloatingPreferences& p) { p.look.modules.gap = 3; });
    delegate->floatingMode().set(FloatingMode::copy, std::nullopt);
    EXPECT_TRUE(delegate->statusStrip().item()->isVisible());
    EXPECT_EQ(delegate->settings().floating()->look.modules.gap, 3) << "not seeded";
    EXPECT_FALSE(delegate->settings().main().look.modules.shows(ModuleKind::fan))
        << "not written back";
    EXPECT_EQ(delegate->settings().main().look.modules.gap, 8);

    delegate->floatingMode().set(FloatingMode::detached, std::nullopt);
    EXPECT_TRUE(delegate->settings().floating()->look.modules.hidden.contains(ModuleKind::fan))
        << "seeded";
    delegate->settings().changeFloating(
        [](FloatingPreferences& p) { p.look.modules.hidden.erase(ModuleKind::fan); });
    delegate->settings().changeFloating([](FloatingPreferences& p) { p.look.modules.gap = 3; });
    delegate->settings().changeFloating(
        [](FloatingPreferences& p) { p.look.modules.styles.memoryShowChart = false; });
    pump();
    ASSERT_FALSE(delegate->sampler().sampleInFlight());
    DetailViewProbe(*details()).change([](DetailState& s) { s.languageSelection = "unrefreshed"; });

    delegate->floatingMode().set(FloatingMode::none, std::nullopt);
    EXPECT_FALSE(floatingBar().panel());
    EXPECT_FALSE(panel->isVisible());
    EXPECT_TRUE(delegate->statusStrip().item()->isVisible());
    EXPECT_TRUE(delegate->settings().main().look.modules.shows(ModuleKind::fan));
    EXPECT_EQ(delegate->settings().main().look.modules.gap, 3);
    EXPECT_FALSE(delegate->settings().main().look.modules.styles.memoryShowChart);
    const auto read = reloaded();
    EXPECT_TRUE(read.boolForKey(PreferenceKey::fanEnabled));
    EXPECT_EQ(read.doubleForKey(PreferenceKey::fanGap), 3);
    EXPECT_FALSE(read.boolForKey(PreferenceKey::memoryShowChart));
    EXPECT_EQ(read.stringForKey(PreferenceKey::floatingMode), "none");
    EXPECT_NE(details()->state().languageSelection, "unrefreshed") << "the strip was rebuilt";
    EXPECT_TRUE(delegate->sampler().sampleInFlight());
    EXPECT_EQ(floatingBar().strip()->fanMode(), FanDisplayMode::hidden);
    EXPECT_TRUE(delegate->settings().floating()) << "kept for the next bar";
}

TEST_F(FloatingModeControllerTest, TheBarsOriginComesFromTheDropTheOldPanelTheStoreOrTheItem) {
    launch();
    const auto size = [&] { return floatingBar().panel()->frame().size; };

    defaults->setObject(gfx::stringFromRect({300, 200, 5, 5}), "floatingFrame");
    delegate->floatingMode().set(FloatingMode::copy, std::nullopt);
    EXPECT_EQ(floatingBar().panel()->frame().origin, (gfx::Point{300, 200}));
    EXPECT_EQ(size(), (gfx::Size{floatingBar().strip()->requiredWidth(),
                                 *floatingBar().strip()->presentationHeight()}))
        << "the size follows the strip, never the store";

    // Choosing the mode again keeps the panel where it is and saves that place.
    floatingBar().panel()->setFrame({{500, 300}, size()}, false);
    delegate->floatingMode().set(FloatingMode::copy, std::nullopt);
    EXPECT_EQ(floatingBar().panel()->frame().origin, (gfx::Point{500, 300}));
    EXPECT_EQ(storedFrame(), floatingBar().panel()->frame());

    // A window manager that shows it lower (by a decoration it would have drawn) chose nothing:
    // the mode chosen again puts it back, and the user's place is what stays saved.
    server.placeFromDesktop(*floatingBar().panel()->windowNumber(), {{502, 259}, size()});
    ASSERT_EQ(floatingBar().panel()->frame().origin, (gfx::Point{502, 259}));
    delegate->floatingMode().set(FloatingMode::copy, std::nullopt);
    EXPECT_EQ(storedFrame()->origin, (gfx::Point{500, 300}));

    delegate->floatingMode().set(FloatingMode::detached, gfx::Rect{100, 400, 1, 1});
    EXPECT_EQ(floatingBar().panel()->frame().origin, (gfx::Point{100, 400}));
    EXPECT_EQ(storedFrame()->origin, (gfx::Point{100, 400}));

    // Without a stored place: 60 points below the status item, left-aligned with it as far as
    // the screen allows.
    delegate->floatingMode().set(FloatingMode::none, std::nullopt);
    defaults->removeObjectForKey("floatingFrame");
    delegate->floatingMode().set(FloatingMode::copy, std::nullopt);
    const auto item = delegate->statusStrip().view()->statusItemScreenFrame();
    ASSERT_TRUE(item);
    EXPECT_EQ(floatingBar().panel()->frame(),
              keepFrameOnScreen({{item->minX(), item->minY() - 60}, size()}));
    EXPECT_EQ(floatingBar().panel()->frame().minY(), item->minY() - 60);

    // Unreadable text is the origin (0, 0), then kept on the screen's usable area.
    delegate->floatingMode().set(FloatingMode::none, std::nullopt);
    for (const char* text : {"{{nan, 3}, {1, 1}}", "somewhere"}) {
        defaults->setObject(std::string(text), "floatingFrame");
        delegate->floatingMode().set(FloatingMode::copy, std::nullopt);
        EXPECT_EQ(floatingBar().panel()->frame(), keepFrameOnScreen({{0, 0}, size()})) << text;
        EXPECT_EQ(floatingBar().panel()->frame().origin, (gfx::Point{6, 6})) << text;
        delegate->floatingMode().set(FloatingMode::none, std::nullopt);
    }

    // A drop off every screen is brought back onto one.
    delegate->floatingMode().set(FloatingMode::copy, gfx::Rect{-5000, 5000, 1, 1});
    const gfx::Rect frame = floatingBar().panel()->frame();
    EXPECT_TRUE(leftScreen.contains(frame.origin));
}

// A bar dropped from a drag-out settles into place from 3 points above it; under Reduce Motion
// it stands there at once.
TEST_F(FloatingModeControllerTest, ADroppedBarSettlesFromJustAboveUnlessMotionIsReduced) {
    launch();
    for (bool reduceMotion : {false, true}) {
        SCOPED_TRACE(reduceMotion);
        app.workspace().setReduceMotion(reduceMotion);
        delegate->floatingMode().set(FloatingMode::copy, gfx::Rect{400, 500, 1, 1});
        const gfx::Rect frame = floatingBar().panel()->frame();
        EXPECT_EQ(frame.origin, (gfx::Point{400, 500}));
        const FloatingLiquidAnimator& motion = inside(*delegate).floatingMotion;
        EXPECT_EQ(motion.isRunning(), !reduceMotion);
        if (!reduceMotion) {
            EXPECT_EQ(motion.phase(), FloatingLiquidAnimator::Phase::handoff);
            EXPECT_EQ(motion.spring().position, (gfx::Point{400, 503}));
            EXPECT_EQ(floatingBar().panel()->alphaValue(), 0) << "the liquid shows it meanwhile";
        }
        for (int frames = 0; frames < 120 && motion.isRunning(); ++frames)
            advance(1.0 / 60);
        EXPECT_FALSE(motion.isRunning());
        EXPECT_EQ(floatingBar().panel()->frame(), frame);
        EXPECT_EQ(floatingBar().panel()->alphaValue(), 1);
        delegate->floatingMode().set(FloatingMode::none, std::nullopt);
    }
}

// With full-screen hiding on, the item hides only when every screen is full-screen; the bar
// stands in for it in detached mode whatever the screens show.
TEST_F(FloatingModeControllerTest, FullScreenVisibilityOverTwoScreens) {
    useTwoScreens();
    launch();
    details()->editLook([=](StripLook& l) { l.hideInFullscreen = true; });

    fullscreenOn({leftScreen});
    EXPECT_EQ(delegate->floatingMode().fullscreen().displayIDs(), std::set<int>{1});
    EXPECT_TRUE(delegate->statusStrip().item()->isVisible());
    fullscreenOn({leftScreen, rightScreen});
    EXPECT_FALSE(delegate->statusStrip().item()->isVisible());
    fullscreenOn({});
    EXPECT_TRUE(delegate->statusStrip().item()->isVisible());

    delegate->floatingMode().set(FloatingMode::detached, gfx::Rect{100, 100, 1, 1});
    EXPECT_FALSE(delegate->statusStrip().item()->isVisible());
    fullscreenOn({rightScreen});
    EXPECT_FALSE(delegate->statusStrip().item()->isVisible());

    // The bar's own hiding: out while its screen is full-screen, back when it no longer is.
    inside(*delegate).floatingMotion.stop();
    advance(StatusStripController::surfacesReadyDelay);
    delegate->settings().changeFloating(
        [](FloatingPreferences& p) { p.look.hideInFullscreen = true; });
    EXPECT_TRUE(barShown()) << "the bar sits on the left screen";
    fullscreenOn({leftScreen});
    EXPECT_FALSE(barShown());
    fullscreenOn({});
    EXPECT_TRUE(barShown());
}

TEST_F(FloatingModeControllerTest, TheBarsOwnFullScreenHidingRunsTheMonitorOnlyWhileABarShows) {
    launch();
    delegate->settings().changeFloating(
        [](FloatingPreferences& p) { p.look.hideInFullscreen = true; });
    EXPECT_FALSE(delegate->floatingMode().fullscreen().isEnabled());
    delegate->floatingMode().set(FloatingMode::copy, std::nullopt);
    EXPECT_TRUE(delegate->floatingMode().fullscreen().isEnabled());
    delegate->floatingMode().set(FloatingMode::none, std::nullopt);
    EXPECT_FALSE(delegate->floatingMode().fullscreen().isEnabled());
    details()->editLook([=](StripLook& l) { l.hideInFullscreen = true; });
    EXPECT_TRUE(delegate->floatingMode().fullscreen().isEnabled());
}

// The stored mode is restored once the surfaces are ready. Detached hides the status item only
// while a bar can stand in for it: before the bar is restored, and when there is no screen to
// show it on, the item stays.
TEST_F(FloatingModeControllerTest, TheStatusItemComesBackWhenNoBarCanStandInForIt) {
    defaults->setObject(std::string("detached"), PreferenceKey::floatingMode);
    launch();
    EXPECT_EQ(details()->state().floatingMode, FloatingMode::detached);
    EXPECT_FALSE(floatingBar().panel());
    delegate->floatingMode().applyVisibility();
    EXPECT_TRUE(delegate->statusStrip().item()->isVisible()) << "no bar yet";
    advance(StatusStripController::surfacesReadyDelay);
    ASSERT_TRUE(barShown()) << "restored";
    EXPECT_FALSE(delegate->statusStrip().item()->isVisible());
    EXPECT_EQ(defaults->stringForKey(PreferenceKey::floatingMode), "detached");

    server.setScreens({});
    delegate->floatingMode().applyVisibility();
    EXPECT_TRUE(delegate->statusStrip().item()->isVisible());
    delegate->floatingMode().set(FloatingMode::detached, std::nullopt);
    EXPECT_TRUE(delegate->statusStrip().item()->isVisible());
}

TEST_F(FloatingModeControllerTest, MenuChoicesAndTheBarsClosures) {
    launch();
    inside(*delegate).floatingDropFrame = gfx::Rect{400, 300, 1, 1};
    for (const std::any& object : {std::any(), std::any(3), std::any(std::string("sideways")),
                                   std::any(std::string_view("copy"))}) {
        floatingBar().choose(object);
        EXPECT_EQ(delegate->settings().main().floatingMode, FloatingMode::none);
        EXPECT_FALSE(floatingBar().panel());
    }
    floatingBar().choose(std::string("copy"));
    ASSERT_TRUE(barShown());
    EXPECT_EQ(floatingBar().panel()->frame().origin, (gfx::Point{400, 300}));
    inside(*delegate).floatingMotion.stop();

    FloatingSurface* surface = floatingBar().surface();
    ASSERT_TRUE(surface);
    EXPECT_EQ(surface->owner(), floatingBar().strip());
    EXPECT_FALSE(floatingBar().panel()->ignoresMouseEvents());
    EXPECT_EQ(floatingBar().panel()->level(), ui::WindowLevel::floating);
    ASSERT_TRUE(surface->movedAction);
    surface->movedAction({250, 150, 90, 29});
    EXPECT_EQ(storedFrame(), (gfx::Rect{250, 150, 90, 29}));
    // The bar's opacity is its surface's; the menu bar's is the editing panels' and the
    // preview's.
    EXPECT_EQ(surface->opacity(), delegate->settings().floating()->look.opacity);
    floatingBar().details()->editLook([=](StripLook& l) { l.opacity = clampedOpacity(0.5); });
    EXPECT_EQ(surface->opacity(), 0.5);
    EXPECT_DOUBLE_EQ(surface->glass()->alphaValue(), 0.5);
    details()->editLook([=](StripLook& l) { l.opacity = clampedOpacity(0.3); });
    EXPECT_EQ(surface->opacity(), 0.5);

    MenuBarContentView& strip = *floatingBar().strip();
    strip.statusOrderAction({ModuleKind::devices});
    EXPECT_EQ(delegate->settings().floating()->look.modules.order.front(), ModuleKind::devices);
    strip.statusHideAction(ModuleKind::network);
    EXPECT_TRUE(delegate->settings().floating()->look.modules.hidden.contains(ModuleKind::network));
    EXPECT_FALSE(strip.hoverDetailsEnabled());
    EXPECT_EQ(strip.accessibility().label, "Pulsedeck · Floating Bar");

    delegate->floatingMode().set(FloatingMode::none, std::nullopt);
    EXPECT_EQ(delegate->settings().main().floatingMode, FloatingMode::none);
    EXPECT_FALSE(floatingBar().panel());
}

TEST(StatusItemVisibility, FollowsTheFloatingBarAndFullScreenHiding) {
    EXPECT_TRUE(statusItemVisible(false, false, {1, 2}, {1, 2}));
    EXPECT_TRUE(statusItemVisible(false, true, {1, 2}, {1}));
    EXPECT_FALSE(statusItemVisible(false, true, {1, 2}, {1, 2}));
    EXPECT_FALSE(statusItemVisible(true, false, {1}, {}));
    // No screen, or one without a number, is never all full-screen.
    EXPECT_TRUE(statusItemVisible(false, true, {}, {}));
    EXPECT_TRUE(statusItemVisible(false, true, {0, 1}, {0, 1}));
}

} // namespace
} // namespace pulsedeck
