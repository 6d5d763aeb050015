#include "app/DetailsHandOff.h"

namespace pulsedeck {

DetailsHandOff::DetailsHandOff(std::shared_ptr<SettingsStore> store, const SamplingState& sampling)
    : store_(std::move(store)), sampling_(sampling) {}

void DetailsHandOff::handOff(DetailView& view, const StripLook& look, bool open, bool animated,
                             LoginItemStatus loginStatus, bool loginFailed) {
    const DetailContext context{.language = store_->language(),
                                .fanAvailable = sampling_.fanAvailable,
                                .historyCapacity = static_cast<int>(sampling_.historyCapacity),
                                .updateFrequency = storedUpdateFrequency(store_->defaults()),
                                .loginStatus = loginStatus,
                                .loginFailed = loginFailed};
    if (open) {
        closed_.reset();
    } else {
        const std::vector<ExternalDevice>& devices = sampling_.devicesSnapshot.devices;
        if (closed_ && closed_->settingsRevision == store_->revision() &&
            closed_->context == context && closed_->devices == devices)
            return;
        closed_ =
            Closed{.settingsRevision = store_->revision(), .context = context, .devices = devices};
    }
    DetailReadings readings = open ? detailReadings(sampling_) : view.state().readings;
    if (!open)
        readings.devices = sampling_.devicesSnapshot.devices;
    view.setState(detailState(look, store_->main(), context, std::move(readings)), animated);
}

} // namespace pulsedeck
