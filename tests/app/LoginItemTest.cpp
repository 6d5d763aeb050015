#include "app/LoginItem.h"

#include "platform/foundation/TextFile.h"
#include "platform/system/DesktopEntry.h"
#include "support/ScopedEnvironment.h"
#include "support/TestPaths.h"

#include <cstring>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <unistd.h>

namespace pulsedeck {
namespace {

TEST(LoginItem, RegisteringWritesAnAutostartEntryThatStartsTheExecutable) {
    testsupport::TemporaryDirectory config;
    LoginItem item(config.path() / "autostart" / LoginItem::entryName, "/opt/pulse deck/bin/run");
    EXPECT_EQ(item.status(), LoginItem::Status::notRegistered);
    std::string error;
    ASSERT_TRUE(item.registerItem(&error)) << error;
    EXPECT_EQ(item.status(), LoginItem::Status::enabled);

    const auto text = foundation::readTextFile(item.entryFile());
    ASSERT_TRUE(text);
    const auto entry = sys::DesktopEntry::parse(*text);
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->command, std::vector<std::string>{"/opt/pulse deck/bin/run"});

    ASSERT_TRUE(item.unregisterItem(&error)) << error;
    EXPECT_EQ(item.status(), LoginItem::Status::notRegistered);
    EXPECT_TRUE(item.unregisterItem()) << "nothing to remove is no failure";
}

// The quoting rules escape " ` $ and \ with a backslash inside the quotes, and the string
// escape doubles every backslash again; % becomes %%.
TEST(LoginItem, PathsWithReservedCharactersAreQuotedAsDesktopEntriesRequire) {
    testsupport::TemporaryDirectory config;
    LoginItem item(config.path() / LoginItem::entryName, "/tmp/a \"b\" $c `d` \\e 100%/run");
    ASSERT_TRUE(item.registerItem());
    const auto text = foundation::readTextFile(item.entryFile());
    ASSERT_TRUE(text);
    EXPECT_NE(text->find(R"(Exec="/tmp/a \\"b\\" \\$c \\`d\\` \\\\e 100%%/run")"
                         "\n"),
              std::string::npos)
        << *text;
}

// Installed, the entry names the command, so it outlives an upgrade that moves nothing and a
// reinstall under another prefix on the same PATH; from a build folder it names that build.
TEST(LoginItem, AnInstalledProgramOnThePathIsStartedByNameAndAnyOtherByItsPath) {
    testsupport::TemporaryDirectory root;
    namespace fs = std::filesystem;
    const auto program = [&](const fs::path& relative, bool installed) {
        const auto path = root.path() / relative;
        fs::create_directories(path.parent_path());
        std::ofstream(path) << "#!/bin/sh\n";
        fs::create_directories(installed ? path.parent_path().parent_path() / "share/pulsedeck"
                                         : path.parent_path() / "resources");
        return path;
    };
    const auto usr = program("usr/bin/pulsedeck", true);
    const auto build = program("src/build/pulsedeck", false);
    const auto local = program("usr/local/bin/pulsedeck", true);
    const auto opt = program("opt/pulsedeck/bin/pulsedeck", true);
    const auto libexec = program("opt/pulsedeck/libexec/pulsedeck", true);
    fs::create_directory_symlink(root.path() / "usr/bin", root.path() / "bin");
    const std::string usrBin = (root.path() / "usr/bin").string();
    const std::string bin = (root.path() / "bin").string();
    const std::string localBin = (root.path() / "usr/local/bin").string();
    // Relative folders and empty entries of the PATH would find these from the working folder.
    const auto workingFolder = fs::current_path();
    fs::current_path(root.path());
    std::ofstream(root.path() / "pulsedeck") << "#!/bin/sh\n";

    const struct {
        fs::path executable;
        std::string searchPath;
        fs::path command;
    } cases[] = {
        {usr, usrBin, "pulsedeck"},
        {usr, "usr/local/bin:" + bin + ":" + localBin, "pulsedeck"},
        {usr, ":" + usrBin, "pulsedeck"},
        {usr, localBin + ":" + usrBin, usr},
        {usr, "", usr},
        {local, localBin + ":" + usrBin, "pulsedeck"},
        {opt, usrBin, opt},
        {libexec, (root.path() / "opt/pulsedeck/libexec").string(), libexec},
        {build, (root.path() / "src/build").string(), build},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.executable.string() + " on " + test.searchPath);
        EXPECT_EQ(LoginItem::commandFor(test.executable, test.searchPath), test.command);
    }
    fs::current_path(workingFolder);

    const LoginItem item(root.path() / LoginItem::entryName, LoginItem::commandFor(usr, usrBin));
    EXPECT_NE(item.entryText().find("\nExec=pulsedeck\n"), std::string::npos) << item.entryText();
}

TEST(LoginItem, OnlyTheNeededCallIsMadeAndFailuresAreReported) {
    testsupport::TemporaryDirectory config;
    LoginItem item(config.path() / "autostart" / LoginItem::entryName, "/usr/bin/pulsedeck");
    EXPECT_EQ(setLaunchAtLogin(item, false), (LoginChange{false, false}));
    EXPECT_EQ(setLaunchAtLogin(item, true), (LoginChange{true, false}));
    EXPECT_EQ(setLaunchAtLogin(item, true), (LoginChange{false, false}));
    EXPECT_EQ(setLaunchAtLogin(item, false), (LoginChange{true, false}));

    // A file where the autostart folder should be.
    std::filesystem::remove_all(config.path() / "autostart");
    std::ofstream(config.path() / "autostart") << "in the way";
    std::string error;
    EXPECT_FALSE(item.registerItem(&error));
    EXPECT_EQ(error, std::strerror(ENOTDIR));
    EXPECT_EQ(setLaunchAtLogin(item, true), (LoginChange{true, true}));
    EXPECT_EQ(item.status(), LoginItem::Status::notRegistered);

    // No home folder to keep it in: nothing is written anywhere, and the failure is reported.
    LoginItem homeless({}, "/usr/bin/pulsedeck");
    EXPECT_EQ(homeless.status(), LoginItem::Status::notRegistered);
    error.clear();
    EXPECT_FALSE(homeless.registerItem(&error));
    EXPECT_NE(error.find("no home folder"), std::string::npos) << error;
}

namespace fs = std::filesystem;

// Whether a login session starts the autostart entry, by the rule sessions apply before starting
// one: its TryExec (a value with the format's escapes, spaces before it dropped) names a program
// that is there, as a path or a name found on `path`.
bool startsAtLogin(const fs::path& entry, const std::string& path) {
    std::istringstream lines(foundation::readTextFile(entry).value_or(""));
    std::string line, program;
    while (std::getline(lines, line)) {
        if (!line.starts_with("TryExec="))
            continue;
        const auto value = line.substr(std::min(line.find_first_not_of(' ', 8), line.size()));
        program.clear();
        for (std::size_t i = 0; i < value.size(); ++i) {
            if (value[i] != '\\' || i + 1 == value.size()) {
                program += value[i];
                continue;
            }
            const char escaped = value[++i];
            program += escaped == 's'   ? ' '
                       : escaped == 'n' ? '\n'
                       : escaped == 't' ? '\t'
                       : escaped == 'r' ? '\r'
                                        : escaped;
        }
    }
    const auto runnable = [](const fs::path& file) {
        return fs::is_regular_file(file) && access(file.c_str(), X_OK) == 0;
    };
    if (program.find('/') != std::string::npos)
        return runnable(program);
    std::istringstream folders(path);
    for (std::string folder; std::getline(folders, folder, ':');)
        if (!program.empty() && runnable(fs::path(folder) / program))
            return true;
    return false;
}

// Launch at login, then the program removed (the package purged): the entry stays behind, and
// the session starts it while its command is there and skips it once the command is gone.
TEST(LoginItem, TheSessionSkipsTheEntryOnceItsProgramIsGone) {
    testsupport::TemporaryDirectory root;
    const auto bin = root.path() / "bin";
    const auto built = root.path() / "a build\\2/pulsedeck";
    const auto oddlyNamed = root.path() / "a\tbuild\nfolder/pulsedeck";
    for (const auto& [command, program] :
         {std::pair{fs::path("pulsedeck"), bin / "pulsedeck"}, std::pair{built, built},
          std::pair{oddlyNamed, oddlyNamed},
          std::pair{fs::path(" pulsedeck"), bin / " pulsedeck"}}) {
        SCOPED_TRACE(command);
        fs::create_directories(program.parent_path());
        std::ofstream(program) << "#!/bin/sh\n";
        fs::permissions(program, fs::perms::owner_all);
        LoginItem item(root.path() / "autostart" / LoginItem::entryName, command);
        ASSERT_TRUE(item.registerItem());
        EXPECT_TRUE(startsAtLogin(item.entryFile(), bin.string()));
        const auto entry = sys::DesktopEntry::parse(item.entryText());
        ASSERT_TRUE(entry);
        EXPECT_EQ(entry->command, std::vector<std::string>{command.string()});

        fs::remove(program);
        EXPECT_EQ(item.status(), LoginItem::Status::enabled);
        EXPECT_FALSE(startsAtLogin(item.entryFile(), bin.string()));
    }
}

// An earlier version's entry becomes this one's; a second entry would start a second copy at
// login. What cannot be moved stays where it was.
TEST(LoginItem, AnEntryUnderTheEarlierNameMovesToTheNewOne) {
    testsupport::TemporaryDirectory config;
    const auto folder = config.path() / "autostart";
    const auto earlier = folder / "pulsedeck.desktop";
    const std::string earlierText = "[Desktop Entry]\nType=Application\nExec=/old/pulsedeck\n";
    LoginItem item(folder / LoginItem::entryName, "pulsedeck");
    EXPECT_TRUE(item.moveLegacyEntry()) << "nothing to move, not even a folder";
    EXPECT_FALSE(fs::exists(folder));

    fs::create_directories(folder);
    std::ofstream(earlier) << earlierText;
    ASSERT_TRUE(item.moveLegacyEntry());
    EXPECT_FALSE(fs::exists(earlier));
    EXPECT_EQ(foundation::readTextFile(item.entryFile()), item.entryText());

    // Both there: the earlier one goes, the current one stays as it is.
    std::ofstream(earlier) << earlierText;
    std::ofstream(item.entryFile()) << "[Desktop Entry]\nType=Application\nExec=pulsedeck --x\n";
    ASSERT_TRUE(item.moveLegacyEntry());
    EXPECT_FALSE(fs::exists(earlier));
    EXPECT_EQ(foundation::readTextFile(item.entryFile()),
              "[Desktop Entry]\nType=Application\nExec=pulsedeck --x\n");

    // The new name taken by a folder: the earlier entry is kept and the failure said.
    fs::remove(item.entryFile());
    fs::create_directory(item.entryFile());
    std::ofstream(earlier) << earlierText;
    std::string error;
    EXPECT_FALSE(item.moveLegacyEntry(&error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(foundation::readTextFile(earlier), earlierText);
}

TEST(LoginItem, TheLiveEntryIsUnderTheConfigHome) {
    testsupport::TemporaryDirectory config;
    const testsupport::ScopedEnvironment home("XDG_CONFIG_HOME", config.path().string());
    EXPECT_EQ(LoginItem::live().entryFile(),
              config.path() / "autostart" / "local.dorvettin.Pulsedeck.desktop");
}

} // namespace
} // namespace pulsedeck
