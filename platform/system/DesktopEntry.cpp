#include "platform/system/DesktopEntry.h"

#include "platform/foundation/TextFile.h"

#include <cstdlib>
#include <unistd.h>

namespace sys {

namespace {

namespace fs = std::filesystem;

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
        text.remove_suffix(1);
    }
    return text;
}

// The string-value escapes every key's value may carry (\s, \n, \t, \r, \\).
std::string unescapedValue(std::string_view value) {
    std::string out;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '\\' || i + 1 == value.size()) {
            out += value[i];
            continue;
        }
        switch (char next = value[++i]) {
        case 's':
            out += ' ';
            break;
        case 'n':
            out += '\n';
            break;
        case 't':
            out += '\t';
            break;
        case 'r':
            out += '\r';
            break;
        case '\\':
            out += '\\';
            break;
        default:
            out += '\\';
            out += next;
        }
    }
    return out;
}

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

} // namespace

std::optional<std::vector<std::string>> splitDesktopExec(std::string_view value) {
    std::vector<std::string> arguments;
    std::string current;
    bool inArgument = false, quoted = false;
    for (std::size_t i = 0; i < value.size(); ++i) {
        char c = value[i];
        if (quoted) {
            if (c == '"') {
                quoted = false;
            } else if (c == '\\' && i + 1 < value.size() &&
                       std::string_view("\"`$\\").find(value[i + 1]) != std::string_view::npos) {
                current += value[++i];
            } else if (c == '%' && i + 1 < value.size() && value[i + 1] == '%') {
                current += value[++i];
            } else {
                current += c;
            }
            continue;
        }
        if (c == ' ' || c == '\t' || c == '\n') {
            if (inArgument)
                arguments.push_back(std::move(current));
            current.clear();
            inArgument = false;
            continue;
        }
        inArgument = true;
        if (c == '"') {
            quoted = true;
        } else if (c == '%' && i + 1 < value.size()) {
            // Field codes stand for files or URLs we never pass; %% is a literal percent.
            if (value[++i] == '%')
                current += '%';
        } else {
            current += c;
        }
    }
    if (quoted)
        return std::nullopt;
    if (inArgument && !current.empty())
        arguments.push_back(std::move(current));
    return arguments;
}

std::optional<DesktopEntry> DesktopEntry::parse(std::string_view text) {
    bool inMainGroup = false, sawMainGroup = false;
    std::string type, exec, hidden;
    while (!text.empty()) {
        std::size_t end = text.find('\n');
        std::string_view line = trimmed(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (line.empty() || line.front() == '#')
            continue;
        if (line.front() == '[') {
            // Only the first group's keys describe the application.
            if (sawMainGroup)
                break;
            inMainGroup = line == "[Desktop Entry]";
            sawMainGroup = inMainGroup;
            continue;
        }
        if (!inMainGroup)
            continue;
        std::size_t equals = line.find('=');
        if (equals == std::string_view::npos)
            continue;
        std::string_view key = trimmed(line.substr(0, equals));
        std::string value = unescapedValue(trimmed(line.substr(equals + 1)));
        if (key == "Type")
            type = value;
        else if (key == "Exec")
            exec = value;
        else if (key == "Hidden")
            hidden = value;
    }
    if (!sawMainGroup || type != "Application" || hidden == "true")
        return std::nullopt;
    auto command = splitDesktopExec(exec);
    if (!command || command->empty())
        return std::nullopt;
    return DesktopEntry{{}, std::move(*command)};
}

std::optional<DesktopEntry> DesktopEntry::find(std::string_view identifier,
                                               const std::vector<fs::path>& dataDirs) {
    if (identifier.empty() || identifier.find('/') != std::string_view::npos)
        return std::nullopt;
    const std::string fileName = std::string(identifier) + ".desktop";
    for (const fs::path& dir : dataDirs) {
        fs::path file = dir / "applications" / fileName;
        auto text = foundation::readTextFile(file, 64 * 1024);
        if (!text)
            continue;
        // The first directory that has the entry decides, even when it hides the application.
        auto entry = parse(*text);
        if (entry)
            entry->file = file;
        return entry;
    }
    return std::nullopt;
}

std::vector<fs::path> DesktopEntry::dataDirsFromEnvironment() {
    std::vector<fs::path> dirs;
    std::string home = environment("XDG_DATA_HOME");
    if (home.empty() && !environment("HOME").empty()) {
        home = environment("HOME") + "/.local/share";
    }
    if (!home.empty())
        dirs.emplace_back(home);
    std::string shared = environment("XDG_DATA_DIRS");
    if (shared.empty())
        shared = "/usr/local/share:/usr/share";
    std::string_view rest = shared;
    while (!rest.empty()) {
        std::size_t colon = rest.find(':');
        std::string_view dir = rest.substr(0, colon);
        if (!dir.empty() && dir.front() == '/')
            dirs.emplace_back(dir);
        rest.remove_prefix(colon == std::string_view::npos ? rest.size() : colon + 1);
    }
    return dirs;
}

std::optional<fs::path> DesktopEntry::executable() const {
    if (command.empty())
        return std::nullopt;
    const std::string& program = command.front();
    if (program.find('/') != std::string::npos) {
        fs::path path(program);
        if (path.is_absolute())
            return path;
        return std::nullopt;
    }
    std::string_view rest =
        std::getenv("PATH") ? std::getenv("PATH") : "/usr/local/bin:/usr/bin:/bin";
    while (!rest.empty()) {
        std::size_t colon = rest.find(':');
        std::string_view dir = rest.substr(0, colon);
        rest.remove_prefix(colon == std::string_view::npos ? rest.size() : colon + 1);
        if (dir.empty() || dir.front() != '/')
            continue;
        fs::path candidate = fs::path(dir) / program;
        if (::access(candidate.c_str(), X_OK) == 0)
            return candidate;
    }
    return std::nullopt;
}

} // namespace sys
