#include "floating/FloatingPreferences.h"

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fuzzer/FuzzedDataProvider.h>
#include <limits>
#include <set>
#include <string>

namespace {

using foundation::PropertyValue;

// Words the stored form uses, so random trees hit real keys, names and slots often.
constexpr std::array<const char*, 36> words = {"schema",
                                               "order",
                                               "hidden",
                                               "appearance",
                                               "opacity",
                                               "display",
                                               "fan",
                                               "fanAnimation",
                                               "compute",
                                               "temperature",
                                               "chartLength",
                                               "gap",
                                               "memoryChart",
                                               "networkChart",
                                               "networkColored",
                                               "colors",
                                               "presentation",
                                               "collapsed",
                                               "hideInFullscreen",
                                               "memory",
                                               "network",
                                               "devices",
                                               "theme",
                                               "cpu",
                                               "gpu",
                                               "system",
                                               "light",
                                               "dark",
                                               "details",
                                               "overview",
                                               "Memory",
                                               "",
                                               "none",
                                               "copy",
                                               "detached",
                                               "$real"};

std::string word(FuzzedDataProvider& input) {
    if (input.ConsumeBool())
        return input.ConsumeRandomLengthString(12);
    return words[input.ConsumeIntegralInRange<std::size_t>(0, words.size() - 1)];
}

double real(FuzzedDataProvider& input) {
    switch (input.ConsumeIntegralInRange(0, 4)) {
    case 0:
        return std::numeric_limits<double>::quiet_NaN();
    case 1:
        return input.ConsumeBool() ? std::numeric_limits<double>::infinity()
                                   : -std::numeric_limits<double>::infinity();
    case 2:
        return input.ConsumeFloatingPointInRange(-1.0, 2.0);
    case 3:
        return input.ConsumeFloatingPointInRange(-50.0, 500.0);
    default:
        return input.ConsumeFloatingPoint<double>();
    }
}

PropertyValue value(FuzzedDataProvider& input, int depth) {
    const int kinds = depth > 3 ? 6 : 8;
    switch (input.ConsumeIntegralInRange(0, kinds - 1)) {
    case 0:
        return input.ConsumeBool();
    case 1:
        return input.ConsumeBool() ? input.ConsumeIntegralInRange<std::int64_t>(-2, 10)
                                   : input.ConsumeIntegral<std::int64_t>();
    case 2:
        return real(input);
    case 3:
        return word(input);
    case 4:
        return foundation::Date{input.ConsumeFloatingPoint<double>()};
    case 5:
        return foundation::Data(input.ConsumeBytes<std::uint8_t>(4));
    case 6: {
        foundation::PropertyArray array;
        for (auto n = input.ConsumeIntegralInRange(0, 8); n > 0; --n)
            array.push_back(value(input, depth + 1));
        return array;
    }
    default: {
        foundation::PropertyDictionary dictionary;
        for (auto n = input.ConsumeIntegralInRange(0, 8); n > 0; --n)
            dictionary.insert_or_assign(word(input), value(input, depth + 1));
        return dictionary;
    }
    }
}

// A stored dictionary: usually of the current schema, so the entries are read at all.
foundation::PropertyDictionary storedDictionary(FuzzedDataProvider& input) {
    foundation::PropertyDictionary dictionary;
    for (auto n = input.ConsumeIntegralInRange(0, 24); n > 0; --n)
        dictionary.insert_or_assign(word(input), value(input, 1));
    if (input.ConsumeIntegralInRange(0, 7) != 0)
        dictionary.insert_or_assign("schema", PropertyValue(1));
    return dictionary;
}

bool bounded(const pulsedeck::FloatingPreferences& p) {
    const std::set<pulsedeck::ModuleKind> order(p.look.modules.order.begin(),
                                                p.look.modules.order.end());
    bool sound = p.look.modules.order.size() == 6 && order.size() == 6 && p.look.opacity >= 0.2 &&
                 p.look.opacity <= 1.0 && p.look.modules.chartLength >= 16 &&
                 p.look.modules.chartLength <= 160 &&
                 std::trunc(p.look.modules.chartLength) == p.look.modules.chartLength &&
                 p.look.modules.gap >= 0 && p.look.modules.gap <= 32;
    for (const auto& [slot, number] : p.look.modules.colors.values)
        sound = sound && slot != "theme" && pulsedeck::parseColorSlot(slot) && number >= 0 &&
                number <= 8;
    return sound;
}

} // namespace

// Whatever a stored record holds, the reader gives a record inside its bounds, and writing that
// record and reading it back over any fallback gives the same record.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    using pulsedeck::FloatingPreferences;
    const FloatingPreferences fallback(storedDictionary(input), FloatingPreferences());
    const FloatingPreferences read(storedDictionary(input), fallback);
    if (!bounded(fallback) || !bounded(read))
        std::abort();
    const auto written = read.dictionaryRepresentation();
    if (written.size() != 19 || FloatingPreferences(written, fallback) != read ||
        FloatingPreferences(written, FloatingPreferences()) != read)
        std::abort();
    return 0;
}
