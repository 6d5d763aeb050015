#include "floating/FloatingPreferences.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace pulsedeck {

namespace {

namespace Key {
constexpr std::string_view schema = "schema";
constexpr std::string_view order = "order";
constexpr std::string_view hidden = "hidden";
constexpr std::string_view appearance = "appearance";
constexpr std::string_view opacity = "opacity";
constexpr std::string_view display = "display";
constexpr std::string_view fan = "fan";
constexpr std::string_view fanAnimation = "fanAnimation";
constexpr std::string_view compute = "compute";
constexpr std::string_view temperature = "temperature";
constexpr std::string_view chartLength = "chartLength";
constexpr std::string_view gap = "gap";
constexpr std::string_view memoryChart = "memoryChart";
constexpr std::string_view networkChart = "networkChart";
constexpr std::string_view networkColored = "networkColored";
constexpr std::string_view colors = "colors";
constexpr std::string_view presentation = "presentation";
constexpr std::string_view collapsed = "collapsed";
constexpr std::string_view hideInFullscreen = "hideInFullscreen";
} // namespace Key

// The stored entries, read with the strict kinds of the stored form.
class StoredEntries {
public:
    explicit StoredEntries(const foundation::PropertyDictionary& dictionary)
        : dictionary_(dictionary) {}

    const foundation::PropertyValue* find(std::string_view key) const {
        auto found = dictionary_.find(key);
        return found == dictionary_.end() ? nullptr : &found->second;
    }

    std::optional<std::int64_t> integer(std::string_view key) const {
        auto value = find(key);
        return value ? strictInteger(*value) : std::nullopt;
    }

    // Any stored number, ±∞ and NaN included.
    std::optional<double> number(std::string_view key) const {
        auto value = find(key);
        if (!value)
            return std::nullopt;
        if (auto number = std::get_if<std::int64_t>(&value->storage()))
            return static_cast<double>(*number);
        if (auto number = std::get_if<double>(&value->storage()))
            return *number;
        return std::nullopt;
    }

    std::optional<double> real(std::string_view key) const {
        auto stored = number(key);
        return stored && std::isfinite(*stored) ? stored : std::nullopt;
    }

    std::optional<bool> boolean(std::string_view key) const {
        auto value = find(key);
        if (auto flag = value ? std::get_if<bool>(&value->storage()) : nullptr)
            return *flag;
        return std::nullopt;
    }

    const std::string* string(std::string_view key) const {
        auto value = find(key);
        return value ? value->asString() : nullptr;
    }

    // Nothing unless the entry is an array of texts only.
    std::optional<std::vector<std::string>> strings(std::string_view key) const {
        auto value = find(key);
        auto array = value ? value->asArray() : nullptr;
        if (!array)
            return std::nullopt;
        std::vector<std::string> names;
        for (const auto& element : *array) {
            auto name = element.asString();
            if (!name)
                return std::nullopt;
            names.push_back(*name);
        }
        return names;
    }

    // Nothing unless the entry is a dictionary whose every value is an integer.
    std::optional<std::map<std::string, std::int64_t, std::less<>>>
    integers(std::string_view key) const {
        auto value = find(key);
        auto dictionary = value ? value->asDictionary() : nullptr;
        if (!dictionary)
            return std::nullopt;
        std::map<std::string, std::int64_t, std::less<>> numbers;
        for (const auto& [name, element] : *dictionary) {
            auto number = strictInteger(element);
            if (!number)
                return std::nullopt;
            numbers.emplace(name, *number);
        }
        return numbers;
    }

private:
    // An integer, or a real with a whole value; never a Boolean.
    static std::optional<std::int64_t> strictInteger(const foundation::PropertyValue& value) {
        if (value.isBool())
            return std::nullopt;
        return value.asInteger();
    }

    const foundation::PropertyDictionary& dictionary_;
};

std::optional<std::set<ModuleKind>> knownModules(std::optional<std::vector<std::string>> names) {
    if (!names)
        return std::nullopt;
    std::set<ModuleKind> modules;
    for (const auto& name : *names)
        if (auto kind = parseModuleKind(name))
            modules.insert(*kind);
    return modules;
}

std::vector<std::string> orderNames(const std::vector<ModuleKind>& order) {
    std::vector<std::string> names;
    for (auto kind : order)
        names.emplace_back(toString(kind));
    return names;
}

foundation::PropertyArray sortedNames(const std::set<ModuleKind>& modules) {
    std::vector<std::string> names;
    for (auto kind : modules)
        names.emplace_back(toString(kind));
    std::sort(names.begin(), names.end());
    return {names.begin(), names.end()};
}

// A stored mode number inside 0…last, else nothing.
template <typename Mode>
std::optional<Mode> modeNumber(std::optional<std::int64_t> stored, std::int64_t last) {
    if (!stored || *stored < 0 || *stored > last)
        return std::nullopt;
    return static_cast<Mode>(*stored);
}

ModuleColors withoutTheme(const ModuleColors& colors) {
    ModuleColors filtered = ModuleColors::fromStored(colors.values);
    filtered.values.erase(std::string(toString(ColorSlot::theme)));
    return filtered;
}

} // namespace

FloatingPreferences::FloatingPreferences(const foundation::PropertyDictionary& dictionary,
                                         const FloatingPreferences& fallback)
    : FloatingPreferences(fallback) {
    const StoredEntries stored(dictionary);
    if (stored.integer(Key::schema) != schema)
        return;

    const StripLook& was = fallback.look;
    ModuleLook& modules = look.modules;
    modules.order = parseOrder(stored.strings(Key::order).value_or(orderNames(was.modules.order)));
    modules.hidden = knownModules(stored.strings(Key::hidden)).value_or(was.modules.hidden);
    look.collapsed = knownModules(stored.strings(Key::collapsed)).value_or(std::set<ModuleKind>{});

    if (auto text = stored.string(Key::appearance))
        look.appearance = parseAppearanceMode(*text).value_or(was.appearance);
    if (auto text = stored.string(Key::presentation))
        look.presentation = parseDetailPresentation(*text).value_or(was.presentation);

    const ModuleStyles& wasStyles = was.modules.styles;
    ModuleStyles& styles = modules.styles;
    styles.memoryMode =
        modeNumber<DisplayMode>(stored.integer(Key::display), 2).value_or(wasStyles.memoryMode);
    styles.fanMode =
        modeNumber<FanDisplayMode>(stored.integer(Key::fan), 2).value_or(wasStyles.fanMode);
    styles.fanAnimation = modeNumber<FanAnimationMode>(stored.integer(Key::fanAnimation), 2)
                              .value_or(wasStyles.fanAnimation);
    styles.computeMode = modeNumber<ComputeDisplayMode>(stored.integer(Key::compute), 2)
                             .value_or(wasStyles.computeMode);
    styles.temperatureMode = modeNumber<TemperatureDisplayMode>(stored.integer(Key::temperature), 1)
                                 .value_or(wasStyles.temperatureMode);

    styles.memoryShowChart = stored.boolean(Key::memoryChart).value_or(wasStyles.memoryShowChart);
    styles.networkShowChart =
        stored.boolean(Key::networkChart).value_or(wasStyles.networkShowChart);
    styles.networkColored = stored.boolean(Key::networkColored).value_or(wasStyles.networkColored);
    look.hideInFullscreen = stored.boolean(Key::hideInFullscreen).value_or(was.hideInFullscreen);

    look.opacity = clampedOpacity(stored.real(Key::opacity).value_or(was.opacity));
    // A stored ±∞ or NaN reads as the standard length, not as the fallback's.
    modules.chartLength =
        clampedChartLength(stored.number(Key::chartLength).value_or(was.modules.chartLength));
    modules.gap = clampedGap(stored.real(Key::gap).value_or(was.modules.gap));

    if (auto numbers = stored.integers(Key::colors))
        modules.colors = withoutTheme(ModuleColors{*numbers});
    else
        modules.colors = withoutTheme(was.modules.colors);
}

foundation::PropertyDictionary FloatingPreferences::dictionaryRepresentation() const {
    using foundation::PropertyValue;
    const ModuleLook& modules = look.modules;
    const ModuleStyles& styles = modules.styles;
    foundation::PropertyDictionary entries;
    entries.emplace(Key::schema, PropertyValue(schema));
    const auto names = orderNames(modules.order);
    entries.emplace(Key::order, foundation::PropertyArray(names.begin(), names.end()));
    entries.emplace(Key::hidden, sortedNames(modules.hidden));
    entries.emplace(Key::appearance, PropertyValue(std::string(toString(look.appearance))));
    entries.emplace(Key::opacity, PropertyValue(look.opacity));
    entries.emplace(Key::display, PropertyValue(rawValue(styles.memoryMode)));
    entries.emplace(Key::fan, PropertyValue(rawValue(styles.fanMode)));
    entries.emplace(Key::fanAnimation, PropertyValue(rawValue(styles.fanAnimation)));
    entries.emplace(Key::compute, PropertyValue(rawValue(styles.computeMode)));
    entries.emplace(Key::temperature, PropertyValue(rawValue(styles.temperatureMode)));
    entries.emplace(Key::chartLength, PropertyValue(modules.chartLength));
    entries.emplace(Key::gap, PropertyValue(modules.gap));
    entries.emplace(Key::memoryChart, PropertyValue(styles.memoryShowChart));
    entries.emplace(Key::networkChart, PropertyValue(styles.networkShowChart));
    entries.emplace(Key::networkColored, PropertyValue(styles.networkColored));
    foundation::PropertyDictionary colorEntries;
    for (const auto& [slot, number] : modules.colors.values)
        if (slot != toString(ColorSlot::theme))
            colorEntries.emplace(slot, PropertyValue(number));
    entries.emplace(Key::colors, std::move(colorEntries));
    entries.emplace(
        Key::presentation,
        PropertyValue(look.presentation == DetailPresentation::overview ? "overview" : "details"));
    entries.emplace(Key::collapsed, sortedNames(look.collapsed));
    entries.emplace(Key::hideInFullscreen, PropertyValue(look.hideInFullscreen));
    return entries;
}

} // namespace pulsedeck
