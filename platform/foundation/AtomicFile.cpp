#include "platform/foundation/AtomicFile.h"

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <fcntl.h>
#include <signal.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace foundation {
namespace {

// Closes the descriptor on every path out.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }
    // Closes now and reports whether the close succeeded (a late write error shows up here).
    bool close() {
        int fd = fd_;
        fd_ = -1;
        return fd >= 0 && ::close(fd) == 0;
    }

private:
    int fd_;
};

bool writeAll(int fd, std::string_view contents) {
    while (!contents.empty()) {
        ssize_t written = ::write(fd, contents.data(), contents.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        contents.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

// Gives the new file the owner, group and mode of the one it replaces: the superuser writing a
// user's file leaves it theirs. A group the user is not in cannot be given, and is no reason to
// lose the write.
bool keepOwnerAndMode(int fd, const struct stat& replaced) {
    if (::fchown(fd, replaced.st_uid, replaced.st_gid) != 0 && replaced.st_uid != ::geteuid())
        return false;
    return ::fchmod(fd, replaced.st_mode & 07777) == 0;
}

std::string temporaryPrefix(const std::filesystem::path& path) {
    return path.filename().string() + ".tmp-";
}

// Where a write of `path` lands: the file a chain of symbolic links ends at (a user who keeps
// their settings in a dotfiles folder keeps the link), else `path` itself. A chain that loops or
// runs longer than the kernel would follow gives `path`, whose rename then replaces the link.
std::filesystem::path writeTarget(const std::filesystem::path& path) {
    constexpr int maxLinks = 40;
    std::filesystem::path current = path;
    for (int hop = 0; hop < maxLinks; ++hop) {
        std::error_code error;
        if (!std::filesystem::is_symlink(std::filesystem::symlink_status(current, error)))
            return current;
        auto next = std::filesystem::read_symlink(current, error);
        if (error)
            return path;
        current = next.is_absolute() ? next : current.parent_path() / next;
    }
    return path;
}

} // namespace

bool writeFileAtomically(const std::filesystem::path& link, std::string_view contents) {
    const auto path = writeTarget(link);
    struct stat existing {};
    const bool replacing = ::stat(path.c_str(), &existing) == 0;
    // Whoever may write through the link (the superuser may write anywhere) must not take over
    // the file of the user who keeps it.
    if (replacing && path != link && existing.st_uid != ::geteuid()) {
        errno = EPERM;
        return false;
    }
    auto folder = path.parent_path().empty() ? std::filesystem::path(".") : path.parent_path();
    std::string temporary =
        (folder / (temporaryPrefix(path) + std::to_string(::getpid()) + "-XXXXXX")).string();

    // A fresh name, created exclusively with mode 0600.
    FileDescriptor file(::mkostemp(temporary.data(), O_CLOEXEC));
    if (file.get() < 0)
        return false;
    bool written = (!replacing || keepOwnerAndMode(file.get(), existing)) &&
                   writeAll(file.get(), contents) && ::fsync(file.get()) == 0;
    written = file.close() && written;
    if (!written || ::rename(temporary.c_str(), path.c_str()) != 0) {
        const int reason = errno;
        ::unlink(temporary.c_str());
        errno = reason;
        return false;
    }
    // The rename itself must reach the disk, or a crash could bring back the old name.
    FileDescriptor directory(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (directory.get() >= 0)
        ::fsync(directory.get());
    return true;
}

void removeStaleTemporaryFiles(const std::filesystem::path& link) {
    const auto path = writeTarget(link);
    auto prefix = temporaryPrefix(path);
    std::error_code error;
    auto folder = path.parent_path().empty() ? std::filesystem::path(".") : path.parent_path();
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        auto name = entry.path().filename().string();
        if (!name.starts_with(prefix))
            continue;
        std::string_view rest(name);
        rest.remove_prefix(prefix.size());
        pid_t pid = 0;
        auto [end, parseError] = std::from_chars(rest.data(), rest.data() + rest.size(), pid);
        if (parseError != std::errc() || end == rest.data() + rest.size() || *end != '-')
            continue;
        if (pid != ::getpid() && ::kill(pid, 0) != 0 && errno == ESRCH)
            std::filesystem::remove(entry.path(), error);
    }
}

} // namespace foundation
