#pragma once

#include "platform/dispatch/Clock.h"
#include "sources/FanReader.h"
#include "sources/TemperatureSnapshot.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace pulsedeck {

// The hottest processor temperature the controller offers. Keys are found by listing the
// controller once; an empty list is looked for again at most every 30 s, a found one is kept for
// good. Used only on the sampling queue (no lock). `clock` must outlive the reader.
class TemperatureReader {
public:
    explicit TemperatureReader(std::shared_ptr<sys::SmcTransport> transport,
                               const dispatch::Clock& clock = dispatch::uptimeClock(),
                               MachineIdentity identity = MachineIdentity::current());

    TemperatureSnapshot sample();

    // The keys in use; nothing before the first discovery.
    const std::optional<std::vector<std::string>>& keys() const { return keys_; }

private:
    FanReader smc_;
    const dispatch::Clock& clock_;
    std::optional<std::vector<std::string>> keys_;
    double nextDiscovery_ = 0;
};

} // namespace pulsedeck
