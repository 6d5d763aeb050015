#include "updates/UpdateOutcome.h"

namespace pulsedeck {

UpdateOutcome UpdateOutcome::requiresSystem(std::string minimum) {
    UpdateOutcome outcome;
    outcome.kind = Kind::requiresSystem;
    outcome.minimumSystem = std::move(minimum);
    return outcome;
}

UpdateOutcome UpdateOutcome::available(AppRelease release) {
    UpdateOutcome outcome;
    outcome.kind = Kind::available;
    outcome.release = std::move(release);
    return outcome;
}

UpdateOutcome UpdateOutcome::unavailable() {
    UpdateOutcome outcome;
    outcome.kind = Kind::unavailable;
    return outcome;
}

UpdateOutcome UpdateOutcome::unsupported(std::string why) {
    UpdateOutcome outcome;
    outcome.kind = Kind::unsupported;
    outcome.failure = std::move(why);
    return outcome;
}

UpdateOutcome UpdateOutcome::current() {
    UpdateOutcome outcome;
    outcome.kind = Kind::current;
    return outcome;
}

UpdateOutcome UpdateOutcome::failed(std::string why) {
    UpdateOutcome outcome;
    outcome.kind = Kind::failed;
    outcome.failure = std::move(why);
    return outcome;
}

std::string describe(const UpdateOutcome& outcome) {
    switch (outcome.kind) {
    case UpdateOutcome::Kind::requiresSystem:
        return "requires system " + outcome.minimumSystem;
    case UpdateOutcome::Kind::available:
        if (!outcome.release)
            return "available";
        return "available " + outcome.release->version + " (" +
               std::to_string(outcome.release->build) + ") " + outcome.release->downloadURL();
    case UpdateOutcome::Kind::unavailable:
        return "unavailable";
    case UpdateOutcome::Kind::unsupported:
        return "unsupported: " + outcome.failure;
    case UpdateOutcome::Kind::current:
        return "current";
    case UpdateOutcome::Kind::failed:
        return outcome.failure.empty() ? "failed" : "failed: " + outcome.failure;
    }
    return "failed";
}

} // namespace pulsedeck
