#pragma once

#include "platform/foundation/PropertyValue.h"

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace foundation {

// The user's preferences: persistent domains of typed values, one JSON file per domain
// ("<directory>/<domain>.json", see PropertyListCoding.h for the form), plus a registration
// domain of defaults that is never stored.
//
// Every change is visible to every later read at once; the files are written by a worker thread,
// coalesced (at most one write per `writeInterval`), each atomically (a reader or a crash sees
// the old file or the new one, whole, with its owner, group and mode; a symbolic link is written
// through to its target, unless that belongs to another user). A failed write keeps the change
// and is tried again after a wait that grows to a minute; the first failure of a run of them is
// said on standard error, with the file and the reason (a folder that cannot be made, or a file
// of another user, is named as the reason); if it still fails as the program quits, the loss is
// said too. synchronize() writes what is pending before it returns, and so does the destructor;
// TerminationSignals.h flushes on SIGTERM, SIGINT and SIGHUP.
//
// Reading a file keeps every top-level entry that decodes and drops only those that don't (a bad
// text, a lone surrogate or too deep a nesting costs only its own entry), saying how many on
// standard error. A file that is not one JSON object at all, or is larger than `maxFileSize` or
// `maxValues`, is renamed aside to "<domain>.json.corrupt-<UTC time>", said once on standard
// error (with which of the two it was), and its domain starts empty, so nothing the user had is
// overwritten; when it cannot be moved aside the domain is never written. What reading a file
// took beyond its values is given back to the system once it is decoded.
//
// What is written is always read back whole: a file is indented while that fits `maxFileSize`
// and `maxValues`, else written on one line with every entry (a file full of entries from
// elsewhere — another version, another tool — keeps them all). Only when even that is too large
// are entries left out, first those this run has neither read nor set, largest first, so the
// settings the program uses are the last to go; they are dropped from memory as well, and how
// many is said on standard error. A file that cannot be read at all (no permission, no
// descriptors left, not a regular file — a FIFO is never waited on) is left as it is: its domain
// starts empty and is not written for the rest of the run, which is said once on standard error.
//
// Every member is thread-safe.
class UserDefaults {
public:
    struct Options {
        // The least time between two writes of the files.
        std::chrono::milliseconds writeInterval{250};
        // How deeply arrays and dictionaries may nest in a file that is read.
        std::size_t maxDepth = 256;
        // The largest file that is read, and so the largest that is written. A real preferences
        // file is a few kilobytes; decoding a far bigger one would cost many times its size.
        std::size_t maxFileSize = 4u << 20;
        // The most values a file that is read may hold, and so one that is written, as JSON.h's
        // jsonValueCount counts them: each costs some 60 to 130 bytes once decoded, however few
        // it takes in the file (an empty array takes two), so this bounds what reading costs.
        std::size_t maxValues = 1u << 16;
    };

    // "$XDG_CONFIG_HOME/pulsedeck", else "<home>/.config/pulsedeck"; nothing when the user has
    // no home folder (HomeDirectory.h).
    static std::optional<std::filesystem::path> defaultDirectory();

    // The standard defaults of `domainName` (the bundle identifier) kept in `directory`, which
    // is created when the first file is written. An empty `directory` keeps every domain in
    // memory only: nothing is read or written.
    UserDefaults(std::filesystem::path directory, std::string domainName);
    UserDefaults(std::filesystem::path directory, std::string domainName, Options options);
    ~UserDefaults();
    UserDefaults(const UserDefaults&) = delete;
    UserDefaults& operator=(const UserDefaults&) = delete;

    const std::filesystem::path& directory() const { return directory_; }
    const std::string& domainName() const { return domainName_; }

    // The value under `key` in the application's domain, else in the registration domain.
    std::optional<PropertyValue> objectForKey(std::string_view key) const;

    // The typed getters: a missing key or a value of another kind gives false, 0, 0.0 or
    // nothing (numbers convert as PropertyValue's readers say).
    bool boolForKey(std::string_view key) const;
    std::int64_t integerForKey(std::string_view key) const;
    double doubleForKey(std::string_view key) const;
    std::optional<std::string> stringForKey(std::string_view key) const;
    std::optional<PropertyArray> arrayForKey(std::string_view key) const;
    // Nothing unless every element is a text.
    std::optional<std::vector<std::string>> stringArrayForKey(std::string_view key) const;
    std::optional<PropertyDictionary> dictionaryForKey(std::string_view key) const;
    std::optional<Data> dataForKey(std::string_view key) const;

    void setObject(PropertyValue value, std::string_view key);
    void setBool(bool value, std::string_view key) { setObject(PropertyValue(value), key); }
    void setInteger(std::int64_t value, std::string_view key) {
        setObject(PropertyValue(value), key);
    }
    void setDouble(double value, std::string_view key) { setObject(PropertyValue(value), key); }
    void removeObjectForKey(std::string_view key);

    // Adds to the registration domain, which answers for keys the application's domain lacks.
    void registerDefaults(const PropertyDictionary& defaults);

    // A whole persistent domain by name; nothing when it does not exist (never written, or
    // removed) or the name cannot be a file name.
    std::optional<PropertyDictionary> persistentDomainForName(std::string_view name) const;
    // Replaces the whole domain (creating it); the application's own domain included.
    void setPersistentDomain(PropertyDictionary domain, std::string_view name);
    void removePersistentDomainForName(std::string_view name);

    // Writes every pending change now and waits for it. False when a file could not be written
    // (it stays pending and is tried again) or a changed domain is never written (see above).
    bool synchronize();
    // synchronize() for the last time, as the program quits: each domain whose changes still
    // cannot be written is said on standard error to be lost, once. The destructor calls it.
    bool synchronizeBeforeExit();

private:
    struct Domain {
        PropertyDictionary values;
        bool exists = false;
        // False when the file could not be read, or could not be moved aside: it must not be
        // overwritten.
        bool writable = true;
    };

    static bool isValidDomainName(std::string_view name);
    std::filesystem::path fileFor(std::string_view name) const;
    // Under stateMutex_: the loaded domain, read from its file on first use.
    Domain& domainLocked(std::string_view name) const;
    Domain loadDomain(std::string_view name) const;
    void changedLocked(std::string_view name);
    // Writes what changed; with `onlyWhenDue`, only once the interval since the last write has
    // passed, which another write may have restarted while this one waited for its turn.
    bool writePending(bool onlyWhenDue = false);
    void runWorker();

    const std::filesystem::path directory_;
    const std::string domainName_;
    const Options options_;

    mutable std::mutex stateMutex_;
    mutable std::map<std::string, Domain, std::less<>> domains_;
    // The keys of the application's domain read or set in this run: the settings it uses.
    mutable std::set<std::string, std::less<>> usedKeys_;
    PropertyDictionary registered_;
    std::set<std::string, std::less<>> pending_;
    // Domains changed in this run that are never written (see above).
    std::set<std::string, std::less<>> unsavedDomains_;
    bool stopping_ = false;
    std::condition_variable changed_;

    // Held for a whole write, so snapshots reach the disk in the order they were taken.
    std::mutex writeMutex_;
    std::chrono::steady_clock::time_point lastWrite_{};
    // Zero after a write that succeeded; the wait before the next try after one that failed.
    std::chrono::milliseconds retryInterval_{0};
    // Under writeMutex_: the domains whose last write failed, with why, each said once on
    // standard error; and those said at exit to be lost.
    std::map<std::string, std::string, std::less<>> failingFiles_;
    std::set<std::string, std::less<>> lossSaid_;

    std::thread worker_;
};

} // namespace foundation
