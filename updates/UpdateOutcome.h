#pragma once

#include "updates/AppRelease.h"

#include <optional>
#include <string>

namespace pulsedeck {

// The result of one update check.
struct UpdateOutcome {
    enum class Kind {
        // A newer release exists but needs at least `minimumSystem`.
        requiresSystem,
        // `release` is newer and acceptable for this system.
        available,
        // There is no usable manifest address, so nothing can be checked.
        unavailable,
        // This system cannot fetch the manifest (libcurl is not installed).
        unsupported,
        // The running version is the newest.
        current,
        // The manifest could not be fetched, decoded or accepted.
        failed,
    };

    Kind kind = Kind::failed;
    std::string minimumSystem;
    std::optional<AppRelease> release;
    // Why a check failed, for a log or the debug command; never shown and not compared.
    std::string failure;

    static UpdateOutcome requiresSystem(std::string minimum);
    static UpdateOutcome available(AppRelease release);
    static UpdateOutcome unavailable();
    static UpdateOutcome unsupported(std::string why);
    static UpdateOutcome current();
    static UpdateOutcome failed(std::string why);

    bool operator==(const UpdateOutcome& other) const {
        return kind == other.kind && minimumSystem == other.minimumSystem &&
               release == other.release;
    }
};

// One line: "available 2.1.0 (57) https://…", "current", "failed: HTTP status 404",
// "unsupported: libcurl could not be loaded: …".
std::string describe(const UpdateOutcome& outcome);

} // namespace pulsedeck
