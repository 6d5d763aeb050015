#include "platform/system/ServiceConnection.h"

#include "platform/system/FakeServicePeer.h"
#include "support/TestPaths.h"

#include <gtest/gtest.h>

namespace {

using Answer = testsupport::FakeServicePeer::Answer;
using namespace std::chrono_literals;

struct ServiceConnectionTest : testing::Test {
    testsupport::TemporaryDirectory runtime;
    std::filesystem::path socket = runtime.path() / "service.sock";
    int invalidations = 0;
    int interruptions = 0;

    std::unique_ptr<sys::ServiceConnection> connect(double timeout = 2.0) {
        auto connection = std::make_unique<sys::ServiceConnection>(socket, timeout, 1024);
        connection->invalidationHandler = [this] { ++invalidations; };
        connection->interruptionHandler = [this] { ++interruptions; };
        return connection;
    }
};

TEST_F(ServiceConnectionTest, OneRequestOneReply) {
    testsupport::FakeServicePeer peer(
        socket, [](const std::string& request) { return Answer{.reply = "echo:" + request}; });
    auto connection = connect();
    EXPECT_EQ(connection->call("hello"), "echo:hello");
    EXPECT_EQ(connection->call(""), "echo:");
    EXPECT_EQ(peer.received(), (std::vector<std::string>{"hello", ""}));
    EXPECT_EQ(invalidations + interruptions, 0);
}

TEST_F(ServiceConnectionTest, NobodyListeningInvalidates) {
    auto connection = connect();
    EXPECT_EQ(connection->call("hello"), std::nullopt);
    EXPECT_EQ(invalidations, 1);
    EXPECT_EQ(interruptions, 0);
}

TEST_F(ServiceConnectionTest, PeerThatHangsUpOrStallsInterrupts) {
    testsupport::FakeServicePeer peer(socket, [](const std::string& request) {
        if (request == "stall")
            return Answer{.reply = "late", .delay = 400ms};
        if (request == "half")
            return Answer{.rawReply = std::string("\0\0\0\x09"
                                                  "abc",
                                                  7)};
        return Answer{};
    });
    auto connection = connect(0.2);
    EXPECT_EQ(connection->call("hang up"), std::nullopt);
    EXPECT_EQ(interruptions, 1);
    EXPECT_EQ(connection->call("half"), std::nullopt);
    EXPECT_EQ(interruptions, 2);
    EXPECT_EQ(connection->call("stall"), std::nullopt);
    EXPECT_EQ(interruptions, 3);
    EXPECT_EQ(invalidations, 0);
}

TEST_F(ServiceConnectionTest, OversizedReplyIsRefusedBeforeItIsRead) {
    testsupport::FakeServicePeer peer(
        socket, [](const std::string&) { return Answer{.reply = std::string(1025, 'x')}; });
    auto connection = connect();
    EXPECT_EQ(connection->call("hello"), std::nullopt);
    EXPECT_EQ(interruptions, 1);
}

TEST_F(ServiceConnectionTest, InvalidatedConnectionFailsQuietly) {
    testsupport::FakeServicePeer peer(socket,
                                      [](const std::string&) { return Answer{.reply = "ok"}; });
    auto connection = connect();
    connection->invalidate();
    EXPECT_FALSE(connection->isValid());
    EXPECT_EQ(connection->call("hello"), std::nullopt);
    EXPECT_EQ(peer.requests(), 0);
    EXPECT_EQ(invalidations + interruptions, 0);
}

TEST_F(ServiceConnectionTest, OverlongSocketPathIsUnreachable) {
    socket = runtime.path() / std::string(200, 'x');
    auto connection = connect();
    EXPECT_EQ(connection->call("hello"), std::nullopt);
    EXPECT_EQ(invalidations, 1);
}

} // namespace
