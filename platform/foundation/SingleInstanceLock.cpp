#include "platform/foundation/SingleInstanceLock.h"

#include "platform/foundation/DisplayName.h"
#include "platform/foundation/HomeDirectory.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace foundation {
namespace {

std::string fileNameSafe(std::string_view text) {
    std::string safe;
    for (char c : text) {
        bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                     c == '.' || c == '-';
        safe += plain ? c : '_';
    }
    return safe;
}

std::filesystem::path absoluteEnvironmentPath(const char* name) {
    const char* value = std::getenv(name);
    return value && *value == '/' ? std::filesystem::path(value) : std::filesystem::path();
}

} // namespace

std::filesystem::path SingleInstanceLock::defaultDirectory() {
    if (auto runtime = absoluteEnvironmentPath("XDG_RUNTIME_DIR"); !runtime.empty())
        return runtime;
    if (auto cache = absoluteEnvironmentPath("XDG_CACHE_HOME"); !cache.empty())
        return cache / "pulsedeck";
    auto home = homeDirectory();
    return home ? *home / ".cache" / "pulsedeck" : std::filesystem::path();
}

SingleInstanceLock SingleInstanceLock::acquire(const std::filesystem::path& directory,
                                               std::string_view identifier,
                                               std::string_view display) {
    char hostName[256] = {};
    ::gethostname(hostName, sizeof hostName - 1);
    auto path = directory / (fileNameSafe(identifier) + "-" + std::to_string(::getuid()) + "-" +
                             fileNameSafe(displayServerKey(display, hostName)) + ".lock");
    std::error_code error;
    std::filesystem::create_directories(directory, error);
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return SingleInstanceLock(Outcome::unavailable, std::move(path), -1);
    int result;
    while ((result = ::flock(fd, LOCK_EX | LOCK_NB)) != 0 && errno == EINTR) {
    }
    if (result == 0)
        return SingleInstanceLock(Outcome::acquired, std::move(path), fd);
    Outcome outcome = errno == EWOULDBLOCK ? Outcome::heldElsewhere : Outcome::unavailable;
    ::close(fd);
    return SingleInstanceLock(outcome, std::move(path), -1);
}

SingleInstanceLock::~SingleInstanceLock() {
    if (fd_ >= 0)
        ::close(fd_);
}

SingleInstanceLock::SingleInstanceLock(SingleInstanceLock&& other) noexcept
    : outcome_(other.outcome_), path_(std::move(other.path_)), fd_(other.fd_) {
    other.fd_ = -1;
}

SingleInstanceLock& SingleInstanceLock::operator=(SingleInstanceLock&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0)
            ::close(fd_);
        outcome_ = other.outcome_;
        path_ = std::move(other.path_);
        fd_ = other.fd_;
        other.fd_ = -1;
    }
    return *this;
}

} // namespace foundation
