#pragma once

#include "updates/AppRelease.h"

#include <cstdint>
#include <optional>
#include <string>

namespace pulsedeck {

// The update feed's text for one release, its download at the usual address.
inline std::string releaseManifest(const std::string& version, std::int64_t build,
                                   std::optional<std::string> minimum = std::nullopt) {
    return AppRelease{version, build,
                      "https://pulsedeck.dorvettin.net/downloads/Pulsedeck-" + version + "-" +
                          std::to_string(build) + ".zip",
                      std::move(minimum), std::nullopt}
        .encode();
}

} // namespace pulsedeck
