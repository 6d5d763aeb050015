#include "app/Preferences.h"

#include "app/FloatingSettingsTransfer.h"
#include "floating/FloatingStripSettings.h"
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

double clampedFanGap(double value) {
    if (std::isnan(value) || value < 0)
        return 0;
    return std::min(value, 32.0);
}

double clampedFloatingOpacity(double value) {
    if (!std::isfinite(value))
        return 1.0;
    return std::clamp(value, 0.2, 1.0);
}

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

bool Preferences::*enabledSwitch(ModuleKind kind) {
    switch (kind) {
    case ModuleKind::memory:
        return &Preferences::memoryEnabled;
    case ModuleKind::fan:
        return &Preferences::fanEnabled;
    case ModuleKind::network:
        return &Preferences::networkEnabled;
    case ModuleKind::temperature:
        return &Preferences::temperatureEnabled;
    case ModuleKind::compute:
        return &Preferences::computeEnabled;
    case ModuleKind::devices:
        return &Preferences::devicesEnabled;
    }
    return &Preferences::memoryEnabled;
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

std::vector<ModuleKind> completeOrder(const std::vector<ModuleKind>& order) {
    std::vector<std::string> names;
    for (auto kind : order)
        names.emplace_back(toString(kind));
    return parseOrder(names);
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
    p.devicesEnabled = storedBool(defaults, Key::devicesEnabled).value_or(true);
    p.computeEnabled = storedBool(defaults, Key::computeEnabled).value_or(true);
    ModuleStyles& styles = p.styles;
    styles.memoryShowChart = storedBool(defaults, Key::memoryShowChart).value_or(true);
    styles.networkShowChart = storedBool(defaults, Key::networkShowChart).value_or(true);
    styles.temperatureMode = storedInteger(defaults, Key::temperatureDisplay).value_or(0) == 1
                                 ? TemperatureDisplayMode::thermometer
                                 : TemperatureDisplayMode::chart;
    styles.computeMode =
        computeDisplayMode(storedInteger(defaults, Key::computeDisplay).value_or(0));
    p.memoryEnabled = storedBool(defaults, Key::memoryEnabled).value_or(true);
    p.networkEnabled = storedBool(defaults, Key::networkEnabled).value_or(true);
    p.temperatureEnabled = storedBool(defaults, Key::temperatureEnabled).value_or(true);

    // Before the switch existed the fan was turned off by choosing the hidden style.
    if (auto stored = storedBool(defaults, Key::fanEnabled))
        p.fanEnabled = *stored;
    else if (auto style = storedInteger(defaults, Key::fanDisplayMode))
        p.fanEnabled = *style != 0;
    else
        p.fanEnabled = true;

    p.moduleOrder = parseOrder(
        defaults.stringArrayForKey(Key::moduleOrder).value_or(std::vector<std::string>{}));
    p.moduleColors = decodeModuleColors(defaults.dictionaryForKey(Key::moduleColors));
    p.detailPresentation = defaults.stringForKey(Key::detailPresentation) == "overview"
                               ? DetailPresentation::overview
                               : DetailPresentation::details;
    styles.networkColored = storedBool(defaults, Key::networkColored).value_or(false);
    styles.fanAnimation = storedFanAnimation(storedInteger(defaults, Key::fanAnimation));
    styles.fanMode = fanDisplayMode(storedInteger(defaults, Key::fanDisplayMode).value_or(1));
    p.chartLength = clampedChartLength(storedDouble(defaults, Key::chartLength).value_or(85));
    p.fanGap = clampedFanGap(storedDouble(defaults, Key::fanGap).value_or(8));
    p.appearanceMode = parseAppearanceMode(defaults.stringForKey(Key::appAppearance).value_or(""))
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
    p.floatingOpacity =
        clampedFloatingOpacity(storedDouble(defaults, Key::floatingOpacity).value_or(1.0));
    p.floatingOnTop = storedBool(defaults, Key::floatingOnTop).value_or(true);
    p.hideInFullscreen = defaults.boolForKey(Key::hideInFullscreen);
    p.collapsedSections = storedCollapsedSections(defaults);
    return p;
}

StripSettings statusStripSettings(const Preferences& preferences, bool fanAvailable) {
    StripSettings settings = stripSettings(floatingFallback(preferences), fanAvailable);
    // Without fans the status strip's order has no place for the fan either.
    if (!fanAvailable)
        std::erase(settings.order, ModuleKind::fan);
    settings.colors = preferences.moduleColors;
    settings.normalBlue = preferences.normalBlue;
    return settings;
}

foundation::PropertyDictionary Preferences::storedForm() const {
    namespace Key = PreferenceKey;
    using foundation::PropertyValue;
    foundation::PropertyDictionary stored;
    const auto put = [&stored](std::string_view key, PropertyValue value) {
        stored.insert_or_assign(std::string(key), std::move(value));
    };
    for (ModuleKind kind : allModuleKinds)
        put(enabledKey(kind), this->*enabledSwitch(kind));
    put(Key::memoryShowChart, styles.memoryShowChart);
    put(Key::networkShowChart, styles.networkShowChart);
    put(Key::temperatureDisplay, std::int64_t{rawValue(styles.temperatureMode)});
    put(Key::computeDisplay, std::int64_t{rawValue(styles.computeMode)});
    foundation::PropertyArray order;
    for (ModuleKind kind : moduleOrder)
        order.emplace_back(std::string(toString(kind)));
    put(Key::moduleOrder, std::move(order));
    foundation::PropertyDictionary colors;
    for (const auto& [slot, color] : moduleColors.values)
        colors.emplace(slot, color);
    put(Key::moduleColors, std::move(colors));
    put(Key::detailPresentation, std::string(toString(detailPresentation)));
    put(Key::networkColored, styles.networkColored);
    put(Key::fanAnimation, std::int64_t{rawValue(styles.fanAnimation)});
    put(Key::fanDisplayMode, std::int64_t{rawValue(styles.fanMode)});
    put(Key::chartLength, chartLength);
    put(Key::fanGap, fanGap);
    put(Key::appAppearance, std::string(toString(appearanceMode)));
    put(Key::displayMode, std::int64_t{rawValue(styles.memoryMode)});
    put(Key::themeBlue, normalBlue);
    put(Key::language, languageSelection);
    put(Key::floatingMode, std::string(toString(floatingMode)));
    put(Key::floatingDockAnchors, encodeDockAnchors(floatingDockAnchors));
    put(Key::floatingOpacity, floatingOpacity);
    put(Key::floatingOnTop, floatingOnTop);
    put(Key::hideInFullscreen, hideInFullscreen);
    // Ascending, so one set always writes one array.
    auto names = rawNames(collapsedSections);
    std::sort(names.begin(), names.end());
    put(Key::collapsedSections, foundation::PropertyArray(names.begin(), names.end()));
    return stored;
}

} // namespace pulsedeck
