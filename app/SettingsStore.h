#pragma once

#include "app/Preferences.h"
#include "floating/FloatingPreferences.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace foundation {
class UserDefaults;
}

namespace pulsedeck {

// What one change touched: the main settings' keys, and the entries of the floating bar's record
// (stored whole under FloatingPreferences::defaultsKey).
struct SettingsChange {
    std::set<std::string, std::less<>> keys;
    std::set<std::string, std::less<>> floatingEntries;

    bool empty() const { return keys.empty() && floatingEntries.empty(); }
    bool touches(std::string_view key) const { return keys.contains(key); }
    bool touchesAny(std::initializer_list<std::string_view> some) const;
};

// The one holder of both preference sets. Every change goes through `change` or
// `changeFloating`: the store writes what changed, in the stored formats the settings are read
// back from, and then tells each observer, in the order they came, which keys changed; each
// controller observes it for the keys it owns. A change that changes nothing writes nothing and
// tells nobody. Main thread only.
class SettingsStore {
public:
    using Observer = std::function<void(const SettingsChange&)>;

    // Reads the main settings; the bar's record waits for loadFloating. `preferredLanguages`
    // lists the user's languages, most preferred first; none: English.
    explicit SettingsStore(foundation::UserDefaults& defaults,
                           std::function<std::vector<std::string>()> preferredLanguages = {});

    const Preferences& main() const { return main_; }
    // None until the floating bar first needs its record.
    const std::optional<FloatingPreferences>& floating() const { return floating_; }
    // Loads the bar's record once: the stored one over the main strip's look, written back so
    // the record stands from then on.
    const FloatingPreferences& loadFloating();

    SettingsChange change(const std::function<void(Preferences&)>& edit);
    // Loads the record first when it is not loaded yet.
    SettingsChange changeFloating(const std::function<void(FloatingPreferences&)>& edit);

    void observe(Observer observer);
    // Counts the changes so far (the bar's record loading counts as one): the same count means
    // the same settings.
    std::uint64_t revision() const { return revision_; }

    foundation::UserDefaults& defaults() const { return defaults_; }
    // The language the interface speaks now: the stored choice, else the user's languages.
    AppLanguage language() const;

private:
    void notify(const SettingsChange& change);

    foundation::UserDefaults& defaults_;
    std::function<std::vector<std::string>()> preferredLanguages_;
    Preferences main_;
    std::optional<FloatingPreferences> floating_;
    std::vector<Observer> observers_;
    std::uint64_t revision_ = 0;
};

// The details' look choices, applied to the menu bar's look. The closure holds the store, so a
// choice reported while the controllers are taken apart (the sections the closing details
// report) is still kept.
std::function<void(const LookEdit&)> menuBarLookEditor(std::shared_ptr<SettingsStore> store);

// The floating bar's details' look choices, applied to the bar's look as they show it: with the
// menu bar's theme colour, which a choice of the theme changes.
std::function<void(const LookEdit&)> floatingLookEditor(std::shared_ptr<SettingsStore> store);

// The bar's look as its strip and details show it, with the menu bar's theme colour; loads the
// bar's record first when it is not loaded yet.
StripLook shownFloatingLook(SettingsStore& store);

} // namespace pulsedeck
