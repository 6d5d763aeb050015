#include "app/LoginItem.h"

#include "platform/foundation/AtomicFile.h"
#include "platform/foundation/HomeDirectory.h"

#include <cstdlib>
#include <optional>
#include <system_error>

namespace pulsedeck {

namespace {

std::optional<std::filesystem::path> configHome() {
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && *config == '/')
        return config;
    auto home = foundation::homeDirectory();
    return home ? std::optional(*home / ".config") : std::nullopt;
}

// A desktop-entry Exec argument in double quotes: the characters the quoting rules reserve are
// escaped, and the value escape of the backslash doubles every backslash once more.
std::string quotedExecArgument(const std::string& argument) {
    std::string quoted = "\"";
    for (char c : argument) {
        if (c == '"' || c == '`' || c == '$')
            quoted += "\\\\";
        else if (c == '\\')
            quoted += "\\\\\\";
        else if (c == '%')
            quoted += '%';
        quoted += c;
    }
    return quoted + "\"";
}

} // namespace

LoginItem::LoginItem(std::filesystem::path entryFile, std::filesystem::path executable)
    : entryFile_(std::move(entryFile)), executable_(std::move(executable)) {}

LoginItem LoginItem::live() {
    std::error_code error;
    auto executable = std::filesystem::read_symlink("/proc/self/exe", error);
    auto config = configHome();
    return LoginItem(config ? *config / "autostart" / entryName : std::filesystem::path(),
                     error ? "pulsedeck" : executable);
}

LoginItem::Status LoginItem::status() const {
    std::error_code error;
    return std::filesystem::is_regular_file(entryFile_, error) ? Status::enabled
                                                               : Status::notRegistered;
}

std::string LoginItem::entryText() const {
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Pulsedeck\n"
           "Comment=System monitor in the menu bar\n"
           "Exec=" +
           quotedExecArgument(executable_.string()) +
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

LoginChange setLaunchAtLogin(LoginItem& item, bool on) {
    const auto status = item.status();
    if (on && status != LoginItem::Status::enabled)
        return {true, !item.registerItem()};
    if (!on && status != LoginItem::Status::notRegistered)
        return {true, !item.unregisterItem()};
    return {};
}

} // namespace pulsedeck
