#pragma once

#include "model/UpdateFrequency.h"
#include "platform/foundation/Date.h"
#include "platform/foundation/HTTPProcessClient.h"
#include "updates/AppRelease.h"
#include "updates/UpdateOutcome.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace dispatch {
class RunLoop;
class Timer;
} // namespace dispatch

namespace foundation {
class UserDefaults;
}

namespace pulsedeck {

inline constexpr std::string_view updateLastAttemptKey = "updateLastAttempt";
// The one error the checker makes of its own: a response that is not a usable manifest.
inline constexpr std::string_view updateErrorDomain = "PulsedeckUpdates";

// The code of an error in that domain from a system that can fetch nothing (libcurl is not
// installed): no later check would fare better.
inline constexpr long updateUnsupportedCode = 2;

struct UpdateError {
    std::string domain;
    long code = 0;
    std::string description;
};

// The manifest's bytes, or why there are none.
using ManifestResult = std::variant<std::string, UpdateError>;
using ManifestCompletion = std::function<void(ManifestResult)>;
// Loads the manifest at an address and calls the completion once, on any thread.
using ManifestFetch = std::function<void(const std::string& source, ManifestCompletion)>;

// Decides when to look for a new release, fetches the manifest, evaluates it into an
// UpdateOutcome and hands that to `present` or `notify`. Checks run at launch, whenever the
// frequency changes and every 15 minutes, and go to the network only when due; the user may check
// at any time. One fetch at most is in flight.
//
// Main thread only; a fetch's completion hops to the main queue before it touches anything.
// Made with create(), since fetches and the timer refer back to it weakly: a check that ends
// after the controller is gone ends silently.
class UpdateController : public std::enable_shared_from_this<UpdateController> {
public:
    struct Configuration {
        foundation::UserDefaults* defaults = nullptr;
        // The manifest address; kept only when validatedSource() keeps it.
        std::optional<std::string> source;
        std::string version;
        std::int64_t build = 0;
        // The system's "major.minor.patch".
        std::string systemVersion;
        std::function<foundation::Date()> now = &foundation::Date::now;
        // None: nothing is fetched and every fetch fails at once.
        ManifestFetch fetch;
        std::function<bool(const AppRelease&)> acceptRelease = &AppRelease::isAcceptable;
        // Whose main queue takes the fetch completions and whose clock the schedule runs on.
        dispatch::RunLoop* loop = nullptr;
    };

    static std::shared_ptr<UpdateController> create(Configuration configuration);
    ~UpdateController();
    UpdateController(const UpdateController&) = delete;
    UpdateController& operator=(const UpdateController&) = delete;

    // An https address with a host, else none.
    static std::optional<std::string> validatedSource(const std::optional<std::string>& address);

    // The manifest over HTTPS through `client`, with the manifest's limits: a 2xx response with a
    // body of 1 to maximumManifestSize bytes is the manifest; a transport error is passed on as
    // it is, anything else is the checker's own error.
    static void fetchManifest(foundation::HTTPProcessClient& client, const std::string& source,
                              const foundation::HTTPRequestOptions& options,
                              ManifestCompletion completion);
    // 20 s to connect and at most 20 s without data, 30 s in all, at most three https
    // redirects, at most maximumManifestSize bytes.
    static foundation::HTTPRequestOptions manifestRequestOptions();
    // A fetch over a client of its own, which the returned closure keeps: dropping the last copy
    // cancels a fetch in flight, ending its helper process, and joins its thread. `helper` runs
    // the request (HTTPProcessClient).
    static ManifestFetch
    liveFetch(foundation::HTTPRequestOptions options = manifestRequestOptions(),
              std::vector<std::string> helper = foundation::HTTPProcessClient::thisProgram());

    // The stored "updateCheckFrequency"; weekly when missing or unknown.
    UpdateFrequency frequency() const;
    // Stores the frequency and starts the schedule again.
    void setFrequency(UpdateFrequency frequency);
    // Drops the timer; then, with a manifest address and a frequency other than never, checks at
    // once and every 900 s (tolerance 30 s) in the common modes.
    void schedule();
    // One check. An automatic one goes ahead only when due; a manual one always, and joins a
    // fetch in flight so that its result is shown.
    void check(bool manual);
    // Evaluates a finished fetch and delivers the outcome. Main thread.
    void finishCheck(const ManifestResult& result);

    const std::optional<std::string>& source() const { return source_; }
    const std::string& version() const { return version_; }
    std::int64_t build() const { return build_; }
    const std::string& systemVersion() const { return systemVersion_; }
    bool isChecking() const { return checking_; }
    const dispatch::Timer* timer() const { return timer_.get(); }

    // Shows an outcome to the user.
    std::function<void(const UpdateOutcome&)> present;
    // Announces an available release found by an automatic check.
    std::function<void(const AppRelease&)> notify;

private:
    explicit UpdateController(Configuration configuration);
    std::optional<foundation::Date> lastAttempt() const;
    ManifestCompletion completionOnce();
    UpdateOutcome evaluate(const ManifestResult& result) const;
    void deliver(const UpdateOutcome& outcome, bool manual);

    foundation::UserDefaults& defaults_;
    std::optional<std::string> source_;
    std::string version_;
    std::int64_t build_ = 0;
    std::string systemVersion_;
    std::function<foundation::Date()> now_;
    ManifestFetch fetch_;
    std::function<bool(const AppRelease&)> acceptRelease_;
    dispatch::RunLoop& loop_;
    std::unique_ptr<dispatch::Timer> timer_;
    bool checking_ = false;
    bool manualRequested_ = false;
};

} // namespace pulsedeck
