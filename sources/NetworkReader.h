#pragma once

#include "platform/dispatch/Clock.h"
#include "platform/system/InterfaceList.h"
#include "platform/system/SystemRoots.h"
#include "sources/NetworkSnapshot.h"

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace pulsedeck {

// One interface's byte counters.
struct NetworkCounters {
    std::uint64_t received = 0;
    std::uint64_t sent = 0;

    bool operator==(const NetworkCounters&) const = default;
};

// Counters by interface name, in ascending name order.
using InterfaceCounters = std::map<std::string, NetworkCounters>;

// What the reader remembers of the previous sample.
struct NetworkRateState {
    std::optional<InterfaceCounters> previous;
    // Uptime in seconds at which `previous` was read.
    std::optional<double> timestamp;
};

// Turns an interface index into its name; empty when there is none.
using InterfaceNameLookup = std::function<std::optional<std::string_view>(std::uint16_t index)>;

// Walks the interface records into counters of the interfaces that are up and running. The walk
// ends at a record that would leave fewer than 112 bytes, has length 0 or runs past the end;
// records shorter than 160 bytes, of another type or without a name are passed over. A name is
// taken as if_indextoname gives it (at most 15 bytes, up to the first zero) with invalid UTF-8
// repaired; a later record for the same name replaces an earlier one.
InterfaceCounters walkInterfaceRecords(std::span<const std::uint8_t> records,
                                       const InterfaceNameLookup& nameOf);

// Forms the rates of `current` against `state` at uptime `now`, then makes (current, now) the
// new state. No rates without a previous sample, when the interval is not positive or longer
// than 5 s, when an interface is new or when a counter went backwards.
NetworkSnapshot formNetworkRates(NetworkRateState& state, InterfaceCounters current, double now);

// Download and upload rates summed over the machine's hardware network interfaces that are up
// and running. Runs on the sampling queue only, one sample at a time; keeps its previous sample
// to itself.
class NetworkReader {
public:
    explicit NetworkReader(const sys::SystemRoots& roots = sys::SystemRoots::live(),
                           const dispatch::Clock& clock = dispatch::uptimeClock());
    NetworkReader(sys::InterfaceList list, const dispatch::Clock& clock);

    // A disabled call, or a list the kernel would not give, clears the previous sample and
    // returns no rates and no interfaces.
    NetworkSnapshot sample(bool enabled);

private:
    sys::InterfaceList list_;
    const dispatch::Clock& clock_;
    NetworkRateState state_;
};

} // namespace pulsedeck
