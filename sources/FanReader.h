#pragma once

#include "platform/system/SmcTransport.h"
#include "sources/FanSnapshot.h"
#include "sources/MachineIdentity.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace pulsedeck {

// The code of a four-character name: its bytes folded from the first, each step shifting left by
// 8 bits ("FNum" → 0x464E756D).
std::uint32_t fourCharCode(std::string_view name);

// The client of the system management controller, and the fan reader. It opens a connection on
// first use, keeps each key's size and type, decodes values and lists temperature keys. Each
// instance owns its own connection and is used only on the sampling queue (no lock): controller
// calls may block on firmware.
class FanReader {
public:
    explicit FanReader(std::shared_ptr<sys::SmcTransport> transport,
                       MachineIdentity identity = MachineIdentity::current());
    FanReader(const FanReader&) = delete;
    FanReader& operator=(const FanReader&) = delete;

    // Every fan's speed and maximum. A fanless machine makes no controller call.
    FanSnapshot sample();

    // One key's decoded value; nothing when it cannot be read or decoded.
    std::optional<double> readKey(std::string_view name);

    // The names of all keys beginning "Tp" or "TC", in index order.
    std::vector<std::string> listTemperatureKeys();

    // One controller call: the command byte goes into `block`. A failed call closes the
    // connection and forgets every key's information; a refused one only fails itself.
    std::optional<sys::SmcBlock> send(std::uint8_t command, sys::SmcBlock block);

    // A value of the given type from exactly its byte count; kept only when finite and within
    // 0…100,000.
    static std::optional<double> decode(std::uint32_t type, std::span<const std::uint8_t> bytes);

    const std::string& model() const { return model_; }

private:
    struct KeyInfo {
        std::uint32_t size;
        std::uint32_t type;
    };

    bool openIfNeeded();
    std::optional<sys::SmcBlock> call(const sys::SmcBlock& request);

    std::shared_ptr<sys::SmcTransport> transport_;
    std::unique_ptr<sys::SmcConnection> connection_;
    std::unordered_map<std::uint32_t, KeyInfo> metadata_;
    MachineIdentity identity_;
    std::string model_;
};

} // namespace pulsedeck
