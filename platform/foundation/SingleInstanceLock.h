#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace foundation {

// Decides, atomically, which of two copies of the program started by one user on one X server
// keeps running: an advisory lock (flock) on "<directory>/<identifier>-<uid>-<server>.lock",
// where <server> is the server the display name reaches (DisplayName.h), so ":0", ":0.0" and
// "unix:0" are one.
// The lock lives as long as this object (or the process) and is never passed to a spawned
// program (the descriptor is close-on-exec).
class SingleInstanceLock {
public:
    enum class Outcome {
        // This copy holds the lock.
        acquired,
        // Another copy holds it: this one should quit.
        heldElsewhere,
        // No lock could be made (no folder, no permission): nothing is known of other copies.
        unavailable,
    };

    // "$XDG_RUNTIME_DIR", else "$XDG_CACHE_HOME/pulsedeck" or "<home>/.cache/pulsedeck"; empty
    // (no lock can be made) without any of them.
    static std::filesystem::path defaultDirectory();

    // `display` is the X display name ($DISPLAY); in the file name, any character of its server
    // key other than a letter, a digit, "." or "-" is written as "_". The directory is created
    // when missing.
    static SingleInstanceLock acquire(const std::filesystem::path& directory,
                                      std::string_view identifier, std::string_view display);

    ~SingleInstanceLock();
    SingleInstanceLock(SingleInstanceLock&& other) noexcept;
    SingleInstanceLock& operator=(SingleInstanceLock&& other) noexcept;
    SingleInstanceLock(const SingleInstanceLock&) = delete;
    SingleInstanceLock& operator=(const SingleInstanceLock&) = delete;

    Outcome outcome() const { return outcome_; }
    const std::filesystem::path& path() const { return path_; }
    // Where the copy holding the lock listens for a second start (ReopenChannel.h): the lock's
    // path ending in ".socket".
    std::filesystem::path channelPath() const {
        return std::filesystem::path(path_).replace_extension(".socket");
    }

private:
    SingleInstanceLock(Outcome outcome, std::filesystem::path path, int fd)
        : outcome_(outcome), path_(std::move(path)), fd_(fd) {}

    Outcome outcome_;
    std::filesystem::path path_;
    int fd_ = -1;
};

} // namespace foundation
