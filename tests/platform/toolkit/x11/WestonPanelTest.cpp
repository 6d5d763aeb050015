#include "platform/toolkit/x11/WestonPanel.h"

#include "support/TestPaths.h"

#include <fstream>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using namespace ui::x11;
using Edge = WestonPanel::Edge;

struct PanelCase {
    const char* what;
    std::vector<std::string> arguments;
    std::optional<std::string> ini;
    std::optional<WestonPanel> panel;
};

TEST(WestonPanel, TheConfigurationPlacesThePanelAsWestonsShellReadsIt) {
    const std::vector<std::string> weston = {"weston"};
    const std::vector<PanelCase> cases = {
        {"no file", weston, std::nullopt, WestonPanel{Edge::top, 32}},
        {"none", weston, "[shell]\npanel-position=none\n", std::nullopt},
        {"bottom", weston, "# mine\n\n[shell]\npanel-position=bottom\n",
         WestonPanel{Edge::bottom, 32}},
        {"a side, as wide as its clock", weston,
         "[shell]\npanel-position=right\nclock-format=seconds\n", WestonPanel{Edge::right, 170}},
        {"an unknown clock shows minutes", weston,
         "[shell]\npanel-position=right\nclock-format=hours\n", WestonPanel{Edge::right, 150}},
        {"spaces around the value", weston, "[shell]\npanel-position=  bottom \t\n",
         WestonPanel{Edge::bottom, 32}},
        {"an unknown word", weston, "[shell]\npanel-position=Top\n", std::nullopt},
        {"the first entry", weston, "[shell]\npanel-position=bottom\npanel-position=none\n",
         WestonPanel{Edge::bottom, 32}},
        {"the first section", weston, "[shell]\n[shell]\npanel-position=none\n",
         WestonPanel{Edge::top, 32}},
        {"a refused line", weston, "[shell]\npanel-position=none\nnone at all\n",
         WestonPanel{Edge::top, 32}},
        {"a side without a clock", weston, "[shell]\npanel-position=left\nclock-format=none\n",
         WestonPanel{Edge::left, 32}},
        {"a header with more after it", weston, "[shell]\npanel-position=none\n[core] x\n",
         WestonPanel{Edge::top, 32}},
        {"an entry without a key", weston, "[shell]\npanel-position=none\n=none\n",
         WestonPanel{Edge::top, 32}},
        {"an entry before every section", weston,
         "panel-position=none\n[shell]\npanel-position=none\n", WestonPanel{Edge::top, 32}},
        {"another shell", weston, "[core]\nshell=kiosk-shell.so\n", std::nullopt},
        {"the shell named on the command line",
         {"weston", "--shell", "desktop-shell.so"},
         "[core]\nshell=kiosk-shell.so\n",
         WestonPanel{Edge::top, 32}},
        {"the shell by its path, the last one given",
         {"weston", "--shell=kiosk-shell.so", "--shell=/usr/lib/weston/desktop-shell.so"},
         std::nullopt,
         WestonPanel{Edge::top, 32}},
    };
    for (const auto& row : cases)
        EXPECT_EQ(westonPanel(row.arguments, row.ini), row.panel) << row.what;
}

TEST(WestonPanel, TheConfigurationFileIsFoundWhereWestonLooks) {
    const testsupport::TemporaryDirectory folder;
    const auto root = folder.path();
    const auto write = [&](const std::filesystem::path& path) {
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path) << "[shell]\n";
        return path;
    };
    const auto given = write(root / "given.ini");
    const auto configHome = write(root / "config/weston.ini");
    const auto home = write(root / "home/.config/other.ini");
    const auto system = write(root / "second/weston/weston.ini");
    std::map<std::string, std::string> environment = {
        {"XDG_CONFIG_HOME", (root / "config").string()},
        {"HOME", (root / "home").string()},
        {"XDG_CONFIG_DIRS", (root / "first").string() + ":" + (root / "second").string()}};
    const auto variable = [&](const std::string& name) -> std::optional<std::string> {
        const auto found = environment.find(name);
        return found == environment.end() ? std::nullopt : std::optional(found->second);
    };
    EXPECT_EQ(westonConfigFile({"weston", "--config=" + given.string()}, variable), given);
    EXPECT_EQ(westonConfigFile({"weston"}, variable), configHome);
    EXPECT_EQ(westonConfigFile({"weston", "-cother.ini"}, variable), home);
    EXPECT_EQ(westonConfigFile({"weston", "-c", "other.ini"}, variable), home);
    EXPECT_EQ(westonConfigFile({"weston", "--no-config"}, variable), std::nullopt);
    EXPECT_EQ(westonConfigFile({"weston", "--config=" + (root / "gone.ini").string()}, variable),
              std::nullopt);
    environment.erase("XDG_CONFIG_HOME");
    EXPECT_EQ(westonConfigFile({"weston"}, variable), system);
}

// The running weston is found behind the X connection (through XWayland when XWayland listens
// itself), and read through its process entries.
TEST(WestonPanel, TheRunningWestonIsReadThroughItsProcessEntries) {
    const testsupport::TemporaryDirectory proc;
    const auto entry = [&](pid_t pid, const std::string& name, const std::string& text) {
        std::filesystem::create_directories(proc.path() / std::to_string(pid));
        std::ofstream(proc.path() / std::to_string(pid) / name) << text;
    };
    int sockets[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, sockets), 0);
    entry(getpid(), "comm", "weston\n");
    EXPECT_EQ(serverProcess(sockets[0], proc.path()), getpid());
    entry(getpid(), "comm", "Xwayland\n");
    entry(getpid(), "stat", std::to_string(getpid()) + " (X (way) land) S 4242 1 1 0");
    EXPECT_EQ(serverProcess(sockets[0], proc.path()), 4242);
    close(sockets[0]);
    close(sockets[1]);

    const auto home = proc.path() / "home";
    std::filesystem::create_directories(home / ".config");
    std::ofstream(home / ".config/weston.ini")
        << "# " << std::string(200, '-') << "\n[shell]\npanel-position=bottom\n";
    entry(4242, "cmdline", std::string("weston\0-c\0weston.ini\0", 21));
    entry(4242, "environ",
          "HOMEY=" + proc.path().string() + std::string(1, '\0') + "HOME=" + home.string());
    EXPECT_EQ(runningWestonPanel(4242, proc.path()), (WestonPanel{Edge::bottom, 32}));
}

// Each monitor has its own panel, and what it reserves comes off that monitor alone; a panel
// between two monitors is inside the root window, where no strut can hold it.
TEST(WestonPanel, EachMonitorLosesItsOwnPanelAlongTheRootsEdges) {
    const std::vector<MonitorArea> monitors = {{0, 0, 1920, 1080, true},
                                               {1920, 56, 1280, 1024, false}};
    const auto visibleWidths = [&](const WestonPanel& panel) {
        std::vector<Strut> struts;
        for (const Dock& dock : westonPanelDocks(panel, monitors, 3200, 1080))
            struts.push_back(dock.strut);
        std::vector<double> widths;
        for (const auto& screen : describeScreens(monitors, 3200, 1080, struts, 1, 24))
            widths.push_back(screen.visibleFrame.width());
        return widths;
    };
    EXPECT_EQ(visibleWidths({Edge::right, 150}), (std::vector<double>{1920, 1280 - 150}));
    EXPECT_EQ(visibleWidths({Edge::left, 32}), (std::vector<double>{1920 - 32, 1280}));
    const auto top = westonPanelDocks({Edge::top, 32}, monitors, 3200, 1080);
    ASSERT_EQ(top.size(), 2u);
    EXPECT_EQ(statusBarTop(monitors[0], top, std::nullopt, 24), 32);
    EXPECT_EQ(top[0].strut.topEndX, 1919);
    EXPECT_EQ(top[1].strut.top, 56 + 32);
    const auto bottom = westonPanelDocks({Edge::bottom, 32}, monitors, 3200, 1080);
    ASSERT_EQ(bottom.size(), 2u);
    EXPECT_EQ(bottom[1].strut.bottom, 32);
    EXPECT_EQ(bottom[1].area.y, 1080 - 32);
    // Two outputs showing the same picture lie at one place: neither lies beyond the other.
    EXPECT_EQ(westonPanelDocks({Edge::bottom, 32}, {monitors[0], monitors[0]}, 1920, 1080).size(),
              2u);
}

} // namespace
