#include "platform/foundation/TextFile.h"

#include "support/RunUntil.h"
#include "support/TestPaths.h"

#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

void write(const std::filesystem::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

TEST(TextFile, ReadsWholeFileAndMissingFileIsEmpty) {
    testsupport::TemporaryDirectory dir;
    write(dir.path() / "a", std::string(10000, 'x') + "end");
    auto text = foundation::readTextFile(dir.path() / "a");
    ASSERT_TRUE(text);
    EXPECT_EQ(text->size(), 10003u);
    EXPECT_FALSE(foundation::readTextFile(dir.path() / "missing"));
}

TEST(TextFile, LimitCapsWhatIsKept) {
    testsupport::TemporaryDirectory dir;
    write(dir.path() / "a", std::string(100, 'x'));
    EXPECT_EQ(foundation::readTextFile(dir.path() / "a", 10)->size(), 10u);
}

TEST(TextFile, AFifoInAFilesPlaceIsRefusedWithoutWaitingForAWriter) {
    testsupport::TemporaryDirectory dir;
    const auto fifo = dir.path() / "meminfo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    foundation::KeptFile kept(fifo);
    bool refused = false;
    EXPECT_TRUE(testsupport::returnsWithin(
        2, [&] { refused = !foundation::readTextFile(fifo) && !kept.read(); },
        testsupport::writerComesAndGoes({fifo})));
    EXPECT_TRUE(refused);
}

TEST(KeptFile, SeesNewContentsAndRecoversWhenFileReturns) {
    testsupport::TemporaryDirectory dir;
    auto path = dir.path() / "counter";
    foundation::KeptFile file(path);
    EXPECT_FALSE(file.read());
    write(path, "1 2 3\n");
    EXPECT_EQ(file.read().value(), "1 2 3\n");
    // Rewriting in place (as the kernel does for procfs) is seen through the same descriptor.
    {
        std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
        f << "4 5";
    }
    EXPECT_EQ(file.read().value(), "4 5 3\n");
}

TEST(KeptFile, ReadsFilesOfEverySizeAroundItsBufferWhole) {
    testsupport::TemporaryDirectory dir;
    auto path = dir.path() / "text";
    foundation::KeptFile file(path);
    // Exactly the first buffer, one byte more, many buffers, then shorter again and empty.
    for (std::size_t size : {4096u, 4097u, 20000u, 3u, 0u}) {
        std::string text(size, 'x');
        if (size > 0)
            text.back() = 'e';
        write(path, text);
        auto read = file.read();
        ASSERT_TRUE(read) << size;
        EXPECT_EQ(*read, text) << size;
    }
    foundation::KeptFile capped(path, 10);
    write(path, std::string(100, 'y'));
    EXPECT_EQ(capped.read()->size(), 10u);
}

TEST(KeptFile, ReadsLiveProcfsWhole) {
    // A procfs text longer than a few lines, read in one go, ends where the kernel ends it.
    foundation::KeptFile meminfo("/proc/meminfo");
    auto text = meminfo.read();
    ASSERT_TRUE(text);
    EXPECT_EQ(text->substr(0, 9), "MemTotal:");
    EXPECT_EQ(text->back(), '\n');
    EXPECT_NE(text->find("SwapFree:"), std::string_view::npos);
}

TEST(KeptFile, ReadsLiveProcfs) {
    foundation::KeptFile stat("/proc/stat");
    auto first = stat.read();
    ASSERT_TRUE(first);
    EXPECT_EQ(first->substr(0, 4), "cpu ");
}

} // namespace
