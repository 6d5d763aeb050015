#include "updates/UpdateNotifications.h"

#include "model/TextFormat.h"
#include "platform/dispatch/RunLoop.h"
#include "support/FakeNotificationCenter.h"

#include <gtest/gtest.h>
#include <vector>

namespace pulsedeck {
namespace {

using sys::NotificationAuthorization;

AppRelease
release(std::string url = "https://pulsedeck.dorvettin.net/downloads/Pulsedeck-2.1.0-57.zip") {
    AppRelease r;
    r.version = "2.1.0";
    r.build = 57;
    r.url = std::move(url);
    return r;
}

class UpdateNotificationsTest : public ::testing::Test {
protected:
    void SetUp() override {
        notifications.setCenter(center);
        notifications.openRelease = [this](const std::string& url) { opened.push_back(url); };
    }

    // Posts and answers how many times the fallback ran.
    int post(const AppRelease& announced) {
        int fallbacks = 0;
        notifications.post(announced, AppLanguage::english, "2.0.0", [&] { ++fallbacks; });
        loop.runUntilIdle();
        return fallbacks;
    }

    dispatch::VirtualClock clock;
    dispatch::RunLoop loop{clock};
    dispatch::ScopedMainRunLoop scopedLoop{loop};
    std::shared_ptr<testsupport::FakeNotificationCenter> center =
        std::make_shared<testsupport::FakeNotificationCenter>();
    UpdateNotifications notifications;
    std::vector<std::string> opened;
};

TEST_F(UpdateNotificationsTest, PostsOnlyWhenAllowedAndFallsBackOtherwise) {
    struct Case {
        NotificationAuthorization status;
        std::optional<std::string> addError;
        std::size_t posted;
        int fallbacks;
    };
    const Case cases[] = {
        {NotificationAuthorization::authorized, std::nullopt, 1, 0},
        {NotificationAuthorization::provisional, std::nullopt, 1, 0},
        {NotificationAuthorization::notDetermined, std::nullopt, 0, 1},
        {NotificationAuthorization::denied, std::nullopt, 0, 1},
        {NotificationAuthorization::ephemeral, std::nullopt, 0, 1},
        {NotificationAuthorization::authorized, "org.freedesktop.DBus.Error.NoReply", 1, 1},
    };
    for (const auto& entry : cases) {
        center->added.clear();
        center->status = entry.status;
        center->addError = entry.addError;
        EXPECT_EQ(post(release()), entry.fallbacks) << int(entry.status);
        EXPECT_EQ(center->added.size(), entry.posted) << int(entry.status);
    }
    center->added.clear();
    center->status = NotificationAuthorization::authorized;
    EXPECT_EQ(post(release("https://elsewhere.example/downloads/Pulsedeck-2.1.0-57.zip")), 0)
        << "a release that is not acceptable is dropped";
    EXPECT_TRUE(center->added.empty());

    UpdateNotifications withoutCentre;
    int fallbacks = 0;
    withoutCentre.post(release(), AppLanguage::english, "2.0.0", [&] { ++fallbacks; });
    loop.runUntilIdle();
    EXPECT_EQ(fallbacks, 1);
}

TEST_F(UpdateNotificationsTest, ContentCarriesTheReleaseAndOneIdentifierPerBuild) {
    AppRelease withInstaller = release();
    withInstaller.installerURL = "https://pulsedeck.dorvettin.net/downloads/Pulsedeck-2.1.0-57.dmg";
    post(withInstaller);
    post(withInstaller);
    ASSERT_EQ(center->added.size(), 2u);
    const auto& request = center->added[0];
    EXPECT_EQ(request.identifier, "pulsedeck-update-57");
    EXPECT_EQ(center->added[1].identifier, request.identifier);
    EXPECT_EQ(request.title, text(Copy::updateAvailable, AppLanguage::english));
    const std::string versions[] = {"2.1.0", "2.0.0"};
    EXPECT_EQ(request.body,
              formatText(text(Copy::updateAvailableMessage, AppLanguage::english), versions));
    EXPECT_EQ(
        request.userInfo,
        (foundation::PropertyDictionary{
            {"version", "2.1.0"},
            {"build", std::int64_t{57}},
            {"url", "https://pulsedeck.dorvettin.net/downloads/Pulsedeck-2.1.0-57.zip"},
            {"installerURL", "https://pulsedeck.dorvettin.net/downloads/Pulsedeck-2.1.0-57.dmg"}}));
}

TEST_F(UpdateNotificationsTest, AClickOpensOnlyAReleaseThatStillPassesTheRule) {
    post(release());
    ASSERT_EQ(center->added.size(), 1u);
    const foundation::PropertyDictionary genuine = center->added[0].userInfo;
    const std::string zip = "https://pulsedeck.dorvettin.net/downloads/Pulsedeck-2.1.0-57.zip";
    const std::string dmg = "https://pulsedeck.dorvettin.net/downloads/Pulsedeck-2.1.0-57.dmg";

    struct Case {
        const char* what;
        foundation::PropertyDictionary userInfo;
        std::vector<std::string> opens;
    };
    auto with = [&](const char* key, foundation::PropertyValue value) {
        auto changed = genuine;
        changed[key] = std::move(value);
        return changed;
    };
    auto without = [&](const char* key) {
        auto changed = genuine;
        changed.erase(key);
        return changed;
    };
    const std::vector<Case> cases = {
        {"as posted", genuine, {zip}},
        {"an acceptable installer", with("installerURL", dmg), {dmg}},
        {"an installer elsewhere", with("installerURL", "https://evil.example/x.dmg"), {zip}},
        {"an installer of another type", with("installerURL", std::int64_t{1}), {zip}},
        {"another host", with("url", "https://evil.example/downloads/Pulsedeck-2.1.0-57.zip"), {}},
        {"build 0", with("build", std::int64_t{0}), {}},
        {"build as text", with("build", "57"), {}},
        {"build as a real", with("build", 57.0), {}},
        {"a build the path does not name", with("build", std::int64_t{58}), {}},
        {"version missing", without("version"), {}},
        {"url missing", without("url"), {}},
        {"url not a URL", with("url", "not a url"), {}},
        {"url with a query", with("url", zip + "?x=1"), {}},
        {"empty", {}, {}},
    };
    for (const auto& entry : cases) {
        opened.clear();
        center->defaultActionHandler(entry.userInfo);
        loop.runUntilIdle();
        EXPECT_EQ(opened, entry.opens) << entry.what;
    }
}

} // namespace
} // namespace pulsedeck
