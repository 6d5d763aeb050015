#pragma once

// clang-format off
#include "app/AppDelegate.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/toolkit/x11/X11WindowList.h"
#include "support/TestPaths.h"
#include <memory>
#include <string>
#include <utility>
#include <vector>
#include "support/X11TestSupport.h"
// clang-format on

namespace pulsedeck::testing {

// The whole program on a private X server, launched as by a user who has seen the first-run
// tip already, in English, with its preferences in a folder of the test's own.
class ProgramX11Fixture : public testsupport::X11Fixture {
protected:
    static constexpr const char* domain = "local.dorvettin.Pulsedeck";

    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(X11Fixture::SetUp());
        defaults = std::make_unique<foundation::UserDefaults>(config.path(), domain);
        defaults->setBool(true, PreferenceKey::hasLaunched);
        defaults->setBool(true, PreferenceKey::menuBarTipShown);
        AppDelegate::Environment environment;
        environment.defaults = defaults.get();
        environment.loop = &loop;
        environment.preferredLanguages = [] { return std::vector<std::string>{"en"}; };
        environment.windowList = std::make_shared<ui::x11::X11WindowList>(*server);
        prepare(environment);
        delegate = AppDelegate::create(environment);
        app->setDelegate(delegate);
        app->finishLaunching();
    }

    void TearDown() override {
        if (delegate) {
            delegate->applicationWillTerminate();
            delegate.reset();
        }
        X11Fixture::TearDown();
    }

    // What a test changes in the environment before the program starts.
    virtual void prepare(AppDelegate::Environment&) {}

    // A screen point as root pixels (the primary screen's bottom-left is the origin, y up).
    std::pair<int, int> pixel(gfx::Point point) const {
        const auto rect = server->geometry().pixelsFromRect({point.x, point.y, 1, 1});
        return {rect.x, rect.y};
    }

    testsupport::TemporaryDirectory config;
    std::unique_ptr<foundation::UserDefaults> defaults;
    std::shared_ptr<AppDelegate> delegate;
};

} // namespace pulsedeck::testing
