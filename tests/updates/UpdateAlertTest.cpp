#include "updates/UpdateAlert.h"

#include "platform/toolkit/Alert.h"

#include <gtest/gtest.h>

namespace pulsedeck {
namespace {

AppRelease acceptable() {
    AppRelease release;
    release.version = "2.1.0";
    release.build = 57;
    release.url = "https://pulsedeck.dorvettin.net/downloads/Pulsedeck-2.1.0-57.zip";
    return release;
}

TEST(UpdateAlert, EachOutcomeHasItsTextsAndButtons) {
    const AppLanguage de = AppLanguage::german;
    const std::string running = "\n" + text(Copy::currentVersion, de) + ": 2.0.0";
    const std::string check = text(Copy::checkUpdates, de);
    const std::vector<std::string> okay = {text(Copy::okay, de)};
    struct Case {
        UpdateOutcome outcome;
        UpdateAlertContent expected;
    };
    const Case cases[] = {
        {UpdateOutcome::available(acceptable()),
         {text(Copy::updateAvailable, de),
          "Pulsedeck 2.1.0 ist verfügbar. Installiert ist 2.0.0.",
          {text(Copy::updateNow, de), text(Copy::remindLater, de)}}},
        {UpdateOutcome::requiresSystem("13.4"),
         {check, "Die neue Version benötigt Systemversion 13.4 oder neuer." + running, okay}},
        {UpdateOutcome::unavailable(), {check, text(Copy::updatesUnavailable, de) + running, okay}},
        {UpdateOutcome::unsupported("libcurl could not be loaded"),
         {check, text(Copy::updatesUnsupported, de) + running, okay}},
        {UpdateOutcome::current(), {check, text(Copy::upToDate, de) + running, okay}},
        {UpdateOutcome::failed("HTTP status 404"),
         {check, text(Copy::updatesFailed, de) + running, okay}},
    };
    for (const auto& entry : cases) {
        EXPECT_EQ(updateAlertContent(entry.outcome, de, "2.0.0"), entry.expected)
            << describe(entry.outcome);
    }
    // Without a bundle version every alert names the dash.
    EXPECT_EQ(updateAlertContent(UpdateOutcome::current(), AppLanguage::english, "—").informative,
              text(Copy::upToDate, AppLanguage::english) + "\n" +
                  text(Copy::currentVersion, AppLanguage::english) + ": —");

    const auto alert = makeUpdateAlert(UpdateOutcome::available(acceptable()), de, "2.0.0");
    ASSERT_EQ(alert->buttons().size(), 2u);
    EXPECT_EQ(alert->buttons()[0]->title(), text(Copy::updateNow, de));
    EXPECT_EQ(alert->messageText(), text(Copy::updateAvailable, de));
}

TEST(UpdateAlert, OnlyTheFirstButtonOfAnAcceptableReleaseOpens) {
    AppRelease elsewhere = acceptable();
    elsewhere.url = "https://evil.example/downloads/Pulsedeck-2.1.0-57.zip";
    const long first = ui::ModalResponse::alertFirstButton;
    const long second = ui::ModalResponse::alertSecondButton;
    EXPECT_TRUE(alertAnswerOpensDownload(UpdateOutcome::available(acceptable()), first));
    EXPECT_FALSE(alertAnswerOpensDownload(UpdateOutcome::available(acceptable()), second));
    EXPECT_FALSE(
        alertAnswerOpensDownload(UpdateOutcome::available(acceptable()), ui::ModalResponse::abort));
    EXPECT_FALSE(alertAnswerOpensDownload(UpdateOutcome::available(elsewhere), first));
    EXPECT_FALSE(alertAnswerOpensDownload(UpdateOutcome::current(), first));
}

} // namespace
} // namespace pulsedeck
