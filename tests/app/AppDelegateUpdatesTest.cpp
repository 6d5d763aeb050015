#include "app/ControllerHarness.h"
#include "platform/dispatch/Timer.h"

#include <string>
#include <vector>

namespace pulsedeck {
namespace {

class AppDelegateUpdatesTest : public testing::ControllerHarness {
protected:
    AppDelegate::Environment updatingEnvironment() {
        auto environment = this->environment();
        environment.fetchManifest = [this](const std::string& source,
                                           ManifestCompletion completion) {
            sources.push_back(source);
            completions.push_back(std::move(completion));
        };
        return environment;
    }

    void launchUpdating() {
        defaults->setBool(true, PreferenceKey::hasLaunched);
        defaults->setBool(true, PreferenceKey::menuBarTipShown);
        delegate = AppDelegate::create(updatingEnvironment());
        app.setDelegate(delegate);
        app.finishLaunching();
        pump();
    }

    std::vector<std::string> sources;
    std::vector<ManifestCompletion> completions;
};

TEST_F(AppDelegateUpdatesTest, LaunchChecksTheProductManifestAndTheMenuReachesTheChecker) {
    launchUpdating();
    ASSERT_EQ(sources.size(), 1u);
    EXPECT_EQ(sources[0], "https://pulsedeck.dorvettin.net/latest.json");
    auto& updates = delegate->updates();
    EXPECT_EQ(updates.version(), PULSEDECK_VERSION);
    EXPECT_EQ(updates.build(), std::stoll(PULSEDECK_BUILD));
    EXPECT_GE(updates.build(), 1);
    ASSERT_NE(updates.timer(), nullptr);

    // A manual check joins the launch check; its result arrives for it.
    std::vector<UpdateOutcome> shown;
    updates.present = [&shown](const UpdateOutcome& outcome) { shown.push_back(outcome); };
    details()->checkUpdatesAction();
    EXPECT_EQ(sources.size(), 1u);
    completions[0](UpdateError{"PulsedeckUpdates", 1, "HTTP status 404"});
    pump();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].kind, UpdateOutcome::Kind::failed);

    details()->updateFrequencyAction(UpdateFrequency::never);
    pump();
    EXPECT_EQ(defaults->stringForKey(updateCheckFrequencyKey), "never");
    EXPECT_EQ(updates.timer(), nullptr);
    EXPECT_EQ(details()->state().updateFrequency, UpdateFrequency::never);
    details()->updateFrequencyAction(UpdateFrequency::monthly);
    pump();
    EXPECT_NE(updates.timer(), nullptr);
    EXPECT_EQ(details()->state().updateFrequency, UpdateFrequency::monthly);
    // Checked a moment ago: the new schedule does not fetch again.
    EXPECT_EQ(sources.size(), 1u);
}

} // namespace
} // namespace pulsedeck
