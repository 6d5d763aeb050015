#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace foundation {

// Reads a whole (small) file, such as a procfs or sysfs entry. Empty when it cannot be opened or
// read, or is not a regular file (a FIFO or a device in its place is refused at once, never waited
// on); at most `limit` bytes are kept, so a runaway file never grows without bound.
std::optional<std::string> readTextFile(const std::filesystem::path& path,
                                        std::size_t limit = 1 << 20);

// A file read again and again (a procfs counter each second): the descriptor stays open and each
// read is one pread from offset 0 into a buffer that is reused. Close-on-exec; opened as
// readTextFile opens, so only a regular file is read.
class KeptFile {
public:
    explicit KeptFile(std::filesystem::path path, std::size_t limit = 1 << 20);
    ~KeptFile();
    KeptFile(const KeptFile&) = delete;
    KeptFile& operator=(const KeptFile&) = delete;
    KeptFile(KeptFile&& other) noexcept;
    KeptFile& operator=(KeptFile&& other) noexcept;

    // The file's current contents, valid until the next read; empty when the file cannot be read.
    // A failed read closes the descriptor so the next call opens the path afresh.
    std::optional<std::string_view> read();
    const std::filesystem::path& path() const { return path_; }

private:
    void close();

    std::filesystem::path path_;
    std::size_t limit_;
    int fd_ = -1;
    std::string buffer_;
};

} // namespace foundation
