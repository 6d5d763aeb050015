#include "platform/foundation/TextFile.h"

#include "support/TestPaths.h"

#include <fstream>
#include <gtest/gtest.h>

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

TEST(KeptFile, ReadsLiveProcfs) {
    foundation::KeptFile stat("/proc/stat");
    auto first = stat.read();
    ASSERT_TRUE(first);
    EXPECT_EQ(first->substr(0, 4), "cpu ");
}

} // namespace
