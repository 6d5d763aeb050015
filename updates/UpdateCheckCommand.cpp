#include "updates/UpdateCheckCommand.h"

#include "platform/dispatch/Clock.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/ProcessInfo.h"
#include "platform/foundation/UserDefaults.h"
#include "updates/Version.h"

namespace pulsedeck {

namespace {

// The fetch ends itself within 30 s; this only keeps a loader that never answers from hanging.
constexpr double commandTimeLimit = 40;

} // namespace

int runUpdateCheckCommand(const std::string& manifestURL, ManifestFetch fetch, std::ostream& out) {
    std::optional<UpdateOutcome> outcome;
    {
        // In memory only: no folder of its own that a kill could leave behind.
        foundation::UserDefaults defaults({}, "check-updates");
        const auto bundle = foundation::Bundle::main();
        const auto system = foundation::OperatingSystemInfo::read().version;
        auto& loop = dispatch::RunLoop::main();
        UpdateController::Configuration configuration;
        configuration.defaults = &defaults;
        configuration.source = manifestURL;
        configuration.version = bundle.shortVersion().empty() ? "0" : bundle.shortVersion();
        configuration.build = buildNumber(bundle.buildVersion().value_or(""));
        configuration.systemVersion = std::to_string(system.major) + "." +
                                      std::to_string(system.minor) + "." +
                                      std::to_string(system.patch);
        configuration.fetch = std::move(fetch);
        configuration.loop = &loop;
        auto controller = UpdateController::create(std::move(configuration));
        controller->present = [&outcome](const UpdateOutcome& shown) { outcome = shown; };
        controller->check(true);
        const double deadline = dispatch::systemUptime() + commandTimeLimit;
        loop.runNested(dispatch::RunLoopMode::defaultMode, [&] {
            if (outcome || dispatch::systemUptime() > deadline)
                return false;
            // Wakes the loop now and then to look at the deadline.
            loop.queue().asyncAfter(1, [] {});
            return true;
        });
    }
    if (!outcome) {
        out << "failed: no answer within " << commandTimeLimit << " s\n";
        return 1;
    }
    out << describe(*outcome) << "\n";
    const auto kind = outcome->kind;
    using Kind = UpdateOutcome::Kind;
    return kind == Kind::failed || kind == Kind::unavailable || kind == Kind::unsupported ? 1 : 0;
}

} // namespace pulsedeck
