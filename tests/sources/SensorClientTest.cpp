#include "sources/SensorClient.h"

#include "platform/dispatch/RunLoop.h"
#include "platform/system/FakeServicePeer.h"
#include "support/TestPaths.h"

#include <fstream>
#include <gtest/gtest.h>

namespace {

namespace fs = std::filesystem;
using pulsedeck::SensorClient;
using pulsedeck::SensorConnectionState;
using pulsedeck::SensorPayload;
using pulsedeck::SensorRequest;
using Answer = testsupport::FakeServicePeer::Answer;
using State = SensorConnectionState;

SensorPayload payload(double sampledUptime, std::string nonce = "n") {
    return SensorPayload{.schema = 1,
                         .nonce = std::move(nonce),
                         .version = "1.0",
                         .sampledUptime = sampledUptime,
                         .fanCount = 1,
                         .fans = {{0, 1500.0, 4000.0}},
                         .cpuCelsius = 55.5,
                         .cpuSensorCount = 2,
                         .gpuPercent = std::nullopt};
}

struct SensorClientTest : testing::Test {
    testsupport::TemporaryDirectory runtime;
    fs::path socket = runtime.path() / "com.halbrecht.pulsedeck.sensors.sock";
    dispatch::VirtualClock clock{1000.0};
    dispatch::RunLoop loop{clock};
    std::shared_ptr<SensorClient> client;
    int changes = 0;

    void SetUp() override {
        SensorClient::Environment environment;
        environment.socketPath = socket;
        environment.dataDirs = {runtime.path() / "data"};
        environment.clock = &clock;
        environment.mainQueue = &loop.queue();
        environment.execution = dispatch::SerialQueue::Execution::manual;
        environment.replyTimeout = 0.5;
        client = SensorClient::create(environment);
        client->changed = [this] { ++changes; };
    }

    // Runs the client's queue, then the main queue.
    void settle() {
        client->runQueue();
        loop.runUntilIdle();
    }

    void publish(std::optional<SensorPayload> packet, State state) {
        client->perform([packet, state](SensorClient& c) { c.publish(packet, state); });
        settle();
    }

    void poll() {
        client->poll(true, true, false);
        settle();
    }

    // A companion that answers every request with a reading taken now.
    std::unique_ptr<testsupport::FakeServicePeer> goodPeer() {
        return std::make_unique<testsupport::FakeServicePeer>(
            socket, [this](const std::string& data) {
                auto request = pulsedeck::decodeSensorRequest(data);
                return Answer{.reply = encode(payload(clock.now(), request->nonce))};
            });
    }
};

TEST_F(SensorClientTest, StartsDisconnectedWithNothing) {
    EXPECT_EQ(client->currentState(), State::disconnected);
    EXPECT_EQ(client->packet(), std::nullopt);
}

TEST_F(SensorClientTest, AReadyPacketGoesStaleAfterFourSeconds) {
    publish(payload(clock.now() - 3.5), State::ready);
    EXPECT_EQ(client->currentState(), State::ready);
    clock.advance(0.5);
    EXPECT_EQ(client->currentState(), State::ready);
    clock.advance(0.5);
    EXPECT_EQ(client->currentState(), State::disconnected);

    publish(payload(clock.now() - 4.5), State::ready);
    EXPECT_EQ(client->currentState(), State::disconnected);

    publish(std::nullopt, State::ready);
    clock.advance(100);
    EXPECT_EQ(client->currentState(), State::ready);

    publish(payload(clock.now() - 10), State::invalidData);
    EXPECT_EQ(client->currentState(), State::invalidData);
}

TEST_F(SensorClientTest, PublishCallsChangedOnlyForAPacketOrANewState) {
    publish(std::nullopt, State::disconnected);
    EXPECT_EQ(changes, 0);
    publish(payload(clock.now()), State::ready);
    EXPECT_EQ(changes, 1);
    publish(payload(clock.now()), State::ready);
    EXPECT_EQ(changes, 2);
    publish(std::nullopt, State::ready);
    EXPECT_EQ(changes, 2);
    EXPECT_EQ(client->packet(), std::nullopt);
    publish(std::nullopt, State::invalidData);
    EXPECT_EQ(changes, 3);
}

TEST_F(SensorClientTest, ChangedRunsOnTheMainQueueOnly) {
    client->perform([](SensorClient& c) { c.publish(std::nullopt, State::connecting); });
    client->runQueue();
    EXPECT_EQ(changes, 0);
    loop.runUntilIdle();
    EXPECT_EQ(changes, 1);
}

TEST_F(SensorClientTest, NothingRunsForAClientThatIsGone) {
    client->perform([](SensorClient& c) { c.publish(std::nullopt, State::connecting); });
    client->runQueue();
    client.reset();
    loop.runUntilIdle();
    EXPECT_EQ(changes, 0);
}

TEST_F(SensorClientTest, StopAfterADisconnectPublishesNothing) {
    client->stop();
    settle();
    EXPECT_EQ(changes, 0);

    publish(payload(clock.now()), State::ready);
    changes = 0;
    client->stop();
    settle();
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(client->currentState(), State::disconnected);
    EXPECT_EQ(client->packet(), std::nullopt);
}

TEST_F(SensorClientTest, PollPublishesTheCompanionsReply) {
    auto peer = goodPeer();
    poll();
    EXPECT_EQ(client->currentState(), State::ready);
    ASSERT_TRUE(client->packet());
    EXPECT_EQ(client->packet()->cpuCelsius, 55.5);
    EXPECT_EQ(changes, 2); // connecting, then ready

    auto request = pulsedeck::decodeSensorRequest(peer->received().at(0));
    ASSERT_TRUE(request);
    EXPECT_EQ(request->schema, 1);
    EXPECT_TRUE(request->fans);
    EXPECT_TRUE(request->temperature);
    EXPECT_FALSE(request->gpu);
    EXPECT_EQ(request->nonce.size(), 32u);
}

TEST_F(SensorClientTest, PollsAtMostOnceASecondWhileTheLinkWorks) {
    auto peer = goodPeer();
    poll();
    poll();
    EXPECT_EQ(peer->requests(), 1);
    clock.advance(1.0);
    poll();
    EXPECT_EQ(peer->requests(), 2);
    auto nonces = peer->received();
    EXPECT_NE(pulsedeck::decodeSensorRequest(nonces[0])->nonce,
              pulsedeck::decodeSensorRequest(nonces[1])->nonce);
    EXPECT_EQ(client->currentState(), State::ready);
}

TEST_F(SensorClientTest, RepliesThatDoNotCheckOutAreInvalidData) {
    int round = 0;
    testsupport::FakeServicePeer peer(socket, [&](const std::string& data) {
        auto request = pulsedeck::decodeSensorRequest(data);
        SensorPayload reply = payload(clock.now(), request->nonce);
        switch (round++) {
        case 0:
            return Answer{.reply = "{\"schema\": 1, \"nonce\": [[[[[[[[[[]]]]]]]]]]}"};
        case 1:
            reply.nonce = "someone else's";
            break;
        case 2:
            reply.schema = 2;
            break;
        case 3:
            return Answer{.reply = R"({"schema":1,"sampledUptime":1e999})"};
        default:
            break;
        }
        return Answer{.reply = encode(reply)};
    });
    for (int i = 0; i < 4; ++i) {
        poll();
        EXPECT_EQ(client->currentState(), State::invalidData) << i;
        EXPECT_EQ(client->packet(), std::nullopt);
        clock.advance(SensorClient::initialRetryDelay);
    }
    poll();
    EXPECT_EQ(client->currentState(), State::ready);
}

TEST_F(SensorClientTest, InvalidDataWaitsTheRetryDelay) {
    testsupport::FakeServicePeer peer(socket,
                                      [](const std::string&) { return Answer{.reply = "junk"}; });
    poll();
    clock.advance(2.9);
    poll();
    EXPECT_EQ(peer.requests(), 1);
    clock.advance(0.1);
    poll();
    EXPECT_EQ(peer.requests(), 2);
}

TEST_F(SensorClientTest, MissingCompanionIsRetriedWithGrowingDelays) {
    poll();
    EXPECT_EQ(client->currentState(), State::disconnected);
    EXPECT_EQ(changes, 2); // connecting, then disconnected

    auto peer = goodPeer();
    clock.advance(2.9);
    poll();
    EXPECT_EQ(peer->requests(), 0);
    clock.advance(0.1);
    poll();
    EXPECT_EQ(peer->requests(), 1);
    EXPECT_EQ(client->currentState(), State::ready);
}

TEST_F(SensorClientTest, RetryDelayDoublesUntilAResetAndRetry) {
    poll(); // fails; next in 3 s
    clock.advance(3);
    poll(); // fails; next in 6 s
    clock.advance(5.9);
    auto peer = goodPeer();
    poll();
    EXPECT_EQ(peer->requests(), 0);

    client->perform([](SensorClient& c) { c.resetAndRetry(); });
    settle();
    poll();
    EXPECT_EQ(peer->requests(), 1);
    EXPECT_EQ(client->currentState(), State::ready);
}

TEST_F(SensorClientTest, PollsQueuedBehindAFailureCountAsOneAttempt) {
    client->poll(true, false, false);
    client->poll(true, false, false);
    settle();
    EXPECT_EQ(client->currentState(), State::disconnected);

    auto peer = goodPeer();
    clock.advance(SensorClient::initialRetryDelay);
    poll();
    EXPECT_EQ(peer->requests(), 1);
}

TEST_F(SensorClientTest, ACompanionThatGoesAwayLeavesTheLinkDisconnected) {
    auto peer = goodPeer();
    poll();
    ASSERT_EQ(client->currentState(), State::ready);
    peer.reset();
    clock.advance(1.0);
    poll();
    EXPECT_EQ(client->currentState(), State::disconnected);
    EXPECT_EQ(client->packet(), std::nullopt);
}

TEST_F(SensorClientTest, AStalledCompanionIsDroppedAfterTheReplyTimeout) {
    using namespace std::chrono_literals;
    testsupport::FakeServicePeer peer(
        socket, [](const std::string&) { return Answer{.reply = "{}", .delay = 700ms}; });
    poll();
    EXPECT_EQ(client->currentState(), State::disconnected);
}

TEST_F(SensorClientTest, RetryFromTheAlertTellsAtOnceAndResetsOnTheQueue) {
    poll(); // no companion: next attempt in 3 s
    changes = 0;
    client->retryFromAlert();
    EXPECT_EQ(changes, 1);
    settle();
    EXPECT_EQ(changes, 1); // already disconnected: the reset publishes nothing new

    auto peer = goodPeer();
    poll();
    EXPECT_EQ(peer->requests(), 1);
}

TEST_F(SensorClientTest, NoRuntimeDirectoryMeansNoAttempt) {
    SensorClient::Environment environment;
    environment.clock = &clock;
    environment.mainQueue = &loop.queue();
    environment.execution = dispatch::SerialQueue::Execution::manual;
    auto lonely = SensorClient::create(environment);
    lonely->poll(true, true, true);
    lonely->runQueue();
    loop.runUntilIdle();
    EXPECT_EQ(lonely->currentState(), State::disconnected);
}

TEST_F(SensorClientTest, LocatesOnlyATrustedCompanion) {
    EXPECT_EQ(client->locateHelper(), std::nullopt);

    fs::path program = runtime.path() / "bin/pulsedeck-sensors";
    fs::create_directories(program.parent_path());
    std::ofstream(program) << "#!/bin/sh\n";
    fs::permissions(program, fs::perms(0755));
    fs::path entry = runtime.path() / "data/applications/com.halbrecht.pulsedeck.sensors.desktop";
    fs::create_directories(entry.parent_path());
    std::ofstream(entry) << "[Desktop Entry]\nType=Application\nName=Sensors\nExec=\""
                         << program.string() << "\" --background\n";
    EXPECT_EQ(client->locateHelper(), entry);

    fs::permissions(program, fs::perms(0777));
    EXPECT_EQ(client->locateHelper(), std::nullopt);
    fs::permissions(program, fs::perms(0755));
    fs::remove(program);
    EXPECT_EQ(client->locateHelper(), std::nullopt);
}

} // namespace
