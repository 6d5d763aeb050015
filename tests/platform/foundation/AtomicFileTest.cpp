#include "platform/foundation/AtomicFile.h"

#include "platform/foundation/TextFile.h"
#include "support/TestPaths.h"

#include <cerrno>
#include <dlfcn.h>
#include <fstream>
#include <gtest/gtest.h>
#include <set>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

// The fsync and rename calls the recording thread made, in order, with the paths they reached.
struct SyncCalls {
    std::vector<std::string> seen;
    // The call ("fsync" or "close") that fails with EIO once it has done its work.
    std::string failing;
};
thread_local SyncCalls* recorded = nullptr;

std::string openedPath(int fd) {
    std::error_code error;
    return fs::read_symlink("/proc/self/fd/" + std::to_string(fd), error).string();
}

} // namespace

// This program's own fsync, close and rename: they note the recording thread's calls and pass
// every call on to the C library, so the order the writer reaches the disk in is seen at its
// syscalls, and a late write error can be made to show.
// Done by the C library's own call, failed as the recording thread's script says.
int failedAs(const char* call, int done) {
    if (done != 0 || !recorded || recorded->failing != call)
        return done;
    errno = EIO;
    return -1;
}

extern "C" int fsync(int fd) {
    static const auto next = reinterpret_cast<int (*)(int)>(dlsym(RTLD_NEXT, "fsync"));
    if (recorded)
        recorded->seen.push_back("fsync " + openedPath(fd));
    return failedAs("fsync", next(fd));
}

extern "C" int close(int fd) {
    static const auto next = reinterpret_cast<int (*)(int)>(dlsym(RTLD_NEXT, "close"));
    return failedAs("close", next(fd));
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
// a flush or close that fails leaves the old file and no temporary one.
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

    for (const char* failing : {"fsync", "close"}) {
        calls = {.seen = {}, .failing = failing};
        recorded = &calls;
        errno = 0;
        const bool failed = !foundation::writeFileAtomically(file, "newer");
        const int reason = errno;
        recorded = nullptr;
        EXPECT_TRUE(failed) << failing;
        EXPECT_EQ(reason, EIO) << failing;
        EXPECT_EQ(foundation::readTextFile(file), "new") << failing;
        EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
    }
}

// What writers killed mid-write left is removed; a live writer's files and names of another
// form stay.
TEST(AtomicFile, OnlyTheTemporaryFilesOfEndedWritersAreRemoved) {
    testsupport::TemporaryDirectory dir;
    const pid_t ended = fork();
    if (ended == 0)
        _exit(0);
    waitpid(ended, nullptr, 0);
    const std::string gone = "settings.json.tmp-" + std::to_string(ended);
    const std::vector<std::string> kept = {"settings.json.tmp-" + std::to_string(getppid()) + "-a",
                                           gone, gone + "x-b",
                                           "other.json.tmp-" + std::to_string(ended) + "-c"};
    for (const std::string& name : kept)
        std::ofstream(dir.path() / name) << "x";
    std::ofstream(dir.path() / (gone + "-d")) << "x";
    foundation::removeStaleTemporaryFiles(dir.path() / "settings.json");
    std::vector<std::string> left;
    for (const auto& entry : fs::directory_iterator(dir.path()))
        left.push_back(entry.path().filename().string());
    EXPECT_EQ(std::set<std::string>(left.begin(), left.end()),
              std::set<std::string>(kept.begin(), kept.end()));
}

} // namespace
