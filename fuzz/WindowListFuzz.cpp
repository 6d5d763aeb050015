#include "floating/FullscreenMonitor.h"
#include "platform/foundation/PropertyListCoding.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

// A window list of any shape, under the key "windows", never flags a display that does not
// exist, nor one covered only by this process's windows.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto decoded =
        foundation::decodePropertyList(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!decoded)
        return 0;
    const auto found = decoded->find("windows");
    if (found == decoded->end() || !found->second.asArray())
        return 0;
    constexpr int ownPID = 4242;
    std::vector<pulsedeck::FullscreenWindowGeometry> windows;
    std::vector<pulsedeck::FullscreenWindowGeometry> others;
    for (const auto& info : *found->second.asArray()) {
        const auto* dictionary = info.asDictionary();
        if (!dictionary)
            continue;
        if (auto geometry = pulsedeck::FullscreenWindowGeometry::make(*dictionary)) {
            windows.push_back(*geometry);
            if (geometry->owner != ownPID)
                others.push_back(*geometry);
        }
    }
    const std::map<int, gfx::Rect> displays{
        {1, {0, 0, 1440, 900}}, {2, {1440, 0, 1920, 1080}}, {3, {0, 0, 0, 0}}};
    const auto flagged = pulsedeck::fullscreenDisplayIDs(windows, displays, ownPID);
    for (int display : flagged)
        if (display != 1 && display != 2)
            std::abort();
    if (pulsedeck::fullscreenDisplayIDs(others, displays, ownPID) != flagged)
        std::abort();
    return 0;
}
