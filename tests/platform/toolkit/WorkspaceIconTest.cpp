#include "platform/graphics/Bitmap.h"
#include "platform/toolkit/Workspace.h"
#include "support/TestPaths.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace {

namespace fs = std::filesystem;

class WorkspaceIconTest : public ::testing::Test {
protected:
    fs::path entry(const std::string& name, const std::string& body) {
        const fs::path folder = data.path() / "applications";
        fs::create_directories(folder);
        std::ofstream(folder / name) << body;
        return folder / name;
    }
    void png(const fs::path& path, int side) {
        fs::create_directories(path.parent_path());
        ASSERT_TRUE(gfx::Bitmap(side, side, {double(side), double(side)}).writePng(path.string()));
    }

    testsupport::TemporaryDirectory data;
    ui::Workspace workspace;
};

TEST_F(WorkspaceIconTest, FindsTheNamedIconLargestFirstAndNothingWithoutOne) {
    workspace.setDataDirectories({data.path()});
    png(data.path() / "icons/hicolor/32x32/apps/monitor.png", 32);
    png(data.path() / "icons/hicolor/128x128/apps/monitor.png", 128);
    const auto url =
        "file://" + entry("m.desktop", "[Desktop Entry]\nName=M\nIcon=monitor\n").string();
    const auto icon = workspace.iconForFile(url);
    ASSERT_TRUE(icon);
    EXPECT_EQ(icon->size(), (gfx::Size{128, 128}));

    png(data.path() / "pixmaps/old.png", 20);
    EXPECT_EQ(workspace.iconForFile(entry("o.desktop", "[Desktop Entry]\nIcon=old\n"))->size(),
              (gfx::Size{20, 20}));
    png(data.path() / "elsewhere/abs.png", 24);
    EXPECT_TRUE(workspace.iconForFile(entry(
        "a.desktop", "[Desktop Entry]\nIcon=" + (data.path() / "elsewhere/abs.png").string())));

    EXPECT_FALSE(workspace.iconForFile(entry("n.desktop", "[Desktop Entry]\nName=N\n")));
    EXPECT_FALSE(workspace.iconForFile(entry("s.desktop", "[Desktop Entry]\nIcon=scalable\n")));
    EXPECT_FALSE(workspace.iconForFile(entry("r.desktop", "[Other]\nIcon=monitor\n")));
    EXPECT_FALSE(workspace.iconForFile(entry("t.desktop", "[Desktop Entry]\nIcon=../monitor\n")));
    EXPECT_FALSE(workspace.iconForFile((data.path() / "missing.desktop").string()));
}

} // namespace
