#include "platform/foundation/AtomicFile.h"

#include "platform/foundation/TextFile.h"
#include "support/TestPaths.h"

#include <cerrno>
#include <dlfcn.h>
#include <fstream>
#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// The fsync and rename calls the recording thread made, in order, with the paths they reached.
struct SyncCalls {
    std::vector<std::string> seen;
    // Set: fsync fails with this error instead of flushing.
    std::optional<int> failure;
};
thread_local SyncCalls* recorded = nullptr;

std::string openedPath(int fd) {
    std::error_code error;
    return fs::read_symlink("/proc/self/fd/" + std::to_string(fd), error).string();
}

} // namespace

// This program's own fsync and rename: they note the recording thread's calls and pass every
// call on to the C library, so the order the writer reaches the disk in is seen at its syscalls.
extern "C" int fsync(int fd) {
    static const auto next = reinterpret_cast<int (*)(int)>(dlsym(RTLD_NEXT, "fsync"));
    if (recorded) {
        recorded->seen.push_back("fsync " + openedPath(fd));
        if (recorded->failure) {
            errno = *recorded->failure;
            return -1;
        }
    }
    return next(fd);
}

extern "C" int rename(const char* from, const char* to) {
    static const auto next =
        reinterpret_cast<int (*)(const char*, const char*)>(dlsym(RTLD_NEXT, "rename"));
    if (recorded)
        recorded->seen.push_back(std::string("rename ") + from + " " + to);
    return next(from, to);
}

namespace {

// The data are on the disk before the name leads to them, and the folder after the new name;
// a flush that fails leaves the old file and no temporary one.
TEST(AtomicFile, TheDataReachTheDiskBeforeTheNameAndAFailedFlushReplacesNothing) {
    testsupport::TemporaryDirectory dir;
    const fs::path folder = fs::canonical(dir.path());
    const fs::path file = folder / "settings.json";
    SyncCalls calls;
    recorded = &calls;
    const bool written = foundation::writeFileAtomically(file, "new");
    recorded = nullptr;
    ASSERT_TRUE(written);
    ASSERT_EQ(calls.seen.size(), 3u);
    const std::string temporary = calls.seen[0].substr(6);
    EXPECT_TRUE(temporary.starts_with(file.string() + ".tmp-")) << calls.seen[0];
    EXPECT_EQ(calls.seen[1], "rename " + temporary + " " + file.string());
    EXPECT_EQ(calls.seen[2], "fsync " + folder.string());

    calls = {.seen = {}, .failure = EIO};
    recorded = &calls;
    errno = 0;
    const bool failed = !foundation::writeFileAtomically(file, "newer");
    const int reason = errno;
    recorded = nullptr;
    EXPECT_TRUE(failed);
    EXPECT_EQ(reason, EIO);
    EXPECT_EQ(foundation::readTextFile(file), "new");
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
}

} // namespace
