#pragma once

#include "model/Localization.h"
#include "platform/dispatch/Clock.h"
#include "platform/dispatch/Queue.h"
#include "platform/dispatch/SerialQueue.h"
#include "platform/system/ServiceConnection.h"
#include "sources/SensorConnectionState.h"
#include "sources/SensorPayload.h"
#include "sources/SensorRequest.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pulsedeck {

// The sensor companion's identifier: its desktop entry is "<identifier>.desktop" and it listens
// on "<identifier>.sock" in the user's runtime directory.
inline constexpr std::string_view sensorCompanionIdentifier = "com.halbrecht.pulsedeck.sensors";

// The version of the request and reply records this client speaks.
inline constexpr std::int64_t sensorSchema = 1;

// The monitor's side of the link to the sensor companion. The link's own state (connection,
// request in flight, poll timing) lives on a private serial queue; the published packet and
// state are guarded by a lock and readable from any thread; `changed` runs on the main queue.
class SensorClient : public std::enable_shared_from_this<SensorClient> {
public:
    struct Environment {
        // The companion's service socket; empty when there is no runtime directory.
        std::filesystem::path socketPath;
        // Where desktop entries are looked for.
        std::vector<std::filesystem::path> dataDirs;
        const dispatch::Clock* clock = &dispatch::uptimeClock();
        // Where `changed` is called; the main queue when null.
        dispatch::Queue* mainQueue = nullptr;
        // Tests run the client's queue by hand.
        dispatch::SerialQueue::Execution execution = dispatch::SerialQueue::Execution::workerThread;
        double replyTimeout = sys::ServiceConnection::defaultReplyTimeout;

        // $XDG_RUNTIME_DIR and the XDG data directories.
        static Environment live();
    };

    // Seconds a ready packet stays current.
    static constexpr double staleAfter = 4.0;
    static constexpr double initialRetryDelay = 3.0;
    static constexpr double maximumRetryDelay = 60.0;
    // Seconds between polls while the link works.
    static constexpr double pollInterval = 1.0;

    // The one client of the process, made on first use and kept for its life.
    static SensorClient& shared();

    static std::shared_ptr<SensorClient> create(Environment environment);
    // The queue is shut down (its pending work discarded) first, so no work outlives the client.
    // Release the last owner off the client's own queue.
    ~SensorClient();

    // The published state; a ready link whose packet was sampled more than 4 s ago reads as
    // disconnected. Any thread.
    SensorConnectionState currentState() const;
    // The newest packet, if any. Any thread.
    std::optional<SensorPayload> packet() const;

    // Stores the packet (none clears it) and state, and calls `changed` on the main queue when a
    // packet was given or the state changed. Client queue.
    void publish(std::optional<SensorPayload> packet, SensorConnectionState state);

    // Runs `work` on the client's queue unless the client is gone by then. Any thread.
    void perform(std::function<void(SensorClient&)> work);

    // Client queue only.
    void teardown();
    void resetAndRetry();
    void disconnect();

    // Asks the companion for readings when a poll is due and none is in flight: connects if need
    // be, sends a request and publishes the outcome. Any thread; the work runs on the queue.
    void poll(bool fans, bool temperature, bool gpu);

    // Disconnects, on the queue. Any thread; called at termination.
    void stop();

    // The desktop entry of an installed companion whose program passes the trust check.
    // Main thread.
    std::optional<std::filesystem::path> locateHelper() const;

    // The alert's retry button: schedules resetAndRetry() and calls `changed` at once. Main
    // thread.
    void retryFromAlert();

    // Called on the main queue when the published link changes. Set and read on the main thread.
    std::function<void()> changed;

    // Runs the queue's pending work (manual execution, tests).
    int runQueue() { return queue_.runPending(); }

private:
    explicit SensorClient(Environment environment);
    void exchange(SensorRequest request);
    void linkLost();
    dispatch::Queue& mainQueue() const;

    Environment environment_;
    dispatch::SerialQueue queue_;

    mutable std::mutex lock_;
    std::optional<SensorPayload> packet_;
    SensorConnectionState publishedState_ = SensorConnectionState::disconnected;

    // Client queue only.
    std::unique_ptr<sys::ServiceConnection> connection_;
    std::optional<SensorRequest> request_;
    double nextPoll_ = 0;
    double retryDelay_ = initialRetryDelay;
};

} // namespace pulsedeck
