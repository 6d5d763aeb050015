#pragma once

#include "app/AppDelegate.h"
#include "app/AppIcon.h"
#include "app/FakeSampling.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/toolkit/headless/HeadlessWindowList.h"
#include "platform/toolkit/headless/HeadlessWindowServer.h"
#include "support/AppDelegateProbe.h"
#include "support/TestPaths.h"

#include <gtest/gtest.h>

namespace pulsedeck::testing {

// A pixel's brightness, 0 to 255, weighted as the eye sees the channels.
inline int luminance(gfx::Rgba8 pixel) {
    return (pixel.red * 3 + pixel.green * 6 + pixel.blue) / 10;
}

// The controller launched on the headless window server (one 1440 × 900 screen), a virtual
// clock, fake readers with the sampling queue run by hand, preferences and the login item in a
// temporary folder, and a window list the test fills.
class ControllerHarness : public ::testing::Test {
protected:
    AppDelegate::Environment environment() {
        AppDelegate::Environment environment;
        environment.defaults = defaults.get();
        environment.loop = &loop;
        environment.makeResources = [this] { return readers.make(); };
        environment.samplingExecution = dispatch::SerialQueue::Execution::manual;
        environment.preferredLanguages = [] { return std::vector<std::string>{"en-GB"}; };
        environment.windowList = windows;
        environment.loginItem = LoginItem(config.path() / "autostart" / LoginItem::entryName,
                                          "/opt/pulsedeck/bin/pulsedeck");
        environment.appIcon = [this](bool dark) -> std::optional<gfx::Image> {
            iconRequests.push_back(dark);
            return appIconImage(dark, 32);
        };
        return environment;
    }

    void launch() { launch(environment()); }
    void launch(AppDelegate::Environment environment) {
        defaults->setBool(true, PreferenceKey::hasLaunched);
        defaults->setBool(true, PreferenceKey::menuBarTipShown);
        delegate = AppDelegate::create(std::move(environment));
        app.setDelegate(delegate);
        app.finishLaunching();
        pump();
    }

    void pump() {
        loop.runUntilIdle();
        delegate->sampler().samplingQueue().runPending();
        loop.runUntilIdle();
    }

    void advance(double seconds) {
        loop.advanceAndRunDue(seconds);
        pump();
    }

    // The preferences as a restarted process reads them.
    foundation::UserDefaults reloaded() {
        defaults->synchronize();
        return foundation::UserDefaults(prefsDirectory, "local.dorvettin.Pulsedeck");
    }

    // The centre of a module on the strip, in screen coordinates.
    gfx::Point moduleCenter(ModuleKind kind) const {
        const auto strip = delegate->statusStrip().view()->statusItemScreenFrame();
        EXPECT_TRUE(strip);
        const gfx::Rect rect = delegate->statusStrip().view()->rect(kind);
        return {strip->x() + rect.midX(), strip->y() + rect.midY()};
    }

    // Starts the preferences afresh in a new folder.
    void freshPreferences(const std::string& name) {
        prefsDirectory = config.path() / name;
        defaults =
            std::make_unique<foundation::UserDefaults>(prefsDirectory, "local.dorvettin.Pulsedeck");
    }

    testsupport::TemporaryDirectory config;
    std::filesystem::path prefsDirectory = config.path() / "prefs";
    std::unique_ptr<foundation::UserDefaults> defaults =
        std::make_unique<foundation::UserDefaults>(prefsDirectory, "local.dorvettin.Pulsedeck");
    dispatch::VirtualClock clock{500};
    dispatch::RunLoop loop{clock};
    dispatch::ScopedMainRunLoop mainLoop{loop};
    ui::HeadlessWindowServer server{{ui::HeadlessWindowServer::makeScreen({0, 0, 1440, 900}, 1)},
                                    clock};
    ui::Application app{server, loop};
    fakes::FakeReaders readers;
    std::shared_ptr<ui::HeadlessWindowList> windows = std::make_shared<ui::HeadlessWindowList>();
    std::vector<bool> iconRequests;
    std::shared_ptr<AppDelegate> delegate;
    FloatingBarController& floatingBar() const { return delegate->floatingBar(); }
    const std::unique_ptr<ui::Popover>& popover() const { return delegate->details().popover(); }
    const std::shared_ptr<DetailView>& details() const { return delegate->details().view(); }
};

} // namespace pulsedeck::testing
