#pragma once

#include <string_view>

namespace foundation {
class UserDefaults;
}

namespace pulsedeck {

// The application's identifier, for which alone the earlier versions' preferences are taken over.
inline constexpr std::string_view applicationIdentifier = "local.dorvettin.Pulsedeck";
// The preferences domain of the versions released under the earlier name.
inline constexpr std::string_view legacyDomainName = "local.dorvettin.Quillmeter";

// Merges the earlier versions' preferences into the application's domain once per installation:
// only when `bundleIdentifier` is the application's, only while the domain lacks the migration
// flag, and only when the legacy domain exists (else the next start looks again). Values already
// in the application's domain win; the legacy domain is left as it is. Runs before anything
// else reads the preferences.
void migrateLegacyPreferences(foundation::UserDefaults& defaults,
                              std::string_view bundleIdentifier);

} // namespace pulsedeck
