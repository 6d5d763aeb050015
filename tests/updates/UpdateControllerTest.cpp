#include "updates/UpdateController.h"

#include "platform/dispatch/RunLoop.h"
#include "platform/dispatch/Timer.h"
#include "platform/foundation/UserDefaults.h"
#include "support/ScopedTimeZone.h"
#include "support/TestPaths.h"
#include "updates/ReleaseManifest.h"

#include <cmath>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

namespace pulsedeck {
namespace {

constexpr double hour = 3600;
constexpr double day = 24 * hour;
const std::string manifestAddress = "https://pulsedeck.dorvettin.net/latest.json";

foundation::Date utc(int year, int month, int dayOfMonth, int hourOfDay) {
    return foundation::Date{testsupport::utcSeconds(year, month, dayOfMonth, hourOfDay)};
}

// A controller on a virtual clock whose wall clock starts at `start`, with a loader that keeps
// each request for the test to answer.
class UpdateControllerTest : public ::testing::Test {
protected:
    struct Request {
        std::string source;
        ManifestCompletion completion;
        std::optional<foundation::Date> attemptAtRequest;
    };

    void make(std::optional<std::string> source = manifestAddress) {
        UpdateController::Configuration configuration;
        configuration.defaults = &defaults;
        configuration.source = std::move(source);
        configuration.version = "2.0.0";
        configuration.build = 50;
        configuration.systemVersion = "13.4.0";
        configuration.now = [this] {
            return foundation::Date{start.timeIntervalSince1970 + clock.now() - clockStart};
        };
        configuration.fetch = [this](const std::string& address, ManifestCompletion completion) {
            requests.push_back({address, std::move(completion), storedAttempt()});
        };
        configuration.loop = &loop;
        controller = UpdateController::create(std::move(configuration));
        controller->present = [this](const UpdateOutcome& outcome) {
            presented.push_back(outcome);
        };
        controller->notify = [this](const AppRelease& release) { notified.push_back(release); };
    }

    foundation::Date now() const {
        return foundation::Date{start.timeIntervalSince1970 + clock.now() - clockStart};
    }
    std::optional<foundation::Date> storedAttempt() const {
        const auto value = defaults.objectForKey(updateLastAttemptKey);
        if (!value || !value->asDate())
            return std::nullopt;
        return *value->asDate();
    }
    void answer(ManifestResult result, std::size_t index = 0) {
        requests.at(index).completion(std::move(result));
        loop.runUntilIdle();
    }

    testsupport::TemporaryDirectory directory;
    foundation::UserDefaults defaults{directory.path(), "local.dorvettin.Pulsedeck"};
    const double clockStart = 1000;
    dispatch::VirtualClock clock{clockStart};
    dispatch::RunLoop loop{clock};
    foundation::Date start = utc(2024, 3, 20, 9);
    std::shared_ptr<UpdateController> controller;
    std::vector<Request> requests;
    std::vector<UpdateOutcome> presented;
    std::vector<AppRelease> notified;
};

TEST_F(UpdateControllerTest, LaunchWithoutAnAttemptFetchesAtOnceAndRecordsTheAttemptFirst) {
    make();
    controller->schedule();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].source, manifestAddress);
    EXPECT_EQ(requests[0].attemptAtRequest, now());
    ASSERT_NE(controller->timer(), nullptr);
    EXPECT_EQ(controller->timer()->interval(), 900);
    EXPECT_EQ(controller->timer()->tolerance(), 30);
    EXPECT_TRUE(controller->timer()->repeats());

    // A failed automatic check shows nothing and keeps its attempt for the next due test.
    const auto attempt = now();
    clock.advance(5);
    answer(UpdateError{"curl", 7, "could not connect"});
    EXPECT_TRUE(presented.empty());
    EXPECT_FALSE(controller->isChecking());
    EXPECT_EQ(storedAttempt(), attempt);
    loop.advanceAndRunDue(6 * day);
    EXPECT_EQ(requests.size(), 1u);
}

TEST_F(UpdateControllerTest, AWeekIsSevenCalendarDaysAcrossTheChangeToSummerTime) {
    testsupport::ScopedTimeZone zone(testsupport::centralEuropeanTime);
    // 10:00 local on Monday 25 March; a week later is 10:00 summer time, 167 hours on.
    defaults.setObject(utc(2024, 3, 25, 9), updateLastAttemptKey);
    start = foundation::Date{utc(2024, 3, 25, 9).timeIntervalSince1970 + 166 * hour};
    make();
    controller->schedule();
    EXPECT_TRUE(requests.empty());
    loop.advanceAndRunDue(2700);
    EXPECT_TRUE(requests.empty());
    loop.advanceAndRunDue(900);
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].attemptAtRequest, (foundation::Date{utc(2024, 4, 1, 8)}));
}

TEST_F(UpdateControllerTest, TheDueTestCountsCalendarMonthsAndDistrustsAFutureAttempt) {
    testsupport::ScopedTimeZone zone(testsupport::centralEuropeanTime);
    const auto minus = [](foundation::Date date, double seconds) {
        return foundation::Date{date.timeIntervalSince1970 - seconds};
    };
    struct Case {
        UpdateFrequency frequency;
        std::optional<foundation::Date> last;
        foundation::Date now;
        bool due;
    };
    const auto janEnd = utc(2024, 1, 31, 11);
    const auto novEnd = utc(2023, 11, 30, 11);
    const std::vector<Case> cases = {
        {UpdateFrequency::monthly, janEnd, minus(utc(2024, 2, 29, 11), 1), false},
        {UpdateFrequency::monthly, janEnd, utc(2024, 2, 29, 11), true},
        {UpdateFrequency::quarterly, novEnd, minus(utc(2024, 2, 29, 11), 1), false},
        {UpdateFrequency::quarterly, novEnd, utc(2024, 2, 29, 11), true},
        {UpdateFrequency::weekly, std::nullopt, janEnd, true},
        {UpdateFrequency::weekly, utc(2024, 2, 1, 11), janEnd, true},
        {UpdateFrequency::never, std::nullopt, janEnd, false},
        {UpdateFrequency::never, minus(janEnd, 400 * day), janEnd, false},
        {UpdateFrequency::weekly, foundation::Date{std::nan("")}, janEnd, true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(isDue(c.frequency, c.last, c.now), c.due)
            << toString(c.frequency) << " at " << c.now.timeIntervalSince1970;
    EXPECT_EQ(nextCheckDate(UpdateFrequency::never, janEnd), std::nullopt);

    // Through the controller: a last attempt a month ahead (the clock went back) checks now.
    defaults.setObject(foundation::Date{start.timeIntervalSince1970 + 30 * day},
                       updateLastAttemptKey);
    make();
    controller->schedule();
    EXPECT_EQ(requests.size(), 1u);
}

TEST_F(UpdateControllerTest, OneFetchAtATimeAndAJoiningManualCheckSeesItsResult) {
    make();
    controller->schedule();
    ASSERT_EQ(requests.size(), 1u);
    controller->check(true);
    controller->check(true);
    EXPECT_EQ(requests.size(), 1u);
    answer(std::string(releaseManifest("2.0.0", 50)));
    ASSERT_EQ(presented.size(), 1u);
    EXPECT_EQ(presented[0], UpdateOutcome::current());

    // The next manual check starts a fetch of its own and is not shown as the previous one.
    controller->check(true);
    ASSERT_EQ(requests.size(), 2u);
    answer(std::string(releaseManifest("2.0.0", 50)), 1);
    EXPECT_EQ(presented.size(), 2u);
}

TEST_F(UpdateControllerTest, NeverStopsTheScheduleButNotTheUser) {
    defaults.setObject(now(), updateLastAttemptKey);
    make();
    controller->schedule();
    ASSERT_NE(controller->timer(), nullptr);
    controller->setFrequency(UpdateFrequency::never);
    EXPECT_EQ(defaults.stringForKey(updateCheckFrequencyKey), "never");
    EXPECT_EQ(controller->timer(), nullptr);
    loop.advanceAndRunDue(400 * day);
    EXPECT_TRUE(requests.empty());
    controller->check(true);
    ASSERT_EQ(requests.size(), 1u);
    answer(std::string(releaseManifest("2.1.0", 57)));
    ASSERT_EQ(presented.size(), 1u);
    EXPECT_EQ(presented[0].kind, UpdateOutcome::Kind::available);
}

TEST_F(UpdateControllerTest, EvaluationComparesVersionThenBuildThenSystem) {
    make();
    struct Case {
        ManifestResult result;
        UpdateOutcome outcome;
    };
    const auto release = [](const std::string& version, std::int64_t build,
                            std::optional<std::string> minimum = std::nullopt) {
        return std::get<AppRelease>(AppRelease::decode(releaseManifest(version, build, minimum)));
    };
    const std::vector<Case> cases = {
        {releaseManifest("2.0.0", 51), UpdateOutcome::available(release("2.0.0", 51))},
        {releaseManifest("2.0", 50), UpdateOutcome::current()},
        {releaseManifest("1.9.9", 99), UpdateOutcome::current()},
        {releaseManifest("2.0.1", 1), UpdateOutcome::available(release("2.0.1", 1))},
        {releaseManifest("2.1.0", 57, "13.4"),
         UpdateOutcome::available(release("2.1.0", 57, "13.4"))},
        {releaseManifest("2.1.0", 57, "13.5"), UpdateOutcome::requiresSystem("13.5")},
        {releaseManifest("1.0.0", 1, "99"), UpdateOutcome::current()},
        {releaseManifest("2.1.0", 57, "13.x"), UpdateOutcome::failed("")},
        {releaseManifest("2.1.0", 0), UpdateOutcome::failed("")},
        {std::string(R"({"version": "2.1.0", "build": 57.0, "url": "https://x.example/"})"),
         UpdateOutcome::failed("")},
        {std::string("{}"), UpdateOutcome::failed("")},
        {UpdateError{"PulsedeckUpdates", 1, "HTTP status 404"}, UpdateOutcome::failed("")},
    };
    for (const auto& c : cases) {
        presented.clear();
        controller->check(true);
        requests.back().completion(c.result);
        ASSERT_EQ(presented.size(), 1u);
        EXPECT_EQ(presented[0], c.outcome) << describe(presented[0]);
    }
    // The address rule comes from the owner.
    UpdateController::Configuration strict;
    strict.defaults = &defaults;
    strict.source = manifestAddress;
    strict.version = "2.0.0";
    strict.fetch = [](const std::string&, ManifestCompletion completion) {
        completion(std::string(releaseManifest("3.0.0", 60)));
    };
    strict.acceptRelease = [](const AppRelease&) { return false; };
    strict.loop = &loop;
    auto refusing = UpdateController::create(std::move(strict));
    refusing->present = [this](const UpdateOutcome& outcome) { presented.push_back(outcome); };
    presented.clear();
    refusing->check(true);
    ASSERT_EQ(presented.size(), 1u);
    EXPECT_EQ(presented[0].kind, UpdateOutcome::Kind::failed);
}

TEST_F(UpdateControllerTest, AutomaticChecksAnnounceOnlyAnAvailableRelease) {
    make();
    const std::vector<std::string> quiet = {releaseManifest("2.0.0", 50),
                                            releaseManifest("2.1.0", 57, "14"), "not json"};
    for (const auto& body : quiet) {
        defaults.removeObjectForKey(updateLastAttemptKey);
        controller->check(false);
        answer(body, requests.size() - 1);
    }
    EXPECT_TRUE(presented.empty());
    EXPECT_TRUE(notified.empty());

    defaults.removeObjectForKey(updateLastAttemptKey);
    controller->check(false);
    answer(releaseManifest("2.1.0", 57), requests.size() - 1);
    ASSERT_EQ(notified.size(), 1u);
    EXPECT_EQ(notified[0].build, 57);
    EXPECT_TRUE(presented.empty());

    // Without a notifier the alert stands in; after switching to never nothing shows.
    controller->notify = nullptr;
    defaults.removeObjectForKey(updateLastAttemptKey);
    controller->check(false);
    answer(releaseManifest("2.1.0", 57), requests.size() - 1);
    EXPECT_EQ(presented.size(), 1u);
    defaults.removeObjectForKey(updateLastAttemptKey);
    controller->check(false);
    defaults.setObject("never", updateCheckFrequencyKey);
    answer(releaseManifest("2.1.0", 57), requests.size() - 1);
    EXPECT_EQ(presented.size(), 1u);
}

TEST_F(UpdateControllerTest, WithoutAUsableAddressOnlyAManualCheckAnswers) {
    for (const auto& address : {std::optional<std::string>{}, std::optional<std::string>{""},
                                std::optional<std::string>{"http://pulsedeck.dorvettin.net/x"},
                                std::optional<std::string>{"https:///latest.json"},
                                std::optional<std::string>{"https://a b/latest.json"}}) {
        presented.clear();
        make(address);
        EXPECT_EQ(controller->source(), std::nullopt) << address.value_or("(none)");
        controller->schedule();
        EXPECT_EQ(controller->timer(), nullptr);
        controller->check(true);
        EXPECT_TRUE(requests.empty());
        ASSERT_EQ(presented.size(), 1u);
        EXPECT_EQ(presented[0], UpdateOutcome::unavailable());
    }
    EXPECT_EQ(UpdateController::validatedSource("HTTPS://example.com/latest.json"),
              "HTTPS://example.com/latest.json");
}

TEST(UpdateControllerLimits, TheLiveFetchKeepsTheManifestLimits) {
    const auto options = UpdateController::manifestRequestOptions();
    EXPECT_EQ(options.connectTimeout, 20);
    EXPECT_EQ(options.idleTimeout, 20);
    EXPECT_EQ(options.totalTimeout, 30);
    EXPECT_EQ(options.maximumBodySize, 262'144u);
    EXPECT_EQ(options.maximumRedirects, 3);
    EXPECT_FALSE(options.trustedCertificates);
    EXPECT_TRUE(options.userAgent.starts_with("Pulsedeck/"));
}

TEST_F(UpdateControllerTest, ACompletionArrivesOnceOnTheLoopAndNeverAfterTheController) {
    make();
    controller->check(true);
    ASSERT_EQ(requests.size(), 1u);
    // From another thread the result waits for the loop.
    std::thread([&] { requests[0].completion(std::string(releaseManifest("2.0.0", 50))); }).join();
    EXPECT_TRUE(controller->isChecking());
    loop.runUntilIdle();
    EXPECT_FALSE(controller->isChecking());
    ASSERT_EQ(presented.size(), 1u);
    // A second call of the same completion is ignored.
    requests[0].completion(std::string(releaseManifest("2.1.0", 57)));
    loop.runUntilIdle();
    EXPECT_EQ(presented.size(), 1u);

    // A loader that drops its completion still ends the check, so later checks are not blocked.
    controller->check(true);
    requests.pop_back();
    loop.runUntilIdle();
    EXPECT_FALSE(controller->isChecking());
    ASSERT_EQ(presented.size(), 2u);
    EXPECT_EQ(presented[1].kind, UpdateOutcome::Kind::failed);

    // The controller goes while its fetch is out: the late answer finds nobody.
    controller->check(true);
    ASSERT_EQ(requests.size(), 2u);
    std::weak_ptr<UpdateController> gone = controller;
    controller.reset();
    EXPECT_TRUE(gone.expired());
    std::thread([&] { requests[1].completion(std::string(releaseManifest("2.1.0", 57))); }).join();
    loop.runUntilIdle();
    EXPECT_EQ(presented.size(), 2u);
}

} // namespace
} // namespace pulsedeck
