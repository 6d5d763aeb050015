#include "sources/TemperatureReader.h"

#include <cmath>

namespace pulsedeck {

namespace {

constexpr double rediscoveryInterval = 30.0;
constexpr double lowestValid = 0.0;
constexpr double highestValid = 150.0;

} // namespace

TemperatureReader::TemperatureReader(std::shared_ptr<sys::SmcTransport> transport,
                                     const dispatch::Clock& clock, MachineIdentity identity)
    : smc_(std::move(transport), std::move(identity)), clock_(clock) {}

TemperatureSnapshot TemperatureReader::sample() {
    const double now = clock_.now();
    if (!keys_ || (keys_->empty() && nextDiscovery_ <= now)) {
        auto all = smc_.listTemperatureKeys();
        std::vector<std::string> package, processor;
        for (auto& key : all) {
            (key.starts_with("Tp") ? package : processor).push_back(std::move(key));
        }
        keys_ = package.empty() ? std::move(processor) : std::move(package);
        nextDiscovery_ = now + rediscoveryInterval;
    }

    TemperatureSnapshot snapshot;
    for (const std::string& key : *keys_) {
        auto value = smc_.readKey(key);
        if (!value || !std::isfinite(*value) || *value <= lowestValid || *value >= highestValid) {
            continue;
        }
        ++snapshot.sensorCount;
        if (!snapshot.celsius || *value > *snapshot.celsius) {
            snapshot.celsius = value;
            snapshot.sensor = key;
        }
    }
    return snapshot;
}

} // namespace pulsedeck
