#include "platform/system/DesktopEntry.h"

#include "platform/system/TrustedExecutable.h"
#include "support/TestPaths.h"

#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

namespace fs = std::filesystem;
using sys::DesktopEntry;
using Arguments = std::vector<std::string>;

void writeFile(const fs::path& path, std::string_view text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::trunc) << text;
}

// Sets an environment variable for one test and puts the old value back.
class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name))
            old_ = old;
        if (value)
            ::setenv(name, value, 1);
        else
            ::unsetenv(name);
    }
    ~ScopedEnvironment() {
        if (old_)
            ::setenv(name_, old_->c_str(), 1);
        else
            ::unsetenv(name_);
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

TEST(DesktopExec, SplitsQuotedArgumentsAndDropsFieldCodes) {
    EXPECT_EQ(sys::splitDesktopExec("companion --flag %U"), (Arguments{"companion", "--flag"}));
    EXPECT_EQ(sys::splitDesktopExec(R"("/opt/My App/run" "a \"b\" \$c" 100%%)"),
              (Arguments{"/opt/My App/run", R"(a "b" $c)", "100%"}));
    EXPECT_EQ(sys::splitDesktopExec("  spaced\t\targs  "), (Arguments{"spaced", "args"}));
    EXPECT_EQ(sys::splitDesktopExec("%f"), Arguments{});
    EXPECT_EQ(sys::splitDesktopExec(R"("unclosed)"), std::nullopt);
}

TEST(DesktopEntry, ParsesTheMainGroupOnly) {
    auto entry = DesktopEntry::parse("# comment\n"
                                     "[Desktop Entry]\n"
                                     "Type=Application\n"
                                     "Name=Sensors\n"
                                     "Exec=/opt/sensors/bin/sensors\\s--quiet %u\n"
                                     "[Desktop Action Open]\n"
                                     "Exec=/bin/false\n");
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->command, (Arguments{"/opt/sensors/bin/sensors", "--quiet"}));
}

TEST(DesktopEntry, UndoesBothEscapeLayersOfAQuotedArgument) {
    // As a writer stores the path /opt/a\b "c" 5%: quoted for Exec, then every backslash doubled
    // once more by the value escape.
    auto entry = DesktopEntry::parse("[Desktop Entry]\n"
                                     "Type=Application\n"
                                     R"(Exec="/opt/a\\\\b \\"c\\" 5%%" --flag)"
                                     "\n");
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->command, (Arguments{R"(/opt/a\b "c" 5%)", "--flag"}));
}

TEST(DesktopEntry, RefusesHiddenNonApplicationsAndEmptyCommands) {
    EXPECT_FALSE(DesktopEntry::parse("[Desktop Entry]\nType=Application\nHidden=true\nExec=a\n"));
    EXPECT_FALSE(DesktopEntry::parse("[Desktop Entry]\nType=Link\nExec=a\n"));
    EXPECT_FALSE(DesktopEntry::parse("[Desktop Entry]\nType=Application\nExec=%F\n"));
    EXPECT_FALSE(DesktopEntry::parse("[Desktop Entry]\nType=Application\n"));
    EXPECT_FALSE(DesktopEntry::parse("[Other]\nType=Application\nExec=a\n"));
    EXPECT_FALSE(DesktopEntry::parse(""));
    EXPECT_FALSE(DesktopEntry::parse(std::string("\0\0[\xFF", 4)));
}

TEST(DesktopEntry, FirstDataDirectoryWithTheEntryDecides) {
    testsupport::TemporaryDirectory root;
    auto home = root.path() / "home", shared = root.path() / "shared";
    writeFile(shared / "applications/org.example.App.desktop",
              "[Desktop Entry]\nType=Application\nExec=/usr/bin/app\n");
    auto found = DesktopEntry::find("org.example.App", {home, shared});
    ASSERT_TRUE(found);
    EXPECT_EQ(found->file, shared / "applications/org.example.App.desktop");

    // The user's own entry hides the shared one.
    writeFile(home / "applications/org.example.App.desktop",
              "[Desktop Entry]\nType=Application\nHidden=true\n");
    EXPECT_FALSE(DesktopEntry::find("org.example.App", {home, shared}));
    EXPECT_FALSE(DesktopEntry::find("../applications/org.example.App", {home, shared}));
    EXPECT_FALSE(DesktopEntry::find("", {home, shared}));
}

TEST(DesktopEntry, DataDirectoriesFollowTheEnvironment) {
    ScopedEnvironment dataHome("XDG_DATA_HOME", "/data/home");
    ScopedEnvironment dataDirs("XDG_DATA_DIRS", "/one:relative::/two");
    EXPECT_EQ(DesktopEntry::dataDirsFromEnvironment(),
              (std::vector<fs::path>{"/data/home", "/one", "/two"}));

    ScopedEnvironment noHome("XDG_DATA_HOME", nullptr);
    ScopedEnvironment homeDir("HOME", "/home/someone");
    ScopedEnvironment noDirs("XDG_DATA_DIRS", nullptr);
    EXPECT_EQ(
        DesktopEntry::dataDirsFromEnvironment(),
        (std::vector<fs::path>{"/home/someone/.local/share", "/usr/local/share", "/usr/share"}));
}

TEST(DesktopEntry, ExecutableIsAnAbsolutePathOrFoundOnPath) {
    testsupport::TemporaryDirectory root;
    writeFile(root.path() / "bin/companion", "#!/bin/sh\n");
    fs::permissions(root.path() / "bin/companion", fs::perms(0755));
    ScopedEnvironment path("PATH", (root.path() / "bin").c_str());

    EXPECT_EQ((DesktopEntry{{}, {"companion"}}.executable()), root.path() / "bin/companion");
    EXPECT_EQ((DesktopEntry{{}, {"/abs/prog"}}.executable()), fs::path("/abs/prog"));
    EXPECT_EQ((DesktopEntry{{}, {"relative/prog"}}.executable()), std::nullopt);
    EXPECT_EQ((DesktopEntry{{}, {"missing"}}.executable()), std::nullopt);
}

TEST(TrustedExecutable, OwnedAndNotWritableByOthers) {
    testsupport::TemporaryDirectory root;
    auto program = root.path() / "companion";
    writeFile(program, "#!/bin/sh\n");
    fs::permissions(program, fs::perms(0755));
    EXPECT_TRUE(sys::isTrustedExecutable(program));

    fs::create_symlink(program, root.path() / "link");
    EXPECT_TRUE(sys::isTrustedExecutable(root.path() / "link"));

    fs::permissions(program, fs::perms(0775));
    EXPECT_FALSE(sys::isTrustedExecutable(program));
    fs::permissions(program, fs::perms(0757));
    EXPECT_FALSE(sys::isTrustedExecutable(program));
    fs::permissions(program, fs::perms(0644));
    EXPECT_FALSE(sys::isTrustedExecutable(program));

    EXPECT_FALSE(sys::isTrustedExecutable(root.path()));
    EXPECT_FALSE(sys::isTrustedExecutable(root.path() / "missing"));
    EXPECT_FALSE(sys::isTrustedExecutable(""));
}

TEST(TrustedExecutable, SystemProgramsOwnedByRootPass) {
    struct stat info {};
    if (::stat("/bin/sh", &info) != 0 || info.st_uid != 0)
        GTEST_SKIP() << "no root-owned /bin/sh";
    EXPECT_TRUE(sys::isTrustedExecutable("/bin/sh"));
}

} // namespace
