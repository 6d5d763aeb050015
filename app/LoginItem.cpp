#include "app/LoginItem.h"

#include "model/LoginItemEntry.h"
#include "platform/foundation/AtomicFile.h"
#include "platform/foundation/Bundle.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <system_error>

namespace pulsedeck {

namespace {

bool needsNoQuotes(const std::string& argument) {
    return !argument.empty() && std::all_of(argument.begin(), argument.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '/' || c == '.' || c == '_' ||
               c == '-' || c == '+';
    });
}

// A desktop-entry Exec argument, in double quotes unless it holds only plain characters, with the
// characters the quoting rules reserve escaped; the value's own escapes come on top.
std::string quotedExecArgument(const std::string& argument) {
    if (needsNoQuotes(argument))
        return argument;
    std::string quoted = "\"";
    for (char c : argument) {
        if (c == '"' || c == '`' || c == '$' || c == '\\')
            quoted += '\\';
        else if (c == '%')
            quoted += '%';
        quoted += c;
    }
    return quoted + "\"";
}

// A desktop-entry string value: backslash and the control characters the format names escaped,
// and a leading space kept.
std::string escapedValue(const std::string& value) {
    std::string escaped;
    for (char c : value) {
        switch (c) {
        case '\\':
            escaped += "\\\\";
            break;
        case '\n':
            escaped += "\\n";
            break;
        case '\t':
            escaped += "\\t";
            break;
        case '\r':
            escaped += "\\r";
            break;
        case ' ':
            escaped += escaped.empty() ? "\\s" : " ";
            break;
        default:
            escaped += c;
        }
    }
    return escaped;
}

bool isRegularFile(const std::filesystem::path& path) {
    std::error_code error;
    return std::filesystem::is_regular_file(path, error);
}

} // namespace

LoginItem::LoginItem(std::filesystem::path entryFile, std::filesystem::path command)
    : entryFile_(std::move(entryFile)), command_(std::move(command)) {}

LoginItem LoginItem::live() {
    std::error_code error;
    auto executable = std::filesystem::read_symlink("/proc/self/exe", error);
    const char* searchPath = std::getenv("PATH");
    return LoginItem(liveLoginItemEntry().value_or(std::filesystem::path()),
                     error ? "pulsedeck" : commandFor(executable, searchPath ? searchPath : ""));
}

std::filesystem::path LoginItem::commandFor(const std::filesystem::path& executable,
                                            std::string_view searchPath) {
    const auto prefix = executable.parent_path().parent_path();
    const bool installed =
        executable.parent_path().filename() == "bin" &&
        foundation::Bundle::resourceDirectoryFor(executable) == prefix / "share" / "pulsedeck";
    if (!installed)
        return executable;
    const auto name = executable.filename();
    while (!searchPath.empty()) {
        const auto colon = searchPath.find(':');
        const std::string_view folder = searchPath.substr(0, colon);
        searchPath =
            colon == std::string_view::npos ? std::string_view() : searchPath.substr(colon + 1);
        // Relative folders depend on where the session starts; they find nothing certain.
        if (folder.empty() || folder.front() != '/')
            continue;
        const auto candidate = std::filesystem::path(folder) / name;
        std::error_code error;
        if (!std::filesystem::exists(candidate, error))
            continue;
        return std::filesystem::equivalent(candidate, executable, error) ? name : executable;
    }
    return executable;
}

LoginItem::Status LoginItem::status() const {
    return isRegularFile(entryFile_) ? Status::enabled : Status::notRegistered;
}

std::string LoginItem::entryText() const {
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Pulsedeck\n"
           "Comment=System monitor in a status bar at the top of the screen\n"
           "Exec=" +
           escapedValue(quotedExecArgument(command_.string())) +
           "\n"
           "TryExec=" +
           escapedValue(command_.string()) +
           "\n"
           "Terminal=false\n"
           "NoDisplay=true\n"
           "X-GNOME-Autostart-enabled=true\n";
}

bool LoginItem::registerItem(std::string* error) {
    if (entryFile_.empty()) {
        if (error)
            *error = "there is no home folder to keep the login item in";
        return false;
    }
    std::error_code code;
    std::filesystem::create_directories(entryFile_.parent_path(), code);
    if (code) {
        if (error)
            *error = code.message();
        return false;
    }
    if (!foundation::writeFileAtomically(entryFile_, entryText())) {
        if (error)
            *error = "cannot write " + entryFile_.string();
        return false;
    }
    return true;
}

bool LoginItem::unregisterItem(std::string* error) {
    std::error_code code;
    std::filesystem::remove(entryFile_, code);
    if (code) {
        if (error)
            *error = code.message();
        return false;
    }
    return true;
}

bool LoginItem::moveLegacyEntry(std::string* error) {
    if (entryFile_.empty())
        return true;
    const auto legacy = entryFile_.parent_path() / legacyLoginItemEntryName;
    if (legacy == entryFile_ || !isRegularFile(legacy))
        return true;
    if (status() != Status::enabled && !registerItem(error))
        return false;
    std::error_code code;
    std::filesystem::remove(legacy, code);
    if (code) {
        if (error)
            *error = "cannot remove " + legacy.string() + ": " + code.message();
        return false;
    }
    return true;
}

LoginChange setLaunchAtLogin(LoginItem& item, bool on) {
    const auto status = item.status();
    if (on && status != LoginItem::Status::enabled)
        return {true, !item.registerItem()};
    if (!on && status != LoginItem::Status::notRegistered)
        return {true, !item.unregisterItem()};
    return {};
}

} // namespace pulsedeck
