#include "app/ControllerHarness.h"
#include "platform/dispatch/Timer.h"
#include "platform/toolkit/Popover.h"
#include "platform/toolkit/Workspace.h"
#include "support/FakeNotificationCenter.h"
#include "support/RunUntil.h"

#include <mutex>
#include <string>
#include <vector>

namespace pulsedeck {
namespace {

constexpr const char* newerManifest =
    R"({"version": "99.0.0", "build": 9999,
        "url": "https://pulsedeck.dorvettin.net/downloads/Pulsedeck-99.0.0-9999.zip",
        "installerURL": "https://pulsedeck.dorvettin.net/downloads/Pulsedeck-99.0.0-9999.dmg"})";

class AppUpdatesTest : public testing::ControllerHarness {
protected:
    void launchWith(sys::NotificationAuthorization status) {
        center->status = status;
        auto environment = this->environment();
        environment.notificationCenter = center;
        environment.fetchManifest = [this](const std::string& source,
                                           ManifestCompletion completion) {
            sources.push_back(source);
            completions.push_back(std::move(completion));
        };
        app.workspace().setOpener([this](const std::vector<std::string>& argv) {
            std::lock_guard lock(mutex);
            opened.push_back(argv.back());
            return true;
        });
        launch(std::move(environment));
    }

    std::vector<std::string> openedURLs() {
        std::lock_guard lock(mutex);
        return opened;
    }

    std::shared_ptr<testsupport::FakeNotificationCenter> center =
        std::make_shared<testsupport::FakeNotificationCenter>();
    std::vector<std::string> sources;
    std::vector<ManifestCompletion> completions;
    std::mutex mutex;
    std::vector<std::string> opened;
};

// The launch checks the product's manifest; a manual check joins it and shows its outcome, and
// the frequency reschedules, asking to announce releases unless checks are off.
TEST_F(AppUpdatesTest, LaunchChecksTheManifestAManualCheckJoinsItAndTheFrequencyReschedules) {
    launchWith(sys::NotificationAuthorization::authorized);
    ASSERT_EQ(sources, std::vector<std::string>{"https://pulsedeck.dorvettin.net/latest.json"});
    auto& updates = delegate->updates();
    EXPECT_EQ(updates.version(), PULSEDECK_VERSION);
    EXPECT_EQ(updates.build(), std::stoll(PULSEDECK_BUILD));
    EXPECT_GE(updates.build(), 1);
    ASSERT_NE(updates.timer(), nullptr);

    server.answerNextModal(text(Copy::okay, AppLanguage::english));
    details()->checkUpdatesAction();
    EXPECT_EQ(sources.size(), 1u);
    completions[0](UpdateError{"PulsedeckUpdates", 1, "HTTP status 404"});
    pump();
    EXPECT_EQ(server.modalSessions().size(), 1u);
    testsupport::settle(loop, 0.05);
    EXPECT_TRUE(openedURLs().empty());

    details()->updateFrequencyAction(UpdateFrequency::never);
    pump();
    EXPECT_EQ(defaults->stringForKey(updateCheckFrequencyKey), "never");
    EXPECT_EQ(updates.timer(), nullptr);
    EXPECT_EQ(details()->state().updateFrequency, UpdateFrequency::never);
    EXPECT_EQ(center->authorizationRequests, 0);
    details()->updateFrequencyAction(UpdateFrequency::monthly);
    pump();
    EXPECT_NE(updates.timer(), nullptr);
    EXPECT_EQ(details()->state().updateFrequency, UpdateFrequency::monthly);
    EXPECT_EQ(center->authorizationRequests, 1);
    // Checked a moment ago: the new schedule does not fetch again.
    EXPECT_EQ(sources.size(), 1u);
}

TEST_F(AppUpdatesTest, AnAutomaticReleaseShowsTheAlertUntilNotificationsAreAllowed) {
    launchWith(sys::NotificationAuthorization::notDetermined);
    ASSERT_EQ(completions.size(), 1u) << "launch checks";
    delegate->details().show(std::nullopt, std::nullopt);
    pump();
    ASSERT_TRUE(popover()->isShown());
    server.answerNextModal(text(Copy::updateNow, AppLanguage::english));
    completions[0](std::string(newerManifest));
    pump();
    EXPECT_EQ(server.modalSessions().size(), 1u);
    EXPECT_FALSE(popover()->isShown()) << "the alert closes the popover first";
    EXPECT_TRUE(center->added.empty());
    testsupport::runUntil(
        loop, [&] { return !openedURLs().empty(); }, 3);
    EXPECT_EQ(openedURLs(),
              (std::vector<std::string>{
                  "https://pulsedeck.dorvettin.net/downloads/Pulsedeck-99.0.0-9999.dmg"}));
}

TEST_F(AppUpdatesTest, AllowedNotificationsTakeTheReleaseInsteadOfTheAlert) {
    launchWith(sys::NotificationAuthorization::authorized);
    completions[0](std::string(newerManifest));
    pump();
    EXPECT_TRUE(server.modalSessions().empty());
    ASSERT_EQ(center->added.size(), 1u);
    EXPECT_EQ(center->added[0].identifier, "pulsedeck-update-9999");
}

} // namespace
} // namespace pulsedeck
