#pragma once

#include "platform/foundation/ProcessCancellation.h"
#include "platform/graphics/Image.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ui {

enum class WorkspaceNotification {
    activeSpaceDidChange,
    didActivateApplication,
    didWake,
    // The screens, or what other panels reserve on them, changed; the status bar has followed.
    screenParametersDidChange,
};

// The desktop around the application: opening URLs and applications, the accessibility display
// options, and the desktop's notifications. Opening runs a desktop helper (xdg-open, xdg-email,
// gio launch) through the opener, which tests replace.
class Workspace {
public:
    // Runs a program (argv[0] looked up on PATH, no shell) and answers whether it succeeded.
    using Opener = std::function<bool(const std::vector<std::string>& argv)>;

    Workspace();

    static Workspace& shared();

    // Replaces the opener; a replaced opener is trusted to find its programs itself.
    void setOpener(Opener opener) {
        opener_ = std::move(opener);
        checkHelperOnPath_ = false;
    }
    // Mail links go to xdg-email, application entries (file URLs of .desktop files) are
    // launched, everything else goes to xdg-open. Answers at once whether the URL could be
    // handed to its helper (not for an empty URL or a helper missing from PATH); the helper
    // then runs off the main thread, and the completion, when given, learns on the main queue
    // whether it succeeded (false at once when the URL was not handed on). The main run loop
    // must outlive a pending completion.
    bool openURL(const std::string& url, std::function<void(bool succeeded)> completion = {});
    // Launchers still running (xdg-open looking for a browser) are no longer waited for, and
    // later ones not at all: the application is ending, and what they start runs on.
    void letGoOfLaunchers() { letGoOfLaunchers_->cancel(); }

    // The file URL of the application's desktop entry (<identifier>.desktop in the XDG data
    // folders' applications/), or none when it is not installed.
    std::optional<std::string> urlForApplication(const std::string& identifier) const;
    // The icon of a file: for a desktop entry (a file URL or path), the PNG its Icon key names,
    // an absolute path or a name looked up in the data folders' hicolor theme (largest size
    // first) and pixmaps; none when the entry names none or no PNG is found.
    std::optional<gfx::Image> iconForFile(const std::string& path) const;
    // The folders searched, in order; by default $XDG_DATA_HOME then $XDG_DATA_DIRS.
    void setDataDirectories(std::vector<std::filesystem::path> folders) {
        dataDirectories_ = std::move(folders);
    }

    bool accessibilityDisplayShouldReduceMotion() const { return reduceMotion_; }
    bool accessibilityDisplayShouldReduceTransparency() const { return reduceTransparency_; }
    void setReduceMotion(bool flag) { reduceMotion_ = flag; }
    void setReduceTransparency(bool flag) { reduceTransparency_ = flag; }

    struct ObserverToken {
        std::uint64_t id = 0;
    };
    ObserverToken addObserver(WorkspaceNotification name, std::function<void()> handler);
    void removeObserver(ObserverToken token);
    // Tells every observer of the notification; backends call it when the desktop reports one.
    void post(WorkspaceNotification name);

private:
    std::shared_ptr<foundation::ProcessCancellation> letGoOfLaunchers_;
    Opener opener_;
    bool checkHelperOnPath_ = true;
    std::vector<std::filesystem::path> dataDirectories_;
    bool reduceMotion_ = false;
    bool reduceTransparency_ = false;
    struct Observer {
        std::uint64_t id;
        WorkspaceNotification name;
        std::function<void()> handler;
    };
    std::vector<Observer> observers_;
    std::uint64_t nextId_ = 1;
};

} // namespace ui
