#include "platform/foundation/TextFile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace foundation {

namespace {

// Reads from `fd` at offset 0 until end of file or `limit`, growing `out` as needed. With
// `shortReadEnds`, a read that returns less than was asked for is taken as the end: a procfs or
// sysfs file hands over all it has in one read, and asking again at the end makes the kernel
// generate the whole text once more only to return nothing.
bool readAll(int fd, std::size_t limit, std::string& out, bool shortReadEnds) {
    out.resize(std::min<std::size_t>(limit, 4096));
    std::size_t filled = 0;
    for (;;) {
        if (filled == out.size()) {
            if (out.size() >= limit)
                break;
            out.resize(std::min(limit, out.size() * 2));
        }
        ssize_t got =
            ::pread(fd, out.data() + filled, out.size() - filled, static_cast<off_t>(filled));
        if (got < 0) {
            if (errno == EINTR)
                continue;
            out.clear();
            return false;
        }
        if (got == 0)
            break;
        const std::size_t asked = out.size() - filled;
        filled += static_cast<std::size_t>(got);
        if (shortReadEnds && static_cast<std::size_t>(got) < asked)
            break;
    }
    out.resize(filled);
    return true;
}

// Opens without waiting: a FIFO in a file's place (bound over /proc/meminfo, say) would hold an
// ordinary open until a writer came, and the caller with it. Anything but a regular file is
// refused, so no read waits on a writer either; procfs and sysfs files are regular.
int openRegularFile(const std::filesystem::path& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return -1;
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace

std::optional<std::string> readTextFile(const std::filesystem::path& path, std::size_t limit) {
    int fd = openRegularFile(path);
    if (fd < 0)
        return std::nullopt;
    std::string contents;
    bool ok = readAll(fd, limit, contents, false);
    ::close(fd);
    if (!ok)
        return std::nullopt;
    return contents;
}

KeptFile::KeptFile(std::filesystem::path path, std::size_t limit)
    : path_(std::move(path)), limit_(limit) {}

KeptFile::~KeptFile() {
    close();
}

KeptFile::KeptFile(KeptFile&& other) noexcept
    : path_(std::move(other.path_)), limit_(other.limit_), fd_(std::exchange(other.fd_, -1)),
      buffer_(std::move(other.buffer_)) {}

KeptFile& KeptFile::operator=(KeptFile&& other) noexcept {
    if (this != &other) {
        close();
        path_ = std::move(other.path_);
        limit_ = other.limit_;
        fd_ = std::exchange(other.fd_, -1);
        buffer_ = std::move(other.buffer_);
    }
    return *this;
}

std::optional<std::string_view> KeptFile::read() {
    if (fd_ < 0) {
        fd_ = openRegularFile(path_);
        if (fd_ < 0)
            return std::nullopt;
    }
    if (!readAll(fd_, limit_, buffer_, true)) {
        close();
        return std::nullopt;
    }
    return std::string_view(buffer_);
}

void KeptFile::close() {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

} // namespace foundation
