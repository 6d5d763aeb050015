#include "sources/SensorHelperAlert.h"

#include <gtest/gtest.h>

namespace {

using pulsedeck::Copy;
using pulsedeck::SensorAlertAction;
using pulsedeck::SensorAlertButton;
using pulsedeck::SensorHelperAlert;
using State = pulsedeck::SensorConnectionState;
using Buttons = std::vector<SensorAlertButton>;

TEST(SensorHelperAlert, ExplainsTheLinksState) {
    EXPECT_EQ(SensorHelperAlert::make(State::ready, true).informative, Copy::sensorReady);
    EXPECT_EQ(SensorHelperAlert::make(State::invalidData, true).informative, Copy::sensorInvalid);
    EXPECT_EQ(SensorHelperAlert::make(State::disconnected, false).informative, Copy::sensorNeeded);
    EXPECT_EQ(SensorHelperAlert::make(State::connecting, true).informative, Copy::sensorNeeded);
    EXPECT_EQ(SensorHelperAlert::make(State::ready, false).message, Copy::sensorCompanion);
}

TEST(SensorHelperAlert, OffersToOpenOnlyAFoundCompanion) {
    EXPECT_EQ(SensorHelperAlert::make(State::disconnected, false).buttons,
              (Buttons{SensorAlertButton::get, SensorAlertButton::retry, SensorAlertButton::okay}));
    EXPECT_EQ(SensorHelperAlert::make(State::disconnected, true).buttons,
              (Buttons{SensorAlertButton::get, SensorAlertButton::retry, SensorAlertButton::open,
                       SensorAlertButton::okay}));
}

TEST(SensorHelperAlert, ActsOnTheButtonNotItsPosition) {
    auto withoutCompanion = SensorHelperAlert::make(State::disconnected, false);
    EXPECT_EQ(withoutCompanion.action(0), SensorAlertAction::openSensorsPage);
    EXPECT_EQ(withoutCompanion.action(1), SensorAlertAction::retry);
    // "OK" in third place never launches a companion, even one installed meanwhile.
    EXPECT_EQ(withoutCompanion.action(2), SensorAlertAction::nothing);
    EXPECT_EQ(withoutCompanion.action(3), SensorAlertAction::nothing);

    auto withCompanion = SensorHelperAlert::make(State::ready, true);
    EXPECT_EQ(withCompanion.action(2), SensorAlertAction::launchCompanion);
    EXPECT_EQ(withCompanion.action(3), SensorAlertAction::nothing);
}

TEST(SensorHelperAlert, ButtonTitles) {
    EXPECT_EQ(pulsedeck::title(SensorAlertButton::get), Copy::sensorGet);
    EXPECT_EQ(pulsedeck::title(SensorAlertButton::retry), Copy::sensorRetry);
    EXPECT_EQ(pulsedeck::title(SensorAlertButton::open), Copy::sensorOpen);
    EXPECT_EQ(pulsedeck::title(SensorAlertButton::okay), Copy::okay);
}

} // namespace
