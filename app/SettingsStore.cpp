#include "app/SettingsStore.h"

#include "platform/foundation/UserDefaults.h"

namespace pulsedeck {

bool SettingsChange::touchesAny(std::initializer_list<std::string_view> some) const {
    for (std::string_view key : some)
        if (keys.contains(key))
            return true;
    return false;
}

SettingsStore::SettingsStore(foundation::UserDefaults& defaults,
                             std::function<std::vector<std::string>()> preferredLanguages)
    : defaults_(defaults), preferredLanguages_(std::move(preferredLanguages)),
      main_(Preferences::read(defaults)) {}

AppLanguage SettingsStore::language() const {
    return resolve(main_.languageSelection,
                   preferredLanguages_ ? preferredLanguages_() : std::vector<std::string>{});
}

const FloatingPreferences& SettingsStore::loadFloating() {
    if (!floating_) {
        // Before it has stored any, the bar looks like the menu-bar strip, with the standard
        // presentation and every section open.
        StripLook look = main_.look;
        look.modules = withThemeOf(std::move(look.modules), ModuleColors{});
        look.presentation = StripLook{}.presentation;
        look.collapsed.clear();
        const FloatingPreferences fallback(std::move(look));
        const auto stored = defaults_.dictionaryForKey(FloatingPreferences::defaultsKey);
        floating_ = stored ? FloatingPreferences(*stored, fallback) : fallback;
        defaults_.setObject(floating_->dictionaryRepresentation(),
                            FloatingPreferences::defaultsKey);
        ++revision_;
    }
    return *floating_;
}

SettingsChange SettingsStore::change(const std::function<void(Preferences&)>& edit) {
    const foundation::PropertyDictionary before = main_.storedForm();
    edit(main_);
    foundation::PropertyDictionary after = main_.storedForm();

    SettingsChange change;
    for (auto& [key, value] : after) {
        auto old = before.find(key);
        if (old != before.end() && old->second == value)
            continue;
        change.keys.insert(key);
        defaults_.setObject(std::move(value), key);
    }
    // A switch never stored reads from the fan style earlier versions wrote: a new style would turn
    // the fan back on at the next start, so the switch is written beside it.
    if (change.touches(PreferenceKey::fanDisplayMode) &&
        !defaults_.objectForKey(PreferenceKey::fanEnabled))
        defaults_.setBool(main_.look.modules.shows(ModuleKind::fan), PreferenceKey::fanEnabled);
    if (!change.empty())
        notify(change);
    return change;
}

SettingsChange
SettingsStore::changeFloating(const std::function<void(FloatingPreferences&)>& edit) {
    loadFloating();
    const foundation::PropertyDictionary before = floating_->dictionaryRepresentation();
    edit(*floating_);
    foundation::PropertyDictionary after = floating_->dictionaryRepresentation();

    SettingsChange change;
    for (const auto& [entry, value] : after)
        if (auto old = before.find(entry); old == before.end() || old->second != value)
            change.floatingEntries.insert(entry);
    if (change.empty())
        return change;
    defaults_.setObject(std::move(after), FloatingPreferences::defaultsKey);
    notify(change);
    return change;
}

void SettingsStore::observe(Observer observer) {
    observers_.push_back(std::move(observer));
}

void SettingsStore::notify(const SettingsChange& change) {
    ++revision_;
    for (const auto& observer : observers_)
        observer(change);
}

std::function<void(const LookEdit&)> menuBarLookEditor(std::shared_ptr<SettingsStore> store) {
    return [store = std::move(store)](const LookEdit& edit) {
        store->change([&edit](Preferences& p) { edit(p.look); });
    };
}

StripLook shownFloatingLook(SettingsStore& store) {
    const Preferences& main = store.main();
    return withThemeColor(store.loadFloating().look,
                          main.look.modules.colors.color(ColorSlot::theme, main.normalBlue));
}

std::function<void(const LookEdit&)> floatingLookEditor(std::shared_ptr<SettingsStore> store) {
    return [store = std::move(store)](const LookEdit& edit) {
        const StripLook shown = shownFloatingLook(*store);
        StripLook chosen = shown;
        edit(chosen);
        const ColorSlot theme = ColorSlot::theme;
        if (const auto color = chosen.modules.colors.explicitColor(theme);
            color != shown.modules.colors.explicitColor(theme))
            store->change(
                [color](Preferences& p) { p.look.modules.colors.setColor(color, theme); });
        chosen.modules = withThemeOf(std::move(chosen.modules), ModuleColors{});
        store->changeFloating([&chosen](FloatingPreferences& p) { p.look = chosen; });
    };
}

} // namespace pulsedeck
