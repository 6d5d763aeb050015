#pragma once

#include "platform/toolkit/x11/ScreenLayout.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace ui::x11 {

// weston's desktop shell draws a panel of its own along one edge of every output. It is no X
// window and weston publishes no work area, so an X program under weston learns of it only from
// weston's configuration, read here as weston reads it.
struct WestonPanel {
    enum class Edge { top, bottom, left, right };
    Edge edge = Edge::top;
    // In root pixels: weston's XWayland works in the outputs' logical pixels, as the panel does.
    int thickness = 0;

    friend bool operator==(const WestonPanel&, const WestonPanel&) = default;
};

// The panel of a weston started with `arguments` (its command line, its own name first) that read
// the configuration `ini`; none when it read none (weston then runs on its defaults). None when
// its shell draws no panel.
std::optional<WestonPanel> westonPanel(const std::vector<std::string>& arguments,
                                       const std::optional<std::string>& ini);

// The configuration file weston reads when started with `arguments` in an environment whose
// variables `variable` gives; none when it reads none.
std::optional<std::filesystem::path>
westonConfigFile(const std::vector<std::string>& arguments,
                 const std::function<std::optional<std::string>(const std::string&)>& variable);

// The process that serves the X connection on `socket`: the X server, or the compositor that
// listens for its XWayland; none when it cannot be told (a connection over the network).
std::optional<pid_t> serverProcess(int socket, const std::filesystem::path& proc = "/proc");

// The panel of the running weston `pid`, read from its command line, environment and
// configuration through `proc`. Where its command line or environment cannot be read, weston is
// taken to have been started as a user starts it, in this program's environment.
std::optional<WestonPanel> runningWestonPanel(pid_t pid,
                                              const std::filesystem::path& proc = "/proc");

// The panel as a dock along its edge of each monitor, where that edge is the root window's.
std::vector<Dock> westonPanelDocks(const WestonPanel& panel,
                                   const std::vector<MonitorArea>& monitors, int rootWidth,
                                   int rootHeight);

} // namespace ui::x11
