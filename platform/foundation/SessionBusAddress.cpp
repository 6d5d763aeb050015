#include "platform/foundation/SessionBusAddress.h"

#include <cstdlib>
#include <filesystem>

namespace foundation {

std::optional<std::string> sessionBusAddress() {
    if (const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS"); address && *address)
        return std::string(address);
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (!runtime || !*runtime)
        return std::nullopt;
    const std::filesystem::path socket = std::filesystem::path(runtime) / "bus";
    std::error_code error;
    if (!std::filesystem::exists(socket, error))
        return std::nullopt;
    return "unix:path=" + socket.string();
}

} // namespace foundation
