#include "sources/SensorClient.h"

#include "platform/dispatch/RunLoop.h"
#include "platform/system/DesktopEntry.h"
#include "platform/system/TrustedExecutable.h"

#include <cstdlib>
#include <random>

namespace pulsedeck {

namespace {

std::string freshNonce() {
    std::random_device random;
    static constexpr char digits[] = "0123456789abcdef";
    std::string nonce;
    for (int i = 0; i < 8; ++i) {
        unsigned value = random();
        for (int k = 0; k < 4; ++k)
            nonce += digits[(value >> (4 * k)) & 0xF];
    }
    return nonce;
}

} // namespace

SensorClient::Environment SensorClient::Environment::live() {
    Environment environment;
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && runtime[0] == '/') {
        environment.socketPath =
            std::filesystem::path(runtime) / (std::string(sensorCompanionIdentifier) + ".sock");
    }
    environment.dataDirs = sys::DesktopEntry::dataDirsFromEnvironment();
    return environment;
}

SensorClient& SensorClient::shared() {
    static const std::shared_ptr<SensorClient> client = create(Environment::live());
    return *client;
}

std::shared_ptr<SensorClient> SensorClient::create(Environment environment) {
    return std::shared_ptr<SensorClient>(new SensorClient(std::move(environment)));
}

SensorClient::SensorClient(Environment environment)
    : environment_(std::move(environment)),
      queue_("Pulsedeck.sensors", environment_.execution, *environment_.clock) {}

SensorClient::~SensorClient() {
    queue_.shutDown(dispatch::PendingWork::discard);
}

dispatch::Queue& SensorClient::mainQueue() const {
    return environment_.mainQueue ? *environment_.mainQueue : dispatch::mainQueue();
}

SensorConnectionState SensorClient::currentState() const {
    const double now = environment_.clock->now();
    std::lock_guard guard(lock_);
    if (publishedState_ == SensorConnectionState::ready && packet_ &&
        now - packet_->sampledUptime > staleAfter) {
        return SensorConnectionState::disconnected;
    }
    return publishedState_;
}

std::optional<SensorPayload> SensorClient::packet() const {
    std::lock_guard guard(lock_);
    return packet_;
}

void SensorClient::publish(std::optional<SensorPayload> packet, SensorConnectionState state) {
    const bool hasPacket = packet.has_value();
    SensorConnectionState old;
    {
        std::lock_guard guard(lock_);
        old = publishedState_;
        packet_ = std::move(packet);
        publishedState_ = state;
    }
    if (!hasPacket && state == old)
        return;
    mainQueue().async([weak = weak_from_this()] {
        if (auto self = weak.lock(); self && self->changed)
            self->changed();
    });
}

void SensorClient::perform(std::function<void(SensorClient&)> work) {
    queue_.async([weak = weak_from_this(), work = std::move(work)] {
        if (auto self = weak.lock())
            work(*self);
    });
}

void SensorClient::teardown() {
    request_.reset();
    auto old = std::move(connection_);
    if (old)
        old->invalidate();
}

void SensorClient::resetAndRetry() {
    teardown();
    nextPoll_ = 0;
    retryDelay_ = initialRetryDelay;
    publish(std::nullopt, SensorConnectionState::disconnected);
}

void SensorClient::disconnect() {
    teardown();
    publish(std::nullopt, SensorConnectionState::disconnected);
}

void SensorClient::stop() {
    perform([](SensorClient& client) { client.disconnect(); });
}

void SensorClient::poll(bool fans, bool temperature, bool gpu) {
    perform([fans, temperature, gpu](SensorClient& client) {
        client.exchange(SensorRequest{.schema = sensorSchema,
                                      .nonce = freshNonce(),
                                      .fans = fans,
                                      .temperature = temperature,
                                      .gpu = gpu});
    });
}

void SensorClient::exchange(SensorRequest request) {
    const double now = environment_.clock->now();
    if (request_ || now < nextPoll_)
        return;
    if (environment_.socketPath.empty()) {
        // No runtime directory, so no companion can be listening.
        nextPoll_ = now + maximumRetryDelay;
        return;
    }
    if (!connection_) {
        connection_ = std::make_unique<sys::ServiceConnection>(environment_.socketPath,
                                                               environment_.replyTimeout);
        auto lost = [weak = weak_from_this()] {
            if (auto self = weak.lock())
                self->perform([](SensorClient& c) { c.linkLost(); });
        };
        connection_->invalidationHandler = lost;
        connection_->interruptionHandler = lost;
        publish(std::nullopt, SensorConnectionState::connecting);
    }

    request_ = std::move(request);
    auto reply = connection_->call(encode(*request_));
    if (!reply) {
        // The connection's handler has queued linkLost(); until it runs, polls already queued
        // must not try the dead link again.
        request_.reset();
        nextPoll_ = environment_.clock->now() + retryDelay_;
        return;
    }
    auto payload = decodeSensorPayload(*reply);
    if (payload && payload->schema == sensorSchema && payload->nonce == request_->nonce) {
        retryDelay_ = initialRetryDelay;
        nextPoll_ = environment_.clock->now() + pollInterval;
        publish(std::move(payload), SensorConnectionState::ready);
    } else {
        nextPoll_ = environment_.clock->now() + retryDelay_;
        publish(std::nullopt, SensorConnectionState::invalidData);
    }
    request_.reset();
}

void SensorClient::linkLost() {
    teardown();
    nextPoll_ = environment_.clock->now() + retryDelay_;
    retryDelay_ = std::min(retryDelay_ * 2, maximumRetryDelay);
    publish(std::nullopt, SensorConnectionState::disconnected);
}

std::optional<std::filesystem::path> SensorClient::locateHelper() const {
    auto entry = sys::DesktopEntry::find(sensorCompanionIdentifier, environment_.dataDirs);
    if (!entry)
        return std::nullopt;
    auto program = entry->executable();
    if (!program || !sys::isTrustedExecutable(*program))
        return std::nullopt;
    return entry->file;
}

void SensorClient::retryFromAlert() {
    perform([](SensorClient& client) { client.resetAndRetry(); });
    if (changed)
        changed();
}

} // namespace pulsedeck
