#pragma once

#include "app/DetailStateBuilder.h"
#include "app/SamplingState.h"
#include "app/SettingsStore.h"
#include "detail/DetailView.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace pulsedeck {

// What one detail view is handed: the state of a look, the menu bar's settings and, while the
// details are open, the readings. Closed, the details take their settings and the device list
// (so an arrival is dated by its sample) but no reading: nothing is refreshed each second for
// nobody, and the hand-off that opens them brings the rest before they are measured. Main thread
// only.
class DetailsHandOff {
public:
    DetailsHandOff(std::shared_ptr<SettingsStore> store, const SamplingState& sampling);

    // Hands `view` the state of `look`; a closed view is handed nothing while the settings, the
    // context and the device list are what it was last handed.
    void handOff(DetailView& view, const StripLook& look, bool open, bool animated,
                 LoginItemStatus loginStatus = LoginItemStatus::notRegistered,
                 bool loginFailed = false);

private:
    // What a closed view was last handed; none after an open hand-off, whose readings the next
    // closed one keeps.
    struct Closed {
        std::uint64_t settingsRevision = 0;
        DetailContext context;
        std::vector<ExternalDevice> devices;
    };

    std::shared_ptr<SettingsStore> store_;
    const SamplingState& sampling_;
    std::optional<Closed> closed_;
};

} // namespace pulsedeck
