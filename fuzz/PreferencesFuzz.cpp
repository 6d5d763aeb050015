#include "app/Preferences.h"
#include "floating/DockAnchors.h"
#include "platform/foundation/PropertyListCoding.h"
#include "platform/foundation/UserDefaults.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string_view>

namespace {

foundation::UserDefaults& scratchDefaults() {
    static foundation::UserDefaults defaults(
        std::filesystem::temp_directory_path() / "pulsedeck-preferences-fuzz", "fuzz.domain");
    return defaults;
}

bool within(double value, double low, double high) {
    return value >= low && value <= high;
}

} // namespace

// A preferences file from disk, whatever it holds, reads entry by entry as the store reads it,
// as settings inside their bounds.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto decoded = foundation::decodePropertyListEntries(
        std::string_view(reinterpret_cast<const char*>(data), size));
    if (!decoded)
        return 0;
    auto& defaults = scratchDefaults();
    defaults.setPersistentDomain(std::move(decoded->values), defaults.domainName());
    const auto settings = pulsedeck::Preferences::read(defaults);

    const std::set<pulsedeck::ModuleKind> order(settings.look.modules.order.begin(),
                                                settings.look.modules.order.end());
    bool sound = settings.look.modules.order.size() == 6 && order.size() == 6 &&
                 within(settings.look.modules.chartLength, 16, 160) &&
                 within(settings.look.modules.gap, 0, 32) &&
                 within(settings.look.opacity, 0.2, 1.0);
    for (const auto& [slot, number] : settings.look.modules.colors.values)
        sound =
            sound && pulsedeck::parseColorSlot(slot) && within(static_cast<double>(number), 0, 8);
    // A stored anchor either reads as a plausible place that docks a bar at a finite frame, or
    // not at all.
    for (const auto& [key, text] : settings.floatingDockAnchors) {
        const auto anchor = pulsedeck::DockAnchor::parse(text);
        if (!anchor)
            continue;
        const gfx::Rect frame = anchor->frame({0, 0, 1440, 900}, {240, 29});
        sound = sound && anchor->isPlausible() && std::isfinite(frame.x()) &&
                std::isfinite(frame.y()) && pulsedeck::DockAnchor::parse(anchor->text()) == anchor;
    }
    if (!sound)
        std::abort();
    return 0;
}
