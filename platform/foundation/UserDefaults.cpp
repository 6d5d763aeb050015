#include "platform/foundation/UserDefaults.h"

#include "platform/foundation/AtomicFile.h"
#include "platform/foundation/HomeDirectory.h"
#include "platform/foundation/JSON.h"
#include "platform/foundation/PropertyListCoding.h"
#include "platform/foundation/TextFile.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <malloc.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

namespace foundation {
namespace {

// A failed write is tried again after a wait that doubles from the first to the last, so a folder
// that stays read-only, full or gone costs a wake-up a minute, not four a second.
constexpr std::chrono::milliseconds firstRetryInterval = std::chrono::seconds(1);
constexpr std::chrono::milliseconds lastRetryInterval = std::chrono::minutes(1);
// Far more than a real preferences file's few kilobytes.
constexpr std::size_t largeFile = 64u << 10;

std::string utcTimestamp() {
    std::time_t now = std::time(nullptr);
    std::tm parts{};
    gmtime_r(&now, &parts);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%dT%H%M%SZ", &parts);
    return text;
}

// Moves a file that does not parse out of the way, under a name no other file has; the new name,
// or nothing when it could not be moved.
std::optional<std::filesystem::path> moveAside(const std::filesystem::path& file) {
    auto base = file.string() + ".corrupt-" + utcTimestamp();
    std::error_code error;
    for (int attempt = 1; attempt < 100; ++attempt) {
        std::filesystem::path target = attempt == 1 ? base : base + "-" + std::to_string(attempt);
        if (std::filesystem::exists(target, error))
            continue;
        std::filesystem::rename(file, target, error);
        if (error)
            return std::nullopt;
        return target;
    }
    return std::nullopt;
}

// What opening and reading a preferences file gave.
struct FileRead {
    enum class Result { missing, read, tooLarge, unreadable };
    Result result;
    std::string text;
    // Why it could not be read, or how large a file too large for reading is and what it may be,
    // for the message.
    std::string reason;
};

// Opens without blocking (a FIFO put in the file's place would block open() for ever) and reads
// only a regular file.
FileRead readPreferencesFile(const std::filesystem::path& file, std::size_t maxFileSize,
                             std::size_t maxValues) {
    int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        // No such file, or no such folder (a file in the folder's place is found when writing).
        if (errno == ENOENT || errno == ENOTDIR)
            return {FileRead::Result::missing, {}, {}};
        return {FileRead::Result::unreadable, {}, std::strerror(errno)};
    }
    struct stat info {};
    bool regular = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    bool tooLarge = regular && static_cast<std::uint64_t>(info.st_size) > maxFileSize;
    ::close(fd);
    if (!regular)
        return {FileRead::Result::unreadable, {}, "not a regular file"};
    if (tooLarge)
        return {FileRead::Result::tooLarge,
                {},
                std::to_string(info.st_size) + " bytes, at most " + std::to_string(maxFileSize)};
    errno = 0;
    auto text = readTextFile(file, maxFileSize + 1);
    if (!text)
        return {FileRead::Result::unreadable, {}, std::strerror(errno ? errno : EIO)};
    // It grew while it was read.
    if (text->size() > maxFileSize)
        return {
            FileRead::Result::tooLarge, {}, "more than " + std::to_string(maxFileSize) + " bytes"};
    // Each value costs tens of bytes once decoded, whatever the few it takes in the file.
    if (const auto values = jsonValueCount(*text); values > maxValues)
        return {FileRead::Result::tooLarge,
                {},
                std::to_string(values) + " values, at most " + std::to_string(maxValues)};
    return {FileRead::Result::read, std::move(*text), {}};
}

} // namespace

std::optional<std::filesystem::path> UserDefaults::defaultDirectory() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    // The XDG rules ignore a relative path here.
    if (config && *config == '/')
        return std::filesystem::path(config) / "pulsedeck";
    auto home = homeDirectory();
    if (!home)
        return std::nullopt;
    return *home / ".config" / "pulsedeck";
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
    // Named so its wake-ups can be told apart from the other threads' (top -H, /proc).
    pthread_setname_np(worker_.native_handle(), "pd-defaults");
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
}

UserDefaults::~UserDefaults() {
    {
        std::lock_guard lock(stateMutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    worker_.join();
    synchronizeBeforeExit();
}

bool UserDefaults::isValidDomainName(std::string_view name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find('/') == std::string_view::npos && name.find('\0') == std::string_view::npos;
}

std::filesystem::path UserDefaults::fileFor(std::string_view name) const {
    return directory_ / (std::string(name) + ".json");
}

UserDefaults::Domain UserDefaults::loadDomain(std::string_view name) const {
    Domain domain;
    if (directory_.empty()) {
        domain.writable = false;
        return domain;
    }
    auto file = fileFor(name);
    removeStaleTemporaryFiles(file);
    auto read = readPreferencesFile(file, options_.maxFileSize, options_.maxValues);
    if (read.result == FileRead::Result::missing)
        return domain;
    if (read.result == FileRead::Result::unreadable) {
        // Nothing is known of what it holds, so it is neither moved nor overwritten.
        std::fprintf(stderr, "%s cannot be read (%s): settings changed now will not be saved\n",
                     file.c_str(), read.reason.c_str());
        domain.writable = false;
        return domain;
    }
    auto decoded = read.result == FileRead::Result::read
                       ? decodePropertyListEntries(read.text, options_.maxDepth)
                       : std::nullopt;
    // What reading took, the text and the parser's trees, goes back to the system: a large file
    // would otherwise keep costing its peak for the whole run.
    read.text = {};
    ::malloc_trim(0);
    if (decoded) {
        if (decoded->droppedEntries > 0)
            std::fprintf(stderr, "%s: %zu %s could not be read and %s left out\n", file.c_str(),
                         decoded->droppedEntries,
                         decoded->droppedEntries == 1 ? "setting" : "settings",
                         decoded->droppedEntries == 1 ? "is" : "are");
        domain.values = std::move(decoded->values);
        domain.exists = true;
        return domain;
    }
    // What the file is, for the message: a file refused for its size alone may be sound.
    const auto what = read.result == FileRead::Result::tooLarge
                          ? "is larger than a preferences file can be (" + read.reason + ")"
                          : std::string("is not a preferences file");
    auto aside = moveAside(file);
    if (aside)
        std::fprintf(stderr, "%s %s: moved aside to %s\n", file.c_str(), what.c_str(),
                     aside->c_str());
    else
        std::fprintf(stderr,
                     "%s %s and cannot be moved aside: settings changed now will not be saved\n",
                     file.c_str(), what.c_str());
    domain.writable = aside.has_value();
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
    if (!usedKeys_.contains(key))
        usedKeys_.emplace(key);
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
    usedKeys_.emplace(key);
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

bool UserDefaults::writePending(bool onlyWhenDue) {
    std::lock_guard writing(writeMutex_);
    struct Snapshot {
        std::string name;
        std::optional<std::string> contents;
        std::size_t leftOut = 0;
    };
    std::vector<Snapshot> snapshots;
    bool unsaved = false;
    {
        std::lock_guard lock(stateMutex_);
        if (onlyWhenDue && std::chrono::steady_clock::now() <
                               lastWrite_ + std::max(options_.writeInterval, retryInterval_))
            return true;
        for (const auto& name : pending_) {
            auto& domain = domains_.at(name);
            if (!domain.writable) {
                unsavedDomains_.insert(name);
                continue;
            }
            if (!domain.exists) {
                snapshots.push_back({name, std::nullopt});
                continue;
            }
            auto encoded = encodePropertyList(
                domain.values, options_.maxFileSize, options_.maxValues, [&](std::string_view key) {
                    return name == domainName_ && usedKeys_.contains(key);
                });
            // Memory holds what the file will: the next write says nothing again.
            for (const auto& key : encoded.leftOut)
                domain.values.erase(key);
            snapshots.push_back({name, std::move(encoded.text), encoded.leftOut.size()});
        }
        pending_.clear();
        unsaved = !unsavedDomains_.empty();
    }
    if (snapshots.empty())
        return !unsaved;

    std::vector<std::string> failed;
    std::error_code error;
    bool madeDirectory = std::filesystem::create_directories(directory_, error);
    if (madeDirectory)
        ::chmod(directory_.c_str(), 0700);
    // Why the folder cannot be made says more than the write's own "No such file or directory".
    const std::string folderProblem =
        error ? "the folder " + directory_.string() + " cannot be made: " + error.message() : "";
    for (const auto& snapshot : snapshots) {
        auto file = fileFor(snapshot.name);
        if (snapshot.leftOut > 0)
            std::fprintf(stderr,
                         "%s would be larger than %zu bytes or %zu values: %zu %s left out, "
                         "first those this program does not use\n",
                         file.c_str(), options_.maxFileSize, options_.maxValues, snapshot.leftOut,
                         snapshot.leftOut == 1 ? "entry is" : "entries are");
        std::string reason;
        if (snapshot.contents && !folderProblem.empty()) {
            reason = folderProblem;
        } else if (snapshot.contents) {
            errno = 0;
            if (!writeFileAtomically(file, *snapshot.contents))
                reason = errno == EPERM ? "the file belongs to another user"
                                        : std::strerror(errno ? errno : EIO);
        } else if (std::filesystem::remove(file, error), error) {
            reason = error.message();
        }
        if (reason.empty()) {
            failingFiles_.erase(snapshot.name);
            continue;
        }
        failed.push_back(snapshot.name);
        // Said at the first failure only: the retries that follow would repeat it every minute.
        const auto [failing, first] = failingFiles_.insert_or_assign(snapshot.name, reason);
        if (first)
            std::fprintf(stderr,
                         "%s cannot be saved (%s): settings are kept in memory and saving is "
                         "tried again\n",
                         file.c_str(), reason.c_str());
    }

    // Encoding a file far larger than a real one took several times its size, which would
    // otherwise stay with the writer for the run.
    const bool large = std::any_of(snapshots.begin(), snapshots.end(), [](const auto& snapshot) {
        return snapshot.contents && snapshot.contents->size() > largeFile;
    });
    snapshots.clear();
    if (large)
        ::malloc_trim(0);

    std::lock_guard lock(stateMutex_);
    lastWrite_ = std::chrono::steady_clock::now();
    if (failed.empty())
        retryInterval_ = std::chrono::milliseconds(0);
    else
        retryInterval_ =
            std::min(lastRetryInterval,
                     retryInterval_.count() == 0 ? firstRetryInterval : retryInterval_ * 2);
    // A failed domain is tried again, unless a newer change has already queued it; the worker
    // sleeps when a flush took the change before it woke.
    for (auto& name : failed)
        pending_.insert(std::move(name));
    if (!failed.empty())
        changed_.notify_all();
    return failed.empty() && !unsaved;
}

bool UserDefaults::synchronizeBeforeExit() {
    if (writePending())
        return true;
    std::lock_guard writing(writeMutex_);
    std::lock_guard lock(stateMutex_);
    // The failure said before promised another try; there will be none.
    for (const auto& [name, reason] : failingFiles_)
        if (lossSaid_.insert(name).second)
            std::fprintf(stderr,
                         "%s was not saved (%s): the settings changed since it was last saved "
                         "are lost\n",
                         fileFor(name).c_str(), reason.c_str());
    // Without a folder nothing was ever to be saved, as the program said at start.
    for (const auto& name : unsavedDomains_)
        if (!directory_.empty() && lossSaid_.insert(name).second)
            std::fprintf(stderr, "%s was not saved: the settings changed in this run are lost\n",
                         fileFor(name).c_str());
    return false;
}

void UserDefaults::runWorker() {
    std::unique_lock lock(stateMutex_);
    while (true) {
        changed_.wait(lock, [&] { return stopping_ || !pending_.empty(); });
        // Changes that arrive within the interval join this write; a failed write waits longer
        // before it is tried again. Each wake-up reckons the wait afresh: a flush that has
        // written since ends the wait for a retry.
        auto woken = std::cv_status::no_timeout;
        while (!stopping_ && woken == std::cv_status::no_timeout)
            woken = changed_.wait_until(lock, lastWrite_ +
                                                  std::max(options_.writeInterval, retryInterval_));
        if (stopping_)
            return;
        lock.unlock();
        writePending(true);
        lock.lock();
    }
}

} // namespace foundation
