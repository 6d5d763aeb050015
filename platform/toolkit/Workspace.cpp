#include "platform/toolkit/Workspace.h"

#include "platform/toolkit/Application.h"

#include <algorithm>
#include <cstdlib>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>

extern char** environ;

namespace ui {

namespace {

bool spawnAndWait(const std::vector<std::string>& argv) {
    if (argv.empty())
        return false;
    std::vector<char*> arguments;
    for (const std::string& argument : argv)
        arguments.push_back(const_cast<char*>(argument.c_str()));
    arguments.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawnp(&pid, arguments[0], nullptr, nullptr, arguments.data(), environ) != 0)
        return false;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR)
            return false;
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
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

bool startsWith(const std::string& text, std::string_view prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

bool endsWith(const std::string& text, std::string_view suffix) {
    return text.size() >= suffix.size() &&
           text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

} // namespace

Workspace::Workspace() : opener_(spawnAndWait), dataDirectories_(xdgDataDirectories()) {}

Workspace& Workspace::shared() {
    return Application::shared().workspace();
}

bool Workspace::openURL(const std::string& url) {
    if (url.empty() || !opener_)
        return false;
    if (startsWith(url, "mailto:"))
        return opener_({"xdg-email", url});
    if (startsWith(url, "file://") && endsWith(url, ".desktop"))
        return opener_({"gio", "launch", url.substr(std::string_view("file://").size())});
    return opener_({"xdg-open", url});
}

std::optional<std::string> Workspace::urlForApplication(const std::string& identifier) const {
    if (identifier.empty() || identifier.find('/') != std::string::npos)
        return std::nullopt;
    for (const auto& folder : dataDirectories_) {
        const auto entry = folder / "applications" / (identifier + ".desktop");
        std::error_code error;
        if (std::filesystem::is_regular_file(entry, error))
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
