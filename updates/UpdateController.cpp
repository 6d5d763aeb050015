#include "updates/UpdateController.h"

#include "platform/dispatch/MainThread.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/dispatch/Timer.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/URLComponents.h"
#include "platform/foundation/UserDefaults.h"
#include "updates/Version.h"

#include <atomic>

namespace pulsedeck {

namespace {

constexpr double scheduleInterval = 900;
constexpr double scheduleTolerance = 30;

constexpr double connectTimeout = 20;
constexpr double idleTimeout = 20;
constexpr double totalTimeout = 30;
constexpr long maximumRedirects = 3;

constexpr int httpSuccessMinimum = 200;
constexpr int httpSuccessMaximum = 299;

UpdateError updateError(std::string description) {
    return {std::string(updateErrorDomain), 1, std::move(description)};
}

std::string lowercased(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

// Delivers a fetch's result to `deliver` exactly once: a second call is ignored, and a completion
// dropped without being called (a loader that lost it) delivers a failure, so a check never
// stays in flight for ever.
class CompletionOnce {
public:
    explicit CompletionOnce(ManifestCompletion deliver) : deliver_(std::move(deliver)) {}
    ~CompletionOnce() {
        if (!delivered_.exchange(true))
            deliver_(updateError("the manifest loader dropped its completion"));
    }
    CompletionOnce(const CompletionOnce&) = delete;
    CompletionOnce& operator=(const CompletionOnce&) = delete;

    void operator()(ManifestResult result) {
        if (!delivered_.exchange(true))
            deliver_(std::move(result));
    }

private:
    ManifestCompletion deliver_;
    std::atomic<bool> delivered_{false};
};

} // namespace

std::shared_ptr<UpdateController> UpdateController::create(Configuration configuration) {
    return std::shared_ptr<UpdateController>(new UpdateController(std::move(configuration)));
}

UpdateController::UpdateController(Configuration configuration)
    : defaults_(*configuration.defaults), source_(validatedSource(configuration.source)),
      version_(std::move(configuration.version)), build_(configuration.build),
      systemVersion_(std::move(configuration.systemVersion)), now_(std::move(configuration.now)),
      fetch_(std::move(configuration.fetch)),
      acceptRelease_(std::move(configuration.acceptRelease)),
      loop_(configuration.loop ? *configuration.loop : dispatch::RunLoop::main()) {}

UpdateController::~UpdateController() = default;

std::optional<std::string>
UpdateController::validatedSource(const std::optional<std::string>& address) {
    if (!address)
        return std::nullopt;
    const auto components = foundation::URLComponents::parse(*address);
    if (!components || !components->scheme || lowercased(*components->scheme) != "https" ||
        !components->host || components->host->empty())
        return std::nullopt;
    return address;
}

foundation::HTTPRequestOptions UpdateController::manifestRequestOptions() {
    foundation::HTTPRequestOptions options;
    options.connectTimeout = connectTimeout;
    options.idleTimeout = idleTimeout;
    options.totalTimeout = totalTimeout;
    options.maximumBodySize = maximumManifestSize;
    options.maximumRedirects = maximumRedirects;
    const auto bundle = foundation::Bundle::main();
    options.userAgent = bundle.displayName() + "/" + bundle.shortVersion();
    return options;
}

void UpdateController::fetchManifest(foundation::HTTPProcessClient& client,
                                     const std::string& source,
                                     const foundation::HTTPRequestOptions& options,
                                     ManifestCompletion completion) {
    client.get(
        source, options, [completion = std::move(completion)](foundation::HTTPResult result) {
            if (const auto* error = std::get_if<foundation::HTTPError>(&result)) {
                if (error->failure == foundation::HTTPFailure::transport)
                    return completion(UpdateError{"curl", error->code, error->description});
                if (error->failure == foundation::HTTPFailure::unsupported)
                    return completion(UpdateError{std::string(updateErrorDomain),
                                                  updateUnsupportedCode, error->description});
                return completion(updateError(error->description));
            }
            auto& response = std::get<foundation::HTTPResponse>(result);
            if (response.statusCode < httpSuccessMinimum ||
                response.statusCode > httpSuccessMaximum)
                return completion(
                    updateError("HTTP status " + std::to_string(response.statusCode)));
            if (response.body.empty())
                return completion(updateError("no body"));
            if (response.body.size() > maximumManifestSize)
                return completion(updateError("the body is too large"));
            completion(std::move(response.body));
        });
}

ManifestFetch UpdateController::liveFetch(foundation::HTTPRequestOptions options,
                                          std::vector<std::string> helper) {
    auto client = std::make_shared<foundation::HTTPProcessClient>(std::move(helper));
    return [client, options](const std::string& source, ManifestCompletion completion) {
        fetchManifest(*client, source, options, std::move(completion));
    };
}

UpdateFrequency UpdateController::frequency() const {
    return storedUpdateFrequency(defaults_);
}

void UpdateController::setFrequency(UpdateFrequency frequency) {
    defaults_.setObject(std::string(toString(frequency)), updateCheckFrequencyKey);
    schedule();
}

void UpdateController::schedule() {
    timer_.reset();
    if (!source_ || frequency() == UpdateFrequency::never)
        return;
    check(false);
    timer_ = std::make_unique<dispatch::Timer>(
        scheduleInterval, true,
        [weak = weak_from_this()] {
            if (auto self = weak.lock())
                self->check(false);
        },
        dispatch::commonModes, loop_);
    timer_->setTolerance(scheduleTolerance);
}

std::optional<foundation::Date> UpdateController::lastAttempt() const {
    const auto stored = defaults_.objectForKey(updateLastAttemptKey);
    if (!stored || !stored->asDate())
        return std::nullopt;
    return *stored->asDate();
}

void UpdateController::check(bool manual) {
    if (!source_) {
        if (manual && present)
            present(UpdateOutcome::unavailable());
        return;
    }
    if (!manual && !isDue(frequency(), lastAttempt(), now_()))
        return;
    if (checking_) {
        manualRequested_ = manualRequested_ || manual;
        return;
    }
    checking_ = true;
    manualRequested_ = manual;
    // Recorded before the request goes out, so an abandoned fetch still counts as an attempt.
    defaults_.setObject(now_(), updateLastAttemptKey);
    auto completion = completionOnce();
    if (!fetch_) {
        completion(updateError("no manifest loader"));
        return;
    }
    fetch_(*source_, std::move(completion));
}

ManifestCompletion UpdateController::completionOnce() {
    auto once = std::make_shared<CompletionOnce>(
        [weak = weak_from_this(), &loop = loop_](ManifestResult result) {
            if (dispatch::isMainThread()) {
                if (auto self = weak.lock())
                    self->finishCheck(result);
                return;
            }
            loop.queue().async([weak, result = std::move(result)] {
                if (auto self = weak.lock())
                    self->finishCheck(result);
            });
        });
    return [once](ManifestResult result) { (*once)(std::move(result)); };
}

void UpdateController::finishCheck(const ManifestResult& result) {
    checking_ = false;
    const bool manual = manualRequested_;
    manualRequested_ = false;
    deliver(evaluate(result), manual);
}

UpdateOutcome UpdateController::evaluate(const ManifestResult& result) const {
    if (const auto* error = std::get_if<UpdateError>(&result);
        error && error->domain == updateErrorDomain && error->code == updateUnsupportedCode)
        return UpdateOutcome::unsupported(error->description);
    if (const auto* error = std::get_if<UpdateError>(&result))
        return UpdateOutcome::failed(error->domain + " " + std::to_string(error->code) + ": " +
                                     error->description);
    const auto decoded = AppRelease::decode(std::get<std::string>(result));
    if (const auto* problem = std::get_if<ManifestDecodingError>(&decoded))
        return UpdateOutcome::failed("the manifest does not decode: " + problem->reason);
    const auto& release = std::get<AppRelease>(decoded);
    if (!acceptRelease_ || !acceptRelease_(release))
        return UpdateOutcome::failed("the release is not acceptable");

    const int comparison = compareVersions(release.version, version_);
    const bool newer = comparison > 0 || (comparison == 0 && release.build > build_);
    if (!newer)
        return UpdateOutcome::current();
    if (release.minimumMacOS && compareVersions(systemVersion_, *release.minimumMacOS) < 0)
        return UpdateOutcome::requiresSystem(*release.minimumMacOS);
    return UpdateOutcome::available(release);
}

void UpdateController::deliver(const UpdateOutcome& outcome, bool manual) {
    if (outcome.kind != UpdateOutcome::Kind::available || manual) {
        if (manual && present)
            present(outcome);
        return;
    }
    if (frequency() == UpdateFrequency::never)
        return;
    if (notify)
        notify(*outcome.release);
    else if (present)
        present(outcome);
}

} // namespace pulsedeck
