#include "app/AppDelegate.h"

#include "app/ApplicationStart.h"
#include "app/FakeSampling.h"
#include "platform/foundation/SingleInstance.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/toolkit/headless/HeadlessWindowServer.h"
#include "statusbar/StatusLayout.h"
#include "support/AppDelegateProbe.h"
#include "support/MenuBarContentViewProbe.h"
#include "support/RunUntil.h"
#include "support/TestPaths.h"

#include <future>
#include <gtest/gtest.h>
#include <unistd.h>

namespace pulsedeck {
namespace {

using Probe = MenuBarContentViewProbe;

using Calls = std::vector<std::string>;

// The controller on the headless window server, a virtual clock, the sampling queue run by
// hand and fake readers; preferences in a temporary folder.
class AppDelegateTest : public ::testing::Test {
protected:
    AppDelegate::Environment environment() {
        AppDelegate::Environment environment;
        environment.defaults = defaults_.get();
        environment.loop = &loop_;
        environment.makeResources = [this] {
            ++resourcesMade_;
            return readers_.make();
        };
        environment.samplingExecution = dispatch::SerialQueue::Execution::manual;
        environment.preferredLanguages = [] { return std::vector<std::string>{"en-GB"}; };
        environment.stopSensorClient = [this] {
            // The sensor link stops before the timer is cancelled.
            stops_.push_back(delegate_->sampler().timer() &&
                                     !delegate_->sampler().timer()->isCancelled()
                                 ? "sensor, timer running"
                                 : "sensor, timer cancelled");
        };
        return environment;
    }

    void launch() {
        delegate_ = AppDelegate::create(environment());
        app_.setDelegate(delegate_);
        app_.finishLaunching();
    }

    void pump() {
        loop_.runUntilIdle();
        delegate_->sampler().samplingQueue().runPending();
        loop_.runUntilIdle();
    }

    void advance(double seconds) {
        loop_.advanceAndRunDue(seconds);
        pump();
    }

    testsupport::TemporaryDirectory config_;
    std::unique_ptr<foundation::UserDefaults> defaults_ =
        std::make_unique<foundation::UserDefaults>(config_.path(), "local.dorvettin.Pulsedeck");
    dispatch::VirtualClock clock_{500};
    dispatch::RunLoop loop_{clock_};
    dispatch::ScopedMainRunLoop mainLoop_{loop_};
    ui::HeadlessWindowServer server_{{ui::HeadlessWindowServer::makeScreen({0, 0, 1440, 900}, 1)},
                                     clock_};
    ui::Application app_{server_, loop_};
    fakes::FakeReaders readers_;
    int resourcesMade_ = 0;
    Calls stops_;
    std::shared_ptr<AppDelegate> delegate_;
};

TEST_F(AppDelegateTest, TheConstructorReadsTheSettingsAndShowsNothing) {
    defaults_->setBool(false, PreferenceKey::networkEnabled);
    delegate_ = AppDelegate::create(environment());
    EXPECT_FALSE(delegate_->settings().main().look.modules.shows(ModuleKind::network));
    EXPECT_FALSE(delegate_->statusStrip().item());
    EXPECT_TRUE(server_.visibleWindows().empty());
    EXPECT_FALSE(delegate_->sampler().timer());
    EXPECT_EQ(resourcesMade_, 1);
    EXPECT_EQ(delegate_->sampling().latest.explanation, Copy::waiting);
    EXPECT_GT(delegate_->sampling().computeSnapshot.cpuCores, 0);
    EXPECT_EQ(delegate_->details().view()->frame(), DetailView::initialFrame);
    EXPECT_EQ(delegate_->statusStrip().view()->frame(), (gfx::Rect{0, 0, 300, 24}));
}

TEST_F(AppDelegateTest, LaunchShowsOneStatusItemAtTheStripsWidthAndSamplesAtOnce) {
    launch();
    EXPECT_EQ(app_.activationPolicy(), ui::ActivationPolicy::accessory);
    ASSERT_TRUE(delegate_->statusStrip().item());
    MenuBarContentView& strip = *delegate_->statusStrip().view();
    EXPECT_EQ(delegate_->statusStrip().item()->view().get(), &strip);
    EXPECT_EQ(delegate_->statusStrip().item()->button()->cell()->highlightsBy(), 0);
    EXPECT_FALSE(delegate_->statusStrip().item()->button()->isBordered());
    EXPECT_EQ(server_.visibleWindows().size(), 1u) << "only the status bar";
    EXPECT_EQ(strip.presentationHeight(), 24);
    EXPECT_TRUE(Probe::monitorsPointerEverywhere(strip)) << "presses elsewhere reach the strip";
    EXPECT_TRUE(inside(*delegate_).quitMonitor);

    // Before the first sample the strip is measured on the placeholder.
    const double measured = StatusLayout::measure(DisplayMode::four, AppLanguage::english,
                                                  memoryPlaceholder(), true, 85)
                                .width;
    ASSERT_TRUE(strip.moduleImage(ModuleKind::memory));
    EXPECT_EQ(strip.moduleImage(ModuleKind::memory)->size().width, measured);
    EXPECT_EQ(delegate_->statusStrip().item()->length(), strip.requiredWidth());
    EXPECT_EQ(strip.frame().width(), strip.requiredWidth());

    EXPECT_TRUE(delegate_->sampling().history.empty());
    loop_.runUntilIdle();
    EXPECT_TRUE(delegate_->sampler().sampleInFlight()) << "the timer fired at once";
    pump();
    EXPECT_EQ(delegate_->sampling().history.size(), 1u);
    EXPECT_EQ(delegate_->sampling().latest.used, "1");
    const std::string tip = strip.toolTip();
    EXPECT_EQ(tip.rfind("Pulsedeck. ", 0), 0u);
    EXPECT_NE(tip.find(" CPU: "), std::string::npos);
    EXPECT_EQ(strip.accessibility().label, tip);
    delegate_->details().show(std::nullopt);
    ASSERT_TRUE(delegate_->details().popover()->isShown());
    EXPECT_EQ(delegate_->details().view()->state().readings.memory.used, "1")
        << "the details open on the latest reading";
    EXPECT_EQ(delegate_->statusStrip().item()->length(), strip.requiredWidth());

    advance(1);
    EXPECT_EQ(delegate_->sampling().history.size(), 2u);
}

TEST_F(AppDelegateTest, EveryModuleOffShowsTheAppMark) {
    for (auto key : {PreferenceKey::memoryEnabled, PreferenceKey::fanEnabled,
                     PreferenceKey::networkEnabled, PreferenceKey::temperatureEnabled,
                     PreferenceKey::computeEnabled, PreferenceKey::devicesEnabled})
        defaults_->setBool(false, key);
    launch();
    pump();
    MenuBarContentView& strip = *delegate_->statusStrip().view();
    EXPECT_TRUE(strip.displaysAppMark());
    EXPECT_EQ(strip.toolTip(), "Pulsedeck. ");
    ASSERT_TRUE(strip.moduleImage(ModuleKind::memory));
    EXPECT_EQ(strip.moduleImage(ModuleKind::memory)->size(), (gfx::Size{24, 24}));
}

TEST_F(AppDelegateTest, QuitKeyTerminatesWithTheStopsInOrderAndOtherChordsPass) {
    launch();
    pump();
    app_.activateIgnoringOtherApps(true);
    int passed = 0;
    auto counter = app_.addLocalMonitor(ui::EventMasks::keyDown, [&](const ui::Event& event) {
        ++passed;
        return std::optional<ui::Event>(event);
    });
    using namespace ui::Modifier;
    server_.key(ui::KeyCode::q, "Q", command | shift);
    server_.key(ui::KeyCode::q, "q", command | option);
    server_.key(ui::KeyCode::q, "q", command | capsLock);
    server_.key(ui::KeyCode::q, "q", control);
    EXPECT_EQ(passed, 4);
    EXPECT_FALSE(app_.isTerminating());

    // Device-dependent low bits do not count.
    server_.key(ui::KeyCode::q, "q", command | 0x8);
    EXPECT_EQ(passed, 4) << "swallowed";
    EXPECT_TRUE(app_.isTerminating());
    EXPECT_EQ(stops_, Calls{"sensor, timer running"});
    ASSERT_TRUE(delegate_->sampler().timer());
    EXPECT_TRUE(delegate_->sampler().timer()->isCancelled());
    EXPECT_TRUE(delegate_->sampler().isStopped());
    app_.removeMonitor(counter);
}

TEST_F(AppDelegateTest, ASampleCompletingAfterTerminationIsDropped) {
    launch();
    pump();
    clock_.advance(1);
    delegate_->sampler().requestSample();
    delegate_->sampler().samplingQueue().runPending();
    app_.terminate();
    loop_.runUntilIdle();
    EXPECT_EQ(delegate_->sampling().history.size(), 1u);
    advance(5);
    EXPECT_EQ(delegate_->sampling().history.size(), 1u);
}

TEST_F(AppDelegateTest, DelayedStepsFireOnTime) {
    launch();
    pump();
    EXPECT_TRUE(defaults_->boolForKey(PreferenceKey::hasLaunched)) << "written at once";
    EXPECT_FALSE(defaults_->boolForKey(PreferenceKey::menuBarTipShown));

    advance(0.24);
    EXPECT_FALSE(delegate_->statusStrip().surfacesReady());
    advance(0.02);
    EXPECT_TRUE(delegate_->statusStrip().surfacesReady());

    EXPECT_FALSE(delegate_->details().popover()->isShown());
    advance(0.25);
    EXPECT_TRUE(delegate_->details().popover()->isShown()) << "the first launch opens at 0.5 s";

    advance(0.68);
    EXPECT_FALSE(inside(*delegate_).menuBarTip);
    advance(0.02);
    ASSERT_TRUE(inside(*delegate_).menuBarTip);
    EXPECT_TRUE(inside(*delegate_).menuBarTip->window()->isVisible());
    EXPECT_TRUE(defaults_->boolForKey(PreferenceKey::menuBarTipShown));
    inside(*delegate_).menuBarTip->done();
    loop_.runUntilIdle();
    EXPECT_FALSE(inside(*delegate_).menuBarTip);
}

TEST_F(AppDelegateTest, LaterLaunchesShowNeitherThePopoverNorTheTip) {
    defaults_->setBool(true, PreferenceKey::hasLaunched);
    defaults_->setBool(true, PreferenceKey::menuBarTipShown);
    launch();
    advance(3);
    EXPECT_FALSE(delegate_->details().popover()->isShown());
    EXPECT_FALSE(inside(*delegate_).menuBarTip);
}

// The first launch's details wait for the status item to have a place on a screen: one try at
// 0.5 s and 40 more 0.1 s apart, then they give up.
TEST_F(AppDelegateTest, FirstLaunchDetailsRetryWhileTheItemHasNoPlaceThenGiveUp) {
    struct Row {
        int triesFailed;
        bool shown;
    };
    for (const Row row : {Row{1, true}, Row{40, true}, Row{41, false}}) {
        SCOPED_TRACE(row.triesFailed);
        defaults_->removeObjectForKey(PreferenceKey::hasLaunched);
        server_.setScreens({});
        launch();
        advance(0.5 + (row.triesFailed - 1) * 0.1 + 0.05);
        EXPECT_FALSE(delegate_->details().popover()->isShown());
        server_.setScreens({ui::HeadlessWindowServer::makeScreen({0, 0, 1440, 900}, 1)});
        app_.statusBar().relayout();
        advance(1);
        EXPECT_EQ(delegate_->details().popover()->isShown(), row.shown);
        EXPECT_TRUE(defaults_->boolForKey(PreferenceKey::hasLaunched));
        delegate_->details().popover()->close();
        app_.statusBar().removeStatusItem(delegate_->statusStrip().item());
        delegate_->applicationWillTerminate();
    }
}

TEST_F(AppDelegateTest, ReopenOpensThePopoverUnlessDetachedAndAnswersFalse) {
    defaults_->setBool(true, PreferenceKey::hasLaunched);
    launch();
    pump();
    EXPECT_FALSE(app_.reopen());
    EXPECT_TRUE(delegate_->details().popover()->isShown());
    delegate_->details().popover()->close();
    delegate_->settings().change([](Preferences& p) { p.floatingMode = FloatingMode::detached; });
    EXPECT_FALSE(app_.reopen());
    EXPECT_FALSE(delegate_->details().popover()->isShown());
}

TEST_F(AppDelegateTest, HotPlugRequestsASampleAndFloatingModeIsStored) {
    launch();
    pump();
    readers_.log->take();
    ASSERT_TRUE(*readers_.devicesChanged);
    (*readers_.devicesChanged)();
    pump();
    EXPECT_EQ(readers_.log->take().size(), 6u);

    delegate_->details().view()->floatingAction(FloatingMode::copy);
    EXPECT_EQ(delegate_->settings().main().floatingMode, FloatingMode::copy);
    EXPECT_EQ(defaults_->stringForKey(PreferenceKey::floatingMode), "copy");
    EXPECT_EQ(delegate_->details().view()->state().floatingMode, FloatingMode::copy);
}

TEST_F(AppDelegateTest, ClosuresAndDelayedStepsDoNothingOnceTheControllerIsGone) {
    launch();
    auto changed = *readers_.devicesChanged;
    const MenuBarContentView& strip = *delegate_->statusStrip().view();
    auto width = strip.widthChangedAction;
    auto click = strip.clickAction;
    auto pull = strip.floatingDragAction;
    auto redraw = strip.editingDisplayAction;
    auto hover = strip.hoverDetailsEnabled;
    // A choice the details report still reaches the store, which tells no controller that is gone.
    auto choose = delegate_->details().view()->lookAction;
    delegate_.reset();
    changed();
    width();
    click(gfx::Point{1400, 890});
    pull({1400, 890}, {1000, 500}, false);
    redraw();
    EXPECT_FALSE(hover());
    choose([](StripLook& look) { look.opacity = 0.5; });
    loop_.advanceAndRunDue(2);
    EXPECT_EQ(defaults_->doubleForKey(PreferenceKey::floatingOpacity), 0.5);
    EXPECT_TRUE(defaults_->boolForKey(PreferenceKey::hasLaunched));
    EXPECT_FALSE(defaults_->boolForKey(PreferenceKey::menuBarTipShown))
        << "the tip's step found no controller";
}

TEST(StatusPresentationHeight, ImplausibleHeightsFallBack) {
    auto screen = [](double menuBar, double safeTop) {
        auto description = ui::HeadlessWindowServer::makeScreen({0, 0, 1000, 800}, 1, menuBar);
        description.safeAreaTop = safeTop;
        return ui::Screen(description);
    };
    EXPECT_EQ(statusPresentationHeight({screen(24, 0)}, 24), 24);
    EXPECT_EQ(statusPresentationHeight({screen(22, 0), screen(26, 0)}, 24), 22);
    // 17 and 81 are not believed: the thickness (at least 24) or the safe-area top stands in.
    EXPECT_EQ(statusPresentationHeight({screen(17, 0)}, 22), 24);
    EXPECT_EQ(statusPresentationHeight({screen(81, 32)}, 22), 28) << "32, kept within 18…28";
    EXPECT_EQ(statusPresentationHeight({screen(81, 26)}, 22), 26);
    EXPECT_EQ(statusPresentationHeight({}, 24), 24);
}

// The name the start tests hold: another test program running at the same time on this machine
// (another build's) must not hold it too.
const std::string startIdentifier = "test.ApplicationStart-" + std::to_string(getpid());

// Starting: a second copy quits before it makes anything, whether the first took its request or
// never answered.
TEST(ApplicationStart, ASecondCopyCreatesNothing) {
    for (const bool answering : {false, true}) {
        testsupport::TemporaryDirectory config;
        foundation::UserDefaults defaults(config.path(), "local.dorvettin.Pulsedeck");
        auto first = foundation::SingleInstance::claim(startIdentifier, ":42");
        ASSERT_EQ(first.outcome(), foundation::SingleInstance::Outcome::acquired);
        dispatch::RunLoop firstLoop;
        int reopened = 0;
        if (answering)
            first.serveReopenRequests(firstLoop, [&] { ++reopened; });

        dispatch::VirtualClock clock;
        dispatch::RunLoop loop{clock};
        ui::HeadlessWindowServer server({ui::HeadlessWindowServer::makeScreen({0, 0, 800, 600}, 1)},
                                        clock);
        AppDelegate::Environment environment;
        environment.defaults = &defaults;
        environment.loop = &loop;
        int made = 0;
        environment.makeResources = [&] {
            ++made;
            return fakes::FakeReaders{}.make();
        };
        // Not on the main thread: a start that went on to run would stop there.
        auto outcome = std::async(std::launch::async, [&] {
            return startApplication(server, environment, {startIdentifier, ":42", false});
        });
        if (answering) {
            EXPECT_TRUE(testsupport::runUntil(firstLoop, [&] { return reopened == 1; }));
        }
        EXPECT_EQ(outcome.get(), answering ? StartOutcome::anotherCopyOpened
                                           : StartOutcome::anotherCopyDidNotAnswer);
        EXPECT_EQ(made, 0);
        EXPECT_EQ(ui::Application::current(), nullptr);
        EXPECT_TRUE(server.visibleWindows().empty());
    }
}

TEST(ApplicationStart, TheCopyHoldingTheLockRunsUntilTerminated) {
    testsupport::TemporaryDirectory config;
    foundation::UserDefaults defaults(config.path(), "local.dorvettin.Pulsedeck");
    // The live clock and the real sampling worker, for a little over one second.
    dispatch::RunLoop loop;
    dispatch::ScopedMainRunLoop main{loop};
    ui::HeadlessWindowServer server({ui::HeadlessWindowServer::makeScreen({0, 0, 800, 600}, 1)},
                                    loop.clock());
    AppDelegate::Environment environment;
    environment.defaults = &defaults;
    environment.loop = &loop;
    environment.makeResources = [] { return fakes::FakeReaders{}.make(); };
    int applied = 0;
    const auto outcome =
        startApplication(server, environment, {startIdentifier, ":43", false},
                         [&](ui::Application& app, AppDelegate& delegate) {
                             loop.queue().asyncAfter(1.3, [&] {
                                 applied = static_cast<int>(delegate.sampling().history.size());
                                 app.terminate();
                             });
                         });
    EXPECT_EQ(outcome, StartOutcome::ran);
    EXPECT_GE(applied, 1);
    EXPECT_TRUE(defaults.boolForKey(PreferenceKey::hasLaunched));
}

} // namespace
} // namespace pulsedeck
