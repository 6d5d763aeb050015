#include "app/LegacyMigration.h"

#include "app/Preferences.h"
#include "platform/foundation/UserDefaults.h"

namespace pulsedeck {

void migrateLegacyPreferences(foundation::UserDefaults& defaults,
                              std::string_view bundleIdentifier) {
    if (bundleIdentifier != applicationIdentifier)
        return;
    if (defaults.boolForKey(PreferenceKey::didMigrateLegacyPreferences))
        return;
    auto legacy = defaults.persistentDomainForName(legacyDomainName);
    if (!legacy)
        return;
    auto merged = std::move(*legacy);
    auto current = defaults.persistentDomainForName(applicationIdentifier)
                       .value_or(foundation::PropertyDictionary{});
    for (auto& [key, value] : current)
        merged.insert_or_assign(key, std::move(value));
    merged.insert_or_assign(std::string(PreferenceKey::didMigrateLegacyPreferences),
                            foundation::PropertyValue(true));
    defaults.setPersistentDomain(std::move(merged), applicationIdentifier);
}

} // namespace pulsedeck
