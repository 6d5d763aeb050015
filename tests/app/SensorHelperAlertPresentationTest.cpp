#include "app/SensorHelperAlertPresentation.h"

#include "platform/toolkit/Alert.h"
#include "platform/toolkit/ToolkitFixture.h"
#include "platform/toolkit/Workspace.h"
#include "sources/SensorClient.h"
#include "support/TestPaths.h"

#include <chrono>
#include <fstream>
#include <mutex>
#include <thread>

namespace {

namespace fs = std::filesystem;
using pulsedeck::Copy;
using pulsedeck::SensorClient;
using State = pulsedeck::SensorConnectionState;
using Launches = std::vector<std::vector<std::string>>;

// Texts are the keys' own names, so a test can press a button by its key.
std::string keyName(Copy key) {
    return std::string(pulsedeck::toString(key));
}

class SensorClientAlertTest : public toolkittest::ToolkitFixture {
protected:
    void SetUp() override {
        SensorClient::Environment environment;
        environment.socketPath = runtime.path() / "sensors.sock";
        environment.dataDirs = {runtime.path() / "data"};
        environment.clock = &clock;
        environment.mainQueue = &loop.queue();
        environment.execution = dispatch::SerialQueue::Execution::manual;
        client = SensorClient::create(environment);
        client->changed = [this] { ++changes; };
        ui::Workspace::shared().setOpener([this](const std::vector<std::string>& argv) {
            std::lock_guard guard(mutex);
            launched.push_back(argv);
            return opens;
        });
    }

    void TearDown() override { ui::Workspace::shared().setOpener({}); }

    fs::path installCompanion() {
        fs::path program = runtime.path() / "bin/sensors";
        fs::create_directories(program.parent_path());
        std::ofstream(program) << "#!/bin/sh\n";
        fs::permissions(program, fs::perms(0755));
        fs::path entry =
            runtime.path() / "data/applications/com.halbrecht.pulsedeck.sensors.desktop";
        fs::create_directories(entry.parent_path());
        std::ofstream(entry) << "[Desktop Entry]\nType=Application\nExec=" << program.string()
                             << "\n";
        return entry;
    }

    // Runs the alert, pressing the button titled with `key`, and returns the alert's texts.
    std::vector<std::string> present(Copy key) {
        server.answerNextModal(keyName(key));
        std::vector<std::string> shown;
        pulsedeck::presentSensorHelperAlert(*client, [&](Copy copy) {
            shown.push_back(keyName(copy));
            return keyName(copy);
        });
        return shown;
    }

    // The helper runs off the main thread; wait for it to have been asked.
    Launches launchesAfterWaiting(std::size_t expected) {
        for (int i = 0; i < 200; ++i) {
            {
                std::lock_guard guard(mutex);
                if (launched.size() >= expected)
                    break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        std::lock_guard guard(mutex);
        return launched;
    }

    testsupport::TemporaryDirectory runtime;
    std::shared_ptr<SensorClient> client;
    int changes = 0;
    std::mutex mutex;
    Launches launched;
    // What the opener answers: false stands for a desktop without xdg-utils or a browser.
    bool opens = true;
};

TEST_F(SensorClientAlertTest, WithoutACompanionOkayDoesNothing) {
    auto shown = present(Copy::okay);
    EXPECT_EQ(shown, (std::vector<std::string>{"sensorCompanion", "sensorNeeded", "sensorGet",
                                               "sensorRetry", "okay"}));
    EXPECT_EQ(launchesAfterWaiting(0), Launches{});
    EXPECT_EQ(changes, 0);
}

TEST_F(SensorClientAlertTest, GetOpensTheCompanionsPage) {
    present(Copy::sensorGet);
    auto launches = launchesAfterWaiting(1);
    ASSERT_EQ(launches.size(), 1u);
    EXPECT_EQ(launches[0].at(0), "xdg-open");
    EXPECT_TRUE(launches[0].at(1).starts_with("https://"));
    EXPECT_TRUE(launches[0].at(1).ends_with("/sensors"));
}

TEST_F(SensorClientAlertTest, RetryTellsAtOnceAndResetsTheLink) {
    client->perform([](SensorClient& c) { c.publish(std::nullopt, State::invalidData); });
    client->runQueue();
    loop.runUntilIdle();
    changes = 0;

    auto shown = present(Copy::sensorRetry);
    EXPECT_EQ(shown.at(1), "sensorInvalid");
    EXPECT_EQ(changes, 1);
    client->runQueue();
    loop.runUntilIdle();
    EXPECT_EQ(client->currentState(), State::disconnected);
    EXPECT_EQ(changes, 2);
}

TEST_F(SensorClientAlertTest, OpenLaunchesAnInstalledCompanion) {
    fs::path entry = installCompanion();
    auto shown = present(Copy::sensorOpen);
    EXPECT_EQ(shown, (std::vector<std::string>{"sensorCompanion", "sensorNeeded", "sensorGet",
                                               "sensorRetry", "sensorOpen", "okay"}));
    EXPECT_EQ(launchesAfterWaiting(1), (Launches{{"gio", "launch", entry.string()}}));

    present(Copy::okay);
    EXPECT_EQ(launchesAfterWaiting(1).size(), 1u);
}

// On a desktop where nothing answers the opener, the user learns so and gets the address.
TEST_F(SensorClientAlertTest, AnOpenThatFailsIsToldWithTheAddress) {
    opens = false;
    std::vector<std::string> shown;
    auto texts = [&](Copy copy) {
        shown.push_back(keyName(copy));
        return keyName(copy);
    };
    server.answerNextModal(keyName(Copy::sensorGet));
    pulsedeck::presentSensorHelperAlert(*client, texts);
    ASSERT_EQ(launchesAfterWaiting(1).size(), 1u);

    server.answerNextModal(keyName(Copy::okay));
    for (int i = 0; i < 200 && server.modalSessions().size() < 2; ++i) {
        loop.runUntilIdle();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ASSERT_EQ(server.modalSessions().size(), 2u) << "a second alert tells of the failure";
    EXPECT_EQ(std::vector<std::string>(shown.end() - 3, shown.end()),
              (std::vector<std::string>{"linkOpenFailed", "linkOpenFailedInfo", "okay"}));
}

} // namespace
