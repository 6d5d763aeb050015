#include "platform/system/AcceleratorRegistry.h"

#include "platform/system/DrmClients.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <system_error>

namespace sys {

namespace {

constexpr std::size_t attributeLimit = 256;

// Drivers that publish per-client engine time in fdinfo and no busy-percent file.
constexpr std::array<std::string_view, 9> engineTimeDrivers = {
    "i915", "xe", "msm", "msm_dpu", "panfrost", "panthor", "v3d", "etnaviv", "powervr"};

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

std::string linkName(const std::filesystem::path& link) {
    std::error_code error;
    auto target = std::filesystem::read_symlink(link, error);
    return error ? std::string() : target.filename().string();
}

} // namespace

const RegistryValue* AcceleratorEntry::property(std::string_view key) const {
    auto found = properties.find(key);
    return found == properties.end() ? nullptr : &found->second;
}

std::optional<double> engineTimeLoad(const std::vector<DrmClientUsage>& before,
                                     const std::vector<DrmClientUsage>& after, double seconds) {
    if (!(seconds > 0))
        return std::nullopt;
    struct Busy {
        double nanoseconds = 0;
        std::uint64_t capacity = 1;
        double cycles = 0;
        double totalCycles = 0;
    };
    std::map<std::string, Busy, std::less<>> engines;
    for (const DrmClientUsage& now : after) {
        auto then = std::find_if(before.begin(), before.end(), [&](const DrmClientUsage& c) {
            return c.driver == now.driver && c.pdev == now.pdev && c.clientID == now.clientID;
        });
        // A client that is new since the last read has no interval to count.
        if (then == before.end())
            continue;
        for (const auto& [engine, nanoseconds] : now.engineNanoseconds) {
            Busy& busy = engines[engine];
            auto previous = then->engineNanoseconds.find(engine);
            if (previous != then->engineNanoseconds.end() && nanoseconds >= previous->second)
                busy.nanoseconds += static_cast<double>(nanoseconds - previous->second);
            if (auto capacity = now.engineCapacity.find(engine);
                capacity != now.engineCapacity.end() && capacity->second > 0) {
                busy.capacity = std::max(busy.capacity, capacity->second);
            }
        }
        for (const auto& [engine, cycles] : now.engineCycles) {
            auto previous = then->engineCycles.find(engine);
            auto total = now.engineTotalCycles.find(engine);
            auto previousTotal = then->engineTotalCycles.find(engine);
            if (previous == then->engineCycles.end() || total == now.engineTotalCycles.end() ||
                previousTotal == then->engineTotalCycles.end() || cycles < previous->second ||
                total->second < previousTotal->second) {
                continue;
            }
            Busy& busy = engines[engine];
            busy.cycles += static_cast<double>(cycles - previous->second);
            // Every client reports the engine's one clock; the longest span is the interval.
            busy.totalCycles = std::max(busy.totalCycles,
                                        static_cast<double>(total->second - previousTotal->second));
        }
    }
    double load = 0;
    for (const auto& [engine, busy] : engines) {
        double share = busy.nanoseconds / (seconds * 1e9 * static_cast<double>(busy.capacity));
        if (busy.totalCycles > 0)
            share = std::max(share, busy.cycles / busy.totalCycles);
        load = std::max(load, share);
    }
    return std::clamp(load * 100.0, 0.0, 100.0);
}

struct AcceleratorRegistry::Card {
    enum class Source { busyFile, engineTime, nvidia };

    Card(const std::filesystem::path& device, Source source)
        : source(source), runtimeStatus(device / "power/runtime_status", attributeLimit),
          control(device / "power/control", attributeLimit),
          busy(device / "gpu_busy_percent", attributeLimit), driver(linkName(device / "driver")) {
        std::error_code error;
        pciAddress = std::filesystem::canonical(device, error).filename().string();
        auto bootVga = foundation::readTextFile(device / "boot_vga", attributeLimit);
        isBootGPU = bootVga && trimmed(*bootVga) == "1";
        if (auto product = foundation::readTextFile(device / "product_name", attributeLimit)) {
            if (std::string_view name = trimmed(*product); !name.empty())
                model = std::string(name);
        }
    }

    enum class Power { asleep, awakeAnyway, freeToSleep, changing };

    // A suspended device does no work; asking it would resume it. An awake one is asked only
    // when it stays awake anyway: the boot GPU drives the screen, and power control "on" keeps
    // it up. Polling a discrete GPU that is free to suspend every second would keep it awake.
    Power power() {
        auto status = runtimeStatus.read();
        std::string_view state = status ? trimmed(*status) : std::string_view();
        if (state == "suspended")
            return Power::asleep;
        if (state != "active" && state != "unsupported")
            return Power::changing;
        if (isBootGPU)
            return Power::awakeAnyway;
        auto mode = control.read();
        return mode && trimmed(*mode) == "on" ? Power::awakeAnyway : Power::freeToSleep;
    }

    bool serves(const DrmClientUsage& client) const {
        return client.pdev.empty() ? client.driver == driver : client.pdev == pciAddress;
    }

    Source source;
    foundation::KeptFile runtimeStatus;
    foundation::KeptFile control;
    foundation::KeptFile busy;
    std::string driver;
    std::string pciAddress;
    bool isBootGPU = false;
    std::optional<std::string> model;
    // Engine time: this card's clients at the previous read, and when.
    std::optional<std::vector<DrmClientUsage>> previousClients;
    double previousTime = 0;
};

AcceleratorRegistry::AcceleratorRegistry(const SystemRoots& roots, const dispatch::Clock& clock,
                                         std::unique_ptr<NvidiaManagementSource> nvidia)
    : clock_(clock), nvidia_(std::move(nvidia)) {
    std::error_code error;
    std::vector<std::pair<unsigned, std::filesystem::path>> found;
    for (const auto& entry : std::filesystem::directory_iterator(roots.sys / "class/drm", error)) {
        if (auto number = cardNumber(entry.path().filename().string()))
            found.emplace_back(*number, entry.path() / "device");
    }
    std::sort(found.begin(), found.end());
    bool needsClients = false;
    for (const auto& [number, device] : found) {
        const std::string driver = linkName(device / "driver");
        std::optional<Card::Source> source;
        if (std::filesystem::exists(device / "gpu_busy_percent", error))
            source = Card::Source::busyFile;
        else if (driver == "nvidia")
            source = Card::Source::nvidia;
        else if (driver == "amdgpu" || std::find(engineTimeDrivers.begin(), engineTimeDrivers.end(),
                                                 driver) != engineTimeDrivers.end())
            source = Card::Source::engineTime;
        if (!source)
            continue;
        needsClients = needsClients || *source == Card::Source::engineTime;
        cards_.push_back(std::make_unique<Card>(device, *source));
    }
    if (needsClients)
        clients_ = std::make_unique<DrmClients>(roots);
    if (!nvidia_ && std::any_of(cards_.begin(), cards_.end(), [](const auto& card) {
            return card->source == Card::Source::nvidia;
        })) {
        nvidia_ = std::make_unique<NvidiaManagementLibrary>();
    }
}

AcceleratorRegistry::~AcceleratorRegistry() = default;

std::optional<double> AcceleratorRegistry::utilization(Card& card,
                                                       const std::vector<DrmClientUsage>& clients,
                                                       double now) {
    if (card.source == Card::Source::engineTime) {
        // The kernel's bookkeeping, not the device: readable whatever its power state.
        std::vector<DrmClientUsage> mine;
        std::copy_if(clients.begin(), clients.end(), std::back_inserter(mine),
                     [&card](const DrmClientUsage& client) { return card.serves(client); });
        std::optional<double> load;
        if (card.previousClients)
            load = engineTimeLoad(*card.previousClients, mine, now - card.previousTime);
        card.previousClients = std::move(mine);
        card.previousTime = now;
        return load;
    }
    const Card::Power power = card.power();
    if (power == Card::Power::asleep)
        return 0.0;
    if (power != Card::Power::awakeAnyway)
        return std::nullopt;
    if (card.source == Card::Source::busyFile) {
        auto text = card.busy.read();
        return text ? parseBusyPercent(*text) : std::nullopt;
    }
    auto reading = nvidia_ ? nvidia_->read(card.pciAddress) : std::nullopt;
    if (!reading)
        return std::nullopt;
    if (reading->name && !card.model)
        card.model = reading->name;
    return reading->utilization;
}

std::optional<std::vector<AcceleratorEntry>> AcceleratorRegistry::accelerators() {
    const double now = clock_.now();
    const std::vector<DrmClientUsage> clients =
        clients_ ? clients_->read(now) : std::vector<DrmClientUsage>();
    std::vector<AcceleratorEntry> entries;
    entries.reserve(cards_.size());
    for (auto& card : cards_) {
        AcceleratorEntry entry;
        if (auto percent = utilization(*card, clients, now)) {
            entry.properties.emplace(
                performanceStatisticsKey,
                RegistryDictionary{{std::string(deviceUtilizationKey), *percent}});
        }
        if (card->model)
            entry.properties.emplace(modelKey, *card->model);
        entries.push_back(std::move(entry));
    }
    return entries;
}

} // namespace sys
