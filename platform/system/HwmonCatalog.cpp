#include "platform/system/HwmonCatalog.h"

#include "platform/foundation/TextFile.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <system_error>

namespace sys {

namespace {

namespace fs = std::filesystem;

enum class TemperatureRole { package, processor, thermalZone, acpi, other };

struct FoundChannel {
    HwmonChannel channel;
    TemperatureRole role = TemperatureRole::other;
};

std::string trimmed(std::string text) {
    auto isSpace = [](unsigned char c) { return std::isspace(c) != 0 || c == 0; };
    while (!text.empty() && isSpace(static_cast<unsigned char>(text.back())))
        text.pop_back();
    std::size_t start = 0;
    while (start < text.size() && isSpace(static_cast<unsigned char>(text[start])))
        ++start;
    return text.substr(start);
}

std::string readTrimmed(const fs::path& path) {
    auto text = foundation::readTextFile(path, 256);
    return text ? trimmed(*text) : std::string();
}

bool startsWith(const std::string& text, std::string_view prefix) {
    return text.size() >= prefix.size() && text.compare(0, prefix.size(), prefix) == 0;
}

TemperatureRole classify(const std::string& driver, const std::string& label) {
    if (driver == "coretemp") {
        return startsWith(label, "Package id") ? TemperatureRole::package
                                               : TemperatureRole::processor;
    }
    if (driver == "k10temp" || driver == "zenpower") {
        return label == "Tctl" || label == "Tdie" ? TemperatureRole::package
                                                  : TemperatureRole::processor;
    }
    if ((startsWith(driver, "cpu") || startsWith(driver, "soc")) &&
        driver.find("thermal") != std::string::npos) {
        return TemperatureRole::thermalZone;
    }
    if (driver == "acpitz")
        return TemperatureRole::acpi;
    return TemperatureRole::other;
}

// "temp12_input" → ("temp", "temp12"); anything else → nullopt.
std::optional<std::pair<std::string, std::string>> inputStem(const std::string& fileName) {
    static constexpr std::string_view suffix = "_input";
    if (fileName.size() <= suffix.size() ||
        fileName.compare(fileName.size() - suffix.size(), suffix.size(), suffix) != 0) {
        return std::nullopt;
    }
    std::string stem = fileName.substr(0, fileName.size() - suffix.size());
    for (std::string_view kind : {"temp", "fan"}) {
        if (stem.size() > kind.size() && startsWith(stem, kind) &&
            std::all_of(stem.begin() + static_cast<std::ptrdiff_t>(kind.size()), stem.end(),
                        [](unsigned char c) { return std::isdigit(c) != 0; })) {
            return std::pair{std::string(kind), stem};
        }
    }
    return std::nullopt;
}

// Older drivers keep their attributes in the device folder rather than the hwmon node.
fs::path attributeFolder(const fs::path& node) {
    std::error_code error;
    if (fs::exists(node / "name", error))
        return node;
    if (fs::exists(node / "device" / "name", error))
        return node / "device";
    return node;
}

void collectNode(const fs::path& node, std::vector<FoundChannel>& fans,
                 std::vector<FoundChannel>& temperatures) {
    fs::path folder = attributeFolder(node);
    std::string driver = readTrimmed(folder / "name");
    std::error_code error;
    std::string device;
    if (fs::exists(node / "device", error)) {
        device = fs::weakly_canonical(node / "device", error).string();
    }

    std::vector<std::string> names;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        names.push_back(it->path().filename().string());
    }
    std::sort(names.begin(), names.end());

    for (const std::string& name : names) {
        auto stem = inputStem(name);
        if (!stem)
            continue;
        const auto& [kind, base] = *stem;
        FoundChannel found;
        found.channel.driver = driver;
        found.channel.device = device;
        found.channel.input = folder / name;
        std::string label = readTrimmed(folder / (base + "_label"));
        found.channel.label = label.empty() ? base : label;
        if (kind == "fan") {
            fs::path maximum = folder / (base + "_max");
            if (fs::exists(maximum, error))
                found.channel.maximum = maximum;
            fans.push_back(std::move(found));
        } else {
            found.role = classify(driver, found.channel.label);
            if (found.role != TemperatureRole::other)
                temperatures.push_back(std::move(found));
        }
    }
}

// Fans keep their chip's channel order (fan1, fan2, … fan10), chip by chip, so the first channels
// of a board are the ones shown when there are more fans than can be named.
bool fanLess(const HwmonChannel& a, const HwmonChannel& b) {
    if (a.driver != b.driver)
        return a.driver < b.driver;
    if (a.device != b.device)
        return a.device < b.device;
    return naturalLess(a.input.filename().string(), b.input.filename().string());
}

bool isAmdProcessorDriver(const std::string& driver) {
    return driver == "k10temp" || driver == "zenpower";
}

// An AMD processor's Tctl is the fan-control value and carries an offset on some models (+10 °C
// or +20 °C on early Ryzen), and Tdie, Tctl and the CCD sensors all describe the same silicon.
// Per processor: Tdie stands for the die when present, else the CCD sensors do, and Tctl only
// when it is alone; the CCD sensors beside a Tdie remain other processor sensors.
void settleAmdRoles(std::vector<FoundChannel>& temperatures) {
    std::map<std::pair<std::string, std::string>, std::pair<bool, bool>> present;
    for (const auto& found : temperatures) {
        if (!isAmdProcessorDriver(found.channel.driver))
            continue;
        auto& [hasDie, hasCcd] = present[{found.channel.driver, found.channel.device}];
        hasDie = hasDie || found.channel.label == "Tdie";
        hasCcd = hasCcd || startsWith(found.channel.label, "Tccd");
    }
    std::erase_if(temperatures, [&present](const FoundChannel& found) {
        if (!isAmdProcessorDriver(found.channel.driver) || found.channel.label != "Tctl")
            return false;
        auto [hasDie, hasCcd] = present[{found.channel.driver, found.channel.device}];
        return hasDie || hasCcd;
    });
    for (auto& found : temperatures) {
        if (!isAmdProcessorDriver(found.channel.driver) ||
            !startsWith(found.channel.label, "Tccd")) {
            continue;
        }
        bool hasDie = present[{found.channel.driver, found.channel.device}].first;
        found.role = hasDie ? TemperatureRole::processor : TemperatureRole::package;
    }
}

bool channelLess(const HwmonChannel& a, const HwmonChannel& b) {
    if (a.driver != b.driver)
        return a.driver < b.driver;
    if (a.label != b.label)
        return naturalLess(a.label, b.label);
    if (a.device != b.device)
        return a.device < b.device;
    return a.input < b.input;
}

} // namespace

bool naturalLess(const std::string& left, const std::string& right) {
    std::size_t i = 0, j = 0;
    while (i < left.size() && j < right.size()) {
        unsigned char a = static_cast<unsigned char>(left[i]);
        unsigned char b = static_cast<unsigned char>(right[j]);
        if (std::isdigit(a) && std::isdigit(b)) {
            std::size_t iEnd = i, jEnd = j;
            while (iEnd < left.size() && std::isdigit(static_cast<unsigned char>(left[iEnd])))
                ++iEnd;
            while (jEnd < right.size() && std::isdigit(static_cast<unsigned char>(right[jEnd])))
                ++jEnd;
            std::string_view da(left.data() + i, iEnd - i), db(right.data() + j, jEnd - j);
            while (da.size() > 1 && da.front() == '0')
                da.remove_prefix(1);
            while (db.size() > 1 && db.front() == '0')
                db.remove_prefix(1);
            if (da.size() != db.size())
                return da.size() < db.size();
            if (da != db)
                return da < db;
            i = iEnd;
            j = jEnd;
            continue;
        }
        if (a != b)
            return a < b;
        ++i;
        ++j;
    }
    return left.size() - i < right.size() - j;
}

HwmonCatalog HwmonCatalog::discover(const SystemRoots& roots) {
    std::vector<FoundChannel> fans, temperatures;
    std::error_code error;
    for (fs::directory_iterator it(roots.sys / "class" / "hwmon", error), end; !error && it != end;
         it.increment(error)) {
        collectNode(it->path(), fans, temperatures);
    }

    HwmonCatalog catalog;
    for (auto& found : fans)
        catalog.fans.push_back(std::move(found.channel));
    std::sort(catalog.fans.begin(), catalog.fans.end(), fanLess);

    settleAmdRoles(temperatures);

    std::stable_sort(temperatures.begin(), temperatures.end(),
                     [](const FoundChannel& a, const FoundChannel& b) {
                         if (a.role != b.role)
                             return a.role < b.role;
                         return channelLess(a.channel, b.channel);
                     });
    for (auto& found : temperatures) {
        auto& list = found.role == TemperatureRole::package ? catalog.packageTemperatures
                                                            : catalog.processorTemperatures;
        list.push_back(std::move(found.channel));
    }
    return catalog;
}

} // namespace sys
