#include "platform/foundation/UserDefaults.h"

#include "platform/foundation/AtomicFile.h"
#include "platform/foundation/PropertyListCoding.h"
#include "platform/foundation/TextFile.h"

#include <csignal>
#include <cstdlib>
#include <ctime>
#include <pthread.h>
#include <sys/stat.h>

namespace foundation {
namespace {

// Larger than any preferences file; a bigger one is not ours and is treated as corrupt.
constexpr std::size_t maxFileSize = 64u << 20;

std::string utcTimestamp() {
    std::time_t now = std::time(nullptr);
    std::tm parts{};
    gmtime_r(&now, &parts);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%dT%H%M%SZ", &parts);
    return text;
}

// Moves a file that does not parse out of the way, under a name no other file has.
bool moveAside(const std::filesystem::path& file) {
    auto base = file.string() + ".corrupt-" + utcTimestamp();
    std::error_code error;
    for (int attempt = 1; attempt < 100; ++attempt) {
        auto target = attempt == 1 ? base : base + "-" + std::to_string(attempt);
        if (std::filesystem::exists(target, error))
            continue;
        std::filesystem::rename(file, target, error);
        return !error;
    }
    return false;
}

} // namespace

std::filesystem::path UserDefaults::defaultDirectory() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    // The XDG rules ignore a relative path here.
    if (config && *config == '/')
        return std::filesystem::path(config) / "pulsedeck";
    const char* home = std::getenv("HOME");
    return std::filesystem::path(home && *home ? home : "/") / ".config" / "pulsedeck";
}

UserDefaults::UserDefaults(std::filesystem::path directory, std::string domainName)
    : UserDefaults(std::move(directory), std::move(domainName), Options{}) {}

UserDefaults::UserDefaults(std::filesystem::path directory, std::string domainName, Options options)
    : directory_(std::move(directory)), domainName_(std::move(domainName)), options_(options) {
    // The writer never takes a signal: SIGTERM and SIGINT go to threads that flush and exit.
    sigset_t all, previous;
    sigfillset(&all);
    pthread_sigmask(SIG_SETMASK, &all, &previous);
    worker_ = std::thread([this] { runWorker(); });
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
}

UserDefaults::~UserDefaults() {
    {
        std::lock_guard lock(stateMutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    worker_.join();
    writePending();
}

bool UserDefaults::isValidDomainName(std::string_view name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find('/') == std::string_view::npos && name.find('\0') == std::string_view::npos;
}

std::filesystem::path UserDefaults::fileFor(std::string_view name) const {
    return directory_ / (std::string(name) + ".json");
}

UserDefaults::Domain UserDefaults::loadDomain(std::string_view name) const {
    auto file = fileFor(name);
    removeStaleTemporaryFiles(file);
    Domain domain;
    std::error_code error;
    auto status = std::filesystem::status(file, error);
    if (status.type() == std::filesystem::file_type::not_found)
        return domain;
    auto text = readTextFile(file, maxFileSize + 1);
    std::optional<PropertyDictionary> values;
    if (text && text->size() <= maxFileSize)
        values = decodePropertyList(*text, options_.maxDepth);
    if (values) {
        domain.values = std::move(*values);
        domain.exists = true;
        return domain;
    }
    domain.writable = moveAside(file);
    return domain;
}

UserDefaults::Domain& UserDefaults::domainLocked(std::string_view name) const {
    auto found = domains_.find(name);
    if (found == domains_.end())
        found = domains_.emplace(std::string(name), loadDomain(name)).first;
    return found->second;
}

void UserDefaults::changedLocked(std::string_view name) {
    pending_.emplace(name);
    changed_.notify_all();
}

std::optional<PropertyValue> UserDefaults::objectForKey(std::string_view key) const {
    std::lock_guard lock(stateMutex_);
    const auto& values = domainLocked(domainName_).values;
    if (auto found = values.find(key); found != values.end())
        return found->second;
    if (auto found = registered_.find(key); found != registered_.end())
        return found->second;
    return std::nullopt;
}

bool UserDefaults::boolForKey(std::string_view key) const {
    auto value = objectForKey(key);
    return value ? value->asBool().value_or(false) : false;
}

std::int64_t UserDefaults::integerForKey(std::string_view key) const {
    auto value = objectForKey(key);
    return value ? value->asInteger().value_or(0) : 0;
}

double UserDefaults::doubleForKey(std::string_view key) const {
    auto value = objectForKey(key);
    return value ? value->asDouble().value_or(0.0) : 0.0;
}

std::optional<std::string> UserDefaults::stringForKey(std::string_view key) const {
    auto value = objectForKey(key);
    if (!value || !value->isString())
        return std::nullopt;
    return *value->asString();
}

std::optional<PropertyArray> UserDefaults::arrayForKey(std::string_view key) const {
    auto value = objectForKey(key);
    if (!value || !value->isArray())
        return std::nullopt;
    return *value->asArray();
}

std::optional<std::vector<std::string>>
UserDefaults::stringArrayForKey(std::string_view key) const {
    auto array = arrayForKey(key);
    if (!array)
        return std::nullopt;
    std::vector<std::string> strings;
    strings.reserve(array->size());
    for (const auto& element : *array) {
        if (!element.isString())
            return std::nullopt;
        strings.push_back(*element.asString());
    }
    return strings;
}

std::optional<PropertyDictionary> UserDefaults::dictionaryForKey(std::string_view key) const {
    auto value = objectForKey(key);
    if (!value || !value->isDictionary())
        return std::nullopt;
    return *value->asDictionary();
}

std::optional<Data> UserDefaults::dataForKey(std::string_view key) const {
    auto value = objectForKey(key);
    if (!value || !value->isData())
        return std::nullopt;
    return *value->asData();
}

void UserDefaults::setObject(PropertyValue value, std::string_view key) {
    std::lock_guard lock(stateMutex_);
    auto& domain = domainLocked(domainName_);
    domain.values.insert_or_assign(std::string(key), std::move(value));
    domain.exists = true;
    changedLocked(domainName_);
}

void UserDefaults::removeObjectForKey(std::string_view key) {
    std::lock_guard lock(stateMutex_);
    auto& domain = domainLocked(domainName_);
    auto found = domain.values.find(key);
    if (found == domain.values.end())
        return;
    domain.values.erase(found);
    changedLocked(domainName_);
}

void UserDefaults::registerDefaults(const PropertyDictionary& defaults) {
    std::lock_guard lock(stateMutex_);
    for (const auto& [key, value] : defaults)
        registered_.insert_or_assign(key, value);
}

std::optional<PropertyDictionary>
UserDefaults::persistentDomainForName(std::string_view name) const {
    if (!isValidDomainName(name))
        return std::nullopt;
    std::lock_guard lock(stateMutex_);
    const auto& domain = domainLocked(name);
    if (!domain.exists)
        return std::nullopt;
    return domain.values;
}

void UserDefaults::setPersistentDomain(PropertyDictionary values, std::string_view name) {
    if (!isValidDomainName(name))
        return;
    std::lock_guard lock(stateMutex_);
    auto& domain = domainLocked(name);
    domain.values = std::move(values);
    domain.exists = true;
    changedLocked(name);
}

void UserDefaults::removePersistentDomainForName(std::string_view name) {
    if (!isValidDomainName(name))
        return;
    std::lock_guard lock(stateMutex_);
    auto& domain = domainLocked(name);
    domain.values.clear();
    domain.exists = false;
    changedLocked(name);
}

bool UserDefaults::synchronize() {
    return writePending();
}

bool UserDefaults::writePending() {
    std::lock_guard writing(writeMutex_);
    struct Snapshot {
        std::string name;
        std::optional<std::string> contents;
    };
    std::vector<Snapshot> snapshots;
    {
        std::lock_guard lock(stateMutex_);
        for (const auto& name : pending_) {
            const auto& domain = domains_.at(name);
            if (!domain.writable)
                continue;
            snapshots.push_back({name, domain.exists
                                           ? std::optional(encodePropertyList(domain.values))
                                           : std::nullopt});
        }
        pending_.clear();
    }
    if (snapshots.empty())
        return true;

    std::vector<std::string> failed;
    std::error_code error;
    bool madeDirectory = std::filesystem::create_directories(directory_, error);
    if (madeDirectory)
        ::chmod(directory_.c_str(), 0700);
    for (const auto& snapshot : snapshots) {
        auto file = fileFor(snapshot.name);
        bool done = snapshot.contents ? writeFileAtomically(file, *snapshot.contents)
                                      : (std::filesystem::remove(file, error), !error);
        if (!done)
            failed.push_back(snapshot.name);
    }

    std::lock_guard lock(stateMutex_);
    lastWrite_ = std::chrono::steady_clock::now();
    // A failed domain is tried again, unless a newer change has already queued it.
    for (auto& name : failed)
        pending_.insert(std::move(name));
    return failed.empty();
}

void UserDefaults::runWorker() {
    std::unique_lock lock(stateMutex_);
    while (true) {
        changed_.wait(lock, [&] { return stopping_ || !pending_.empty(); });
        if (stopping_)
            return;
        // Changes that arrive within the interval join this write; a failed write waits too
        // before it is tried again.
        auto due = lastWrite_ + options_.writeInterval;
        if (changed_.wait_until(lock, due, [&] { return stopping_; }))
            return;
        lock.unlock();
        writePending();
        lock.lock();
    }
}

} // namespace foundation
