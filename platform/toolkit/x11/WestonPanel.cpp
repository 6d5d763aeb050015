#include "platform/toolkit/x11/WestonPanel.h"

#include <cctype>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string_view>
#include <sys/socket.h>
#include <utility>

namespace ui::x11 {

namespace {

// weston's panel is this tall along the top or bottom edge; along a side it is as wide as the
// clock it shows.
constexpr int lyingPanelThickness = 32;
constexpr int clocklessSidePanel = 32;
constexpr int minutesSidePanel = 150;
constexpr int secondsSidePanel = 170;
// More than any configuration or process entry read here holds.
constexpr std::size_t largestFile = 1 << 20;

struct IniSection {
    std::string name;
    std::vector<std::pair<std::string, std::string>> entries;
};

// A weston.ini's sections; none when weston refuses the file whole: a line that is neither
// empty, a comment, a section header alone on its line nor a key=value inside a section.
std::optional<std::vector<IniSection>> parseIni(std::string_view text) {
    std::vector<IniSection> sections;
    while (!text.empty()) {
        const auto end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (line.empty() || line.front() == '#')
            continue;
        if (line.front() == '[') {
            if (line.find(']') != line.size() - 1)
                return std::nullopt;
            sections.push_back({std::string(line.substr(1, line.size() - 2)), {}});
            continue;
        }
        const auto equals = line.find('=');
        if (equals == std::string_view::npos || equals == 0 || sections.empty())
            return std::nullopt;
        // The key is taken as written, the value without the spaces around it.
        std::string_view value = line.substr(equals + 1);
        while (!value.empty() && std::isspace(static_cast<unsigned char>(value.front())))
            value.remove_prefix(1);
        while (!value.empty() && std::isspace(static_cast<unsigned char>(value.back())))
            value.remove_suffix(1);
        sections.back().entries.emplace_back(line.substr(0, equals), value);
    }
    return sections;
}

// What weston finds for a key: its first entry in the first section of that name.
std::string setting(const std::optional<std::vector<IniSection>>& sections,
                    std::string_view section, std::string_view key, std::string fallback) {
    if (!sections)
        return fallback;
    for (const IniSection& candidate : *sections) {
        if (candidate.name != section)
            continue;
        for (const auto& [name, value] : candidate.entries)
            if (name == key)
                return value;
        break;
    }
    return fallback;
}

// The value weston's option parser takes for an option (`--name=value`, `--name value`, and for
// a short name `-cvalue`, `-c value`): the last one given.
std::optional<std::string> option(const std::vector<std::string>& arguments,
                                  const std::string& name, char shortName = 0) {
    std::optional<std::string> found;
    const std::string longForm = "--" + name;
    const std::string shortForm = shortName ? std::string{'-', shortName} : std::string();
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        const bool hasNext = i + 1 < arguments.size();
        if (argument.starts_with(longForm + "="))
            found = argument.substr(longForm.size() + 1);
        else if (argument == longForm && hasNext)
            found = arguments[++i];
        else if (!shortForm.empty() && argument == shortForm && hasNext)
            found = arguments[++i];
        else if (!shortForm.empty() && argument.starts_with(shortForm) &&
                 argument.size() > shortForm.size())
            found = argument.substr(shortForm.size());
    }
    return found;
}

std::optional<std::string> fileText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::string text;
    text.resize(largestFile);
    in.read(text.data(), std::streamsize(text.size()));
    text.resize(std::size_t(in.gcount()));
    return text;
}

std::vector<std::string> nulSeparated(const std::string& text) {
    std::vector<std::string> items;
    for (std::size_t start = 0; start < text.size();) {
        const auto end = std::min(text.find('\0', start), text.size());
        items.emplace_back(text.substr(start, end - start));
        start = end + 1;
    }
    return items;
}

// Whether another monitor lies beyond a monitor's edge, alongside it: a panel there is inside the
// root window, where no strut can say what it reserves.
bool monitorBeyond(const MonitorArea& monitor, WestonPanel::Edge edge,
                   const std::vector<MonitorArea>& monitors) {
    const auto overlap = [](int start, int length, int otherStart, int otherLength) {
        return start < otherStart + otherLength && otherStart < start + length;
    };
    for (const MonitorArea& other : monitors) {
        const bool alongside = edge == WestonPanel::Edge::top || edge == WestonPanel::Edge::bottom
                                   ? overlap(monitor.x, monitor.width, other.x, other.width)
                                   : overlap(monitor.y, monitor.height, other.y, other.height);
        const bool beyond =
            (edge == WestonPanel::Edge::top && other.y < monitor.y) ||
            (edge == WestonPanel::Edge::bottom &&
             other.y + other.height > monitor.y + monitor.height) ||
            (edge == WestonPanel::Edge::left && other.x < monitor.x) ||
            (edge == WestonPanel::Edge::right && other.x + other.width > monitor.x + monitor.width);
        if (alongside && beyond)
            return true;
    }
    return false;
}

} // namespace

std::optional<WestonPanel> westonPanel(const std::vector<std::string>& arguments,
                                       const std::optional<std::string>& ini) {
    // A file weston refuses leaves it on its defaults, as no file does.
    const auto sections = ini ? parseIni(*ini) : std::nullopt;
    const std::string shell =
        option(arguments, "shell").value_or(setting(sections, "core", "shell", "desktop-shell.so"));
    if (std::filesystem::path(shell).filename() != "desktop-shell.so")
        return std::nullopt;
    // Any other word, "none" among them, leaves the shell without a panel.
    const std::string position = setting(sections, "shell", "panel-position", "top");
    if (position == "top")
        return WestonPanel{WestonPanel::Edge::top, lyingPanelThickness};
    if (position == "bottom")
        return WestonPanel{WestonPanel::Edge::bottom, lyingPanelThickness};
    if (position != "left" && position != "right")
        return std::nullopt;
    const std::string clock = setting(sections, "shell", "clock-format", "minutes");
    return WestonPanel{position == "left" ? WestonPanel::Edge::left : WestonPanel::Edge::right,
                       clock == "none"      ? clocklessSidePanel
                       : clock == "seconds" ? secondsSidePanel
                                            : minutesSidePanel};
}

std::optional<std::filesystem::path>
westonConfigFile(const std::vector<std::string>& arguments,
                 const std::function<std::optional<std::string>(const std::string&)>& variable) {
    for (std::size_t i = 1; i < arguments.size(); ++i)
        if (arguments[i] == "--no-config")
            return std::nullopt;
    const std::string name = option(arguments, "config", 'c').value_or("weston.ini");
    if (name.empty())
        return std::nullopt;
    std::vector<std::filesystem::path> candidates;
    if (name.front() == '/') {
        candidates.emplace_back(name);
    } else {
        if (const auto home = variable("XDG_CONFIG_HOME"))
            candidates.push_back(std::filesystem::path(*home) / name);
        if (const auto home = variable("HOME"))
            candidates.push_back(std::filesystem::path(*home) / ".config" / name);
        const std::string folders = variable("XDG_CONFIG_DIRS").value_or("/etc/xdg");
        for (std::size_t start = 0; start < folders.size();) {
            const auto end = std::min(folders.find(':', start), folders.size());
            candidates.push_back(std::filesystem::path(folders.substr(start, end - start)) /
                                 "weston" / name);
            start = end + 1;
        }
    }
    for (const auto& candidate : candidates) {
        std::error_code error;
        if (std::filesystem::is_regular_file(candidate, error))
            return candidate;
    }
    return std::nullopt;
}

std::optional<pid_t> serverProcess(int socket, const std::filesystem::path& proc) {
    ucred peer{};
    socklen_t size = sizeof peer;
    if (getsockopt(socket, SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0 || peer.pid <= 0)
        return std::nullopt;
    const auto folder = proc / std::to_string(peer.pid);
    if (fileText(folder / "comm").value_or("") != "Xwayland\n")
        return peer.pid;
    // An XWayland that listens itself: the compositor is the process that started it. Its stat
    // line names it in parentheses (any characters at all), then its state, then its parent.
    const std::string stat = fileText(folder / "stat").value_or("");
    const auto named = stat.rfind(')');
    if (named == std::string::npos || named + 4 >= stat.size())
        return std::nullopt;
    const long parent = std::strtol(stat.c_str() + named + 4, nullptr, 10);
    return parent > 1 ? std::optional<pid_t>(pid_t(parent)) : std::nullopt;
}

std::optional<WestonPanel> runningWestonPanel(pid_t pid, const std::filesystem::path& proc) {
    const auto folder = proc / std::to_string(pid);
    const auto commandLine = fileText(folder / "cmdline");
    const auto environment = fileText(folder / "environ");
    const std::vector<std::string> arguments =
        commandLine ? nulSeparated(*commandLine) : std::vector<std::string>{"weston"};
    const std::vector<std::string> variables =
        environment ? nulSeparated(*environment) : std::vector<std::string>{};
    const auto variable = [&](const std::string& name) -> std::optional<std::string> {
        if (!environment) {
            const char* value = std::getenv(name.c_str());
            return value ? std::optional<std::string>(value) : std::nullopt;
        }
        for (const std::string& entry : variables)
            if (entry.size() > name.size() && entry.starts_with(name) && entry[name.size()] == '=')
                return entry.substr(name.size() + 1);
        return std::nullopt;
    };
    const auto file = westonConfigFile(arguments, variable);
    return westonPanel(arguments, file ? fileText(*file) : std::nullopt);
}

std::vector<Dock> westonPanelDocks(const WestonPanel& panel,
                                   const std::vector<MonitorArea>& monitors, int rootWidth,
                                   int rootHeight) {
    std::vector<Dock> docks;
    const long thickness = panel.thickness;
    for (const MonitorArea& monitor : monitors) {
        if (monitorBeyond(monitor, panel.edge, monitors))
            continue;
        const long right = monitor.x + monitor.width;
        const long bottom = monitor.y + monitor.height;
        Dock dock;
        switch (panel.edge) {
        case WestonPanel::Edge::top:
            dock.strut.top = monitor.y + thickness;
            dock.strut.topStartX = monitor.x;
            dock.strut.topEndX = right - 1;
            dock.area = {monitor.x, monitor.y, monitor.width, panel.thickness};
            break;
        case WestonPanel::Edge::bottom:
            dock.strut.bottom = rootHeight - bottom + thickness;
            dock.strut.bottomStartX = monitor.x;
            dock.strut.bottomEndX = right - 1;
            dock.area = {monitor.x, int(bottom - thickness), monitor.width, panel.thickness};
            break;
        case WestonPanel::Edge::left:
            dock.strut.left = monitor.x + thickness;
            dock.strut.leftStartY = monitor.y;
            dock.strut.leftEndY = bottom - 1;
            dock.area = {monitor.x, monitor.y, panel.thickness, monitor.height};
            break;
        case WestonPanel::Edge::right:
            dock.strut.right = rootWidth - right + thickness;
            dock.strut.rightStartY = monitor.y;
            dock.strut.rightEndY = bottom - 1;
            dock.area = {int(right - thickness), monitor.y, panel.thickness, monitor.height};
            break;
        }
        docks.push_back(dock);
    }
    return docks;
}

} // namespace ui::x11
