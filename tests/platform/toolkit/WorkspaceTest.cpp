#include "platform/toolkit/Workspace.h"

#include "ToolkitFixture.h"
#include "support/TestPaths.h"

#include <fstream>
#include <mutex>

namespace {

using toolkittest::ToolkitFixture;

class WorkspaceTest : public ToolkitFixture {
protected:
    void SetUp() override {
        workspace.setOpener([this](const std::vector<std::string>& argv) {
            std::lock_guard lock(mutex);
            launched.push_back(argv);
            return argv.size() > 1 && argv[1] != "https://fails.example";
        });
    }

    // Opens the URL and runs the loop until the completion arrives.
    std::optional<bool> open(const std::string& url) {
        std::optional<bool> result;
        const bool handedOn = workspace.openURL(url, [&](bool succeeded) { result = succeeded; });
        loop.runNested(dispatch::RunLoopMode::defaultMode, [&] { return !result.has_value(); });
        EXPECT_EQ(handedOn, !url.empty());
        return result;
    }

    ui::Workspace& workspace = ui::Workspace::shared();
    std::mutex mutex;
    std::vector<std::vector<std::string>> launched;
};

TEST_F(WorkspaceTest, OpensEachKindOfURLWithItsHelper) {
    EXPECT_EQ(open("https://pulsedeck.example/privacy"), true);
    EXPECT_EQ(open("mailto:hello@pulsedeck.example?subject=Hi"), true);
    EXPECT_EQ(open("file:///usr/share/applications/org.gnome.SystemMonitor.desktop"), true);
    std::lock_guard lock(mutex);
    EXPECT_EQ(launched,
              (std::vector<std::vector<std::string>>{
                  {"xdg-open", "https://pulsedeck.example/privacy"},
                  {"xdg-email", "mailto:hello@pulsedeck.example?subject=Hi"},
                  {"gio", "launch", "/usr/share/applications/org.gnome.SystemMonitor.desktop"},
              }));
}

TEST_F(WorkspaceTest, FailuresAreReported) {
    EXPECT_EQ(open("https://fails.example"), false);
    EXPECT_EQ(open(""), false);
    std::lock_guard lock(mutex);
    EXPECT_EQ(launched.size(), 1u);
}

TEST_F(WorkspaceTest, FindsApplicationsByIdentifierInTheDataFolders) {
    testsupport::TemporaryDirectory home, system;
    std::filesystem::create_directories(system.path() / "applications");
    std::ofstream(system.path() / "applications" / "org.gnome.SystemMonitor.desktop")
        << "[Desktop Entry]\n";
    workspace.setDataDirectories({home.path(), system.path()});
    EXPECT_EQ(workspace.urlForApplication("org.gnome.SystemMonitor"),
              "file://" +
                  (system.path() / "applications/org.gnome.SystemMonitor.desktop").string());
    EXPECT_FALSE(workspace.urlForApplication("com.example.Missing").has_value());
    EXPECT_FALSE(
        workspace.urlForApplication("../applications/org.gnome.SystemMonitor").has_value());
    EXPECT_FALSE(workspace.urlForApplication("").has_value());

    std::filesystem::create_directories(home.path() / "applications");
    std::ofstream(home.path() / "applications" / "org.gnome.SystemMonitor.desktop")
        << "[Desktop Entry]\nName=Monitor\nHidden=true\n";
    EXPECT_FALSE(workspace.urlForApplication("org.gnome.SystemMonitor").has_value());
    std::ofstream(home.path() / "applications" / "org.gnome.SystemMonitor.desktop")
        << "[Desktop Entry]\nName=Monitor\n[Desktop Action New]\nHidden=true\n";
    EXPECT_EQ(workspace.urlForApplication("org.gnome.SystemMonitor"),
              "file://" + (home.path() / "applications/org.gnome.SystemMonitor.desktop").string());
}

TEST_F(ToolkitFixture, AMissingHelperIsReportedAtOnce) {
    const char* saved = std::getenv("PATH");
    const std::string path = saved ? saved : "";
    testsupport::TemporaryDirectory empty;
    setenv("PATH", empty.path().c_str(), 1);
    std::optional<bool> result;
    const bool handedOn = ui::Workspace::shared().openURL(
        "https://pulsedeck.example", [&](bool succeeded) { result = succeeded; });
    setenv("PATH", path.c_str(), 1);
    EXPECT_FALSE(handedOn);
    loop.runUntilIdle();
    EXPECT_EQ(result, false);
}

TEST_F(WorkspaceTest, NotificationsReachTheirObserversUntilRemoved) {
    int wakes = 0, spaces = 0;
    const auto wake = workspace.addObserver(ui::WorkspaceNotification::didWake, [&] { ++wakes; });
    workspace.addObserver(ui::WorkspaceNotification::activeSpaceDidChange, [&] { ++spaces; });
    workspace.post(ui::WorkspaceNotification::didWake);
    workspace.post(ui::WorkspaceNotification::didActivateApplication);
    workspace.removeObserver(wake);
    workspace.post(ui::WorkspaceNotification::didWake);
    workspace.post(ui::WorkspaceNotification::activeSpaceDidChange);
    EXPECT_EQ(wakes, 1);
    EXPECT_EQ(spaces, 1);
}

TEST_F(WorkspaceTest, AccessibilityDisplayOptionsAreSettable) {
    EXPECT_FALSE(workspace.accessibilityDisplayShouldReduceMotion());
    workspace.setReduceMotion(true);
    workspace.setReduceTransparency(true);
    EXPECT_TRUE(workspace.accessibilityDisplayShouldReduceMotion());
    EXPECT_TRUE(workspace.accessibilityDisplayShouldReduceTransparency());
}

} // namespace
