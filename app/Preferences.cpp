#include "app/Preferences.h"

#include "platform/foundation/UserDefaults.h"

#include <algorithm>
#include <cmath>

namespace pulsedeck {

namespace {

std::optional<bool> storedBool(const foundation::UserDefaults& defaults, std::string_view key) {
    auto value = defaults.objectForKey(key);
    return value ? value->asBool() : std::nullopt;
}

std::optional<std::int64_t> storedInteger(const foundation::UserDefaults& defaults,
                                          std::string_view key) {
    auto value = defaults.objectForKey(key);
    return value ? value->asInteger() : std::nullopt;
}

std::optional<double> storedDouble(const foundation::UserDefaults& defaults, std::string_view key) {
    auto value = defaults.objectForKey(key);
    return value ? value->asDouble() : std::nullopt;
}

FanAnimationMode storedFanAnimation(std::optional<std::int64_t> stored) {
    if (stored && *stored >= 0 && *stored <= 2)
        if (auto mode = fanAnimationMode(static_cast<int>(*stored)))
            return *mode;
    return FanAnimationMode::smooth;
}

} // namespace

ModuleColors decodeModuleColors(const std::optional<foundation::PropertyDictionary>& stored) {
    if (!stored)
        return {};
    std::map<std::string, std::int64_t, std::less<>> numbers;
    for (const auto& [key, value] : *stored) {
        auto number = value.asInteger();
        if (!number)
            return {};
        numbers.emplace(key, *number);
    }
    return ModuleColors::fromStored(numbers);
}

DisplayMode storedDisplayMode(const foundation::UserDefaults& defaults) {
    if (auto stored = storedInteger(defaults, PreferenceKey::displayMode))
        if (auto mode = displayMode(*stored))
            return *mode;
    return defaults.boolForKey(PreferenceKey::swapOnly) ? DisplayMode::automatic
                                                        : DisplayMode::four;
}

std::set<ModuleKind> storedCollapsedSections(const foundation::UserDefaults& defaults) {
    std::set<ModuleKind> collapsed;
    for (const auto& name : defaults.stringArrayForKey(PreferenceKey::collapsedSections)
                                .value_or(std::vector<std::string>{}))
        if (auto kind = parseModuleKind(name))
            collapsed.insert(*kind);
    return collapsed;
}

std::string_view enabledKey(ModuleKind kind) {
    switch (kind) {
    case ModuleKind::memory:
        return PreferenceKey::memoryEnabled;
    case ModuleKind::fan:
        return PreferenceKey::fanEnabled;
    case ModuleKind::network:
        return PreferenceKey::networkEnabled;
    case ModuleKind::temperature:
        return PreferenceKey::temperatureEnabled;
    case ModuleKind::compute:
        return PreferenceKey::computeEnabled;
    case ModuleKind::devices:
        return PreferenceKey::devicesEnabled;
    }
    return PreferenceKey::memoryEnabled;
}

std::vector<std::string> rawNames(const std::set<ModuleKind>& modules) {
    std::vector<std::string> names;
    for (auto kind : modules)
        names.emplace_back(toString(kind));
    return names;
}

Preferences Preferences::read(const foundation::UserDefaults& defaults) {
    namespace Key = PreferenceKey;
    Preferences p;
    ModuleLook& modules = p.look.modules;
    ModuleStyles& styles = modules.styles;
    const auto readSwitch = [&](ModuleKind kind, bool standard) {
        modules.setShown(kind, storedBool(defaults, enabledKey(kind)).value_or(standard));
    };
    readSwitch(ModuleKind::devices, true);
    readSwitch(ModuleKind::compute, true);
    styles.memoryShowChart = storedBool(defaults, Key::memoryShowChart).value_or(true);
    styles.networkShowChart = storedBool(defaults, Key::networkShowChart).value_or(true);
    styles.temperatureMode = storedInteger(defaults, Key::temperatureDisplay).value_or(0) == 1
                                 ? TemperatureDisplayMode::thermometer
                                 : TemperatureDisplayMode::chart;
    styles.computeMode =
        computeDisplayMode(storedInteger(defaults, Key::computeDisplay).value_or(0));
    readSwitch(ModuleKind::memory, true);
    readSwitch(ModuleKind::network, true);
    readSwitch(ModuleKind::temperature, true);

    // Before the switch existed the fan was turned off by choosing the hidden style.
    if (auto stored = storedBool(defaults, Key::fanEnabled))
        modules.setShown(ModuleKind::fan, *stored);
    else if (auto style = storedInteger(defaults, Key::fanDisplayMode))
        modules.setShown(ModuleKind::fan, *style != 0);

    modules.order = parseOrder(
        defaults.stringArrayForKey(Key::moduleOrder).value_or(std::vector<std::string>{}));
    modules.colors = decodeModuleColors(defaults.dictionaryForKey(Key::moduleColors));
    p.look.presentation = defaults.stringForKey(Key::detailPresentation) == "overview"
                              ? DetailPresentation::overview
                              : DetailPresentation::details;
    styles.networkColored = storedBool(defaults, Key::networkColored).value_or(false);
    styles.fanAnimation = storedFanAnimation(storedInteger(defaults, Key::fanAnimation));
    styles.fanMode = fanDisplayMode(storedInteger(defaults, Key::fanDisplayMode).value_or(1));
    modules.chartLength = clampedChartLength(
        storedDouble(defaults, Key::chartLength).value_or(LookBounds::standardChart));
    modules.gap = clampedGap(storedDouble(defaults, Key::fanGap).value_or(LookBounds::standardGap));
    p.look.appearance = parseAppearanceMode(defaults.stringForKey(Key::appAppearance).value_or(""))
                            .value_or(AppearanceMode::system);
    styles.memoryMode = storedDisplayMode(defaults);
    if (auto stored = storedBool(defaults, Key::themeBlue))
        p.normalBlue = *stored;
    else
        p.normalBlue = defaults.boolForKey(Key::normalBlue);
    p.languageSelection = defaults.stringForKey(Key::language).value_or("system");
    p.floatingMode = parseFloatingMode(defaults.stringForKey(Key::floatingMode).value_or(""))
                         .value_or(FloatingMode::none);
    p.floatingDockAnchors = decodeDockAnchors(defaults.dictionaryForKey(Key::floatingDockAnchors));
    p.look.opacity = clampedOpacity(
        storedDouble(defaults, Key::floatingOpacity).value_or(LookBounds::maximumOpacity));
    p.floatingOnTop = storedBool(defaults, Key::floatingOnTop).value_or(true);
    p.look.hideInFullscreen = defaults.boolForKey(Key::hideInFullscreen);
    p.look.collapsed = storedCollapsedSections(defaults);
    return p;
}

StripSettings statusStripSettings(const Preferences& preferences, bool fanAvailable) {
    StripSettings settings{.look = preferences.look,
                           .normalBlue = preferences.normalBlue,
                           .fanAvailable = fanAvailable};
    if (!fanAvailable)
        std::erase(settings.look.modules.order, ModuleKind::fan);
    return settings;
}

foundation::PropertyDictionary Preferences::storedForm() const {
    namespace Key = PreferenceKey;
    using foundation::PropertyValue;
    const ModuleLook& modules = look.modules;
    const ModuleStyles& styles = modules.styles;
    foundation::PropertyDictionary stored;
    const auto put = [&stored](std::string_view key, PropertyValue value) {
        stored.insert_or_assign(std::string(key), std::move(value));
    };
    for (ModuleKind kind : allModuleKinds)
        put(enabledKey(kind), modules.shows(kind));
    put(Key::memoryShowChart, styles.memoryShowChart);
    put(Key::networkShowChart, styles.networkShowChart);
    put(Key::temperatureDisplay, std::int64_t{rawValue(styles.temperatureMode)});
    put(Key::computeDisplay, std::int64_t{rawValue(styles.computeMode)});
    foundation::PropertyArray order;
    for (ModuleKind kind : modules.order)
        order.emplace_back(std::string(toString(kind)));
    put(Key::moduleOrder, std::move(order));
    foundation::PropertyDictionary colors;
    for (const auto& [slot, color] : modules.colors.values)
        colors.emplace(slot, color);
    put(Key::moduleColors, std::move(colors));
    put(Key::detailPresentation, std::string(toString(look.presentation)));
    put(Key::networkColored, styles.networkColored);
    put(Key::fanAnimation, std::int64_t{rawValue(styles.fanAnimation)});
    put(Key::fanDisplayMode, std::int64_t{rawValue(styles.fanMode)});
    put(Key::chartLength, modules.chartLength);
    put(Key::fanGap, modules.gap);
    put(Key::appAppearance, std::string(toString(look.appearance)));
    put(Key::displayMode, std::int64_t{rawValue(styles.memoryMode)});
    put(Key::themeBlue, normalBlue);
    put(Key::language, languageSelection);
    put(Key::floatingMode, std::string(toString(floatingMode)));
    put(Key::floatingDockAnchors, encodeDockAnchors(floatingDockAnchors));
    put(Key::floatingOpacity, look.opacity);
    put(Key::floatingOnTop, floatingOnTop);
    put(Key::hideInFullscreen, look.hideInFullscreen);
    // Ascending, so one set always writes one array.
    auto names = rawNames(look.collapsed);
    std::sort(names.begin(), names.end());
    put(Key::collapsedSections, foundation::PropertyArray(names.begin(), names.end()));
    return stored;
}

} // namespace pulsedeck
