#include "platform/foundation/Bundle.h"

#include "support/TestPaths.h"

#include <fstream>
#include <gtest/gtest.h>

namespace {

namespace fs = std::filesystem;

void touch(const fs::path& path) {
    fs::create_directories(path.parent_path());
    std::ofstream(path) << "{}";
}

TEST(Bundle, IdentityIsFixedAndVersionComesFromTheBuild) {
    auto bundle = foundation::Bundle::main();
    EXPECT_EQ(bundle.identifier(), "local.dorvettin.Pulsedeck");
    EXPECT_EQ(bundle.displayName(), "Pulsedeck");
    EXPECT_EQ(bundle.shortVersion(), PULSEDECK_VERSION);
    EXPECT_FALSE(bundle.shortVersion().empty());
    ASSERT_TRUE(bundle.buildVersion());
    EXPECT_EQ(*bundle.buildVersion(), PULSEDECK_BUILD);
    EXPECT_FALSE(bundle.buildVersion()->empty());
    EXPECT_EQ(bundle.buildVersion()->find_first_not_of("0123456789"), std::string::npos);
}

TEST(Bundle, ResourcesBesideTheExecutableWinOverTheInstalledFolder) {
    testsupport::TemporaryDirectory dir;
    auto executable = dir.path() / "bin" / "pulsedeck";
    touch(executable);
    EXPECT_EQ(foundation::Bundle::resourceDirectoryFor(executable), fs::path());

    touch(dir.path() / "share" / "pulsedeck" / "Localizations.json");
    EXPECT_EQ(foundation::Bundle::resourceDirectoryFor(executable),
              dir.path() / "share" / "pulsedeck");

    touch(dir.path() / "bin" / "resources" / "Localizations.json");
    EXPECT_EQ(foundation::Bundle::resourceDirectoryFor(executable),
              dir.path() / "bin" / "resources");
}

TEST(Bundle, FindsOnlyRegularFilesInsideItsFolder) {
    testsupport::TemporaryDirectory dir;
    auto resources = dir.path() / "resources";
    touch(resources / "Localizations.json");
    touch(resources / "AppIcon");
    touch(dir.path() / "secret.json");
    fs::create_directories(resources / "folder.json");

    foundation::Bundle bundle(resources);
    EXPECT_EQ(bundle.urlForResource("Localizations", "json"), resources / "Localizations.json");
    EXPECT_EQ(bundle.urlForResource("AppIcon", ""), resources / "AppIcon");
    EXPECT_FALSE(bundle.urlForResource("Missing", "json"));
    EXPECT_FALSE(bundle.urlForResource("folder", "json"));
    EXPECT_FALSE(bundle.urlForResource("../secret", "json"));
    EXPECT_FALSE(bundle.urlForResource("..", ""));
    EXPECT_FALSE(foundation::Bundle(fs::path()).urlForResource("Localizations", "json"));
}

} // namespace
