#include "platform/toolkit/Workspace.h"

#include "platform/dispatch/GlobalQueue.h"
#include "platform/foundation/ProcessRunner.h"
#include "platform/foundation/TextFile.h"
#include "platform/toolkit/Application.h"

#include <algorithm>
#include <cstdlib>
#include <sstream>
#include <unistd.h>

namespace ui {

namespace {

// The desktop's launchers return once the program is on its way; their children may keep
// running long after, so their output is not captured. One still running when the workspace goes
// (the program quits while xdg-open looks for a browser) runs on unwaited for.
bool runLauncher(const std::vector<std::string>& argv,
                 const foundation::ProcessCancellation& letGo) {
    foundation::ProcessOptions options;
    options.captureOutput = false;
    options.cancellation = &letGo;
    options.killWhenCancelled = false;
    return foundation::runProcess(argv, options).succeeded();
}

std::vector<std::filesystem::path> xdgDataDirectories() {
    std::vector<std::filesystem::path> folders;
    if (const char* home = std::getenv("XDG_DATA_HOME"); home && *home)
        folders.emplace_back(home);
    else if (const char* user = std::getenv("HOME"); user && *user)
        folders.emplace_back(std::filesystem::path(user) / ".local/share");
    const char* dirs = std::getenv("XDG_DATA_DIRS");
    std::istringstream list(dirs && *dirs ? dirs : "/usr/local/share:/usr/share");
    for (std::string folder; std::getline(list, folder, ':');) {
        if (!folder.empty())
            folders.emplace_back(folder);
    }
    return folders;
}

// Whether the desktop entry's main group says Hidden=true.
bool isHidden(const std::string& entry) {
    std::istringstream lines(entry);
    bool inMainGroup = false;
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line.front() == '[')
            inMainGroup = line.rfind("[Desktop Entry]", 0) == 0;
        else if (inMainGroup && line.rfind("Hidden=", 0) == 0)
            return line.substr(7) == "true";
    }
    return false;
}

bool startsWith(const std::string& text, std::string_view prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

bool endsWith(const std::string& text, std::string_view suffix) {
    return text.size() >= suffix.size() &&
           text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

} // namespace

Workspace::Workspace()
    : letGoOfLaunchers_(std::make_shared<foundation::ProcessCancellation>()),
      opener_([letGo = letGoOfLaunchers_](const std::vector<std::string>& argv) {
          return runLauncher(argv, *letGo);
      }),
      dataDirectories_(xdgDataDirectories()) {}


Workspace& Workspace::shared() {
    return Application::shared().workspace();
}

namespace {

bool isOnPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::istringstream folders(path && *path ? path : "/usr/local/bin:/usr/bin:/bin");
    for (std::string folder; std::getline(folders, folder, ':');) {
        if (!folder.empty() && ::access((folder + "/" + program).c_str(), X_OK) == 0)
            return true;
    }
    return false;
}

std::vector<std::string> helperFor(const std::string& url) {
    if (startsWith(url, "mailto:"))
        return {"xdg-email", url};
    if (startsWith(url, "file://") && endsWith(url, ".desktop"))
        return {"gio", "launch", url.substr(std::string_view("file://").size())};
    return {"xdg-open", url};
}

} // namespace

bool Workspace::openURL(const std::string& url, std::function<void(bool)> completion) {
    dispatch::MainQueue& main = Application::shared().runLoop().queue();
    std::vector<std::string> argv = helperFor(url);
    if (url.empty() || !opener_ || (checkHelperOnPath_ && !isOnPath(argv.front()))) {
        if (completion)
            main.async([completion] { completion(false); });
        return false;
    }
    dispatch::globalQueue().async(
        [opener = opener_, argv = std::move(argv), completion = std::move(completion), &main] {
            const bool succeeded = opener(argv);
            if (completion)
                main.async([completion, succeeded] { completion(succeeded); });
        });
    return true;
}

std::optional<std::string> Workspace::urlForApplication(const std::string& identifier) const {
    if (identifier.empty() || identifier.find('/') != std::string::npos)
        return std::nullopt;
    // The first folder holding the entry decides; a hidden entry there means the application
    // was removed for this user, even when a later folder still has it.
    for (const auto& folder : dataDirectories_) {
        const auto entry = folder / "applications" / (identifier + ".desktop");
        std::error_code error;
        if (!std::filesystem::is_regular_file(entry, error))
            continue;
        const auto text = foundation::readTextFile(entry);
        if (!text || isHidden(*text))
            return std::nullopt;
        return "file://" + entry.string();
    }
    return std::nullopt;
}

Workspace::ObserverToken Workspace::addObserver(WorkspaceNotification name,
                                                std::function<void()> handler) {
    const std::uint64_t id = nextId_++;
    observers_.push_back({id, name, std::move(handler)});
    return {id};
}

void Workspace::removeObserver(ObserverToken token) {
    std::erase_if(observers_, [&](const Observer& observer) { return observer.id == token.id; });
}

void Workspace::post(WorkspaceNotification name) {
    for (const Observer& observer : std::vector(observers_)) {
        const bool present = std::any_of(observers_.begin(), observers_.end(),
                                         [&](const Observer& o) { return o.id == observer.id; });
        if (present && observer.name == name)
            observer.handler();
    }
}

} // namespace ui
