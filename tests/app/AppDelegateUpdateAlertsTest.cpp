#include "app/ControllerHarness.h"
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

class AppDelegateUpdateAlertsTest : public testing::ControllerHarness {
protected:
    void launchWith(sys::NotificationAuthorization status) {
        center->status = status;
        auto environment = this->environment();
        environment.notificationCenter = center;
        environment.fetchManifest = [this](const std::string&, ManifestCompletion completion) {
            completions.push_back(std::move(completion));
        };
        app.workspace().setOpener([this](const std::vector<std::string>& argv) {
            std::lock_guard lock(mutex);
            opened.push_back(argv.back());
            return true;
        });
        defaults->setBool(true, PreferenceKey::hasLaunched);
        defaults->setBool(true, PreferenceKey::menuBarTipShown);
        delegate = AppDelegate::create(std::move(environment));
        app.setDelegate(delegate);
        app.finishLaunching();
        pump();
    }

    std::vector<std::string> openedURLs() {
        std::lock_guard lock(mutex);
        return opened;
    }

    std::shared_ptr<testsupport::FakeNotificationCenter> center =
        std::make_shared<testsupport::FakeNotificationCenter>();
    std::vector<ManifestCompletion> completions;
    std::mutex mutex;
    std::vector<std::string> opened;
};

TEST_F(AppDelegateUpdateAlertsTest, AnAutomaticReleaseShowsTheAlertUntilNotificationsAreAllowed) {
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

TEST_F(AppDelegateUpdateAlertsTest, AllowedNotificationsTakeTheReleaseInsteadOfTheAlert) {
    launchWith(sys::NotificationAuthorization::authorized);
    completions[0](std::string(newerManifest));
    pump();
    EXPECT_TRUE(server.modalSessions().empty());
    ASSERT_EQ(center->added.size(), 1u);
    EXPECT_EQ(center->added[0].identifier, "pulsedeck-update-9999");

    // The frequency asks to announce releases, except when checks are turned off.
    details()->updateFrequencyAction(UpdateFrequency::never);
    pump();
    EXPECT_EQ(center->authorizationRequests, 0);
    details()->updateFrequencyAction(UpdateFrequency::monthly);
    pump();
    EXPECT_EQ(center->authorizationRequests, 1);
}

TEST_F(AppDelegateUpdateAlertsTest, AManualCheckShowsItsOutcomeAndLaterOpensNothing) {
    launchWith(sys::NotificationAuthorization::authorized);
    server.answerNextModal(text(Copy::okay, AppLanguage::english));
    details()->checkUpdatesAction();
    completions[0](UpdateError{"PulsedeckUpdates", 1, "HTTP status 404"});
    pump();
    EXPECT_EQ(server.modalSessions().size(), 1u);
    testsupport::settle(loop, 0.05);
    EXPECT_TRUE(openedURLs().empty());
}

} // namespace
} // namespace pulsedeck
