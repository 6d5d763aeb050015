#include "platform/system/AcceleratorRegistry.h"

#include <algorithm>
#include <charconv>
#include <system_error>

namespace sys {

namespace {

constexpr std::size_t attributeLimit = 256;

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
        text.remove_suffix(1);
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    return text;
}

// "card0" → 0; connectors ("card0-DP-1") and anything else → empty.
std::optional<unsigned> cardNumber(std::string_view name) {
    constexpr std::string_view prefix = "card";
    if (name.substr(0, prefix.size()) != prefix || name.size() == prefix.size())
        return std::nullopt;
    unsigned number = 0;
    const char* begin = name.data() + prefix.size();
    const char* end = name.data() + name.size();
    auto [next, error] = std::from_chars(begin, end, number);
    if (error != std::errc() || next != end)
        return std::nullopt;
    return number;
}

std::optional<double> parseBusyPercent(std::string_view text) {
    text = trimmed(text);
    unsigned value = 0;
    auto [next, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || next != text.data() + text.size() || text.empty())
        return std::nullopt;
    return static_cast<double>(value);
}

} // namespace

const RegistryValue* AcceleratorEntry::property(std::string_view key) const {
    auto found = properties.find(key);
    return found == properties.end() ? nullptr : &found->second;
}

struct AcceleratorRegistry::Card {
    explicit Card(const std::filesystem::path& device)
        : runtimeStatus(device / "power/runtime_status", attributeLimit),
          control(device / "power/control", attributeLimit),
          busy(device / "gpu_busy_percent", attributeLimit) {
        auto bootVga = foundation::readTextFile(device / "boot_vga", attributeLimit);
        isBootGPU = bootVga && trimmed(*bootVga) == "1";
        if (auto product = foundation::readTextFile(device / "product_name", attributeLimit)) {
            if (std::string_view name = trimmed(*product); !name.empty())
                model = std::string(name);
        }
    }

    // Reading the busy file resumes a suspended device, so it is read only when the device is
    // awake and will stay so anyway.
    bool mayReadBusy() {
        auto status = runtimeStatus.read();
        if (!status || trimmed(*status) != "active")
            return false;
        if (isBootGPU)
            return true;
        auto mode = control.read();
        return mode && trimmed(*mode) == "on";
    }

    foundation::KeptFile runtimeStatus;
    foundation::KeptFile control;
    foundation::KeptFile busy;
    bool isBootGPU = false;
    std::optional<std::string> model;
};

AcceleratorRegistry::AcceleratorRegistry(const SystemRoots& roots) {
    std::error_code error;
    std::vector<std::pair<unsigned, std::filesystem::path>> found;
    for (const auto& entry : std::filesystem::directory_iterator(roots.sys / "class/drm", error)) {
        if (auto number = cardNumber(entry.path().filename().string()))
            found.emplace_back(*number, entry.path() / "device");
    }
    std::sort(found.begin(), found.end());
    for (const auto& [number, device] : found) {
        if (std::filesystem::exists(device / "gpu_busy_percent", error))
            cards_.push_back(std::make_unique<Card>(device));
    }
}

AcceleratorRegistry::~AcceleratorRegistry() = default;

std::optional<std::vector<AcceleratorEntry>> AcceleratorRegistry::accelerators() {
    std::vector<AcceleratorEntry> entries;
    entries.reserve(cards_.size());
    for (auto& card : cards_) {
        AcceleratorEntry entry;
        if (card->mayReadBusy()) {
            auto text = card->busy.read();
            if (auto percent = text ? parseBusyPercent(*text) : std::nullopt) {
                entry.properties.emplace(
                    performanceStatisticsKey,
                    RegistryDictionary{{std::string(deviceUtilizationKey), *percent}});
            }
        }
        if (card->model)
            entry.properties.emplace(modelKey, *card->model);
        entries.push_back(std::move(entry));
    }
    return entries;
}

} // namespace sys
