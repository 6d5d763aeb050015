#include "updates/UpdateController.h"

namespace pulsedeck {

UpdateController::UpdateController(const foundation::UserDefaults& defaults)
    : defaults_(defaults) {}

UpdateFrequency UpdateController::frequency() const {
    return storedUpdateFrequency(defaults_);
}

void UpdateController::schedule() {}

} // namespace pulsedeck
