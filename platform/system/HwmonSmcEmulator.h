#pragma once

#include "platform/dispatch/Clock.h"
#include "platform/system/HwmonCatalog.h"
#include "platform/system/SmcTransport.h"
#include "platform/system/SystemRoots.h"

#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace sys {

// The controller as hwmon lets us emulate it. It answers:
//   "#KEY"        ui32  the number of keys
//   "FNum"        ui8   the fan count
//   "F{i}Ac"      flt   fan i's speed (fanN_input)
//   "F{i}Mx"      flt   fan i's maximum (fanN_max), only for fans that have one
//   "Tp??"        flt   processor package temperatures, °C
//   "TC??"        flt   other processor temperatures, °C
// and nothing else, in that index order. The hwmon tree is walked once, on the first open; every
// connection then re-reads the same files through descriptors it keeps. Sensor files may block on
// firmware, so connections are for the sampling queue only, every read is timed, and a sensor that
// keeps taking more than a few milliseconds is read only every few seconds.
class HwmonSmcEmulator final : public SmcTransport {
public:
    // How a key gets its value.
    struct Key {
        std::string name{};
        std::string type{};
        // Constant keys ("#KEY", "FNum") carry their value; sensor keys read `path`.
        double constant = 0;
        std::filesystem::path path{};
        // hwmon units per value unit: 1000 for millidegrees, 1 for rpm.
        double divisor = 1;
        // The channel behind a sensor key.
        std::string driver{};
        std::string label{};
    };

    // `clock` times the reads and must outlive the emulator.
    explicit HwmonSmcEmulator(SystemRoots roots,
                              const dispatch::Clock& clock = dispatch::uptimeClock());

    std::unique_ptr<SmcConnection> open() override;

    // The key table, discovering it first if need be.
    std::shared_ptr<const std::vector<Key>> keys();

private:
    SystemRoots roots_;
    const dispatch::Clock& clock_;
    std::mutex mutex_;
    std::shared_ptr<const std::vector<Key>> keys_;
};

// The emulator's key table for a catalog (exposed so tests can check the naming).
std::vector<HwmonSmcEmulator::Key> emulatedKeys(const HwmonCatalog& catalog);

} // namespace sys
